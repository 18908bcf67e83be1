// Check boxes, choice buttons, the push button and the sliders: hit
// rectangles, drawing and the values they edit.
#include <gtest/gtest.h>

#include <csignal>

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/xtim.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

constexpr float px = 1.0f / 512;

class Widgets : public brx_test::DrawLogTest {};

TEST_F(Widgets, CheckBoxHitRectangleIsInclusive)
{
    struct row {
        float dx, dy;
        int hit;
    };
    const row table[] = {{8, 12, 1},    {-8, -4, 1},   {0, 0, 1},   {8.5f, 0, 0},
                         {0, -4.5f, 0}, {-8.1f, 0, 0}, {0, 12.1f, 0}};
    for (const row& r : table) {
        int flag = 0;
        click(100 + r.dx, 50 + r.dy);
        EXPECT_EQ(BTN_bool(100, 50, &flag, "|Log{ Writes a log.", 0), r.hit) << r.dx << "," << r.dy;
        EXPECT_EQ(flag, r.hit);
        EXPECT_EQ(stls.mouse_help, r.hit ? "Writes a log." : "");
        stls.mouse_help.clear();
    }
}

TEST_F(Widgets, CheckBoxDrawsBoxMarkAndCaptions)
{
    int flag = 5;
    BTN_bool(30, 265, &flag, "Left|Right", 0);
    const auto quads = of(btn_draw_op::quad);
    ASSERT_EQ(quads.size(), 2u);  // box, then the mark for any nonzero flag
    EXPECT_EQ(quads[0].v, (std::vector<float>{21, 259, 139 * px, 178 * px, 21, 277, 139 * px,
                                              196 * px, 39, 277, 157 * px, 196 * px, 39, 259,
                                              157 * px, 178 * px}));
    EXPECT_FLOAT_EQ(quads[1].v[3], 197 * px);
    EXPECT_FLOAT_EQ(quads[1].v[7], 215 * px);
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].str, "Left");
    EXPECT_FLOAT_EQ(texts[0].v[0], 18);
    EXPECT_EQ(texts[0].justify, 2);
    EXPECT_EQ(texts[1].str, "Right");
    EXPECT_FLOAT_EQ(texts[1].v[0], 42);
    EXPECT_EQ(texts[1].justify, 0);

    // A click toggles any nonzero value to 0; the drawing showed the old state.
    click(30, 265);
    EXPECT_EQ(BTN_bool(30, 265, &flag, "", 0), 1);
    EXPECT_EQ(flag, 0);
}

TEST_F(Widgets, NothingReactsWhileAMenuIsOpen)
{
    mnw.open_menu = 3;
    click(100, 50);
    int flag = 0;
    EXPECT_EQ(BTN_bool(100, 50, &flag, "a{ help", 0), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(stls.mouse_help, "");
    EXPECT_EQ(BTN_action(100, 50, 40, 0, 1, "Go", "-"), 0);
    EXPECT_TRUE(of(btn_draw_op::present).empty());
}

TEST_F(Widgets, ChoiceButtonsSelectAndStaySelected)
{
    int server = 2;
    BTN_is_int(142, 578, &server, 0, "Server A");
    BTN_is_int(142, 558, &server, 2, "Server B");
    const auto quads = of(btn_draw_op::quad);
    ASSERT_EQ(quads.size(), 3u);  // the chosen one carries its mark
    EXPECT_FLOAT_EQ(quads[0].v[2], 83 * px);
    EXPECT_FLOAT_EQ(quads[0].v[3], 123 * px);
    EXPECT_FLOAT_EQ(quads[2].v[3], 142 * px);

    click(142, 578);
    EXPECT_EQ(BTN_is_int(142, 578, &server, 0, "Server A"), 1);
    EXPECT_EQ(server, 0);
    EXPECT_EQ(BTN_is_int(142, 578, &server, 0, "Server A"), 1);  // clicked again: kept
    EXPECT_EQ(server, 0);
}

TEST_F(Widgets, CheckBoxesOverOtherTypes)
{
    unsigned char byte = 7;
    BTN_xbyt(10, 10, &byte, "b");
    EXPECT_EQ(of(btn_draw_op::quad).size(), 2u);
    click(10, 10);
    EXPECT_EQ(BTN_xbyt(10, 10, &byte, "b"), 1);
    EXPECT_EQ(byte, 0);
    bool on = false;
    EXPECT_EQ(BTN_xbol(10, 10, &on, "b"), 1);
    EXPECT_TRUE(on);
    char c = 0;
    EXPECT_EQ(BTN_xchr(10, 10, &c, "c"), 1);
    EXPECT_EQ(c, 1);
    mnw.clicked = 0;
    byte = 3;
    EXPECT_EQ(BTN_xbyt(10, 10, &byte, "b"), 0);
    EXPECT_EQ(byte, 3);
}

// ---------------------------------------------------------------------------

TEST_F(Widgets, ButtonHitRectangleIsInclusive)
{
    struct row {
        float x, y;
        int hit;
    };
    const row table[] = {{80, 40, 1}, {120, 60, 1}, {100, 50, 1}, {79.9f, 50, 0}, {100, 60.1f, 0},
                         {120.1f, 40, 0}, {100, 39.9f, 0}};
    for (const row& r : table) {
        click(r.x, r.y);
        EXPECT_EQ(BTN_action(100, 50, 40, 0, 0, "Go", "-"), r.hit) << r.x << "," << r.y;
    }
    mnw.clicked = 0;
    mnw.mouse_x = 100;
    mnw.mouse_y = 50;
    EXPECT_EQ(BTN_action(100, 50, 40, 0, 1, "Go", "-"), 0);
}

TEST_F(Widgets, ButtonWidthFromTheWholeLabel)
{
    struct row {
        std::string label;
        float width;
    };
    // "O" 9 and "K" 7; separators and help count too ("|" 3, "{" 0).
    const row table[] = {{"OK", 37}, {"", 21}, {"OK|{ a", 21 + 16 + 3 + 3 + 6}};
    for (const row& r : table) {
        ops.clear();
        BTN_action(200, 100, -1, 0, 1, r.label, "-");
        const auto pieces = of(btn_draw_op::piece);
        ASSERT_FALSE(pieces.empty());
        // The frame is as wide as the width rounded to even, centred on x.
        const float w = 2 * float(int(r.width / 2 + 0.5f));
        EXPECT_FLOAT_EQ(pieces.front().v[0], 200 - w / 2) << r.label;
        EXPECT_FLOAT_EQ(pieces.back().v[2], 200 + w / 2) << r.label;
    }
}

TEST_F(Widgets, ButtonFeedbackPresentsThePressedFrame)
{
    click(100, 50);
    EXPECT_EQ(BTN_action(100, 50, 60, 0, 1, "Prefs|x{ help", "-"), 1);
    // Up frame, label, then the pressed frame and label again, then present.
    ASSERT_EQ(ops.back().kind, btn_draw_op::present);
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].str, "Prefs");
    EXPECT_EQ(texts[1].justify, 1);
    EXPECT_FLOAT_EQ(texts[1].v[1], 47);
    // The last frame pieces before present come from the pressed strip (row 459).
    const auto& pressed = ops[ops.size() - 3];
    ASSERT_EQ(pressed.kind, btn_draw_op::piece);
    EXPECT_FLOAT_EQ(pressed.v[5], 459 * px);
    EXPECT_FLOAT_EQ(ops[0].v[5], 486 * px);

    // Already down: still a click, nothing presented.
    ops.clear();
    EXPECT_EQ(BTN_action(100, 50, 60, 1, 1, "Prefs", "-"), 1);
    EXPECT_TRUE(of(btn_draw_op::present).empty());
    // Without feedback nothing is presented either.
    ops.clear();
    EXPECT_EQ(BTN_action(100, 50, 60, 0, 0, "Prefs", "-"), 1);
    EXPECT_TRUE(of(btn_draw_op::present).empty());
}

TEST_F(Widgets, ButtonHighlightAndSideText)
{
    BTN_action(100, 50, 60, 1, 2, "Lit", "side");
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].col, 80);
    EXPECT_EQ(texts[1].str, "side");
    EXPECT_EQ(texts[1].col, 45);
    EXPECT_FLOAT_EQ(texts[1].v[0], 140);
    EXPECT_FLOAT_EQ(texts[1].v[1], 57);
    EXPECT_FLOAT_EQ(texts[1].wrap, 500);
}

// ---------------------------------------------------------------------------

class Slider : public Widgets {
protected:
    void TearDown() override
    {
        // Release every slot's drag for the next test.
        mnw = mnw_class{};
        int v = 0;
        for (int slot = 0; slot < 4; ++slot) BTN_vert_slider(slot, 0, 0, 100, 0, 10, &v);
        xtim.act_flag5 = 0;
        Widgets::TearDown();
    }
    // Centre of the thumb quad (the second of the three).
    float thumb_y() const
    {
        const auto quads = of(btn_draw_op::quad);
        return (quads[1].v[1] + quads[1].v[5]) / 2;
    }
};

TEST_F(Slider, ThumbRunsFromTopForLoToBottomForHi)
{
    struct row {
        int value;
        float thumb;
        int stored;
    };
    // Track 100..300: thumb from 290 (lo) down to 109 (hi).
    const row table[] = {{0, 290, 0}, {100, 109, 100}, {50, 199.5f, 50}, {150, 109, 100},
                         {-5, 290, 0}};
    for (const row& r : table) {
        ops.clear();
        int value = r.value;
        EXPECT_EQ(BTN_vert_slider(0, 20, 100, 300, 0, 100, &value), 0);
        EXPECT_FLOAT_EQ(thumb_y(), r.thumb) << r.value;
        EXPECT_EQ(value, r.stored);
    }
    const auto quads = of(btn_draw_op::quad);
    EXPECT_FLOAT_EQ((quads[0].v[1] + quads[0].v[5]) / 2, 308);  // up arrow
    EXPECT_FLOAT_EQ((quads[2].v[1] + quads[2].v[5]) / 2, 90);   // down arrow
    EXPECT_FLOAT_EQ(quads[0].v[3], 266 * px);
    EXPECT_FLOAT_EQ(quads[2].v[3], 216 * px);
}

TEST_F(Slider, ClicksStepByArrowAndTrack)
{
    struct row {
        float y;
        int change;
    };
    // Thumb at 199.5 for value 50 of 0..100 on the track 100..300; a press on
    // the thumb itself starts a drag and does not step. The ends of the track
    // count for the arrow and the track alike.
    const row table[] = {{310, -1},  {320, -1}, {320.1f, 0}, {90, 1},   {80, 1},
                         {250, -10}, {150, 10}, {300, -11},  {100, 11}, {199.5f, 0}};
    for (const row& r : table) {
        int value = 50;
        click(20, r.y);
        mnw.held = 1;
        mnw.mouse_x = 31;  // the right edge of the arrows, off the thumb
        BTN_vert_slider(1, 20, 100, 300, 0, 100, &value);
        EXPECT_EQ(value, 50 + r.change) << r.y;
        mnw.held = 0;
        BTN_vert_slider(1, 20, 100, 300, 0, 100, &value);
    }
}

uint64_t fake_us = 0;
uint64_t fake_clock() { return fake_us; }

TEST_F(Slider, HeldArrowRepeatsOnTheTickAfterAQuarterSecond)
{
    xtim_set_clock(fake_clock);
    fake_us = 0;
    int value = 50;
    std::vector<float> step_times;
    for (int frame = 0; frame <= 20; ++frame) {
        fake_us = uint64_t(frame) * 50000;  // a frame every 0.05 s
        mnw.clicked = frame == 0;
        mnw.mouse_x = 20;
        mnw.mouse_y = 305;  // on the up arrow
        xtim.xtim_update();
        const int before = value;
        BTN_vert_slider(2, 20, 100, 300, 0, 100, &value);
        if (value != before) step_times.push_back(xtim.act_time);
    }
    xtim_set_clock(nullptr);
    // The press steps at once; the repeat waits for a hold of more than 0.25 s,
    // then follows the 0.2-second tick.
    ASSERT_GE(step_times.size(), 4u);
    EXPECT_FLOAT_EQ(step_times[0], 0);
    EXPECT_GT(step_times[1], 0.25f);
    for (std::size_t i = 2; i < step_times.size(); ++i)
        EXPECT_GT(step_times[i] - step_times[i - 1], 0.2f - 1e-4f);
    EXPECT_EQ(value, 50 - int(step_times.size()));
}

TEST_F(Slider, DragFollowsTheMouseWhileHeld)
{
    int value = 0;
    mnw.held = 1;
    mnw.mouse_x = 20;
    mnw.mouse_y = 290;  // on the thumb of value 0
    EXPECT_EQ(BTN_vert_slider(3, 20, 100, 300, 0, 100, &value), 1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(of(btn_draw_op::quad)[1].col, 47);

    struct row {
        float y;
        int value;
    };
    // yt - 11 = 289 gives lo, yb + 11 = 111 gives hi; the mouse may leave the bar.
    const row table[] = {{289, 0}, {111, 100}, {400, 0}, {0, 100}, {201, 49}};
    for (const row& r : table) {
        mnw.mouse_x = 500;
        mnw.mouse_y = r.y;
        EXPECT_EQ(BTN_vert_slider(3, 20, 100, 300, 0, 100, &value), 1);
        EXPECT_EQ(value, r.value) << r.y;
    }
    mnw.held = 0;
    ops.clear();
    EXPECT_EQ(BTN_vert_slider(3, 20, 100, 300, 0, 100, &value), 0);
    EXPECT_EQ(of(btn_draw_op::quad)[1].col, 0);
}

TEST_F(Slider, EmptyRangeIsABareTrack)
{
    int value = 7;
    click(20, 305);
    EXPECT_EQ(BTN_vert_slider(4, 20, 100, 300, 5, 5, &value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(of(btn_draw_op::quad).empty());
    EXPECT_FALSE(of(btn_draw_op::piece).empty());

    auto r = brx_test::run_in_child([] {
        int v = 0;
        BTN_vert_slider(4, 20, 100, 300, 0, 10, &v);
    });
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "Skarvel Error:\nToo many sliders!\n\n\n\n\n\n\n\nSorry.\n");
    r = brx_test::run_in_child([] {
        int v = 0;
        BTN_vert_slider(-1, 20, 100, 300, 0, 10, &v);
    });
    EXPECT_EQ(r.signal, SIGABRT);
}

TEST_F(Widgets, HorizontalSliderSetsTheValueFromTheMouse)
{
    float value = 0.25f;
    mnw.held = 1;
    mnw.mouse_x = 175;
    mnw.mouse_y = 60;
    EXPECT_EQ(BTN_horz_slider(100, 50, 100, 3, 0, 1, &value, 1, "Vol|%{ Loudness", "half"), 1);
    EXPECT_FLOAT_EQ(value, 0.75f);
    EXPECT_EQ(stls.mouse_help, "");  // the mouse is above the bar's tooltip strip
    // The fill was drawn from the old value: 25 pixels made even, 26.
    const auto pieces = of(btn_draw_op::piece);
    float fill_left = 1e9f, fill_right = -1e9f;
    for (const auto& p : pieces)
        if (p.col == 3) fill_left = std::min(fill_left, p.v[0]), fill_right = std::max(fill_right, p.v[2]);
    EXPECT_FLOAT_EQ(fill_right - fill_left, 26);
    // The knob uses the new value.
    const auto knob = of(btn_draw_op::quad).back();
    EXPECT_FLOAT_EQ(knob.v[0], 165);

    mnw.held = 0;
    mnw.mouse_y = 55;
    EXPECT_EQ(BTN_horz_slider(100, 50, 100, 12, 0, 1, &value, 1, "Vol|%{ Loudness", ""), 0);
    EXPECT_EQ(stls.mouse_help, "Loudness");
}

}  // namespace
