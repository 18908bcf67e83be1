// Frames, bars, panels, captions and labels of the widget set, checked through
// the log of drawing calls.
#include <gtest/gtest.h>

#include <csignal>

#include "OOPS_cpp/butn.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

constexpr float px = 1.0f / 512;

class Frames : public brx_test::DrawLogTest {
protected:
    // Left and right canvas edges of every piece, in order.
    std::vector<std::pair<float, float>> spans() const
    {
        std::vector<std::pair<float, float>> out;
        for (const auto& p : of(btn_draw_op::piece)) out.push_back({p.v[0], p.v[2]});
        return out;
    }
};

// Runs a drawing call that must end the program; returns what it printed.
std::string fatal_output(const std::function<void()>& body)
{
    auto r = run_in_child(body);
    EXPECT_EQ(r.signal, SIGABRT);
    return r.out;
}

TEST_F(Frames, Frame1StylesTakeTheirAtlasStrip)
{
    struct row {
        int style;
        float u0, r0, b, h, a, y_shift;
    };
    const row table[] = {
        {0, 1, 487, 100, 26, 10, -3},   {1, 102, 487, 100, 26, 20, -3},
        {2, 304, 486, 52, 26, 10, 0},   {3, 304, 459, 52, 26, 10, 0},
        {4, 112, 161, 28, 16, 10, 0},   {5, 83, 161, 28, 16, 10, 0},
        {7, 240, 242, 65, 24, 10, 0},   {8, 289, 219, 16, 16, 7, 0},
        {9, 262, 133, 51, 26, 10, 0},   {10, 357, 488, 68, 24, 26, 0},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.style);
        ops.clear();
        BTN_frame1(r.style, 500, 100, 200, 7);
        const auto pieces = of(btn_draw_op::piece);
        ASSERT_GE(pieces.size(), 3u);
        const auto& first = pieces.front();
        const auto& last = pieces.back();
        EXPECT_EQ(first.tex, 388);
        EXPECT_EQ(first.col, 7);
        EXPECT_FLOAT_EQ(first.v[1], 100 + r.y_shift - r.h / 2);
        EXPECT_FLOAT_EQ(first.v[3], 100 + r.y_shift + r.h / 2);
        // Caps keep their atlas width: never stretched.
        EXPECT_FLOAT_EQ(first.v[2] - first.v[0], r.a);
        EXPECT_FLOAT_EQ(first.v[4], r.u0 * px);
        EXPECT_FLOAT_EQ(first.v[6], (r.u0 + r.a) * px);
        EXPECT_FLOAT_EQ(first.v[5], r.r0 * px);
        EXPECT_FLOAT_EQ(first.v[7], (r.r0 + r.h) * px);
        EXPECT_FLOAT_EQ(last.v[2] - last.v[0], r.a);
        EXPECT_FLOAT_EQ(last.v[6], (r.u0 + r.b) * px);
    }
}

TEST_F(Frames, Frame1WidthRoundsHalfWidthAndAddsExtra)
{
    struct row {
        float w;
        float left, right;
    };
    // Style 9 adds 4 pixels; round(50.5) is 51.
    const row table[] = {{100, 148, 252}, {101, 147, 253}, {97.4f, 149, 251}};
    for (const row& r : table) {
        ops.clear();
        BTN_frame1(9, 200, 100, r.w, 0);
        const auto s = spans();
        EXPECT_FLOAT_EQ(s.front().first, r.left) << r.w;
        EXPECT_FLOAT_EQ(s.back().second, r.right) << r.w;
    }
    ops.clear();
    BTN_frame1(9, -10.5f, 0, 100, 0);  // x rounds away from zero: -11
    EXPECT_FLOAT_EQ(spans().front().first, -11 - 52);
}

TEST_F(Frames, Frame1CutsItsLastTileAtTheRightCap)
{
    BTN_frame1(2, 0, 0, 100, 0);  // A 10, M 42, B 52: three middle tiles, the last cut
    const auto pieces = of(btn_draw_op::piece);
    ASSERT_EQ(pieces.size(), 5u);
    const std::vector<std::pair<float, float>> want = {
        {-50, -40}, {-40, -8}, {-8, 24}, {24, 40}, {40, 50}};
    EXPECT_EQ(spans(), want);
    // The cut tile's texture: 10 + 32 * 16 / 42 texels in.
    EXPECT_FLOAT_EQ(pieces[3].v[6], (304 + 10 + 32.0f * 16 / 42) * px);
    EXPECT_FLOAT_EQ(pieces[2].v[6], (304 + 42) * px);

    ops.clear();
    BTN_frame1(2, 0, 0, 84, 0);  // an exact multiple ends with a zero-width tile
    const auto exact = spans();
    ASSERT_EQ(exact.size(), 5u);
    EXPECT_FLOAT_EQ(exact[3].first, exact[3].second);
    EXPECT_FLOAT_EQ(of(btn_draw_op::piece)[3].v[6], (304 + 10) * px);
}

TEST_F(Frames, Frame1TooNarrowDropsPieces)
{
    BTN_frame1(10, 0, 0, 10, 0);  // n = -2: only the right cap
    ASSERT_EQ(spans().size(), 1u);
    EXPECT_FLOAT_EQ(of(btn_draw_op::piece)[0].v[4], (357 + 42) * px);
    ops.clear();
    BTN_frame1(10, 0, 0, 0, 0);  // n = -3: nothing
    EXPECT_TRUE(ops.empty());
}

TEST_F(Frames, Frame0BarTilesAndCuts)
{
    BTN_frame0(6, 50, 100, 61);  // Hb = 2 * 31 + 8 = 70
    const auto pieces = of(btn_draw_op::piece);
    // bottom cap, tiles 0..2 (the last cut at 60), top cap
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_FLOAT_EQ(pieces[0].v[1], 65);
    EXPECT_FLOAT_EQ(pieces[0].v[0], 40);
    EXPECT_FLOAT_EQ(pieces[0].v[2], 60);
    EXPECT_FLOAT_EQ(pieces[3].v[1], 65 + 50);
    EXPECT_FLOAT_EQ(pieces[3].v[3], 65 + 60);
    EXPECT_FLOAT_EQ(pieces[3].v[7], (258 + 10.0f * 20 / 30) * px);
    EXPECT_FLOAT_EQ(pieces[4].v[3], 135);
    EXPECT_FLOAT_EQ(pieces[4].v[7], 288 * px);
}

TEST_F(Frames, UnknownStylesAndOffGridBarsEndTheProgram)
{
    EXPECT_NE(fatal_output([] { BTN_frame1(6, 0, 0, 10, 0); }).find("Bad BTN_frame1 call!"),
              std::string::npos);
    EXPECT_NE(fatal_output([] { BTN_frame0(5, 0, 0, 10); }).find("Bad BTN_frame0 call!"),
              std::string::npos);
    EXPECT_NE(fatal_output([] { BTN_frame0(6, 0.5f, 0, 10); }).find("BTN_frame0 non-int x_center!"),
              std::string::npos);
    EXPECT_NE(fatal_output([] { BTN_frame0(6, 0, 2.5f, 10); }).find("BTN_frame0 non-int y_center!"),
              std::string::npos);
    EXPECT_EQ(fatal_output([] { BTN_frame2(21, 0, 0, 10, 10, "Panel"); }),
              "Skarvel Error:\nBad BTN_frame2 call!\n\n\n\n\n\nPanel\n\nSorry.\n");
    mnw.wind_w = 300;
    mnw.wind_h = 200;
    EXPECT_NE(fatal_output([] { BTN_fillwin(1, 0); }).find("Bad BTN_frame2 call!"),
              std::string::npos);
}

// ---------------------------------------------------------------------------
// Panels.

TEST_F(Frames, Frame2NineSliceTilesRepeatAndCutTheLastTile)
{
    BTN_frame2(13, 10, 35, 400, 187, "");  // drawn 1..419 by 21..226
    const auto pieces = of(btn_draw_op::piece);
    // Rows: bottom, 4 middle (the last cut), top; columns: left, 12 middle, right.
    ASSERT_EQ(pieces.size(), 6u * 14u);
    const auto& first = pieces.front();
    EXPECT_EQ(std::vector<float>(first.v.begin(), first.v.end()),
              (std::vector<float>{1, 21, 36, 51, 203 * px, 358 * px, 238 * px, 388 * px}));
    const auto& last = pieces.back();
    EXPECT_EQ(std::vector<float>(last.v.begin(), last.v.end()),
              (std::vector<float>{384, 196, 419, 226, 268 * px, 428 * px, 303 * px, 458 * px}));
    // The last middle column of the bottom row: 366..384 of a 30-pixel tile.
    const auto& cut_col = pieces[12];
    EXPECT_FLOAT_EQ(cut_col.v[0], 366);
    EXPECT_FLOAT_EQ(cut_col.v[2], 384);
    EXPECT_FLOAT_EQ(cut_col.v[6], (238 + 18) * px);
    // The last middle row: 171..196 of a 40-pixel tile.
    const auto& cut_row = pieces[4 * 14];
    EXPECT_FLOAT_EQ(cut_row.v[1], 171);
    EXPECT_FLOAT_EQ(cut_row.v[3], 196);
    EXPECT_FLOAT_EQ(cut_row.v[7], (388 + 25) * px);
}

TEST_F(Frames, Frame2NarrowAndShortPanels)
{
    struct row {
        float w;
        std::size_t columns;
    };
    // Type 13: W = w + 18, tile 30, sides 35.
    const row table[] = {{50, 3}, {10, 2}, {-10, 1}, {-40, 0}};
    for (const row& r : table) {
        ops.clear();
        BTN_frame2(13, 0, 0, r.w, 200, "");
        EXPECT_EQ(of(btn_draw_op::piece).size(), r.columns * 6) << r.w;
    }
    // m = 0 with a span shorter than both sides: the middle column is cut
    // back to the right column's start, its texture held at the band.
    ops.clear();
    BTN_frame2(13, 0, 0, 50, 200, "");
    const auto middle = of(btn_draw_op::piece)[1];
    EXPECT_FLOAT_EQ(middle.v[2], -9 + 68 - 35);
    EXPECT_FLOAT_EQ(middle.v[6], 238 * px);

    // A panel lower than its two edge rows keeps one middle row.
    ops.clear();
    BTN_frame2(13, 0, 0, 400, 10, "");
    EXPECT_EQ(of(btn_draw_op::piece).size(), 3u * 14u);
}

TEST_F(Frames, Frame2TitlesByType)
{
    struct row {
        int type;
        int col;
        float ty;
    };
    const row table[] = {{11, 40, 87}, {12, 43, 84}, {13, 43, 84}, {15, 47, 84}, {17, 43, 84}};
    for (const row& r : table) {
        ops.clear();
        BTN_frame2(r.type, 100, 50, 200, 50, "Prefs");  // "Prefs" is 6+4+6+4+4 = 24 wide
        const auto texts = of(btn_draw_op::text);
        ASSERT_EQ(texts.size(), 1u) << r.type;
        EXPECT_EQ(texts[0].col, r.col);
        EXPECT_FLOAT_EQ(texts[0].v[0], 100 + 100 - 12);
        EXPECT_FLOAT_EQ(texts[0].v[1], r.ty);
        EXPECT_EQ(texts[0].font, 100);
        EXPECT_FLOAT_EQ(texts[0].wrap, 9999);
    }
    ops.clear();
    BTN_frame2(20, 100, 50, 200, 50, "News");
    EXPECT_FLOAT_EQ(of(btn_draw_op::text)[0].v[0], 110);
    const auto piece = of(btn_draw_op::piece)[0];
    EXPECT_EQ(piece.tex, 389);
    EXPECT_FLOAT_EQ(piece.v[4], 774.0f / 1024);
    EXPECT_FLOAT_EQ(piece.v[5], 78.0f / 1024);

    ops.clear();
    BTN_frame2(13, 0, 0, 100, 100, "");
    EXPECT_TRUE(of(btn_draw_op::text).empty());
}

TEST_F(Frames, WindowFrameHasCloseBoxesOnlyInApplicationDialogs)
{
    mnw.wind_w = 500;
    mnw.wind_h = 300;
    for (int window : {0, 995, 996, 999, 1, 2, 993}) {
        mnw.wind = window;
        ops.clear();
        BTN_frame2(11, 40, 40, 100, 100, "");
        const auto quads = of(btn_draw_op::quad);
        const bool boxes = window != 0 && (window < 995 || window > 999);
        ASSERT_EQ(quads.size(), boxes ? 2u : 0u) << window;
        if (!boxes) continue;
        EXPECT_EQ(quads[0].v, (std::vector<float>{7, 281, 120 * px, 178 * px, 7, 299, 120 * px,
                                                  196 * px, 25, 299, 138 * px, 196 * px, 25, 281,
                                                  138 * px, 178 * px}));
        EXPECT_FLOAT_EQ(quads[1].v[0], 475);
        EXPECT_FLOAT_EQ(quads[1].v[8], 493);
    }
    ops.clear();
    mnw.wind = 1;
    BTN_frame2(12, 40, 40, 100, 100, "");
    EXPECT_TRUE(of(btn_draw_op::quad).empty());
}

TEST_F(Frames, SubwinDefaultsAndReportsTheNextPlace)
{
    mnw.wind_w = 420;
    mnw.wind_h = 250;
    float ox = 0, oy = 0;
    BTN_subwin(0, 13, -1, 35, -1, -1, "", &ox, &oy);
    EXPECT_FLOAT_EQ(ox, 420);
    EXPECT_FLOAT_EQ(oy, 232);
    // The panel at (10, 35), 400 by 187: drawn from 1 to 419 across.
    const auto pieces = of(btn_draw_op::piece);
    EXPECT_FLOAT_EQ(pieces.front().v[0], 1);
    EXPECT_FLOAT_EQ(pieces.front().v[1], 21);
    EXPECT_FLOAT_EQ(pieces.back().v[2], 419);
    EXPECT_FLOAT_EQ(pieces.back().v[3], 226);

    BTN_subwin(0, 13, -1, -1, -1, -1, "", &ox, &oy);
    EXPECT_FLOAT_EQ(ox, 420);
    EXPECT_FLOAT_EQ(oy, 232);
    BTN_subwin(5, 13, 0, 0, 0, 0, "", &ox, &oy);  // zeros stay zeros
    EXPECT_FLOAT_EQ(ox, 10);
    EXPECT_FLOAT_EQ(oy, 10);
}

TEST_F(Frames, FillwinDrawsTheWindowFrameWithTitle)
{
    mnw.wind = 1;
    mnw.wind_w = 500;
    mnw.wind_h = 300;
    stls.title = "EULA";
    BTN_fillwin(1, 21);
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].str, "EULA");
    EXPECT_EQ(texts[0].col, 40);
    EXPECT_FLOAT_EQ(texts[0].v[1], 287);
    EXPECT_EQ(of(btn_draw_op::quad).size(), 2u);
    const auto pieces = of(btn_draw_op::piece);
    EXPECT_FLOAT_EQ(pieces.front().v[0], -9);
    EXPECT_FLOAT_EQ(pieces.front().v[1], -14);
    EXPECT_FLOAT_EQ(pieces.back().v[3], 304);

    ops.clear();
    BTN_fillwin(1, 1);  // adds the title bar strip across the window
    const auto bar = of(btn_draw_op::piece).back();
    EXPECT_FLOAT_EQ(bar.v[2], 500);
    EXPECT_FLOAT_EQ(bar.v[1], 300 - 50 - 3 - 13);

    ops.clear();
    BTN_fillwin(1, 15);  // an inner panel, 10 in from the sides and the bottom
    const auto all = of(btn_draw_op::piece);
    ASSERT_GT(all.size(), 17u * 9u);
    const auto& inner = all[17 * 9];  // after the 17 by 9 pieces of the window frame
    EXPECT_FLOAT_EQ(inner.v[0], 1);
    EXPECT_FLOAT_EQ(inner.v[1], -4);
    EXPECT_FLOAT_EQ(inner.v[4], 405 * px);
}

// ---------------------------------------------------------------------------
// Captions and labels.

class Labels : public brx_test::DrawLogTest {
protected:
    struct line {
        std::string text;
        float x, y;
        int justify;
        int col;
        bool operator==(const line&) const = default;
    };
    std::vector<line> lines()
    {
        std::vector<line> out;
        for (const auto& t : of(btn_draw_op::text))
            out.push_back({t.str, t.v[0], t.v[1], t.justify, t.col});
        return out;
    }
};

TEST_F(Labels, SplitsLongCaptionsNearTheMiddle)
{
    struct row {
        std::string label;
        int align;
        std::vector<line> want;
    };
    const std::vector<row> table = {
        {"", 0, {}},
        {"twelve chars", 0, {{"twelve chars", 50, 20, 2, 43}}},
        {"Download Settings", 2, {{"Download", 50, 25, 0, 43}, {"Settings", 50, 15, 0, 43}}},
        {"Download Settings", 1, {{"Download Settings", 50, 20, 1, 43}}},
        {"/abcdefghijklmn/", 0, {{"/abcdefghijklmn/", 50, 20, 2, 43}}},
        {"-Download Settings", 0, {{"Download Settings", 50, 20, 2, 43}}},
        // Two separators equally near the middle: the first wins.
        {"abcdef-h/jklmno", 0, {{"abcdef", 50, 25, 2, 43}, {"h/jklmno", 50, 15, 2, 43}}},
        {"Ask Folder/At Start", 0, {{"Ask Folder", 50, 25, 2, 43}, {"At Start", 50, 15, 2, 43}}},
        {"Download Settings", 3, {}},
    };
    for (const row& r : table) {
        ops.clear();
        BTN_util_draw_label(50, 20, r.align, r.label, 0);
        EXPECT_EQ(lines(), r.want) << r.label << " align " << r.align;
    }
    ops.clear();
    BTN_util_draw_label(50, 20, 2, "Lit", 1);
    EXPECT_EQ(lines(), (std::vector<line>{{"Lit", 50, 20, 0, 80}}));
}

TEST(Label, ExpandSplitsCaptionUnitAndHelp)
{
    struct row {
        std::string label, left, right, help;
    };
    const row table[] = {
        {"plain", "plain", "", ""},
        {"Port|kB{ The proxy port.", "Port", "kB", "The proxy port."},
        {"|Use full speed{ Never pause.", "", "Use full speed", "Never pause."},
        {"caption{ help", "caption", "", "help"},
        {"a{ b|c", "a{ b", "", "b|c"},
        {"two|bars|right", "two|bars", "right", ""},
        // A label that ends in '{' (server text from the network) has no help.
        {"server{", "server", "", ""},
        {"{", "", "", ""},
        {"{x", "", "", ""},
    };
    for (const row& r : table) {
        std::string left = "?", right = "?", help = "?";
        BTN_expand_label(r.label, &left, &right, &help);
        EXPECT_EQ(left, r.left) << r.label;
        EXPECT_EQ(right, r.right) << r.label;
        EXPECT_EQ(help, r.help) << r.label;
    }
}

TEST_F(Labels, CloseBoxesHitWithInclusiveEdges)
{
    mnw.wind_w = 500;
    mnw.wind_h = 300;
    struct row {
        float x, y;
    };
    const row table[] = {{7, 281}, {25, 299}, {6.9f, 290}, {16, 280.9f}, {475, 281}, {493, 299},
                         {493.1f, 290}, {250, 290}};
    const int want[] = {1, 1, 0, 0, 1, 1, 0, 0};
    for (std::size_t i = 0; i < std::size(table); ++i) {
        ops.clear();
        click(table[i].x, table[i].y);
        EXPECT_EQ(BTN_zap_boxes(0), want[i]) << table[i].x << "," << table[i].y;
    }
    // A hit on the left box returns before the right one is drawn.
    ops.clear();
    click(10, 290);
    BTN_zap_boxes(1);
    const auto quads = of(btn_draw_op::quad);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].v[3], 197 * px);
    EXPECT_FLOAT_EQ(quads[0].v[7], 215 * px);
    ops.clear();
    mnw.clicked = 0;
    EXPECT_EQ(BTN_zap_boxes(0), 0);
    EXPECT_EQ(of(btn_draw_op::quad).size(), 2u);
}

TEST_F(Labels, TabSelectsOnPress)
{
    mnw.wind_h = 300;
    int sel = 0;
    click(88 + 53 + 40, 262 + 13);  // tab (1, 0) at (141, 262), right and top edges
    EXPECT_EQ(BTN_tab(1, 0, &sel, 4, "Tab"), 1);
    EXPECT_EQ(sel, 4);
    EXPECT_EQ(of(btn_draw_op::text)[0].col, 41);
    ops.clear();
    click(141 + 41, 262);
    EXPECT_EQ(BTN_tab(1, 0, &sel, 5, "Other"), 0);
    EXPECT_EQ(sel, 4);
    EXPECT_EQ(of(btn_draw_op::text)[0].col, 42);
}

TEST_F(Labels, CompassFollowsTheHeldMouse)
{
    float dir = 90;
    mnw.held = 1;
    mnw.mouse_x = 100;
    mnw.mouse_y = 80;  // straight below the centre (100, 100)
    plot_dir(100, 100, &dir, 1);
    EXPECT_NEAR(dir, 180, 1e-3);
    // The needle was drawn for 90 degrees: its top points right.
    const auto needle = of(btn_draw_op::quad)[1];
    EXPECT_NEAR(needle.v[4], 121, 1e-3);
    EXPECT_NEAR(needle.v[5], 105, 1e-3);
    mnw.mouse_x = 90;
    mnw.mouse_y = 100;
    plot_dir(100, 100, &dir, 1);
    EXPECT_NEAR(dir, 270, 1e-3);
    mnw.mouse_x = 131;
    plot_dir(100, 100, &dir, 1);
    EXPECT_NEAR(dir, 270, 1e-3);
}

}  // namespace
