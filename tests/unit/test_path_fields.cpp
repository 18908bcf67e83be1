// Path and file selector fields without a display: the text they show, what
// an edit writes back, the button's hover area and their argument checks.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_lists.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

class PathFields : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        BTN_unfocus_any();
        BTN_begin_focus_ring();
    }
    void TearDown() override
    {
        BTN_begin_focus_ring();
        BTN_unfocus_any();
        DrawLogTest::TearDown();
    }
    bool shows(const std::string& text) const
    {
        for (const auto& t : of(btn_draw_op::text))
            if (t.str == text && t.v[0] >= 100) return true;
        return false;
    }
};

TEST_F(PathFields, LastComponentOfAPath)
{
    struct row {
        const char* path;
        const char* last;
    };
    const row table[] = {{"/a/b/", "b/"}, {"/a/b", "b"},  {"name", "name"}, {"", ""},
                         {"/", ""},       {"a/", ""},     {"//", ""},      {"/x/", "x/"}};
    for (const row& r : table) EXPECT_EQ(BTN_last_component(r.path), r.last) << r.path;
}

TEST_F(PathFields, ShowTheLastComponentOrTheWholePath)
{
    struct row {
        int type;
        const char* path;
        const char* shown;
    };
    const row table[] = {{0, "/data/Brennix/", "Brennix/"}, {3, "/a/b.acf", "b.acf"},
                         {20, "/data/Brennix/", "/data/Brennix/"}, {21, "sim/x", "sim/x"},
                         {0, "plain", "plain"}};
    for (const row& r : table) {
        SCOPED_TRACE(r.path);
        ops.clear();
        std::string path = r.path;
        EXPECT_EQ(BTN_select_path_stl(100, 200, wind_open, r.type, &path, 100, "", 200, 0), 0);
        EXPECT_TRUE(shows(r.shown));
        EXPECT_EQ(path, r.path);
    }
    // The button: the atlas cell of a raised square, left of the field.
    const auto quads = of(btn_draw_op::quad);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].v[0], 70);
    EXPECT_EQ(quads[0].v[1], 190);
    EXPECT_EQ(quads[0].v[8], 96);
    EXPECT_EQ(quads[0].v[9], 216);
    EXPECT_FLOAT_EQ(quads[0].v[2] * 512, 208);

    ops.clear();
    char name[16] = "file.acf";
    std::string folder;
    EXPECT_EQ(BTN_select_file_chr(100, 200, wind_save, 3, name, &folder, 16, "", 200), 0);
    EXPECT_TRUE(shows("file.acf"));
}

TEST_F(PathFields, HoverAreaSetsTheHelpText)
{
    struct row {
        float x, y;
        bool inside;
    };
    const row table[] = {{72, 192, true},  {94, 212, true},  {71, 200, false},
                         {95, 200, false}, {80, 191, false}, {80, 212.5f, false}};
    for (const row& r : table) {
        stls.mouse_help.clear();
        mnw.mouse_x = r.x;
        mnw.mouse_y = r.y;
        std::string path = "/x/";
        EXPECT_EQ(BTN_select_path_stl(100, 200, wind_open, 0, &path, 100, "L|R{ Pick a folder.", 200,
                                      0),
                  0);
        EXPECT_EQ(stls.mouse_help, r.inside ? "Pick a folder." : "") << r.x << "," << r.y;
    }
}

TEST_F(PathFields, EditsReachTheBufferOnEveryCall)
{
    char buf[8] = "/ab/cd";
    // The field takes the focus by itself, then a typed key.
    EXPECT_EQ(BTN_select_path_chr(100, 200, wind_open, 20, buf, 8, "", 200, 1), 0);
    for (char c : std::string("efghijklmn")) BTN_dispatch_to_focus(c, 0, 8);
    BTN_begin_focus_ring();
    EXPECT_EQ(BTN_select_path_chr(100, 200, wind_open, 20, buf, 8, "", 200, 1), 0);
    // The edit reached the buffer, cut to its size.
    EXPECT_EQ(std::string(buf).size(), 7u);
    EXPECT_EQ(std::string(buf).substr(std::string(buf).size() - 3), "ijk");

    char one[1] = {0};
    BTN_begin_focus_ring();
    BTN_unfocus_any();
    EXPECT_EQ(BTN_select_path_chr(100, 300, wind_open, 20, one, 1, "", 200, 1), 0);
    BTN_dispatch_to_focus('x', 0, 8);
    BTN_begin_focus_ring();
    BTN_select_path_chr(100, 300, wind_open, 20, one, 1, "", 200, 1);
    EXPECT_EQ(one[0], 0);
}

TEST(PathFieldsFatal, BadArgumentsEndTheProgram)
{
    brx_test::TempDir dir;
    struct row {
        int form, open_save, type;
        const char* line;
    };
    const row table[] = {
        {0, 997, 0, "Bad open_save arg to BTN_select_file_stl!"},
        {0, 998, 22, "Bad file_type arg to BTN_select_file_stl!"},
        {1, 0, 0, "Bad open_save arg to BTN_select_file_chr!"},
        {1, 999, -1, "Bad file_type arg to BTN_select_file_chr!"},
        {2, 1000, 3, "Bad open_save arg to BTN_select_file_chr!"},
        {2, 999, 30, "Bad file_type arg to BTN_select_file_chr!"},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.line);
        const auto c = run_in_child(
            [&] {
                std::vector<btn_draw_op> ops;
                btn_draw_log = &ops;
                std::string s;
                char buf[8] = "";
                if (r.form == 0) BTN_select_path_stl(100, 100, r.open_save, r.type, &s, 8, "", 100, 0);
                if (r.form == 1) BTN_select_path_chr(100, 100, r.open_save, r.type, buf, 8, "", 100, 0);
                if (r.form == 2) BTN_select_file_chr(100, 100, r.open_save, r.type, buf, &s, 8, "", 100);
                printf("drawn %zu\n", ops.size());
            },
            dir.path());
        EXPECT_EQ(c.signal, SIGABRT);
        EXPECT_TRUE(brx_test::contains(c.out, r.line)) << c.out;
        EXPECT_FALSE(brx_test::contains(c.out, "drawn"));
    }
}

}  // namespace
