#include <gtest/gtest.h>
#include <md5.h>
#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Files/io_utils.h"
#include "support/test_util.h"

namespace {

using brx_test::TempDir;
using brx_test::write_file;

std::string one_shot_md5(const std::string& bytes)
{
    char text[MD5_DIGEST_STRING_LENGTH];
    MD5Data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text);
    return text;
}

TEST(FileMd5, Rfc1321Vectors)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {[] {
             std::string s;
             for (int i = 0; i < 8; ++i) s += "1234567890";
             return s;
         }(),
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    TempDir dir;
    for (const auto& [input, digest] : vectors) {
        write_file(dir / "f", input);
        std::string out;
        EXPECT_EQ(calc_file_md5(dir / "f", out), 0);
        EXPECT_EQ(out, digest) << input;
    }
}

TEST(FileMd5, SizesAroundThePieceAndBufferLengths)
{
    TempDir dir;
    // Around the MD5Update piece, the read chunk (1 MiB), the size from which
    // reading overlaps hashing (4 MiB) and the wrap of its ring of 4 chunks.
    constexpr std::size_t MiB = std::size_t{1} << 20;
    for (std::size_t size : {std::size_t{65535}, std::size_t{65536}, std::size_t{131071},
                             std::size_t{200000}, MiB, MiB + 1, 3 * MiB + 17, 4 * MiB - 1, 4 * MiB,
                             4 * MiB + 1, 9 * MiB + 17}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919u) >> 3);
        write_file(dir / "f", bytes);
        std::string out;
        ASSERT_EQ(calc_file_md5(dir / "f", out), 0);
        EXPECT_EQ(out, one_shot_md5(bytes)) << size;
    }
}

TEST(FileMd5, UnreadablePathsLeaveTheOutputAlone)
{
    TempDir dir;
    std::string out = "marker";
    EXPECT_EQ(calc_file_md5(dir / "missing", out), 20006);
    EXPECT_EQ(out, "marker");
    EXPECT_EQ(calc_file_md5(dir.path(), out), 20006);  // a folder is not a file
    EXPECT_EQ(out, "marker");

    write_file(dir / "Mixed.Case", "abc");
    EXPECT_EQ(calc_file_md5(dir / "mixed.case", out), 0);
    EXPECT_EQ(out, "900150983cd24fb0d6963f7d28e17f72");
}

// The read position of the descriptor this process holds open on `real_path`,
// or -1 while there is none.
long long open_position(const std::string& real_path)
{
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return -1;
    long long pos = -1;
    while (const dirent* e = readdir(fds)) {
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0 || std::string(target, static_cast<std::size_t>(n)) != real_path) continue;
        const std::string info = brx_test::read_file(std::string("/proc/self/fdinfo/") + e->d_name);
        if (info.rfind("pos:", 0) == 0) pos = std::atoll(info.c_str() + 4);
    }
    closedir(fds);
    return pos;
}

// A file cut short once it is being read gives 20006 (or, had its end been
// read before, the checksum of the file as it was): never the checksum of the
// part left, a hang or a crash.
TEST(FileMd5, FileCutShortWhileSummed)
{
    TempDir dir;
    const std::string path = dir / "big";
    std::string bytes(std::size_t{64} << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 24);
    write_file(path, bytes);
    const std::string whole = one_shot_md5(bytes);
    char real[PATH_MAX];
    ASSERT_NE(realpath(path.c_str(), real), nullptr);

    std::atomic<bool> done{false};
    std::string out = "marker";
    int result = -1;
    std::thread summer([&] {
        result = calc_file_md5(path, out);
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && open_position(real) <= 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    const bool reading = !done && open_position(real) > 0;
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(bytes.size() / 2)), 0);
    summer.join();
    ASSERT_TRUE(reading) << "the file was never seen being read";
    if (result == 0) {
        EXPECT_EQ(out, whole);
    } else {
        EXPECT_EQ(result, 20006);
        EXPECT_EQ(out, "marker");
    }
}

TEST(FileMd5, WidePiecesMatchOneUpdate)
{
    std::string bytes(200001, 'x');
    MD5_CTX a;
    MD5Init(&a);
    MD5UpdateWide(&a, reinterpret_cast<const unsigned char*>(bytes.data()), 0);
    MD5UpdateWide(&a, reinterpret_cast<const unsigned char*>(bytes.data()),
                  static_cast<unsigned int>(bytes.size()));
    char text[MD5_DIGEST_STRING_LENGTH];
    MD5End(&a, text);
    EXPECT_EQ(std::string(text), one_shot_md5(bytes));
}

}  // namespace
