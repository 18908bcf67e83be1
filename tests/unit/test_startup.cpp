// The fixed tables, the log's opening lines and the start-up bar of the
// framework's start-up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "images/builtin_images.h"
#include "UTL/UTL_thread.h"
#include "support/test_util.h"

namespace {

using brx_test::TempDir;
using brx_test::write_file;

TEST(StartupTables, RandomFractionsAreFixed)
{
    MACIBM_fill_tables(123456);
    const std::vector<float> first(randrat, randrat + 10000);
    srand(1);
    EXPECT_EQ(randrat[0], static_cast<float>(rand()) * 4.656147e-10f);
    MACIBM_fill_tables(987654321);
    EXPECT_EQ(std::vector<float>(randrat, randrat + 10000), first);
    for (float r : first) {
        EXPECT_GE(r, 0.0f);
        EXPECT_LE(r, 0.9999f);
    }
    EXPECT_EQ(2147483647.0f * 4.656147e-10f, 0.9999f);
}

TEST(StartupTables, ClockSeedAdvancesTheGenerator)
{
    // seed % 1000 draws are dropped after seeding from the clock.
    MACIBM_fill_tables(5000);
    const int after_zero = rand();
    srand(5000);
    EXPECT_EQ(after_zero, rand());

    MACIBM_fill_tables(5003);
    const int after_three = rand();
    srand(5003);
    for (int i = 0; i < 3; ++i) (void)rand();
    EXPECT_EQ(after_three, rand());
}

TEST(StartupTables, SinesAndCosines)
{
    MACIBM_fill_tables(0);
    EXPECT_EQ(lookup_sin[90], 1.0f);
    EXPECT_EQ(lookup_sin[0], 0.0f);
    EXPECT_EQ(lookup_cos[0], 1.0f);
    EXPECT_NEAR(lookup_cos[90], -1.5547e-7f, 0.0001e-7f);
    EXPECT_NEAR(lookup_sin[180], -3.1094e-7f, 0.0002e-7f);
    EXPECT_NEAR(lookup_sin[360], 6.2188e-7f, 0.0004e-7f);
    EXPECT_EQ(lookup_sin[30], 0.50000006f);
    EXPECT_NE(lookup_sin[30], 0.5f);
}

TEST(StartupBar, FillShare)
{
    struct Case {
        float fraction, share;
    } cases[] = {{0.5f, 0.5f}, {2.0f, 1.0f}, {-1.0f, 0.02f}, {0.02f, 0.02f}, {NAN, 0.02f}};
    int counter = 0;
    for (const Case& c : cases) {
        const float share = MACIBM_init_bar_share(&c.fraction, &counter);
        EXPECT_FLOAT_EQ(share, c.share) << c.fraction;
    }
    EXPECT_EQ(counter, 0);  // a given fraction does not count
    EXPECT_FLOAT_EQ(0.5f * 1008, 504);
    const float negative = -0.5f;
    EXPECT_NEAR(MACIBM_init_bar_share(&negative, &counter) * 1008, 20.16f, 1e-4);

    // Without a fraction: 0.02 for counters 0 to 2, 3 % at the 4th call, and
    // the whole bar from the 101st on.
    std::vector<float> shares;
    for (int i = 0; i < 102; ++i) shares.push_back(MACIBM_init_bar_share(nullptr, &counter));
    EXPECT_FLOAT_EQ(shares[0], 0.02f);
    EXPECT_FLOAT_EQ(shares[1], 0.02f);
    EXPECT_FLOAT_EQ(shares[2], 0.02f);
    EXPECT_FLOAT_EQ(shares[3], 0.03f);
    EXPECT_LT(shares[99], 1.0f);
    EXPECT_FLOAT_EQ(shares[100], 1.0f);
    EXPECT_FLOAT_EQ(shares[101], 1.0f);
    EXPECT_EQ(counter, 102);
}

class LogHeader : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_cpu = UTL_cpuinfo_path;
        saved_mem = MACIBM_meminfo_path;
        saved_path = app_path;
        app_path.clear();
    }
    void TearDown() override
    {
        UTL_cpuinfo_path = saved_cpu;
        MACIBM_meminfo_path = saved_mem;
        app_path = saved_path;
    }
    std::string saved_cpu, saved_mem, saved_path;
    TempDir dir;
};

TEST_F(LogHeader, CopiesProcessorAndMemoryLines)
{
    const std::string long_tail(600, 'x');
    write_file(dir / "cpuinfo",
               "processor\t: 0\nvendor_id\t: Test\nmodel name\t: Test CPU\ncpu MHz\t\t: 1000.0\n"
               "flags\t\t: " + long_tail + "\n"
               "processor\t: 1\nmodel name\t: Test CPU\ncpu MHz\t\t: 2000.0\ncpu cores : 2\n");
    write_file(dir / "meminfo", "MemFree: 1 kB\nMemTotal:       4096 kB\nSwapTotal: 0 kB\n");
    UTL_cpuinfo_path = dir / "cpuinfo";
    MACIBM_meminfo_path = dir / "meminfo";

    std::ostringstream log;
    MACIBM_write_log_header(log);
    // The build line ends with the compile date and time: "Jan 14 2008 23:45:09".
    const std::string text = log.str();
    const std::string build = "log.txt for Brennix 9.00 Beta-17 Installer 90017 compiled on ";
    ASSERT_EQ(text.compare(0, build.size(), build), 0) << text;
    const std::size_t end = text.find("\n\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_TRUE(std::regex_match(text.substr(build.size(), end - build.size()),
                                 std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")))
        << text;
    const std::string expected =
        "This log file is generated automatically by Corvath Research applications and contains "
        "diagnostics about your graphics hardware, installation, and any error conditions.\n"
        "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
        "file is rewritten every time you start ANY of your Skarvel applications.\n\n"
        "processor\t: 0\nmodel name\t: Test CPU\ncpu MHz\t\t: 1000.0\n"
        "processor\t: 1\nmodel name\t: Test CPU\ncpu MHz\t\t: 2000.0\n"
        "MemTotal:       4096 kB\n"
        "\nSkarvel folder:'', case sensitive=1\n\n";
    EXPECT_EQ(text.substr(end + 2), expected);
}

TEST_F(LogHeader, UnreadableSourcesAreNamed)
{
    UTL_cpuinfo_path = dir / "missing-cpu";
    MACIBM_meminfo_path = dir / "missing-mem";
    std::ostringstream log;
    MACIBM_write_log_header(log);
    EXPECT_NE(log.str().find("\n\nUnable to read CPU information.\nUnable to read mem "
                             "information.\n\nSkarvel folder:'"),
              std::string::npos)
        << log.str();
}

TEST(LanguageFolder, ByIndex)
{
    EXPECT_EQ(MACIBM_language_folder(0), "text/english/");
    EXPECT_EQ(MACIBM_language_folder(5), "text/portugese/");
    EXPECT_EQ(MACIBM_language_folder(6), "text/korean/");
    EXPECT_EQ(MACIBM_language_folder(7), "");
    EXPECT_EQ(MACIBM_language_folder(-1), "");
}

}  // namespace

namespace {

TEST(StartupColours, FromTheBuiltInAtlas)
{
    MACIBM_colours_from_atlas(t_interface_dat);
    EXPECT_NEAR(colr.rgb[39][0], 0.6529f, 0.0001f);
    EXPECT_NEAR(colr.rgb[39][1], 0.6529f, 0.0001f);
    EXPECT_NEAR(colr.rgb[39][2], 0.6431f, 0.0001f);
    EXPECT_FLOAT_EQ(colr.rgb[34][0], static_cast<float>(51 / 255.0));
    EXPECT_FLOAT_EQ(colr.rgb[34][2], static_cast<float>(86 / 255.0));
    EXPECT_FLOAT_EQ(colr.rgb[44][0], static_cast<float>(220 / 255.0));
    EXPECT_FLOAT_EQ(colr.rgb[47][1], static_cast<float>(220 / 255.0));
}

TEST(StartupColours, EachSwatchByItsTexel)
{
    std::vector<unsigned char> atlas(512 * 512 * 4, 0);
    auto put = [&](int s, int t, int r, int g, int b) {
        unsigned char* p = &atlas[(static_cast<std::size_t>(t) * 512 + s) * 4];
        p[0] = static_cast<unsigned char>(r);
        p[1] = static_cast<unsigned char>(g);
        p[2] = static_cast<unsigned char>(b);
    };
    put(319, 155, 255, 0, 0);   // 34
    put(319, 147, 0, 255, 0);   // 35
    put(319, 123, 0, 0, 255);   // 38
    put(395, 115, 51, 102, 0);  // 44
    MACIBM_colours_from_atlas(atlas.data());
    EXPECT_FLOAT_EQ(colr.rgb[34][0], 1.0f);
    EXPECT_FLOAT_EQ(colr.rgb[35][1], 1.0f);
    EXPECT_FLOAT_EQ(colr.rgb[44][1], 0.4f);
    EXPECT_FLOAT_EQ(colr.rgb[39][0], 0.0f);
    EXPECT_FLOAT_EQ(colr.rgb[39][1], 0.5f);
    EXPECT_FLOAT_EQ(colr.rgb[39][2], 0.5f);
}

}  // namespace
