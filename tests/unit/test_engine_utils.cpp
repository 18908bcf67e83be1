#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "GenH/hl_types.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/test_util.h"

namespace {

using brx_test::TempDir;

TEST(StrToInt, FollowsThePlaceRule)
{
    const std::pair<const char*, int> cases[] = {
        {"", -1},          {"12a", -1},        {" 5", -1},    {"+", -1},
        {"-", -1},         {"123", 123},       {"-42", -42},  {"+7", 7},
        {"1-2", 92},       {"-1", -1},         {"--1", 9},    {"999999999", 999999999},
        {"1000000000", -1}, {"+123456789", 123456789}, {"0", 0}, {"-999999999", -999999999},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(str_to_int(text), want) << '"' << text << '"';
}

TEST(WantThisF, DependsOnTheOperatingSystemAndKind)
{
    brx_test::reset_engine("/nonexistent/", "/nonexistent/");
    // Rows: os 0..6; columns: target 1..3.
    const int table[7][3] = {{1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                             {0, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    for (int os = 0; os <= 6; ++os) {
        sim_info.assign(1, {});
        file_version_struct v;
        v.kind = 2;
        v.os = os;
        sim_info[0].versions.push_back(v);
        for (int target = 1; target <= 3; ++target) {
            stg.target_os = target;
            EXPECT_EQ(want_this_f(0, 0, 2), table[os][target - 1]) << os << " " << target;
            EXPECT_EQ(want_this_f(0, 0, 1), 0);
        }
    }
    sim_info.clear();
}

TEST(PathRules, TrimSplitAndNoFile)
{
    const std::pair<const char*, const char*> trims[] = {
        {"a/b/c", "b/c"}, {"abc", "abc"}, {"/abc", "abc"}, {"a/", ""}, {"", ""}};
    for (const auto& [in, want] : trims) {
        std::string p = in;
        trim_dest_folder(p);
        EXPECT_EQ(p, want) << in;
    }
    EXPECT_EQ(path_has_no_file("a/b/"), 1);
    EXPECT_EQ(path_has_no_file("a/b"), 0);
    EXPECT_EQ(path_has_no_file(""), 0);

    const std::tuple<const char*, const char*, const char*> splits[] = {
        {"/home/u/Sim/", "/home/u/", "Sim/"},
        {"D/Resources/x.dat", "D/Resources/", "x.dat"},
        {"x", "", "x"},
        {"", "", ""},
        {"a/", "a/", ""},  // two characters: the "/" is not skipped
        {"/", "/", ""},
    };
    for (const auto& [in, folder, last] : splits) {
        std::string f, l;
        split_last_component(in, f, l);
        EXPECT_EQ(f, folder) << in;
        EXPECT_EQ(l, last) << in;
    }
}

TEST(PathRules, ListedPathsMustStayInsideTheDestination)
{
    TempDir tmp;
    TempDir outside;
    brx_test::reset_engine(tmp.path(), tmp / "dest/");
    ASSERT_EQ(mkdir((tmp / "dest").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tmp / "dest/real").c_str(), 0755), 0);
    ASSERT_EQ(symlink(outside.path().c_str(), (tmp / "dest/out").c_str()), 0);
    ASSERT_EQ(symlink("real", (tmp / "dest/in").c_str()), 0);

    const std::pair<const char*, int> cases[] = {
        {"Top/a/b.txt", 1},      {"Top/x", 1},          {"x.txt", 1},
        {"Top/./a", 1},          {"Top//etc/passwd", 0}, {"Top/a//b", 0},
        {"Top/../x", 0},         {"Top/a/../../x", 0},  {"Top/..", 0},
        {"Top/", 0},             {"", 0},               {"..", 0},
        {"Top/out/x.txt", 0},    {"Top/out/deeper/x", 0}, {"Top/in/x.txt", 1},
        {"Top/out", 1},  // the link itself is replaced, nothing passes through it
        {"Top/missing/x", 1},
    };
    for (const auto& [path, safe] : cases) EXPECT_EQ(listed_path_is_safe(path), safe) << path;
    dest_dir_path.clear();
}

TEST(PathRules, VersionNamesThatMayNameTheFolder)
{
    EXPECT_TRUE(folder_name_is_safe("Brennix 9.00"));
    for (const char* bad : {"", ".", "..", "a/b", "/", "x/"}) EXPECT_FALSE(folder_name_is_safe(bad)) << bad;
    EXPECT_FALSE(folder_name_is_safe(std::string("a\0b", 3)));
}

TEST(PickServerBiased, FavoursTheHeadAndStaysInRange)
{
    srand(12345);
    stg.server_count = 3;
    int hits[3] = {};
    for (int i = 0; i < 30000; ++i) {
        pick_server_biased();
        ASSERT_GE(stg.server_index, 0);
        ASSERT_LT(stg.server_index, 3);
        ++hits[stg.server_index];
    }
    // Expected shares 0.481, 0.282, 0.237.
    EXPECT_NEAR(hits[0] / 30000.0, 0.481, 0.02);
    EXPECT_NEAR(hits[1] / 30000.0, 0.282, 0.02);
    EXPECT_NEAR(hits[2] / 30000.0, 0.237, 0.02);

    stg.server_count = 1;
    for (int i = 0; i < 100; ++i) {
        pick_server_biased();
        EXPECT_EQ(stg.server_index, 0);
    }
    stg.server_count = 0;
    pick_server_biased();
    EXPECT_EQ(stg.server_index, -1);
    stg = stg_class();
}

TEST(NewFormat, EndsTheRunAfterItsMessage)
{
    const auto child = brx_test::run_in_child([] {
        new_format("/x/directory.txt");
        printf("phase=%d done=%d\n", stg.phase, app_done);
    });
    EXPECT_EQ(child.exit_code, 0);
    EXPECT_NE(child.out.find("newer than I can understand!"), std::string::npos);
    EXPECT_NE(child.out.find("download section of www.corvath.example."), std::string::npos);
    EXPECT_NE(child.out.find("/x/directory.txt"), std::string::npos);
    EXPECT_NE(child.out.find("phase=2 done=1"), std::string::npos);
}

}  // namespace
