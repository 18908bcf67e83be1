// Files past 2 GiB, on the 32-bit build as on the 64-bit one: checksums,
// mapping, unpacking, and an install of such a file through the real client.
// The files are sparse where the case allows; expected digests come from the
// md5sum tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xmap.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;

constexpr uint64_t kTwoGiB = uint64_t{1} << 31;
constexpr uint64_t kFourGiB = uint64_t{1} << 32;

std::string noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

// A sparse file of `size` bytes with a few bytes of noise at each offset.
void write_sparse(const std::string& path, uint64_t size, const std::vector<uint64_t>& marks)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    unsigned seed = 1;
    for (uint64_t at : marks) {
        const std::string bytes = noise(std::min<uint64_t>(size - at, 4096), seed++);
        ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(bytes.size()));
    }
    ASSERT_EQ(close(fd), 0);
}

uint64_t file_size(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

TEST(LargeFileMd5, SparseFilesPastTwoAndFourGiB)
{
    // Past the signed and the unsigned 32-bit range, with data just before and
    // after each boundary and at the very end.
    const struct {
        uint64_t size;
        std::vector<uint64_t> marks;
    } cases[] = {
        {kTwoGiB + 4097, {0, kTwoGiB - 2048, kTwoGiB + 1}},
        {kFourGiB + 4097, {0, kTwoGiB - 2048, kFourGiB - 2048, kFourGiB + 1}},
    };
    for (const auto& [size, marks] : cases) {
        TempDir dir;
        write_sparse(dir / "f", size, marks);
        std::string out = "unset";
        ASSERT_EQ(calc_file_md5(dir / "f", out), 0) << size;
        EXPECT_EQ(out, md5sum_of(dir / "f")) << size;
    }
}

TEST(LargeFileMap, LongerThanTheAddressSpaceFailsCleanly)
{
    if (sizeof(void*) > 4) GTEST_SKIP() << "every file length fits a 64-bit address space";
    // 4 GiB + 4 KiB wrapped to a 4 KiB mapping of a file that is far longer.
    for (const uint64_t size : {kFourGiB + 4096, kTwoGiB + 4096}) {
        TempDir dir;
        write_sparse(dir / "f", size, {0});
        xmap_class map(dir / "f");
        EXPECT_EQ(map.begin, nullptr) << size;
        EXPECT_EQ(map.end, nullptr) << size;

        file_bytes bytes;
        EXPECT_EQ(bytes.load(open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC)), EOVERFLOW) << size;
    }
}

TEST(LargeFileZip, ArchiveWhoseEntriesLiePastTwoGiB)
{
    // A small archive after a 2 GiB hole, as behind a self-extracting stub:
    // too long for a 32-bit address space, so it is read from the file there.
    TempDir dir;
    const std::string payload = noise(200000, 7);
    make_zip(dir / "small.zip", "inside.bin", payload);
    const std::string zip = read_file(dir / "small.zip");
    const int fd = open((dir / "big.zip").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, zip.data(), zip.size(), static_cast<off_t>(kTwoGiB + 512)),
              static_cast<ssize_t>(zip.size()));
    ASSERT_EQ(close(fd), 0);
    mkdir((dir / "out").c_str(), 0755);

    ASSERT_EQ(zip_to_file(dir / "big.zip", dir / "out/", nullptr, 0), 0);
    EXPECT_EQ(read_file(dir / "out/inside.bin"), payload);
}

// A release of one file a little over 2 GiB, mostly zeros, and one small file.
Release large_release()
{
    Release r;
    r.servers = {{"mirror.example", "/brennix/", "Mirror"}};
    r.versions.push_back({{"Resources/big.dat", {noise(5000, 1), 0, kTwoGiB + 100003, noise(3000, 2)}},
                          {"Resources/small.txt", {"small", 0}}});
    return r;
}

// CTest builds the served release once per run into the folder this names
// (LargeRelease.Build) and removes it at the end (LargeRelease.Remove).
const char* shared_site() { return getenv("BRX_LARGE_RELEASE"); }

void build_site(const std::string& site)
{
    const Release r = large_release();
    build_release(r, site);
    write_file(site + "big.md5", md5_of(r.versions[0].at("Resources/big.dat")));
}

TEST(LargeRelease, Build)
{
    if (!shared_site()) GTEST_SKIP() << "run by CTest as the large tests' fixture";
    remove_tree(std::string(shared_site()) + "/");
    mkdir(shared_site(), 0755);
    build_site(std::string(shared_site()) + "/");
}

TEST(LargeRelease, Remove)
{
    if (!shared_site()) GTEST_SKIP() << "run by CTest as the large tests' fixture";
    remove_tree(std::string(shared_site()) + "/");
}

// The release served by nginx through tinyproxy: the shared one, or, run by
// hand, one of the suite's own.
class LargeFileInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        release = new Release(large_release());
        big = release->versions[0].at("Resources/big.dat");
        if (shared_site()) {
            site = std::string(shared_site()) + "/";
        } else {
            own_site = new TempDir;
            site = own_site->path();
            build_site(site);
        }
        big_md5 = read_file(site + "big.md5");
    }
    static void TearDownTestSuite()
    {
        delete release;
        delete own_site;
        release = nullptr;
        own_site = nullptr;
    }

    void SetUp() override
    {
        ASSERT_EQ(big_md5.size(), 32u) << "no release in " << site;
        mkdir((tmp / "tmp").c_str(), 0755);
        mkdir((tmp / "parent").c_str(), 0755);
        xer.close();
        xer.clear();
        xer.open(tmp / "Log.txt");
        nginx = std::make_unique<NginxServer>(tmp / "",
                                              std::map<std::string, std::string>{{"mirror.example", site}});
        proxy = std::make_unique<TinyProxy>(tmp / "", nginx->port());
        reset_engine(tmp / "tmp/", dest());
        http.proxy_host = "127.0.0.1";
        http.proxy_port = std::to_string(proxy->port());
        http.proxy_port_int = proxy->port();
        install_name = release->version_name;
        stg.server_count = 1;
        server_name[0] = release->servers[0].host;
        server_path[0] = release->servers[0].path_prefix + release->version_name + "/";
        server_desc[0] = release->servers[0].description;
        stg.server_index = 0;
    }
    void TearDown() override
    {
        reset_engine("", "");
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        proxy.reset();
        nginx.reset();
        xer.close();
    }

    std::string dest() const { return tmp / "parent/Brennix/"; }

    const file_version_struct& listed(const std::string& name) const
    {
        for (const file_history_struct& h : sim_info)
            if (h.versions.back().path == release->top_folder + "/Resources/" + name)
                return h.versions.back();
        throw std::runtime_error("not listed: " + name);
    }

    // The install step, with room for unpacking 2 GiB under an emulator.
    static int install() { return press_install() == 1 ? run_install(1200) : -1; }

    static TempDir* own_site;
    static std::string site;
    static Release* release;
    static ReleaseFile big;
    static std::string big_md5;

    TempDir tmp;
    std::unique_ptr<NginxServer> nginx;
    std::unique_ptr<TinyProxy> proxy;
};

TempDir* LargeFileInstall::own_site = nullptr;
std::string LargeFileInstall::site;
Release* LargeFileInstall::release = nullptr;
ReleaseFile LargeFileInstall::big;
std::string LargeFileInstall::big_md5;

TEST_F(LargeFileInstall, DownloadedUnpackedAndChecksummed)
{
    ASSERT_EQ(fetch_and_read_directory(), 3);
    EXPECT_EQ(listed("big.dat").sig_have, "NONE");
    ASSERT_EQ(install(), 1);
    EXPECT_EQ(stg.install_error, 0);

    EXPECT_EQ(file_size(dest() + "Resources/big.dat"), size_of(big));
    EXPECT_EQ(md5sum_of(dest() + "Resources/big.dat"), big_md5);
    EXPECT_EQ(read_file(dest() + "Resources/small.txt"), "small");
    EXPECT_TRUE(list_tree(tmp / "tmp/") == std::vector<std::string>{"directory.txt"});
}

TEST_F(LargeFileInstall, FileAlreadyInTheDestinationIsCurrent)
{
    install_tree(*release, 0, dest());
    struct stat before;
    ASSERT_EQ(stat((dest() + "Resources/big.dat").c_str(), &before), 0);

    ASSERT_EQ(fetch_and_read_directory(), 3);
    EXPECT_EQ(listed("big.dat").sig_have, big_md5);
    EXPECT_EQ(listed("big.dat").have, 1);
    EXPECT_EQ(stg.total_download, 0.0f);
    ASSERT_EQ(install(), 1);

    // Not fetched again: the same file, never replaced.
    struct stat after;
    ASSERT_EQ(stat((dest() + "Resources/big.dat").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
}

}  // namespace
