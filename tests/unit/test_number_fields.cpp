// Number fields and the character field: arrow clicks per column, keys over
// the caret, clamping and rounding, the stream-count field, and values that
// no integer or column can hold.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "OOPS_cpp/butn.h"
#include "support/draw_log.h"

namespace {

constexpr int kDown = 8, kUp = 16;

struct key {
    int ch, vkey, flags = kDown;
};
const key kLeft{28, 37}, kRight{29, 39}, kUpKey{30, 38}, kDownKey{31, 40};
const key kPlus{'+', 176}, kMinus{'-', 177};
key digit(char d) { return {d, d}; }
key letter(char c) { return {c, c >= 'a' ? c - 'a' + 'A' : c}; }

class NumberField : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        BTN_unfocus_any();
        BTN_begin_focus_ring();
    }
    void TearDown() override
    {
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        DrawLogTest::TearDown();
    }

    // One frame as the pump runs it: the keys reach the widgets drawn in the
    // last frame, the ring is emptied, then the widgets draw. The click and
    // the mouse position set before it belong to this frame.
    int frame(const std::function<int()>& draw, const std::vector<key>& keys = {})
    {
        for (const key& k : keys) BTN_dispatch_to_focus(k.ch, k.vkey, k.flags);
        BTN_begin_focus_ring();
        ops.clear();
        const int result = draw();
        mnw.clicked = 0;
        return result;
    }
    // Parks the mouse where no field is.
    void away() { mnw.mouse_x = mnw.mouse_y = -1000; }

    // The caret box's column in this frame's drawing, or -1 when none.
    int caret_column(float x) const
    {
        for (const auto& op : ops)
            if (op.kind == btn_draw_op::fillrect && op.col == 8) return int((op.v[0] - x - 2) / 10);
        return -1;
    }
};

// The field of the examples: 3 digits, 1 decimal, 0..50, at (100, 200).
constexpr float fx = 100, fy = 200;

TEST_F(NumberField, ArrowClicksStepTheirColumn)
{
    struct row {
        float start;
        float mouse_x, mouse_y;
        float expect;
        int changed;
    };
    const row table[] = {
        {12.3f, fx + 5, fy + 15, 22.3f, 1},   // column 0 up: 10
        {12.3f, fx + 15, fy + 15, 13.3f, 1},  // column 1 up: 1
        {12.3f, fx + 25, fy + 15, 12.4f, 1},  // column 2 up: 0.1
        {12.3f, fx + 25, fy - 10, 12.2f, 1},  // column 2 down
        {5.0f, fx + 5, fy - 10, 0.0f, 1},     // -5.0 is clamped to lo
        {45.0f, fx + 5, fy + 24, 50.0f, 1},   // 55.0 is clamped to hi; top edge of the zone
        {12.3f, fx + 10, fy + 15, 23.3f, 1},  // on the line: both columns
        {12.3f, fx + 30, fy - 18, 12.2f, 1},  // right and bottom edges of the zone
        {12.3f, fx + 31, fy + 15, 12.3f, 0},  // right of the field
        {12.3f, fx + 5, fy + 25, 12.3f, 0},   // above the zone
        {12.3f, fx + 5, fy + 3, 12.3f, 0},    // the digit strip focuses instead
    };
    for (const row& r : table) {
        float value = r.start;
        click(r.mouse_x, r.mouse_y);
        EXPECT_EQ(frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, ""); }), r.changed)
            << r.mouse_x << "," << r.mouse_y;
        EXPECT_FLOAT_EQ(value, r.expect) << r.mouse_x << "," << r.mouse_y;
    }
}

TEST_F(NumberField, ArrowZoneSetsTheCursor)
{
    float value = 1;
    struct row {
        float my;
        int cursor;
    };
    for (const row& r : {row{fy + 9, 13}, row{fy + 24, 13}, row{fy - 3, 14}, row{fy - 18, 14}}) {
        mnw.cursor_kind = 0;
        mnw.mouse_x = fx + 5;
        mnw.mouse_y = r.my;
        frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, ""); });
        EXPECT_EQ(mnw.cursor_kind, r.cursor) << r.my;
    }
    mnw.cursor_kind = 0;
    mnw.mouse_y = fy;  // over the digits
    frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, "a|b{ Help text"); });
    EXPECT_EQ(mnw.cursor_kind, 0);
    EXPECT_EQ(stls.mouse_help, "Help text");
}

TEST_F(NumberField, OnlyTheFirstTenColumnsStepByMouse)
{
    float value = 0;
    const float big = 1e12f;
    click(fx + 95, fy + 15);  // column 9 of 12: place value 100
    EXPECT_EQ(frame([&] { return BTN_flt_range(fx, fy, &value, 12, 0, 0, big, ""); }), 1);
    EXPECT_FLOAT_EQ(value, 100);
    click(fx + 115, fy + 15);  // column 11
    EXPECT_EQ(frame([&] { return BTN_flt_range(fx, fy, &value, 12, 0, 0, big, ""); }), 0);
    EXPECT_FLOAT_EQ(value, 100);

    // Keys reach every column: the caret on column 11 steps the units.
    click(fx + 115, fy + 3);
    frame([&] { return BTN_flt_range(fx, fy, &value, 12, 0, 0, big, ""); });
    EXPECT_EQ(caret_column(fx), 11);
    frame([&] { return BTN_flt_range(fx, fy, &value, 12, 0, 0, big, ""); }, {kUpKey, digit('7')});
    EXPECT_FLOAT_EQ(value, 107);
    EXPECT_EQ(caret_column(fx), 0);
}

TEST_F(NumberField, KeysOverTheCaret)
{
    struct row {
        const char* what;
        float start, lo, hi;
        int caret;
        std::vector<key> keys;
        float expect;
        int caret_after, changed;
    };
    const row table[] = {
        {"digit", 12.3f, 0, 50, 1, {digit('7')}, 17.3f, 2, 1},
        {"digit on the last column wraps", 12.3f, 0, 50, 2, {digit('5')}, 12.5f, 0, 1},
        {"digits run on", 12.3f, 0, 50, 0, {digit('3'), digit('4'), digit('5')}, 34.5f, 0, 1},
        {"clamped after typing", 12.3f, 0, 50, 0, {digit('9')}, 50, 1, 1},
        {"left wraps to the last column", 12.3f, 0, 50, 0, {kLeft}, 12.3f, 2, 0},
        {"right wraps to column 0", 12.3f, 0, 50, 2, {kRight}, 12.3f, 0, 0},
        {"up steps the caret's place", 12.3f, 0, 50, 1, {kUpKey}, 13.3f, 1, 1},
        {"down steps the caret's place", 12.3f, 0, 50, 0, {kDownKey}, 2.3f, 0, 1},
        {"minus with lo >= 0 is clamped to lo", 12.3f, 0, 50, 0, {kMinus}, 0, 0, 1},
        {"minus with hi >= 0", 12.3f, -50, 50, 0, {kMinus}, -12.3f, 0, 1},
        {"plus with lo < 0", -12.3f, -50, 50, 0, {kPlus}, 12.3f, 0, 1},
        {"plus with lo >= 0 changes nothing", 12.3f, 0, 50, 0, {kPlus}, 12.3f, 0, 0},
        {"minus with hi < 0 changes nothing", -12.3f, -50, -1, 0, {kMinus}, -12.3f, 0, 0},
        {"a digit keeps the sign", -12.3f, -50, 50, 1, {digit('7')}, -17.3f, 2, 1},
        {"releases do nothing", 12.3f, 0, 50, 1, {{'7', '7', kUp}, {30, 38, kUp}}, 12.3f, 1, 0},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.what);
        float value = r.start;
        auto draw = [&] { return BTN_flt_range(fx, fy, &value, 3, 1, r.lo, r.hi, ""); };
        click(fx + 10 * r.caret + 5, fy + 3);
        EXPECT_EQ(frame(draw), 0);
        ASSERT_EQ(caret_column(fx), r.caret);
        away();
        EXPECT_EQ(frame(draw, r.keys), r.changed);
        EXPECT_FLOAT_EQ(value, r.expect);
        EXPECT_EQ(caret_column(fx), r.caret_after);
        // The keys were used up.
        EXPECT_EQ(frame(draw), 0);
        EXPECT_FLOAT_EQ(value, r.expect);
        BTN_unfocus_any();
    }
}

TEST_F(NumberField, KeysGoOnlyToTheFocusedField)
{
    float a = 1, b = 2;
    auto draw = [&] {
        return BTN_flt_range(fx, fy, &a, 3, 0, 0, 999, "") +
               2 * BTN_flt_range(fx, fy + 50, &b, 3, 0, 0, 999, "");
    };
    click(fx + 25, fy + 53);
    frame(draw);
    away();
    EXPECT_EQ(frame(draw, {digit('8')}), 2);
    EXPECT_FLOAT_EQ(a, 1);
    EXPECT_FLOAT_EQ(b, 8);
    // Tab moves on to the other field: the number field does not take it. The
    // caret is shared and wrapped to column 0 after the last digit.
    EXPECT_EQ(frame(draw, {{9, 9}, digit('4')}), 1);
    EXPECT_FLOAT_EQ(a, 401);
    EXPECT_FLOAT_EQ(b, 8);
}

TEST_F(NumberField, KeysInEveryFrameAreNeverLost)
{
    float value = 0;
    auto draw = [&] { return BTN_flt_range(fx, fy, &value, 3, 0, 0, 999, ""); };
    click(fx + 25, fy + 3);
    frame(draw);
    away();
    for (int i = 0; i < 200; ++i) frame(draw, {kUpKey});
    EXPECT_FLOAT_EQ(value, 200);
    // A whole queue in one frame, and one more key that has no room.
    frame(draw, std::vector<key>(65, kDownKey));
    EXPECT_FLOAT_EQ(value, 136);
}

TEST_F(NumberField, ClampedAndRoundedInEveryCall)
{
    struct row {
        float start, lo, hi;
        int decimals;
        float expect;
    };
    const row table[] = {
        {2.25f, -10, 10, 1, 2.3f},   {-2.25f, -10, 10, 1, -2.3f}, {2.5f, -10, 10, 0, 3},
        {-2.5f, -10, 10, 0, -3},     {2.449f, -10, 10, 1, 2.4f},  {0.125f, 0, 1, 2, 0.13f},
        {-20, -10, 10, 1, -10},      {20, -10, 10, 1, 10},        {9.96f, 0, 100, 1, 10.0f},
        {5, 8, 2, 1, 2},  // a reversed range: hi wins
        {0.35f, 0, 1, 1, 0.4f},  // 0.3499999940: ten times it is 3.5 as a float
    };
    for (const row& r : table) {
        float value = r.start;
        auto draw = [&] { return BTN_flt_range(fx, fy, &value, 4, r.decimals, r.lo, r.hi, ""); };
        EXPECT_EQ(frame(draw), 0);
        EXPECT_FLOAT_EQ(value, r.expect) << r.start << " in " << r.lo << ".." << r.hi;
    }
}

TEST_F(NumberField, ValuesNoColumnOrIntegerHolds)
{
    struct row {
        const char* what;
        float start, lo, hi;
        float expect;
    };
    const float inf = INFINITY;
    const row table[] = {
        {"huge stays as it is", 3e38f, -FLT_MAX, FLT_MAX, 3e38f},
        {"huge negative", -3e38f, -FLT_MAX, FLT_MAX, -3e38f},
        {"infinity in an open range", inf, -inf, inf, inf},
        {"infinity clamped", inf, 0, 50, 50},
        {"minus infinity clamped", -inf, 0, 50, 0},
        {"not a number becomes lo", NAN, 3, 50, 3},
        {"not a number, reversed range", NAN, 60, 50, 50},
        {"above 2^31 and not whole at its scale", 3.0e9f + 256, 0, 1e10f, 3.0e9f + 256},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.what);
        float value = r.start;
        frame([&] { return BTN_flt_range(fx, fy, &value, 3, 2, r.lo, r.hi, ""); });
        EXPECT_EQ(value, r.expect);
    }

    // Stepping and typing into values far beyond the columns stays defined.
    float value = 3e38f;
    auto draw = [&] { return BTN_flt_range(fx, fy, &value, 40, 0, -FLT_MAX, FLT_MAX, ""); };
    click(fx + 5, fy + 15);  // column 0 steps 1e39: beyond any float
    EXPECT_EQ(frame(draw), 1);
    EXPECT_EQ(value, FLT_MAX);
    click(fx + 395, fy + 3);
    frame(draw);
    away();
    frame(draw, {digit('3'), kUpKey});
    EXPECT_TRUE(std::isfinite(value));
    value = inf;
    frame(draw, {digit('5')});
    EXPECT_EQ(value, FLT_MAX);
}

TEST_F(NumberField, StreamCountField)
{
    struct row {
        int start;
        std::vector<key> keys;
        int expect, changed;
    };
    const row table[] = {
        {0, {}, 1, 0},          {9, {}, 4, 0},          {3, {}, 3, 0},
        {2, {digit('6')}, 4, 1}, {2, {digit('3')}, 3, 1}, {4, {kUpKey}, 4, 1},
        {1, {kDownKey}, 1, 1},  {3, {kMinus}, 1, 1},    {INT_MIN, {}, 1, 0},
        {INT_MAX, {}, 4, 0},
    };
    for (const row& r : table) {
        int streams = r.start;
        auto draw = [&] { return BTN_int_range(400, 150, &streams, 1, 1, 4, ""); };
        if (!r.keys.empty()) {
            click(405, 153);
            frame(draw);
            away();
        }
        EXPECT_EQ(frame(draw, r.keys), r.changed) << r.start;
        EXPECT_EQ(streams, r.expect) << r.start;
        BTN_unfocus_any();
    }
}

TEST_F(NumberField, IntRangeLeavesAWholeNumberInItsRange)
{
    struct row {
        const char* what;
        int start;
        float lo, hi;
        int expect;
    };
    const row table[] = {
        {"halves round out of a fractional hi", 9, 1, 4.5f, 4},
        {"and into a fractional lo", 0, 0.5f, 4, 1},
        {"inside a fractional range", 3, 0.5f, 4.5f, 3},
        {"no whole number inside: next to hi", 7, 0.2f, 0.8f, 0},
        {"above 2^24 kept exactly", 16777217, 0, 2e9f, 16777217},
        {"range beyond int", 5, -1e20f, 1e20f, 5},
        {"int range ends", INT_MAX, -1e20f, 1e20f, INT_MAX},
        {"infinite range", -7, -INFINITY, INFINITY, -7},
        {"no range at all", 7, NAN, NAN, 7},
        {"hi below every int", 7, -1e20f, -1e19f, INT_MIN},
    };
    for (const row& r : table) {
        int value = r.start;
        frame([&] { return BTN_int_range(fx, fy, &value, 10, r.lo, r.hi, ""); });
        EXPECT_EQ(value, r.expect) << r.what;
    }

    // Edited beyond int: the largest int, never a wrapped one.
    int value = 2147000000;
    auto draw = [&] { return BTN_int(fx, fy, &value, 10, 1, ""); };
    click(fx + 5, fy + 15);
    EXPECT_EQ(frame(draw), 1);
    EXPECT_EQ(value, INT_MAX);
    click(fx + 5, fy + 3);
    frame(draw);
    away();
    EXPECT_EQ(frame(draw, {kMinus, digit('9')}), 1);
    EXPECT_EQ(value, INT_MIN);
    EXPECT_EQ(frame(draw, {kLeft, kUpKey}), 1);  // back to column 0: plus 10^9
    EXPECT_EQ(value, -1147483648);
}

TEST_F(NumberField, FamilyRangesAndPlacement)
{
    struct row {
        int digits, decimals;
        double max;
    };
    const row table[] = {{1, 0, 9},    {2, 1, 9.9},   {3, 1, 99.9}, {3, 0, 999},
                         {4, 3, 9.999}, {10, 0, 9999999999.0}, {12, 0, 999999999900.0},
                         {0, 0, 0}};
    for (const row& r : table) {
        float value = 1e30f;
        frame([&] { return BTN_flt(fx, fy, &value, r.digits, r.decimals, 1, ""); });
        EXPECT_FLOAT_EQ(value, float(r.max)) << r.digits << "/" << r.decimals;
        value = -1e30f;
        frame([&] { return BTN_flt(fx, fy, &value, r.digits, r.decimals, 1, ""); });
        EXPECT_FLOAT_EQ(value, -float(r.max)) << r.digits << "/" << r.decimals;
        frame([&] { return BTN_flt(fx, fy, &value, r.digits, r.decimals, 0, ""); });
        EXPECT_FLOAT_EQ(value, 0);
    }
    int whole = -5000;
    frame([&] { return BTN_int(fx, fy, &whole, 3, 1, ""); });
    EXPECT_EQ(whole, -999);
    frame([&] { return BTN_int(fx, fy, &whole, 3, 0, ""); });
    EXPECT_EQ(whole, 0);

    // Grid placement: the digits end at 75i + 75, the base line at 50j + 25.
    float value = 1;
    frame([&] { return BTN_flt_rangeij(2, 3, &value, 3, 1, 0, 50, ""); });
    auto numbers = of(btn_draw_op::number);
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_FLOAT_EQ(numbers[0].v[0], 75 * 2 + 75 - 30 + 3);
    EXPECT_FLOAT_EQ(numbers[0].v[1], 175);
    frame([&] { return BTN_fltij(0, 1, &value, 2, 0, 0, ""); });
    numbers = of(btn_draw_op::number);
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_FLOAT_EQ(numbers[0].v[0], 75 - 20 + 3);
    EXPECT_FLOAT_EQ(numbers[0].v[1], 75);
}

TEST_F(NumberField, DoubleIsWrittenBackOnlyWhenEdited)
{
    double value = 1.23456789012345;
    frame([&] { return BTN_dob_range(fx, fy, &value, 4, 2, 0, 50, ""); });
    EXPECT_EQ(value, 1.23456789012345);
    double huge = 1e300;  // beyond any float: not touched unless edited
    frame([&] { return BTN_dob_range(fx, fy, &huge, 4, 2, 0, 50, ""); });
    EXPECT_EQ(huge, 1e300);
    click(fx + 35, fy + 15);  // the hundredths column
    EXPECT_EQ(frame([&] { return BTN_dob_range(fx, fy, &value, 4, 2, 0, 50, ""); }), 1);
    EXPECT_EQ(value, double(1.24f));
    click(fx + 35, fy + 15);
    EXPECT_EQ(frame([&] { return BTN_dob_range(fx, fy, &huge, 4, 2, 0, 50, ""); }), 1);
    EXPECT_EQ(huge, 50.0);
}

TEST_F(NumberField, DrawsFrameArrowsLabelsCaretAndNumber)
{
    float value = 12.3f;
    click(fx + 15, fy + 3);
    frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, "Left|Right{ Help"); });
    ASSERT_GE(ops.size(), 4u);
    // Frame pieces first, centred on x + 5n - 1 and 10n + 15 wide (the text
    // field frame adds 4), then the arrows.
    std::size_t i = 0;
    float left = 1e9f, right = -1e9f;
    for (; i < ops.size() && ops[i].kind == btn_draw_op::piece; ++i) {
        left = std::min(left, ops[i].v[0]);
        right = std::max(right, ops[i].v[2]);
    }
    EXPECT_FLOAT_EQ((left + right) / 2, fx + 15 - 1);
    EXPECT_FLOAT_EQ(right - left, 46 + 4);  // 45 taken to an even width
    const float px = 1.0f / 512;
    for (int k = 0; k < 3; ++k) {
        ASSERT_LT(i + 1, ops.size());
        const btn_draw_op& up = ops[i++];
        const btn_draw_op& down = ops[i++];
        ASSERT_EQ(up.kind, btn_draw_op::quad);
        EXPECT_EQ(up.v, (std::vector<float>{fx + 10 * k - 1, fy + 9, 83 * px, 197 * px,
                                            fx + 10 * k - 1, fy + 27, 83 * px, 215 * px,
                                            fx + 10 * k + 13, fy + 27, 97 * px, 215 * px,
                                            fx + 10 * k + 13, fy + 9, 97 * px, 197 * px}));
        EXPECT_FLOAT_EQ(down.v[1], fy - 19);
        EXPECT_FLOAT_EQ(down.v[5], fy - 1);
        EXPECT_FLOAT_EQ(down.v[3], 178 * px);
        EXPECT_FLOAT_EQ(down.v[7], 196 * px);
    }
    ASSERT_EQ(ops.size(), i + 4);
    EXPECT_EQ(ops[i].str, "Left");
    EXPECT_EQ(ops[i].justify, 2);
    EXPECT_FLOAT_EQ(ops[i].v[0], fx - 12);
    EXPECT_EQ(ops[i + 1].str, "Right");
    EXPECT_FLOAT_EQ(ops[i + 1].v[0], fx + 42);
    EXPECT_EQ(ops[i + 2].kind, btn_draw_op::fillrect);
    EXPECT_EQ(ops[i + 2].v, (std::vector<float>{fx + 12, fy - 2, 9, 11}));
    EXPECT_EQ(ops[i + 3].kind, btn_draw_op::number);
    EXPECT_EQ(ops[i + 3].col, 45);
    EXPECT_EQ(ops[i + 3].font, 102);
    EXPECT_EQ(ops[i + 3].v, (std::vector<float>{fx + 3, fy, 12.3f, 3, 1}));

    // Unfocused: no caret box.
    BTN_unfocus_any();
    frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, ""); });
    EXPECT_TRUE(of(btn_draw_op::fillrect).empty());
}

TEST_F(NumberField, NothingReactsWhileAMenuIsOpen)
{
    mnw.open_menu = 1519;
    float value = 12.3f;
    for (float my : {fy + 15, fy - 10, fy + 3}) {
        click(fx + 5, my);
        EXPECT_EQ(frame([&] { return BTN_flt_range(fx, fy, &value, 3, 1, 0, 50, ""); }), 0);
        EXPECT_EQ(caret_column(fx), -1);
    }
    EXPECT_FLOAT_EQ(value, 12.3f);
    EXPECT_EQ(mnw.cursor_kind, 0);
}

TEST_F(NumberField, DisplayNumberTakesNoInput)
{
    click(fx + 5, fy + 15);
    frame([&] {
        BTN_display_number(fx, fy, 12.25f, 3, 1, "Speed|kt{ Help");
        return 0;
    });
    EXPECT_EQ(mnw.cursor_kind, 0);
    EXPECT_TRUE(of(btn_draw_op::quad).empty());
    EXPECT_TRUE(of(btn_draw_op::fillrect).empty());
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].str, "Speed");
    EXPECT_EQ(texts[1].str, "kt");
    const auto numbers = of(btn_draw_op::number);
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_EQ(numbers[0].v, (std::vector<float>{fx + 4, fy, 12.25f, 3, 1}));
    EXPECT_EQ(ops.back().kind, btn_draw_op::number);
}

class CharField : public NumberField {
protected:
    // Five columns over the first five bytes of a larger buffer.
    char text[8] = {'A', 'b', ' ', '-', '#', 'Q', 'Q', '\0'};
    void draw() { BTN_chars(fx, fy, text, 5, "Code{ Registration"); }
    int run(const std::vector<key>& keys = {})
    {
        return frame([&] { draw(); return 0; }, keys);
    }
    std::string shown() const { return std::string(text, 5); }
};

TEST_F(CharField, ArrowsStepThroughTheAlphabet)
{
    // Up steps back, down forward, both wrapping; lower case counts as upper,
    // any other character as "0".
    struct step {
        int column;
        bool up;
        const char* expect;
    };
    const step steps[] = {
        {0, true, "9b -#"},  {1, false, "9C -#"}, {2, true, "9C--#"}, {3, false, "9C- #"},
        {4, true, "9C-  "},  {4, true, "9C- -"},  {0, false, "AC- -"},
    };
    for (const step& s : steps) {
        mnw.cursor_kind = 0;
        click(fx + 10 * s.column + 5, s.up ? fy + 15 : fy - 10);
        run();
        EXPECT_EQ(shown(), s.expect) << s.column;
        EXPECT_EQ(mnw.cursor_kind, s.up ? 13 : 14);
    }
    EXPECT_EQ(std::string(text + 5), "QQ");  // nothing past the field is touched
}

TEST_F(CharField, TypedCharactersAndTheCaret)
{
    click(fx + 12, fy + 3);  // column (12 * 0.1) = 1
    run();
    EXPECT_EQ(caret_column(fx), 1);
    EXPECT_EQ(stls.mouse_help, "Registration");
    away();
    run({letter('x'), digit('7'), {'+', 176}, {'!', 49}, {' ', 32}, kMinus, letter('z')});
    EXPECT_EQ(shown(), "ZX7 -");
    EXPECT_EQ(caret_column(fx), 1);  // five stored from column 1, wrapped after the last
    run({kLeft, kLeft, kLeft, kUpKey});
    EXPECT_EQ(shown(), "ZX7--");  // blank steps back to "-"
    EXPECT_EQ(caret_column(fx), 3);
    run({kRight, kDownKey, {'q', 'Q', kUp}});
    EXPECT_EQ(shown(), "ZX7- ");
    EXPECT_EQ(std::string(text + 5), "QQ");
}

TEST_F(CharField, DrawsEachCharacterAlone)
{
    run();
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0].str, "Code");
    EXPECT_FLOAT_EQ(texts[0].v[0], fx - 6);
    EXPECT_EQ(texts[0].justify, 2);
    const char* expect[] = {"A", "b", " ", "-", "#"};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(texts[k + 1].str, expect[k]);
        EXPECT_FLOAT_EQ(texts[k + 1].v[0], fx + 10 * k + 2);
        EXPECT_EQ(texts[k + 1].font, 100);
        EXPECT_EQ(texts[k + 1].col, 45);
    }
    EXPECT_EQ(of(btn_draw_op::quad).size(), 10u);
}

}  // namespace
