// The folder chooser a frame at a time, without a display: its listing, the
// levels of its staircase and drop-down, opening, going up, creating,
// cancelling and selecting, and the path limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_menu.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_lists.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;
using brx_test::TempDir;
using strings = std::vector<std::string>;

TEST(PathLevels, StaircaseAndDropDownOfAFolder)
{
    struct row {
        const char* folder;
        strings paths;
        const char* items;
        int current;
    };
    const row table[] = {
        {"/usr/local/", {"/", "/usr/", "/usr/local/"}, "/-usr-local", 2},
        {"/", {"/"}, "/", 0},
        {"/a//b/", {"/", "/a/", "/a//", "/a//b/"}, "/-a--b", 3},
        {"/my-files/x|y/", {"/", "/my-files/", "/my-files/x|y/"}, "/-my files-x!y", 2},
        {"data/", {"data/"}, "/data", 0},
        {"", {}, "/", -1},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.folder);
        path_levels lv;
        const std::string f = r.folder;
        BTN_path_levels(f, long(f.size()) - 1, nullptr, "/", &lv);
        EXPECT_EQ(lv.paths, r.paths);
        EXPECT_EQ(lv.items, r.items);
        EXPECT_EQ(BTN_level_item(lv, f), r.current);
    }

    // The dialogs' form: a named root with an empty path, the last "/" not a level.
    path_levels lv;
    BTN_path_levels("Output/situations/", 16, "Skarvel folder", "", &lv);
    EXPECT_EQ(lv.paths, (strings{"", "Output/", "Output/situations/"}));
    EXPECT_EQ(lv.items, "Skarvel folder-Output-situations");
    EXPECT_EQ(BTN_level_item(lv, "Output/situations/"), 2);
    BTN_path_levels("", -1, "Skarvel folder", "", &lv);
    EXPECT_EQ(lv.items, "Skarvel folder");
    EXPECT_EQ(BTN_level_item(lv, ""), 0);
}

TEST(PathLevels, APathDeeperThanTheDropDownOffersTheRootAndTheDeepest)
{
    std::string deep = "/";
    for (int i = 0; i < 400; ++i) deep += "d" + std::to_string(i) + "/";
    path_levels lv;
    BTN_path_levels(deep, long(deep.size()) - 1, nullptr, "/", &lv);
    ASSERT_EQ(lv.paths.size(), 401u);
    ASSERT_EQ(lv.item_level.size(), std::size_t(kDropDownItems));
    EXPECT_EQ(lv.item_level[0], 0);
    EXPECT_EQ(lv.item_level[1], 102);
    EXPECT_EQ(lv.item_level.back(), 400);
    EXPECT_EQ(lv.items.substr(0, 7), "/-d101-");
    EXPECT_EQ(BTN_level_item(lv, deep), kDropDownItems - 1);

    // The drop-down takes these items without its fatal alert.
    std::vector<btn_draw_op> ops;
    btn_draw_log = &ops;
    int sel = BTN_level_item(lv, deep);
    BTN_textlist(280, 438, &sel, lv.items, "");
    btn_draw_log = nullptr;
    EXPECT_EQ(sel, kDropDownItems - 1);
}

class Chooser : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.wind = wind_open;
        mnw.wind_w = 561;
        mnw.wind_h = 474;
        MACIBM_clear_menus(1);
        active_popup_code = select_popup_code = 0;
        return_hit = delete_hit = 0;
        BTN_unfocus_any();
        for (const char* d : {"Zeta/", "alpha beta/", "alpha beta/inner/", "beta/", ".cache/",
                              "shots.png/", "my-files/", "my-files/x/", "my-files/y/",
                              "my-files/z/"})
            mkdir((root / d).c_str(), 0755);
        brx_test::write_file(root / "file.txt", "x");
        symlink((root / "alpha beta").c_str(), (root / "link").c_str());
    }
    void TearDown() override
    {
        BTN_begin_focus_ring();
        BTN_unfocus_any();
        active_popup_code = select_popup_code = 0;
        DrawLogTest::TearDown();
    }
    // One frame with the input set before it.
    int frame(folder_chooser& c)
    {
        BTN_begin_focus_ring();
        ops.clear();
        const int r = c.frame();
        mnw.clicked = mnw.double_click = 0;
        return_hit = delete_hit = 0;
        return r;
    }
    strings texts_at_x(float x) const
    {
        strings out;
        for (const auto& t : of(btn_draw_op::text))
            if (t.v[0] == x) out.push_back(t.str);
        return out;
    }

    TempDir root;
};

TEST_F(Chooser, ListsSubFoldersSortedIgnoringCase)
{
    std::string start = root.path();
    start.pop_back();  // a start folder without its "/" gets one
    folder_chooser c(start.c_str());
    EXPECT_EQ(c.folder, root.path());
    EXPECT_EQ(c.names, (strings{"alpha beta", "beta", "link", "my-files", "Zeta"}));
    EXPECT_EQ(c.kinds, (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(c.selected, 2);
    EXPECT_EQ(c.centre, 2);

    EXPECT_EQ(frame(c), -1);
    // Rows of the list start at x 30, the staircase's levels one per line.
    EXPECT_EQ(texts_at_x(30), (strings{"alpha beta", "beta", "link", "my-files", "Zeta", ""}));
    path_levels lv;
    BTN_path_levels(root.path(), long(root.path().size()) - 1, nullptr, "/", &lv);
    EXPECT_EQ(plevel, int(lv.paths.size()) - 1);
}

TEST_F(Chooser, OpensByDoubleClickAndReturnAndGoesUp)
{
    folder_chooser c(root.path().c_str());
    // A double click on "my-files", one row below the middle.
    click(100, 170);
    mnw.double_click = 1;
    EXPECT_EQ(frame(c), -1);
    EXPECT_EQ(c.folder, root / "my-files/");
    EXPECT_EQ(c.selected, 1);  // the middle one of three
    frame(c);
    // Shown with a blank in the staircase.
    const auto stair = of(btn_draw_op::text);
    bool shown = false;
    for (const auto& t : stair) shown = shown || (t.col == 47 && t.str == "my files");
    EXPECT_TRUE(shown);

    return_hit = 1;
    EXPECT_EQ(frame(c), -1);
    EXPECT_EQ(c.folder, root / "my-files/y/");
    EXPECT_EQ(c.selected, 0);

    // Return in an empty folder opens nothing.
    return_hit = 1;
    frame(c);
    EXPECT_EQ(c.folder, root / "my-files/y/");

    // Picking a level in the drop-down: the root of the file system.
    frame(c);
    select_popup_code = BTN_textlist_id(280.5f, 438);
    popup_menu_select = 0;
    frame(c);
    EXPECT_EQ(c.folder, "/");
}

TEST_F(Chooser, NameFieldCreatesFolders)
{
    folder_chooser c(root.path().c_str());
    c.name = std::string(35, 'n');
    frame(c);
    EXPECT_EQ(c.name, std::string(30, 'n'));

    c.name = "made here";
    click(430, 28);
    EXPECT_EQ(frame(c), -1);
    EXPECT_TRUE(brx_test::exists(root / "made here"));
    EXPECT_EQ(c.name, "made here");
    EXPECT_EQ(c.selected, 2);
    frame(c);
    EXPECT_EQ(c.names.size(), 6u);
    click(430, 28);  // again: already there, nothing happens
    EXPECT_EQ(frame(c), -1);
}

TEST_F(Chooser, SelectAndCancel)
{
    struct row {
        const char* start;
        const char* chosen;
    };
    const row table[] = {{"//data/", "/data/"}, {"/a//b/", "/a//b/"}, {"", ""}, {nullptr, "/"},
                         {"///x", "/x/"}};
    for (const row& r : table) {
        SCOPED_TRACE(r.chosen);
        folder_chooser c(r.start);
        click(510, 28);
        EXPECT_EQ(frame(c), 1);
        EXPECT_EQ(c.chosen, r.chosen);
    }
    folder_chooser c(root.path().c_str());
    click(35, 28);
    EXPECT_EQ(frame(c), 0);
}

TEST(ChooserPathLimit, TooLongPathsAreNotAccepted)
{
    TempDir dir;
    // Folders whose paths pass the framework's limit two levels down.
    const std::string long_name(200, 'L');
    const std::string one = dir / (long_name + "/");
    const std::string two = one + long_name + "/";
    const std::string three = two + long_name + "/";
    ASSERT_EQ(mkdir(one.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(two.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(three.c_str(), 0755), 0);
    ASSERT_LT(two.size(), std::size_t(strDIM));
    ASSERT_GT(three.size(), std::size_t(strDIM - 1));

    const auto r = run_in_child(
        [&] {
            std::vector<btn_draw_op> ops;
            btn_draw_log = &ops;
            mnw.open_menu = -1;
            mnw.wind = wind_open;
            folder_chooser c(two.c_str());
            return_hit = 1;
            BTN_begin_focus_ring();
            c.frame();
            printf("open: %d\n", c.folder == two);
            folder_chooser deep(three.c_str());
            mnw.mouse_x = 510;
            mnw.mouse_y = 28;
            mnw.clicked = 1;
            printf("select: %d\n", deep.frame());
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(brx_test::contains(r.out, "open: 1\n")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "select: -1\n")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "This folder's path is too long to be used here."));
}

}  // namespace
