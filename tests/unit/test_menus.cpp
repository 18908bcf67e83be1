// The menu table: geometry from the worked examples, limits and their alerts,
// the menus-file reader, and the per-frame menu drawing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include "GenC/hl_menu.h"
#include "app/utils.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

struct rect {
    int x1, y1, x2, y2;
    bool operator==(const rect&) const = default;
};
std::ostream& operator<<(std::ostream& o, const rect& r)
{
    return o << "(" << r.x1 << ", " << r.y1 << ", " << r.x2 << ", " << r.y2 << ")";
}
rect of_menu(int m) { return {menu[m].x1, menu[m].y1, menu[m].x2, menu[m].y2}; }
rect of_item(int m, int i)
{
    const item_struct& it = menu[m].items[i];
    return {it.x1, it.y1, it.x2, it.y2};
}

class Menus : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        MACIBM_clear_menus(1);
    }
};

TEST_F(Menus, ClearFillsTheTable)
{
    MACIBM_create_menu(0, 0, "File");
    MACIBM_clear_menus(0);
    MACIBM_clear_menus(2);
    EXPECT_EQ(menu[0].name, "File");
    MACIBM_clear_menus(1);
    ASSERT_EQ(menu.size(), 1520u);
    for (const menu_struct& m : menu) {
        EXPECT_TRUE(m.name.empty());
        EXPECT_EQ(m.parent, -1);
        EXPECT_EQ(m.x1 | m.y1 | m.x2 | m.y2, 0);
        EXPECT_TRUE(m.items.empty());
    }
}

TEST_F(Menus, TextWidths)
{
    EXPECT_FLOAT_EQ(menu_dx("File"), 18);
    EXPECT_FLOAT_EQ(menu_dx("Plugins"), 37);
    EXPECT_FLOAT_EQ(menu_dx("Open..."), 35);
    EXPECT_FLOAT_EQ(menu_dx("\"{}~\x7f\x80"), 0);
    EXPECT_FLOAT_EQ(menu_dx("%W@\xfb\xbf"), 11 + 11 + 9 + 3 + 6);
    mnw.lang = 6;
    EXPECT_FLOAT_EQ(menu_dx("File"), 32);
}

TEST_F(Menus, BarTitlesRunRightward)
{
    MACIBM_create_menu(0, 0, "File");
    MACIBM_create_menu(1, 0, "Edit");
    EXPECT_EQ(of_menu(0), (rect{0, 750, 48, 768}));
    EXPECT_EQ(of_menu(1), (rect{48, 750, 98, 768}));

    MACIBM_create_menu(0, 0, "Plugins");  // menu 0 restarts the pen
    MACIBM_create_menu(1, 0, "Edit");
    EXPECT_EQ(of_menu(0), (rect{0, 750, 67, 768}));
    EXPECT_EQ(of_menu(1), (rect{0, 750, 50, 768}));

    MACIBM_create_menu(2, 0, std::string(45, 'x'));
    EXPECT_EQ(menu[2].name, std::string(40, 'x'));
}

TEST_F(Menus, ItemsHangBelowTheirTitle)
{
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 101, "Open...", 0);
    MACIBM_append_menu(0, 1, 0, "-", 0);
    EXPECT_EQ(of_item(0, 0), (rect{0, 736, 65, 748}));
    EXPECT_EQ(of_item(0, 1), (rect{0, 734, 65, 736}));
    EXPECT_EQ(menu[0].items[0].cmd, 101);

    MACIBM_append_menu(0, 2, 102, "Preferences and Settings", 0);  // wider: widens 0..2
    const int wide = int(menu_dx("Preferences and Settings")) + 30;
    EXPECT_EQ(of_item(0, 0), (rect{0, 736, wide, 748}));
    EXPECT_EQ(of_item(0, 1), (rect{0, 734, wide, 736}));
    EXPECT_EQ(of_item(0, 2), (rect{0, 722, wide, 734}));

    // Appending past the end fills the gap with empty entries.
    MACIBM_append_menu(0, 5, 7, "Quit", 0);
    ASSERT_EQ(menu[0].items.size(), 6u);
    EXPECT_TRUE(menu[0].items[4].name.empty());
    MACIBM_append_menu(-1, 0, 1, "x", 0);
    MACIBM_append_menu(0, -1, 1, "x", 0);
    EXPECT_EQ(menu[0].items.size(), 6u);
}

TEST_F(Menus, SubmenuTakesItsParentItemsRectangle)
{
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 1, "Open...", 0);
    MACIBM_append_menu(0, 1, 2, "Recent", 0);
    MACIBM_create_menu(1, 1, "Recent files");  // parent code 0 * 300 + 1
    EXPECT_EQ(menu[1].parent, 0);
    EXPECT_EQ(of_menu(1), of_item(0, 1));
    MACIBM_append_menu(1, 0, 9, "a.txt", 0);
    EXPECT_EQ(of_item(1, 0), (rect{0, 722, 52, 734}));  // "a.txt" 22 + 30

    // A parent code that names no item leaves the menu where it is.
    MACIBM_create_menu(2, 7 * 300 + 4, "Nowhere");
    EXPECT_EQ(menu[2].parent, 7);
    EXPECT_EQ(of_menu(2), (rect{0, 0, 0, 0}));
    MACIBM_create_menu(3, -1, "Negative");
    EXPECT_EQ(menu[3].parent, 0);
    MACIBM_create_menu(4, 1520 * 300, "Beyond");
    EXPECT_EQ(menu[4].parent, -1);
}

TEST_F(Menus, WideGlyphItemsUnderLanguageSix)
{
    mnw.lang = 6;
    MACIBM_create_menu(0, 0, "AB");
    EXPECT_EQ(of_menu(0), (rect{0, 750, 46, 768}));
    MACIBM_append_menu(0, 0, 1, "AB", 0);
    MACIBM_append_menu(0, 1, 1, "AB", 1);
    EXPECT_EQ(menu[0].items[0].flag, 1);
    EXPECT_EQ(of_item(0, 0).y2 - of_item(0, 0).y1, 14);
    EXPECT_EQ(menu[0].items[1].flag, 0);
    EXPECT_EQ(of_item(0, 1).y2 - of_item(0, 1).y1, 12);
}

TEST_F(Menus, RemovingAnItemMovesTheRestUp)
{
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 1, "One", 0);
    MACIBM_append_menu(0, 1, 2, "Two", 0);
    MACIBM_append_menu(0, 2, 3, "Three", 0);
    const rect first = of_item(0, 0), second = of_item(0, 1);
    MACIBM_remove_menu_item(0, 0);
    ASSERT_EQ(menu[0].items.size(), 2u);
    EXPECT_EQ(menu[0].items[0].name, "Two");
    EXPECT_EQ(of_item(0, 0), first);
    EXPECT_EQ(of_item(0, 1), second);

    MACIBM_remove_menu_item(0, 7);  // no such item: nothing happens
    MACIBM_remove_menu_item(0, -1);
    EXPECT_EQ(menu[0].items.size(), 2u);
}

TEST(MenusUnfilled, OperationsOnAnEmptyTableDoNothing)
{
    menu.clear();
    MACIBM_clear_menu(3);
    MACIBM_clear_items(3);
    MACIBM_create_menu(3, 0, "x");
    MACIBM_append_menu(3, 0, 1, "x", 0);
    MACIBM_remove_menu_item(3, 0);
    EXPECT_TRUE(menu.empty());
    mnw.open_menu = 3;
    standard_gui();
    mnw.open_menu = -1;
    MACIBM_clear_items(5000);
}

TEST(MenuLimits, FatalAlertsWithTheirTexts)
{
    struct row {
        std::function<void()> call;
        std::string out;
    };
    auto msg = [](const std::string& l1, const std::string& l4) {
        return "Skarvel Error:\n" + l1 + "\n\n\n\n\n\n" + l4 + "\n\nSorry.\n";
    };
    const std::string name39(39, 'n'), name40(40, 'n');
    const row table[] = {
        {[] { MACIBM_create_menu(1520, 0, "Title"); },
         msg("Menu index out of range in create_menu!", "Title")},
        {[] { MACIBM_append_menu(1520, 0, 0, "Item", 0); },
         msg("Menu index out of range in append_menu!", "Item")},
        {[] { MACIBM_append_menu(0, 300, 0, "Item", 0); },
         msg("Item index out of range in append_menu!", "Item")},
        {[&] { MACIBM_append_menu(0, 0, 0, name40, 0); },
         msg("Menu name too long in append_menu!", name40)},
        {[] { MACIBM_remove_menu_item(1520, 0); },
         msg("Menu index out of range in remove_menu_item!", "")},
        {[] { MACIBM_remove_menu_item(0, 300); },
         msg("Item index out of range in remove_menu_item!", "")},
    };
    for (const row& r : table) {
        auto res = run_in_child([&] {
            MACIBM_clear_menus(1);
            r.call();
        });
        EXPECT_EQ(res.signal, SIGABRT);
        EXPECT_EQ(res.out, r.out);
    }
    auto ok = run_in_child([&] {
        MACIBM_clear_menus(1);
        MACIBM_append_menu(0, 299, 0, name39, 0);
    });
    EXPECT_EQ(ok.exit_code, 0);
}

TEST(MenuGlyphs, DecimalGlyphNumbersBecomeByteCodes)
{
    struct row {
        std::string in, out;
    };
    const row table[] = {
        {"3 130", std::string("\x01\x04\x02\x04")},
        {"-3 130", "-3 130"},
        {"=abc", "=abc"},
        {"", ""},
        {"  12", std::string("\x01\x0d")},
        {"1234", std::string("\x01\x7c\x01\x05")},  // split after three characters
        {"a", std::string("\x01\x01")},
        {"0-5", ""},  // negative: nothing
        {"999", std::string("\x08\x6f")},
    };
    for (const row& r : table) {
        std::string s = r.in;
        char_string_to_int_string(&s);
        EXPECT_EQ(s, r.out) << r.in;
    }
}

TEST(StrToInt, Table)
{
    struct row {
        std::string in;
        int out;
    };
    const row table[] = {{"", -1},          {"12a", -1},   {" 5", -1},       {"+", -1},
                         {"-", -1},         {"42", 42},    {"-7", -7},       {"+0", 0},
                         {"999999999", 999999999},         {"1000000000", -1},
                         {"+123456789", 123456789},        {"--1", 9},       {"1-2", 92}};
    for (const row& r : table) EXPECT_EQ(str_to_int(r.in), r.out) << r.in;
}

// ---------------------------------------------------------------------------
// Menus files.

TEST_F(Menus, ReadsBlocksIntoMenus)
{
    const std::string body =
        "0 File\n101 Open...\n0 -\n102 Quit\n-\n"
        "  0   Edit  \r\n\r\n\t 201 Undo\n-\n"
        "1 Recent\n";  // ends inside its block
    MACIBM_read_menu_lines(body.data(), body.data() + body.size());
    EXPECT_EQ(menu[0].name, "File");
    ASSERT_EQ(menu[0].items.size(), 3u);
    EXPECT_EQ(menu[0].items[0].name, "Open...");
    EXPECT_EQ(menu[0].items[0].cmd, 101);
    EXPECT_EQ(menu[0].items[1].name, "-");
    EXPECT_EQ(menu[0].items[2].cmd, 102);
    EXPECT_EQ(menu[1].name, "Edit  ");  // a line keeps its trailing blanks
    EXPECT_EQ(of_menu(1), (rect{48, 750, 104, 768}));
    ASSERT_EQ(menu[1].items.size(), 1u);
    EXPECT_EQ(menu[1].items[0].name, "Undo");
    EXPECT_EQ(menu[2].name, "Recent");
    EXPECT_EQ(menu[2].parent, 0);
    EXPECT_EQ(of_menu(2), of_item(0, 1));

    // A NUL ends a line; a word that is not a number reads as -1.
    MACIBM_clear_menus(1);
    const std::string odd("0 A\0junk\nxx B\n7\n-\n", 18);
    MACIBM_read_menu_lines(odd.data(), odd.data() + odd.size());
    EXPECT_EQ(menu[0].name, "A");
    ASSERT_EQ(menu[0].items.size(), 3u);
    EXPECT_EQ(menu[0].items[0].cmd, -1);  // "junk" alone: no number, no text
    EXPECT_EQ(menu[0].items[0].name, "");
    EXPECT_EQ(menu[0].items[1].cmd, -1);
    EXPECT_EQ(menu[0].items[1].name, "B");
    EXPECT_EQ(menu[0].items[2].cmd, 7);
    EXPECT_EQ(menu[0].items[2].name, "");
}

TEST_F(Menus, ReadsTheFileOfTheLanguageFolder)
{
    brx_test::TempDir dir;
    ASSERT_EQ(mkdir((dir / "menus").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((dir / "menus/english").c_str(), 0777), 0);
    brx_test::write_file(dir / "menus/english/m.txt", "I\n1 version\n0 File\n101 Open...\n-\n");
    MACIBM_read_menus(dir.path(), "m.txt");
    EXPECT_EQ(menu[0].name, "File");
    EXPECT_EQ(menu[0].items.at(0).name, "Open...");

    brx_test::write_file(dir / "menus/english/v2.txt", "I\n2 version\n0 File\n-\n");
    auto r = run_in_child([&] { MACIBM_read_menus(dir.path(), "v2.txt"); });
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "Skarvel Error:\nCannot open file!\n\n" + dir.path() +
                         "menus/english/v2.txt\n\nTrash this copy and re-install Brennix.\n\n\n\n"
                         "Sorry.\n");
    r = run_in_child([&] { MACIBM_read_menus(dir.path(), "missing.txt"); });
    EXPECT_EQ(r.signal, SIGABRT);
}

// ---------------------------------------------------------------------------
// Drawing.

class MenuDrawing : public Menus {
protected:
    void SetUp() override
    {
        Menus::SetUp();
        MACIBM_create_menu(0, 0, "File");
        MACIBM_create_menu(1, 0, "Edit");
        MACIBM_append_menu(0, 0, 1, "Open", 0);   // 736..748
        MACIBM_append_menu(0, 1, 2, "Save", 0);   // 724..736
        MACIBM_append_menu(0, 2, 0, "-", 0);      // 722..724
        MACIBM_append_menu(0, 3, 3, "=Off", 0);   // 710..722
        MACIBM_append_menu(0, 4, 4, "Quit", 0);   // 698..710
    }
    std::vector<btn_draw_op> highlights() const
    {
        std::vector<btn_draw_op> out;
        for (const auto& f : of(btn_draw_op::fillrect))
            if (f.col == 36) out.push_back(f);
        return out;
    }
};

TEST_F(MenuDrawing, NothingWhileNoMenuIsOpen)
{
    standard_gui();
    EXPECT_TRUE(ops.empty());
}

TEST_F(MenuDrawing, OpenBarMenu)
{
    mnw.open_menu = 0;
    mnw.mouse_x = 10;
    mnw.mouse_y = 736;  // where Open and Save meet: Open's bottom row
    standard_gui();

    const auto texts = of(btn_draw_op::text);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].str, "File");
    EXPECT_FLOAT_EQ(texts[0].v[0], 10);
    EXPECT_FLOAT_EQ(texts[0].v[1], 756);
    EXPECT_EQ(texts[0].col, 38);
    EXPECT_EQ(texts[1].str, "Edit");
    EXPECT_FLOAT_EQ(texts[1].v[0], 58);
    // Items: text 18 in, 3 up; the "=" item's text is drawn as it is.
    std::vector<std::string> items;
    for (std::size_t i = 2; i < texts.size(); ++i) items.push_back(texts[i].str);
    EXPECT_EQ(items, (std::vector<std::string>{"Open", "Save", "=Off", "Quit"}));
    EXPECT_FLOAT_EQ(texts[2].v[0], 18);
    EXPECT_FLOAT_EQ(texts[2].v[1], 739);

    // The bar strip spans the screen; the panel reaches 2 above and below.
    const auto pieces = of(btn_draw_op::piece);
    EXPECT_FLOAT_EQ(pieces.front().v[0], 0);
    EXPECT_FLOAT_EQ(pieces.front().v[1], 768 - 9 - 3 - 13);
    bool panel_found = false;
    for (const auto& p : pieces)
        if (p.v[0] == -8 && p.v[1] == 696 - 13) panel_found = true;
    EXPECT_TRUE(panel_found);

    const auto lit = highlights();
    ASSERT_EQ(lit.size(), 2u);
    EXPECT_EQ(lit[0].v, (std::vector<float>{0, 750, 48, 18}));  // the title
    EXPECT_EQ(lit[1].v, (std::vector<float>{0, 736, 59, 12}));  // Open, as wide as "Open"
    EXPECT_FLOAT_EQ(lit[1].alpha, 0.25f);

    const auto lines = of(btn_draw_op::line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].col, 35);
    EXPECT_EQ(lines[0].v, (std::vector<float>{0, 723, 58, 723}));
    EXPECT_EQ(lines[1].col, 37);
    EXPECT_EQ(lines[1].v, (std::vector<float>{0, 722, 58, 722}));
}

TEST_F(MenuDrawing, HighlightFollowsTheRowsAnItemOwns)
{
    struct row {
        float y;
        float lit_y;  // bottom of the highlighted item, -1 for none
    };
    const row table[] = {{736, 736}, {735, 724}, {747, 736}, {748, -1}, {723, -1},
                         {715, -1},  {709, 698}, {698, 698}, {697, -1}};
    mnw.open_menu = 0;
    for (const row& r : table) {
        ops.clear();
        mnw.mouse_x = 30;
        mnw.mouse_y = r.y;
        standard_gui();
        const auto lit = highlights();
        ASSERT_EQ(lit.size(), r.lit_y < 0 ? 1u : 2u) << r.y;
        if (r.lit_y >= 0) {
            EXPECT_FLOAT_EQ(lit[1].v[1], r.lit_y) << r.y;
        }
    }
}

TEST_F(MenuDrawing, PopupHasNoBarAndIndentsByThree)
{
    menu[kPopupMenu].parent = -1;
    menu[kPopupMenu].x1 = 100;
    menu[kPopupMenu].items.resize(2);
    menu[kPopupMenu].items[0] = {"Windows", 0, 0, 100, 400, 160, 412};
    menu[kPopupMenu].items[1] = {"Linux", 0, 0, 100, 388, 160, 400};
    mnw.open_menu = kPopupMenu;
    mnw.mouse_x = 500;
    standard_gui();
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_FLOAT_EQ(texts[0].v[0], 103);
    EXPECT_FLOAT_EQ(texts[0].v[1], 403);
    EXPECT_TRUE(highlights().empty());
    // Only the panel: its first piece at (100 - 8, 386 - 13).
    const auto pieces = of(btn_draw_op::piece);
    EXPECT_FLOAT_EQ(pieces.front().v[0], 92);
    EXPECT_FLOAT_EQ(pieces.front().v[1], 373);
}

TEST_F(MenuDrawing, EmptyMenuAndSubmenuArrows)
{
    mnw.open_menu = 1;  // Edit has no items
    standard_gui();
    // The panel box is (0, 0, 0, 0), too small for any piece: only the bar.
    for (const auto& p : of(btn_draw_op::piece)) EXPECT_GT(p.v[1], 700);
    EXPECT_EQ(of(btn_draw_op::text).size(), 2u);  // the two bar titles only

    ops.clear();
    MACIBM_create_menu(2, 0 * 300 + 1, "");  // hangs from Save, no title
    mnw.open_menu = 0;
    standard_gui();
    const auto quads = of(btn_draw_op::quad);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].v[0], 59 - 8 - 9);
    EXPECT_FLOAT_EQ(quads[0].v[1], 724 + 6 - 9);
    EXPECT_FLOAT_EQ(quads[0].v[2], (167 - 9) / 512.0f);
}

}  // namespace
