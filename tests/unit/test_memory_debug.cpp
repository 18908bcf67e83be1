#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>

#include "GenH/hl_types.h"
#include "UTL/UTL_Debug.h"
#include "UTL/UTL_memory.h"
#include "support/test_util.h"

namespace {

std::string capture(const std::function<void(FILE*)>& write)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    write(f);
    fclose(f);
    std::string s(buf, len);
    free(buf);
    return s;
}

TEST(Allocation, ZeroSizeAndNull)
{
    void* a = ::operator new(0);
    void* b = ::operator new(0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    ::operator delete(a);
    ::operator delete(b);
    ::operator delete(nullptr);
    void* t = ::operator new(16, "tag", 3);
    ::operator delete(t);
    void* n = ::operator new(8, std::nothrow);
    EXPECT_NE(n, nullptr);
    ::operator delete(n);
}

TEST(Allocation, FailureThrowsOrGivesNull)
{
    // More than any address space holds, on 32-bit and 64-bit builds alike.
    const std::size_t huge = std::numeric_limits<std::size_t>::max();
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](huge, std::nothrow, "tag", 1), nullptr);
}

TEST(MemorySizes, Thresholds)
{
    const struct {
        uint64_t n;
        char suffix;
        uint32_t number;
    } cases[] = {
        {1433, 'B', 1433},
        {1434, 'K', 1},
        {1468006, 'K', 1433},
        {1468007, 'M', 1},
        {2000000, 'M', 1},
        {15032385536ull, 'M', 14336},
        {15032385537ull, 'G', 14},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mem_to_suffix(c.n), c.suffix) << c.n;
        EXPECT_EQ(mem_to_number(c.n), c.number) << c.n;
    }
}

TEST(MemoryReport, CreatesAnEmptyFileOncePerRun)
{
    brx_test::TempDir dir;
    brx_test::write_file(dir / "MemoryLog.txt", "old contents");
    auto r = brx_test::run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            dump_mem_stats("first");
            if (brx_test::read_file("MemoryLog.txt") != "") _exit(1);
            brx_test::write_file("MemoryLog.txt", "written between");
            dump_mem_stats("second");
            if (brx_test::read_file("MemoryLog.txt") != "written between") _exit(2);
            xer.close();
            _exit(0);
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(brx_test::read_file(dir / "Log.txt"),
              "OK check MemoryLog.txt! I just sent him a dump from first\n"
              "OK check MemoryLog.txt! I just sent him a dump from second\n");
}

TEST(Debug, DumpHexPadsToFullWidth)
{
    const unsigned char bytes[] = {0x61, 0x62, 0x00, 0x63, 0x64};
    const std::string s = capture([&](FILE* f) { dump_hex(f, bytes, 5); });
    const std::string expected = std::string(" 61620063 64") + std::string(24, ' ') + "    " +
                                 " ab.c d" + std::string(13, ' ') + "\n";
    EXPECT_EQ(s, expected);
    EXPECT_EQ(s.size(), 61u);
    EXPECT_EQ(capture([&](FILE* f) { dump_hex(f, bytes, 0); }), "");

    unsigned char row[20];
    for (int i = 0; i < 20; ++i) row[i] = static_cast<unsigned char>('A' + i);
    const std::string two = capture([&](FILE* f) { dump_hex(f, row, 20); });
    EXPECT_EQ(two.size(), 122u);
    EXPECT_EQ(two.substr(0, 37), " 41424344 45464748 494A4B4C 4D4E4F50 ");
}

TEST(Debug, StackDumpFollowsOnlyClimbingFrames)
{
    EXPECT_EQ(capture([](FILE* f) { UTL_dump_stack(f, nullptr, reinterpret_cast<void*>(0x1234)); }),
              "  0) 0x00001234 (\?\?\?)\n");

    stack_frame frames[3];
    frames[0] = {&frames[1], reinterpret_cast<void*>(0x10)};
    frames[1] = {&frames[2], reinterpret_cast<void*>(0x20)};
    frames[2] = {&frames[0], reinterpret_cast<void*>(0x30)};  // does not climb: the walk stops
    EXPECT_EQ(capture([&](FILE* f) { UTL_dump_stack(f, &frames[0], nullptr); }),
              "  0) 0x00000010 (\?\?\?)\n  1) 0x00000020 (\?\?\?)\n");
}

TEST(Debug, SymbolLookupFindsNothing)
{
    symbol_info info;
    memset(&info, 'x', sizeof info);
    UTL_get_debug_symbol(&info, &info);
    EXPECT_STREQ(info.module, "");
    EXPECT_STREQ(info.function, "");
    EXPECT_STREQ(info.file, "");
    EXPECT_EQ(info.line, -1);
    EXPECT_EQ(info.module_base, 0u);
    EXPECT_EQ(UTL_valid_memory(nullptr, 0, 0, 0), 1);
}

TEST(Debug, InitIgnoresSigpipe)
{
    auto r = brx_test::run_in_child([] {
        UTL_debug_init();
        int fds[2];
        if (pipe(fds) != 0) _exit(2);
        close(fds[0]);
        const ssize_t n = write(fds[1], "x", 1);
        _exit(n == -1 && errno == EPIPE ? 0 : 1);
    });
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 0);
}

}  // namespace
