// The drop-down list and its pop-up menu, and the scrolling list box with its
// keys, type-ahead, clicks and rows, checked through the drawing log.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/oglp_layout.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

class DropDown : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        MACIBM_clear_menus(1);
        active_popup_code = select_popup_code = popup_menu_select = 0;
    }
    void TearDown() override
    {
        active_popup_code = select_popup_code = popup_menu_select = 0;
        DrawLogTest::TearDown();
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& t : of(btn_draw_op::text)) out.push_back(t.str);
        return out;
    }
};

TEST_F(DropDown, ClosedShowsTheChoiceCentredInItsFrame)
{
    int sel = 2;
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", "OS:|right{ Pick one."), 0);
    const int maxw = int(OGL_string_width("Macintosh"));
    const auto t = of(btn_draw_op::text);
    ASSERT_FALSE(t.empty());
    const auto& choice = t.back();
    EXPECT_EQ(choice.str, "Linux");
    EXPECT_EQ(choice.col, 38);
    EXPECT_EQ(choice.justify, 1);
    EXPECT_FLOAT_EQ(choice.v[0], 300);
    EXPECT_FLOAT_EQ(choice.v[1], 200);
    // The drop-down frame is centred 10 pixels right of the text, leaving room
    // for its arrow.
    const auto pieces = of(btn_draw_op::piece);
    ASSERT_FALSE(pieces.empty());
    EXPECT_FLOAT_EQ((pieces.front().v[0] + pieces.back().v[2]) / 2, 310);
    EXPECT_FLOAT_EQ(pieces.front().v[1], 205 - 12);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(stls.mouse_help, "");

    // Hovering the hot area shows the help; its edges are inclusive.
    for (float mx : {300 - maxw / 2.0f - 5, 300 + maxw / 2.0f + 25}) {
        stls.mouse_help.clear();
        mnw.mouse_x = mx;
        mnw.mouse_y = 198;
        BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", "OS:|right{ Pick one.");
        EXPECT_EQ(stls.mouse_help, "Pick one.") << mx;
    }
    stls.mouse_help.clear();
    mnw.mouse_y = 208.5f;
    BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", "OS:|right{ Pick one.");
    EXPECT_EQ(stls.mouse_help, "");
}

TEST_F(DropDown, ItemsSplitAtMinusAndTheSelectionIsClamped)
{
    struct row {
        const char* items;
        int sel_in, sel_out;
        const char* shown;
    };
    const row table[] = {
        {"Macintosh-Windows-Linux", 7, 2, "Linux"}, {"Macintosh-Windows-Linux", -1, 0, "Macintosh"},
        {"a--c", 1, 1, ""},                         {"", 3, 0, ""},
        {"only", 0, 0, "only"},                     {"a-", 5, 1, ""},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.items);
        ops.clear();
        int sel = r.sel_in;
        BTN_textlist(300, 200, &sel, r.items, "");
        EXPECT_EQ(sel, r.sel_out);
        EXPECT_EQ(texts().back(), r.shown);
    }
}

TEST_F(DropDown, PopUpPutsTheCurrentChoiceOverTheWidget)
{
    int sel = 2;
    const int id = BTN_textlist_id(300, 200);
    EXPECT_EQ(id, 200 * 1024 + 300);
    click(300, 200);
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", ""), 0);
    EXPECT_EQ(active_popup_code, id);
    EXPECT_EQ(mnw.open_menu, kPopupMenu);
    // While open, the choice itself is not drawn: the pop-up covers it.
    EXPECT_TRUE(texts().empty());

    const int maxw = int(OGL_string_width("Macintosh"));
    const menu_struct& m = menu[kPopupMenu];
    EXPECT_EQ(m.parent, -1);
    EXPECT_EQ(m.x1, int(300 - maxw / 2.0f) - 2);
    EXPECT_EQ(m.x2, int(300 + maxw / 2.0f) + 4);
    EXPECT_EQ(m.y1, 200);
    EXPECT_EQ(m.y2, 236);
    ASSERT_EQ(m.items.size(), 3u);
    const char* names[] = {"Macintosh", "Windows", "Linux"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m.items[i].name, names[i]);
        EXPECT_EQ(m.items[i].x1, m.x1);
        EXPECT_EQ(m.items[i].x2, m.x2);
        EXPECT_EQ(m.items[i].y1, 200 + 12 * (2 - i) - 3);
        EXPECT_EQ(m.items[i].y2, 200 + 12 * (2 - i) + 9);
    }
}

TEST_F(DropDown, APickIsDeliveredOnceThroughTheClickHandler)
{
    mnw.wind = wind_open;
    int sel = 0;
    click(300, 200);
    BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", "");
    // The user clicks "Linux", two rows below the current one.
    mnw.mouse_y = 200 - 24 + 3;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.clicked, 0);
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", ""), 1);
    EXPECT_EQ(sel, 2);
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", ""), 0);
    EXPECT_EQ(mnw.open_menu, -1);

    // Picking the current item again still reports a pick.
    click(300, 200);
    BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", "");
    mnw.mouse_y = 203;
    MACIBM_handleclick(0);
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", ""), 1);
    EXPECT_EQ(sel, 2);

    // A pick meant for another drop-down is not collected here.
    select_popup_code = BTN_textlist_id(100, 100);
    popup_menu_select = 0;
    EXPECT_EQ(BTN_textlist(300, 200, &sel, "Macintosh-Windows-Linux", ""), 0);
    EXPECT_EQ(sel, 2);
}

TEST_F(DropDown, AnOverhangingPopUpCreepsOntoTheScreen)
{
    int sel = 0;
    click(300, 10);
    BTN_textlist(300, 10, &sel, "a-b-c-d", "");
    mnw.clicked = 0;
    // Item 3's bottom lies at 10 - 36 - 3: a row a frame until it fits.
    std::vector<int> seen;
    for (int frame = 0; frame < 5; ++frame) {
        BTN_textlist(300, 10, &sel, "a-b-c-d", "");
        seen.push_back(sel);
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 3, 3, 3}));
    EXPECT_GE(menu[kPopupMenu].items.back().y1, 0);

    sel = 3;
    BTN_textlist(300, 760, &sel, "a-b-c-d", "");
    click(300, 760);
    BTN_textlist(300, 760, &sel, "a-b-c-d", "");
    EXPECT_EQ(sel, 2);
}

TEST_F(DropDown, AWidgetAtTheOriginStillHasAnId)
{
    EXPECT_NE(BTN_textlist_id(0, 0), 0);
    EXPECT_NE(BTN_textlist_id(0.5f, 0), 0);
    int sel = 0;
    click(0, 0);
    BTN_textlist(0, 0, &sel, "a-b", "");
    EXPECT_NE(active_popup_code, 0);
    EXPECT_EQ(mnw.open_menu, kPopupMenu);
}

TEST(DropDownFatal, BarsAndTooManyItemsEndTheProgram)
{
    brx_test::TempDir dir;
    auto r = run_in_child(
        [] {
            int sel = 0;
            BTN_textlist(300, 200, &sel, "a-b|c", "L|R");
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_TRUE(brx_test::contains(r.out, "Found | char in text string!\n\na-b|c\n\n\n\nL|R\n"))
        << r.out;

    std::string items = "0";
    for (int i = 1; i < 300; ++i) items += "-" + std::to_string(i);
    r = run_in_child(
        [&] {
            btn_draw_log = new std::vector<btn_draw_op>;
            int sel = 299;
            BTN_textlist(300, 200, &sel, items, "");
            printf("sel=%d\n", sel);
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "sel=299\n");

    r = run_in_child(
        [&] {
            int sel = 0;
            BTN_textlist(300, 200, &sel, items + "-300", "");
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_TRUE(brx_test::contains(r.out, "BTN_text_list overflow!")) << r.out;
}

// ---------------------------------------------------------------------------

class ListBox : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        // The type-ahead remembers its last key time across lists: each test
        // starts later than any earlier one.
        static float start = 0;
        start += 1000;
        t0 = start;
        xtim.act_time = t0;
    }
    void TearDown() override
    {
        // Leave no focus or queued keys for the next test.
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        mnw = mnw_class{};
        mnw.open_menu = -1;
        run();
        DrawLogTest::TearDown();
    }
    // One frame of the list at (10, 180) over `names`.
    int run(float h = 0)
    {
        BTN_begin_focus_ring();
        ops.clear();
        const int r = BTN_list_and_search(0, 10, 180, 0, h, &scroll, &sel, 0,
                                          int(names.size()) - 1, nullptr, "",
                                          BTN_name_from_vector, &names, nullptr, nullptr,
                                          BTN_type_from_vector, &kinds);
        mnw.clicked = 0;
        mnw.double_click = 0;
        return r;
    }
    // Gives the list the focus with a click on its box.
    void focus()
    {
        click(100, 70);
        run();
    }
    void key(int c, int vkey) { BTN_dispatch_to_focus(c, vkey, 8); }
    void type(const std::string& s)
    {
        for (char c : s) key(c, 0);
    }
    std::vector<std::string> rows() const
    {
        std::vector<std::string> out;
        for (const auto& t : of(btn_draw_op::text)) out.push_back(t.str);
        return out;
    }

    std::vector<std::string> names;
    std::vector<int> kinds;
    int scroll = 0, sel = 0;
    float t0 = 0;
};

TEST_F(ListBox, HeightSetsTheNumberOfRows)
{
    for (int i = 0; i < 50; ++i) names.push_back("item" + std::to_string(i));
    kinds.assign(names.size(), 0);
    struct row {
        float h;
        std::size_t rows;
    };
    for (const row& r : {row{0, 21}, row{220, 21}, row{100, 9}, row{59, 3}}) {
        scroll = sel = 25;
        run(r.h);
        const auto t = of(btn_draw_op::text);
        ASSERT_EQ(t.size(), r.rows) << r.h;
        const float vis = float(r.rows / 2);
        EXPECT_FLOAT_EQ(t.front().v[1], 180 + 10 * vis - 3);
        EXPECT_EQ(t.front().str, "item" + std::to_string(25 - int(vis)));
        EXPECT_FLOAT_EQ(t.front().v[0], 30);
    }
}

TEST_F(ListBox, RowsIconsSelectionAndScrollBar)
{
    names = {"apps", "b.acf", "c.obj", "notes", "d.sit"};
    kinds = {1, 3, 7, 0, 9};
    scroll = 0;  // the first item on the middle row, the upper half empty
    sel = 1;
    run();
    EXPECT_EQ(rows(), names);
    const auto t = of(btn_draw_op::text);
    EXPECT_FLOAT_EQ(t[0].v[1], 177);
    EXPECT_FLOAT_EQ(t[4].v[1], 137);

    // Four icons: the plain file (kind 0) has none.
    std::vector<float> s_from;
    for (const auto& q : of(btn_draw_op::quad))
        if (q.v[0] == 14) s_from.push_back(q.v[2] * 512);
    EXPECT_EQ(s_from, (std::vector<float>{34, 48, 146, 104}));

    const auto bars = of(btn_draw_op::fillrect);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].v, (std::vector<float>{28, 165, 268, 10}));
    EXPECT_EQ(bars[0].col, 12);
    // The scroll bar's track beside the right edge, and no focus outline.
    EXPECT_TRUE(of(btn_draw_op::framerect).empty());
    bool track = false;
    for (const auto& p : of(btn_draw_op::piece)) track = track || (p.v[0] < 316 && p.v[2] > 316);
    EXPECT_TRUE(track);
}

TEST_F(ListBox, EmptyAndSingleItemLists)
{
    scroll = 7;
    sel = -4;
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(ops.empty());  // no box, no callbacks
    EXPECT_EQ(scroll, 7);
    EXPECT_EQ(sel, -4);

    names = {"one"};
    kinds = {0};
    mnw.mouse_x = 100;
    mnw.mouse_y = 180;
    mnw.wheel = 3;
    run();
    EXPECT_EQ(scroll, 0);
    EXPECT_EQ(sel, 0);
    EXPECT_EQ(mnw.wheel, 0);
    bool track = false;
    for (const auto& p : of(btn_draw_op::piece)) track = track || (p.v[0] < 316 && p.v[2] > 316);
    EXPECT_FALSE(track);
}

TEST_F(ListBox, ClicksSelectTheRowUnderThePointer)
{
    for (int i = 0; i < 30; ++i) names.push_back("n" + std::to_string(i));
    kinds.assign(names.size(), 0);
    scroll = sel = 15;
    struct row {
        float mouse_y;
        int dbl, result, sel;
    };
    const row table[] = {
        {180, 0, 0, 15}, {195, 0, 0, 13}, {194.9f, 0, 0, 14}, {165, 1, 1, 17},
        {71, 1, 1, 26},  // beyond the outermost row, inside the box
        {290, 0, 0, 4},  // the top edge counts
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.mouse_y);
        scroll = 15;
        click(100, r.mouse_y);
        mnw.double_click = r.dbl;
        EXPECT_EQ(run(), r.result);
        EXPECT_EQ(sel, r.sel);
    }
    click(100, 291);  // outside
    mnw.double_click = 1;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(sel, 4);

    // At the start, a click above the first item is pulled back to it.
    scroll = 0;
    click(100, 250);
    run();
    EXPECT_EQ(sel, 0);
}

TEST_F(ListBox, WheelScrollsOnlyOverTheBox)
{
    for (int i = 0; i < 30; ++i) names.push_back("n" + std::to_string(i));
    kinds.assign(names.size(), 0);
    scroll = 10;
    mnw.mouse_x = 100;
    mnw.mouse_y = 100;
    mnw.wheel = 1;
    run();
    EXPECT_EQ(scroll, 9);
    EXPECT_EQ(mnw.wheel, 0);
    mnw.wheel = -50;
    run();
    EXPECT_EQ(scroll, 29);
    mnw.mouse_x = 400;
    mnw.wheel = 1;
    run();
    EXPECT_EQ(scroll, 29);
    EXPECT_EQ(mnw.wheel, 1);
}

TEST_F(ListBox, ArrowKeysMoveTheSelectionAndKeepItVisible)
{
    for (int i = 0; i < 40; ++i) names.push_back("n" + std::to_string(i));
    kinds.assign(names.size(), 0);
    scroll = 15;
    sel = 25;
    focus();  // the click selected the row at y 70: 15 + 11 clamps... to 26
    ASSERT_EQ(sel, 26);
    EXPECT_EQ(of(btn_draw_op::framerect).size(), 1u);
    key(0, 40);
    run();
    EXPECT_EQ(sel, 27);
    EXPECT_EQ(scroll, 17);  // the selection became the bottom row

    sel = 7;
    scroll = 17;
    key(0, 38);
    run();
    EXPECT_EQ(sel, 6);
    EXPECT_EQ(scroll, 16);

    // Down on the last item: out of range inside the key handling, clamped back.
    sel = 39;
    scroll = 39;
    key(0, 40);
    key(0, 40);
    run();
    EXPECT_EQ(sel, 39);

    // Releases and the other navigation keys move nothing.
    sel = 20;
    scroll = 20;
    BTN_dispatch_to_focus(0, 40, 16);
    key(0, 33);
    key(28, 37);
    run();
    EXPECT_EQ(sel, 20);
    EXPECT_EQ(scroll, 20);
}

TEST_F(ListBox, TypeAheadFindsAPrefixIgnoringCase)
{
    names = {"Alpha", "abacus", "ABle", "beta", "Bravo", "charlie"};
    kinds.assign(names.size(), 0);
    focus();
    struct step {
        const char* typed;
        float at;  // seconds
        int sel;
    };
    const step steps[] = {
        {"ab", 2, 1},      // "ab" within a second: abacus
        {"l", 2.5f, 2},    // "abl": ABle
        {"b", 4, 3},       // after a pause, "b" alone
        {"r", 4.9f, 4},    // "br"
        {"xq", 5.5f, 4},   // no match: the selection stays
        {"a", 5.9f, 4},    // "brxqa" still no match
        {"C", 7, 5},
    };
    for (const step& s : steps) {
        SCOPED_TRACE(s.typed);
        xtim.act_time = t0 + s.at;
        type(s.typed);
        run();
        EXPECT_EQ(sel, s.sel);
    }
}

TEST_F(ListBox, KeysReachTheListOnlyWhileItHasTheFocus)
{
    names = {"a", "b", "c"};
    kinds.assign(names.size(), 0);
    sel = 0;
    run();
    type("c");
    key(0, 40);
    run();
    EXPECT_EQ(sel, 0);

    // Home carries the character P, which feeds the type-ahead.
    names = {"a", "Pb", "c"};
    focus();
    xtim.act_time = t0 + 2;
    key('P', 36);
    run();
    EXPECT_EQ(sel, 1);
}

}  // namespace
