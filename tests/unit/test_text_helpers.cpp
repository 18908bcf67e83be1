#include <gtest/gtest.h>

#include <csignal>

#include "GenH/hl_math.h"
#include "GenH/hl_string.h"
#include "support/test_util.h"

namespace {

struct FltCase {
    float value;
    int digits, decimals, sign_flag;
    const char* expected;
};

TEST(FltToStr, FormatsTable)
{
    const FltCase cases[] = {
        {3.25f, 5, 2, 0, "  3.25"},
        {12.34f, 3, 1, 0, "12.3"},
        {0.05f, 3, 1, 0, " 0.1"},
        {7.0f, 2, 0, 1, "  7"},
        {123456.0f, 3, 1, 0, "123456.0"},
        {12.7f, 2, 0, 0, "12"},
        {-12.7f, 2, 0, 0, "-12"},
        {-0.4f, 1, 0, 0, "-0"},
        {-3.25f, 5, 2, 0, "-  3.25"},
        {0.0f, 3, 0, 0, "  0"},
        {9.96f, 2, 1, 0, "10.0"},    // the rounded fraction carries
        {-9.96f, 2, 1, 0, "-10.0"},
        {99.99f, 3, 1, 0, "100.0"},
        {0.999f, 3, 2, 0, "1.00"},
        {45.5f, 3, 1, 1, " 45.5"},
        {0.35f, 3, 1, 0, " 0.4"},  // 0.3499999940: ten times it is 3.5 as a float
    };
    for (const FltCase& c : cases) {
        std::string out = "unchanged";
        flt_to_str(c.value, &out, c.digits, c.decimals, c.sign_flag);
        EXPECT_EQ(out, c.expected) << c.value << " digits " << c.digits << " decimals " << c.decimals;
    }
}

TEST(FltToStr, NegativeDecimalsLeaveOutputAlone)
{
    std::string out = "keep";
    flt_to_str(1.5f, &out, 3, -1, 0);
    EXPECT_EQ(out, "keep");
}

TEST(FltToStr, OutOfRangeValuesDoNotOverflow)
{
    std::string out;
    flt_to_str(1e30f, &out, 3, 1, 0);
    EXPECT_EQ(out.substr(0, 10), "2147483647");
    flt_to_str(-1e30f, &out, 3, 1, 0);
    EXPECT_EQ(out.substr(0, 11), "-2147483648");
}

// Exact whole percentages, never 100 before the last byte, lengths beyond
// what 100 times fits in 64 bits included.
TEST(WholePercent, Table)
{
    const int64_t big = INT64_MAX;
    struct Case {
        int64_t part, whole;
        int percent;
    } cases[] = {
        {29, 100, 29},   {99, 100, 99},   {100, 100, 100}, {101, 100, 100},
        {0, 100, 0},     {0, 0, 0},       {5, 0, 0},       {5, -1, 0},
        {-5, 100, 0},    {1, 3, 33},      {2, 3, 66},      {6000000000LL, 6000000001LL, 99},
        {big / 2, big, 49}, {big - 1, big, 99}, {big / 100 + 1, big, 1}, {big / 50 * 43, big, 85},
    };
    for (const Case& c : cases)
        EXPECT_EQ(whole_percent(c.part, c.whole), c.percent) << c.part << " of " << c.whole;
}

struct PathCase {
    const char* full;
    const char* path;
    const char* file;
};

TEST(GetPathWithPath, SplitsTable)
{
    const PathCase cases[] = {
        {"a/b/c", "a/b/", "c"}, {"a/b/c/", "a/b/", "c/"}, {"c", "", "c"},
        {"/c", "/", "c"},       {"a/", "a/", ""},         {"", "", ""},
        {"/", "/", ""},         {"/x/y/", "/x/", "y/"},
    };
    for (const PathCase& c : cases) {
        std::string path = "junk";
        get_path_with_path(path, c.full);
        EXPECT_EQ(path, c.path) << c.full;
        EXPECT_EQ(get_path_with_path_file(), c.file) << c.full;
    }
}

TEST(GetPathWithPath, PathMayBeTheInput)
{
    std::string s = "/home/pat/file.txt";
    get_path_with_path(s, s);
    EXPECT_EQ(s, "/home/pat/");
    EXPECT_EQ(get_path_with_path_file(), "file.txt");
}

TEST(IntRand, StaysInRange)
{
    EXPECT_EQ(int_rand(4, 4), 4);
    for (int i = 0; i < 1000; ++i) {
        const int r = int_rand(0, 9);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 9);
    }
    const int wide = int_rand(-2147483647, 2147483646);
    EXPECT_GE(wide, -2147483647);
}

TEST(IntRand, ReversedRangeIsFatal)
{
    brx_test::TempDir dir;
    auto r = brx_test::run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            int_rand(5, 1);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("int rand range negative!\n\nlo=5 hi=1\n\n"), std::string::npos) << r.out;
    EXPECT_NE(brx_test::read_file(dir / "Log.txt").find("\nint rand range negative!\nlo=5 hi=1\n\n\n(GenH/hl_math line 344)\n"),
              std::string::npos);
}

}  // namespace
