#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

#include <csignal>
#include <cstring>
#include <ctime>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "support/test_util.h"

namespace {

using brx_test::ended_pid;
using brx_test::list_tree;
using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;

constexpr uint32_t kFileMode = 0100644u << 16;
constexpr uint32_t kLinkMode = 0120777u << 16;

struct Entry {
    std::string name;
    std::string data;
    uint32_t external = 0;
    bool flip_byte = false;  // store uncompressed and damage the data: the CRC fails
};

tm_zip zip_date(int y, int mo, int d, int h, int mi, int s)
{
    tm_zip t;
    t.tm_year = static_cast<uInt>(y);
    t.tm_mon = static_cast<uInt>(mo);
    t.tm_mday = static_cast<uInt>(d);
    t.tm_hour = static_cast<uInt>(h);
    t.tm_min = static_cast<uInt>(mi);
    t.tm_sec = static_cast<uInt>(s);
    return t;
}

// Writes an archive with minizip's writer.
void make_zip(const std::string& path, const std::vector<Entry>& entries)
{
    zipFile z = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(z, nullptr);
    for (const Entry& e : entries) {
        zip_fileinfo info;
        std::memset(&info, 0, sizeof info);
        info.tmz_date = zip_date(2001, 1, 3, 4, 5, 6);
        info.external_fa = e.external;
        const int method = e.flip_byte ? 0 : Z_DEFLATED;
        ASSERT_EQ(zipOpenNewFileInZip(z, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      method, Z_DEFAULT_COMPRESSION),
                  ZIP_OK);
        if (!e.data.empty()) {
            ASSERT_EQ(zipWriteInFileInZip(z, e.data.data(), static_cast<unsigned>(e.data.size())), ZIP_OK);
        }
        ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
    }
    ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
    for (const Entry& e : entries) {
        if (!e.flip_byte) continue;
        std::string bytes = read_file(path);
        const std::size_t at = bytes.find(e.data);
        ASSERT_NE(at, std::string::npos);
        bytes[at] ^= 1;
        write_file(path, bytes);
    }
}

// A scratch root holding the target folder "t/" and a folder "outside/"
// that no archive may touch.
struct Scratch {
    TempDir root;
    std::string target = root / "t/";
    std::string outside = root / "outside/";
    Scratch()
    {
        mkdir(target.c_str(), 0755);
        mkdir(outside.c_str(), 0755);
        write_file(outside + "keep", "keep");
    }
    std::vector<std::string> tree() const { return list_tree(root.path()); }
    std::vector<std::string> with(std::vector<std::string> extra) const
    {
        extra.insert(extra.end(), {"outside/", "outside/keep", "t/"});
        std::sort(extra.begin(), extra.end());
        return extra;
    }
};

std::string link_at(const std::string& p)
{
    char buf[4096];
    const ssize_t n = readlink(p.c_str(), buf, sizeof buf);
    return n < 0 ? std::string("<not a link>") : std::string(buf, static_cast<std::size_t>(n));
}

struct ZipCase {
    const char* name;
    std::function<void(Scratch&)> before;
    std::function<std::vector<Entry>(Scratch&)> entries;
    int expected;
    std::vector<std::string> tree;  // below the scratch root, besides outside/ and t/
    std::function<void(Scratch&)> check;
};

class ZipTable : public ::testing::TestWithParam<ZipCase> {};

TEST_P(ZipTable, UnpacksOrRefusesAndNothingLeaksOut)
{
    const ZipCase& c = GetParam();
    Scratch s;
    if (c.before) c.before(s);
    make_zip(s.root / "a.zip", c.entries(s));
    const int got = zip_to_file(s.root / "a.zip", s.target, nullptr, 0);
    EXPECT_EQ(got, c.expected);
    std::vector<std::string> want = s.with(c.tree);
    want.push_back("a.zip");
    std::sort(want.begin(), want.end());
    EXPECT_EQ(s.tree(), want);
    EXPECT_EQ(read_file(s.outside + "keep"), "keep");
    if (c.check) c.check(s);
}

std::vector<Entry> just(std::vector<Entry> e) { return e; }

INSTANTIATE_TEST_SUITE_P(
    Table, ZipTable,
    ::testing::Values(
        ZipCase{"folder_then_file", nullptr,
                [](Scratch&) { return just({{"sub/", ""}, {"sub/a.txt", "hello"}}); }, 0,
                {"t/sub/", "t/sub/a.txt"},
                [](Scratch& s) { EXPECT_EQ(read_file(s.target + "sub/a.txt"), "hello"); }},
        ZipCase{"file_without_its_folder", nullptr,
                [](Scratch&) { return just({{"sub/a.txt", "hello"}}); }, ENOENT, {}, nullptr},
        ZipCase{"existing_folder_entry", [](Scratch& s) { mkdir((s.target + "sub").c_str(), 0755); },
                [](Scratch&) { return just({{"sub/", ""}, {"sub/a.txt", "x"}}); }, 0,
                {"t/sub/", "t/sub/a.txt"}, nullptr},
        ZipCase{"macosx_skipped_lower_case_kept", nullptr,
                [](Scratch&) {
                    return just({{"__MACOSX/", ""}, {"__MACOSX/._a", "r"}, {"__macosx/", ""},
                                 {"__macosx/b", "b"}});
                },
                0, {"t/__macosx/", "t/__macosx/b"}, nullptr},
        ZipCase{"file_replaced_not_appended", [](Scratch& s) { write_file(s.target + "a", "old old old"); },
                [](Scratch&) { return just({{"a", "new"}}); }, 0, {"t/a"},
                [](Scratch& s) { EXPECT_EQ(read_file(s.target + "a"), "new"); }},
        ZipCase{"empty_entry", nullptr, [](Scratch&) { return just({{"e", ""}}); }, 0, {"t/e"},
                [](Scratch& s) { EXPECT_EQ(read_file(s.target + "e"), ""); }},
        ZipCase{"link_replaces_file", [](Scratch& s) { write_file(s.target + "a.txt", "old"); },
                [](Scratch&) { return just({{"b.txt", "b"}, {"a.txt", "b.txt", kLinkMode}}); }, 0,
                {"t/a.txt", "t/b.txt"},
                [](Scratch& s) {
                    EXPECT_EQ(link_at(s.target + "a.txt"), "b.txt");
                    EXPECT_EQ(read_file(s.target + "a.txt"), "b");
                }},
        ZipCase{"relative_links_inside_are_kept", nullptr,
                [](Scratch&) {
                    return just({{"sub/", ""}, {"sub/up", "../x", kLinkMode}, {"lib", "sub", kLinkMode},
                                 {"lib/through", "data"}, {"here", "./sub", kLinkMode}});
                },
                0, {"t/here", "t/lib", "t/sub/", "t/sub/through", "t/sub/up"},
                [](Scratch& s) {
                    EXPECT_EQ(link_at(s.target + "sub/up"), "../x");
                    EXPECT_EQ(read_file(s.target + "sub/through"), "data");
                }},
        ZipCase{"crc_failure_keeps_old_file", [](Scratch& s) { write_file(s.target + "a.txt", "old"); },
                [](Scratch&) { return just({{"a.txt", "new contents here", kFileMode, true}}); },
                UNZ_CRCERROR, {"t/a.txt"},
                [](Scratch& s) { EXPECT_EQ(read_file(s.target + "a.txt"), "old"); }},
        ZipCase{"folder_at_a_file_entry", [](Scratch& s) { mkdir((s.target + "a").c_str(), 0755); },
                [](Scratch&) { return just({{"a", "x"}}); }, EISDIR, {"t/a/"}, nullptr},
        ZipCase{"absolute_name", nullptr,
                [](Scratch& s) { return just({{s.outside + "evil", "x"}}); }, EINVAL, {}, nullptr},
        ZipCase{"dot_dot_name", nullptr,
                [](Scratch&) { return just({{"../outside/evil", "x"}}); }, EINVAL, {}, nullptr},
        ZipCase{"inner_dot_dot_name", nullptr,
                [](Scratch&) { return just({{"sub/", ""}, {"sub/../../outside/evil", "x"}}); }, EINVAL,
                {"t/sub/"}, nullptr},
        ZipCase{"dot_dot_folder", nullptr, [](Scratch&) { return just({{"../evil/", ""}}); }, EINVAL,
                {}, nullptr},
        ZipCase{"name_of_256_bytes", nullptr,
                [](Scratch&) { return just({{std::string(256, 'n'), "x"}}); }, ENAMETOOLONG, {},
                nullptr},
        ZipCase{"name_of_255_bytes", nullptr,
                [](Scratch&) { return just({{std::string(255, 'n'), "x"}}); }, 0,
                {"t/" + std::string(255, 'n')}, nullptr},
        ZipCase{"absolute_link", nullptr,
                [](Scratch& s) { return just({{"l", s.outside, kLinkMode}, {"l/evil", "x"}}); }, EINVAL,
                {}, nullptr},
        ZipCase{"climbing_link", nullptr,
                [](Scratch&) { return just({{"l", "../outside", kLinkMode}, {"l/evil", "x"}}); }, EINVAL,
                {}, nullptr},
        ZipCase{"link_climbing_after_a_name", nullptr,
                [](Scratch&) {
                    return just({{"sub/", ""}, {"l", "sub/../../outside", kLinkMode}, {"l/evil", "x"}});
                },
                EINVAL, {"t/sub/"}, nullptr},
        ZipCase{"link_from_a_folder_climbing_too_far", nullptr,
                [](Scratch&) {
                    return just({{"sub/", ""}, {"sub/l", "../../outside", kLinkMode}, {"sub/l/evil", "x"}});
                },
                EINVAL, {"t/sub/"}, nullptr},
        ZipCase{"link_with_nul_in_target", nullptr,
                [](Scratch&) { return just({{"l", std::string("sub\0/../..", 10), kLinkMode}}); }, EINVAL,
                {}, nullptr},
        ZipCase{"link_target_too_long", nullptr,
                [](Scratch&) { return just({{"l", std::string(4096, 'a'), kLinkMode}}); }, ENAMETOOLONG,
                {}, nullptr},
        ZipCase{"planted_link_leading_out",
                [](Scratch& s) { symlink(s.outside.c_str(), (s.target + "l").c_str()); },
                [](Scratch&) { return just({{"l/evil", "x"}}); }, EINVAL, {"t/l"}, nullptr},
        ZipCase{"planted_link_folder_entry",
                [](Scratch& s) { symlink(s.outside.c_str(), (s.target + "l").c_str()); },
                [](Scratch&) { return just({{"l/", ""}, {"l/sub/", ""}}); }, EINVAL, {"t/l"}, nullptr},
        ZipCase{"planted_link_replaced_by_file",
                [](Scratch& s) { symlink((s.outside + "keep").c_str(), (s.target + "l").c_str()); },
                [](Scratch&) { return just({{"l", "mine"}}); }, 0, {"t/l"},
                [](Scratch& s) { EXPECT_EQ(read_file(s.target + "l"), "mine"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Zip, ModesAndTimes)
{
    Scratch s;
    make_zip(s.root / "a.zip", {{"exec", "x", 0100750u << 16},
                                {"dos", "x", 0x20},  // attributes without a Unix mode
                                {"plain", "x", 0}});
    ASSERT_EQ(zip_to_file(s.root / "a.zip", s.target, nullptr, 0), 0);
    const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    struct tm t;
    std::memset(&t, 0, sizeof t);
    t.tm_year = 101;
    t.tm_mon = 1;
    t.tm_mday = 3;
    t.tm_hour = 4;
    t.tm_min = 5;
    t.tm_sec = 6;
    t.tm_isdst = -1;
    const time_t stamp = mktime(&t);
    struct stat st;
    ASSERT_EQ(stat((s.target + "exec").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtime, stamp);
    EXPECT_EQ(st.st_atime, stamp);
    ASSERT_EQ(stat((s.target + "dos").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(st.st_mtime, stamp);
    ASSERT_EQ(stat((s.target + "plain").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    EXPECT_NE(st.st_mtime, stamp);
}

TEST(Zip, FirstNameAndUseName)
{
    Scratch s;
    make_zip(s.root / "a.zip", {{"__MACOSX/", ""}, {"directory.txt", "x"}});
    std::string first = "unchanged";
    ASSERT_EQ(zip_to_file(s.root / "a.zip", s.target, &first, 0), 0);
    EXPECT_EQ(first, "__MACOSX/");

    make_zip(s.root / "b.zip", {{"directory.txt", "one"}, {"other", "two"}});
    first = "renamed.txt";
    ASSERT_EQ(zip_to_file(s.root / "b.zip", s.target, &first, 1), 0);
    EXPECT_EQ(first, "directory.txt");
    EXPECT_EQ(read_file(s.target + "renamed.txt"), "one");
    EXPECT_EQ(read_file(s.target + "other"), "two");
    first = "../evil";
    EXPECT_EQ(zip_to_file(s.root / "b.zip", s.target, &first, 1), EINVAL);
}

TEST(Zip, FailuresAreLogged)
{
    Scratch s;
    const std::string log = s.root / "log.txt";
    xer.open(log);
    EXPECT_EQ(zip_to_file(s.root / "missing.zip", s.target, nullptr, 0), 20001);
    make_zip(s.root / "bad.zip", {{"a", "x"}, {"../b", "y"}});
    EXPECT_EQ(zip_to_file(s.root / "bad.zip", s.target, nullptr, 0), EINVAL);
    make_zip(s.root / "empty.zip", {});
    EXPECT_EQ(zip_to_file(s.root / "empty.zip", s.target, nullptr, 0), 20001);  // the reader refuses it
    // A damaged central directory: the first entry's information cannot be read.
    make_zip(s.root / "dir.zip", {{"c", "x"}});
    std::string bytes = read_file(s.root / "dir.zip");
    bytes[bytes.find("PK\x01\x02")] = 'X';
    write_file(s.root / "dir.zip", bytes);
    EXPECT_EQ(zip_to_file(s.root / "dir.zip", s.target, nullptr, 0), UNZ_BADZIPFILE);
    xer.close();
    const std::string z = s.root / "missing.zip";
    const std::string text = read_file(log);
    EXPECT_NE(text.find("OK I am about to report that I could not open a zip file for extraction!\n"
                        "That incoming file is " + z + "\nIn c-form, it is " + z + "\nThe size is " +
                        std::to_string(z.size()) + "\nZip to file failed with error err = 20001. file = "
                        "Files/io_utils line = 1686. zip_file=" + z + ", out_directory=" + s.target +
                        ".\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("UNZIP zip_to_file failed with err=22\nZip to file failed with error err = 22. "
                        "file = Files/io_utils line = 1725."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("unzGetCurrentFileInfo err != UNZ_OK! err=-103\nZip to file failed with error "
                        "err = -103. file = Files/io_utils line = 1736."),
              std::string::npos);
    EXPECT_EQ(read_file(s.target + "a"), "x");  // entries before the failure stay
}

// A write that the file system refuses (here the file-size limit) is an
// error, not success; the old file stays and no temporary file is left.
TEST(Zip, ShortWriteKeepsTheOldFile)
{
    Scratch s;
    write_file(s.target + "big", "old");
    make_zip(s.root / "a.zip", {{"big", std::string(300000, 'z')}});
    auto r = run_in_child(
        [&] {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit lim = {100000, 100000};
            setrlimit(RLIMIT_FSIZE, &lim);
            printf("%d", zip_to_file(s.root / "a.zip", s.target, nullptr, 0));
        },
        s.root.path());
    EXPECT_EQ(r.out, std::to_string(EFBIG));
    EXPECT_EQ(read_file(s.target + "big"), "old");
    EXPECT_EQ(list_tree(s.target), std::vector<std::string>{"big"});
}

TEST(Zip, LargeEntryStreamsWhole)
{
    Scratch s;
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
    make_zip(s.root / "a.zip", {{"big", big, kFileMode}});
    ASSERT_EQ(zip_to_file(s.root / "a.zip", s.target, nullptr, 0), 0);
    EXPECT_EQ(read_file(s.target + "big"), big);
}

TEST(Zip, PackingRoundTrip)
{
    Scratch s;
    write_file(s.root / "src.bin", std::string(70000, 'q') + "tail");
    chmod((s.root / "src.bin").c_str(), 0640);
    EXPECT_EQ(file_to_zip(s.root / "src.bin", s.root / "p.zip"), 0);
    ASSERT_EQ(zip_to_file(s.root / "p.zip", s.target, nullptr, 0), 0);
    EXPECT_EQ(read_file(s.target + "src.bin"), std::string(70000, 'q') + "tail");
    struct stat a, b;
    stat((s.root / "src.bin").c_str(), &a);
    stat((s.target + "src.bin").c_str(), &b);
    EXPECT_EQ(b.st_mode & 0777, 0640u);
    EXPECT_EQ(b.st_mtime, a.st_mtime - a.st_mtime % 2);  // zip times count in two seconds

    xer.open(s.root / "log.txt");
    EXPECT_EQ(file_to_zip(s.root / "none", s.root / "q.zip"), 20006);
    EXPECT_EQ(file_to_zip(s.root / "src.bin", s.root / "nofolder/q.zip"), 20003);
    xer.close();
    EXPECT_NE(read_file(s.root / "log.txt").find("file_to_zip failed with error 20006.\nfile = "
                                                 "Files/io_utils line = 1276\n"),
              std::string::npos);
}

// An empty folder name is the framework root: the current folder while
// app_path is empty, and app_path itself otherwise.
TEST(Zip, EmptyFolderNameIsTheRoot)
{
    Scratch s;
    make_zip(s.root / "a.zip", {{"d/", "", 0}, {"d/f", "x", kFileMode}, {"../up", "u", kFileMode}});
    const auto r = run_in_child(
        [&] {
            printf("%d ", zip_to_file("../a.zip", "", nullptr, 0));
            app_path = s.target;
            printf("%d\n", zip_to_file("../a.zip", "", nullptr, 0));
        },
        s.target);
    EXPECT_EQ(r.out, "22 22\n");
    EXPECT_EQ(read_file(s.target + "d/f"), "x");
    EXPECT_EQ(s.tree(), s.with({"a.zip", "t/d/", "t/d/f"}));
}

// A child that waits until it is killed, under `name` when one is given.
class Sleeper {
public:
    explicit Sleeper(const char* name = nullptr)
    {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            if (name) prctl(PR_SET_NAME, name);
            (void)!write(ready[1], "r", 1);
            for (;;) pause();
        }
        char c;
        if (pid_ > 0) (void)!read(ready[0], &c, 1);  // its name is set
        close(ready[0]);
        close(ready[1]);
    }
    ~Sleeper()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    std::string pid() const { return std::to_string(pid_); }

private:
    pid_t pid_ = -1;
};

// What an unpacking killed midway leaves goes; the user's files of similar
// names, folders and links of the temporary's shape, and the live
// temporaries of another copy of this program stay.
TEST(Zip, LeftoversOfKilledUnpackingsGoAndNothingElse)
{
    Scratch s;
    const std::string dead = std::to_string(ended_pid());
    const std::string own = std::to_string(getpid());
    const Sleeper copy;              // another copy of this program, at work
    const Sleeper other("not-ours");  // another program
    const std::string d = s.target;

    const std::vector<std::string> gone_files = {
        ".brx-unzip-" + dead + "-1", ".brx-unzip-" + dead + "-234",
        ".brx-unzip-" + own + "-9",  // an earlier run that had this pid
        ".brx-unzip-" + other.pid() + "-1"};
    const std::vector<std::string> kept_files = {
        ".brx-unzip-notes", ".brx-unzip-12-3.txt", ".brx-unzip-12-", ".brx-unzip--3",
        ".brx-unzip-12-3-4", ".brx-unzip-+12-3", ".brx-unzip-12-3 ", ".BRX-UNZIP-12-3",
        "brx-unzip-12-3", "x.brx-unzip-12-3", ".brx-unzip-12345678901-1", ".brx-link-" + dead + "-6",
        ".brx-unzip-" + copy.pid() + "-1"};
    for (const std::string& n : gone_files) write_file(d + n, "partial");
    for (const std::string& n : kept_files) write_file(d + n, "the user's " + n);
    ASSERT_EQ(mkdir((d + ".brx-unzip-" + dead + "-4").c_str(), 0755), 0);
    write_file(d + ".brx-unzip-" + dead + "-4/inside", "kept");
    ASSERT_EQ(mkdir((d + ".brx-link-" + dead + "-7").c_str(), 0755), 0);
    ASSERT_EQ(symlink(".brx-unzip-notes", (d + ".brx-unzip-" + dead + "-5").c_str()), 0);
    ASSERT_EQ(symlink("gone-target", (d + ".brx-link-" + dead + "-3").c_str()), 0);
    ASSERT_EQ(symlink("gone-target", (d + ".brx-link-" + copy.pid() + "-2").c_str()), 0);

    xer.open(s.root / "log.txt");
    EXPECT_EQ(remove_unzip_leftovers(d), 5);
    EXPECT_EQ(remove_unzip_leftovers(d.substr(0, d.size() - 1)), 0);  // without the final "/"
    xer.close();

    std::vector<std::string> want = kept_files;
    for (const std::string& n : {".brx-unzip-" + dead + "-4/", ".brx-unzip-" + dead + "-4/inside",
                                 ".brx-link-" + dead + "-7/", ".brx-unzip-" + dead + "-5",
                                 ".brx-link-" + copy.pid() + "-2"})
        want.push_back(n);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(list_tree(d), want);
    for (const std::string& n : kept_files) EXPECT_EQ(read_file(d + n), "the user's " + n);
    EXPECT_NE(read_file(s.root / "log.txt")
                  .find("Removed what an interrupted unpacking left: " + d + ".brx-link-" + dead + "-3\n"),
              std::string::npos);
    EXPECT_EQ(remove_unzip_leftovers(s.root / "none/"), 0);
}

}  // namespace
