// The keyboard focus ring: Tab order, key classes against each widget's mask,
// and queues that never overflow.
#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/xtim.h"

namespace {

constexpr int kShift = 1, kDown = 8, kUp = 16;

// One kind of widget: its queues, shared by every instance of that kind.
struct widget_queue {
    int chars[64] = {}, vkeys[64] = {}, flags[64] = {}, ids[64] = {};
    int count = 0;
    int mask;
    explicit widget_queue(int m) : mask(m) {}

    int draw(int id, int grab = 0)
    {
        return BTN_register_focus(id, chars, vkeys, flags, ids, &count, 64, mask, grab);
    }
};

class FocusRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        mnw = mnw_class{};
        BTN_unfocus_any();
        BTN_begin_focus_ring();
    }
    void TearDown() override
    {
        BTN_unfocus_any();
        BTN_begin_focus_ring();
    }
    // The widget of `ids` that holds the focus after a drawing pass, or 0.
    int focused(widget_queue& q, std::initializer_list<int> ids)
    {
        BTN_begin_focus_ring();
        int which = 0;
        for (int id : ids)
            if (q.draw(id)) which = id;
        return which;
    }

    widget_queue text{0x1F4};
    widget_queue number{0x0D0};
};

TEST_F(FocusRing, TabWithNoFocus)
{
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 0);  // empty ring: not taken
    EXPECT_EQ(BTN_no_focus_yet(), 1);

    const int a = BTN_focus_id(100, 50), b = BTN_focus_id(100, 20);
    EXPECT_EQ(a, (100 << 13) + 50);
    EXPECT_EQ(BTN_focus_id(-1.5f, 7.9f), -(1 << 13) + 7);
    focused(text, {a, b});
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kUp), 0);  // a release never navigates
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
    EXPECT_EQ(focused(text, {a, b}), a);
    EXPECT_EQ(BTN_no_focus_yet(), 0);
}

TEST_F(FocusRing, TabWrapsBothWays)
{
    const int ids[] = {BTN_focus_id(10, 10), BTN_focus_id(10, 40), BTN_focus_id(10, 70)};
    focused(text, {ids[0], ids[1], ids[2]});
    BTN_dispatch_to_focus(9, 9, kDown);
    struct row {
        int flags;
        int expect;
    };
    const row steps[] = {{kDown, 1}, {kDown, 2}, {kDown, 0}, {kDown | kShift, 2},
                         {kDown | kShift, 1}, {kDown | kShift, 0}, {kDown | kShift, 2}};
    for (const row& s : steps) {
        EXPECT_EQ(BTN_dispatch_to_focus(9, 9, s.flags), 1);
        EXPECT_EQ(focused(text, {ids[0], ids[1], ids[2]}), ids[s.expect]);
    }
    // A single registration keeps the focus.
    focused(text, {ids[0]});
    BTN_unfocus_any();
    BTN_dispatch_to_focus(9, 9, kDown);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
    EXPECT_EQ(focused(text, {ids[0]}), ids[0]);
}

TEST_F(FocusRing, FocusedWidgetNotDrawnLosesTheFocus)
{
    const int a = BTN_focus_id(1, 1), b = BTN_focus_id(2, 2);
    focused(text, {a, b});
    text.draw(b, 1);  // b grabs the focus
    BTN_begin_focus_ring();
    text.draw(a);  // b is no longer drawn
    EXPECT_EQ(BTN_dispatch_to_focus('x', 88, kDown), 0);
    EXPECT_EQ(BTN_no_focus_yet(), 1);
    EXPECT_EQ(text.count, 0);

    text.draw(b, 1);
    BTN_begin_focus_ring();
    text.draw(a);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);  // Tab focuses the first instead
    EXPECT_EQ(focused(text, {a}), a);
}

TEST_F(FocusRing, AlertWindowGetsNoKeys)
{
    const int a = BTN_focus_id(1, 1);
    BTN_begin_focus_ring();
    text.draw(a, 1);
    mnw.wind = 995;
    EXPECT_EQ(BTN_dispatch_to_focus('x', 88, kDown), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 0);
    EXPECT_EQ(text.count, 0);
    mnw.wind = 0;
    EXPECT_EQ(focused(text, {a}), a);  // the focus is untouched
}

TEST_F(FocusRing, KeyClassesAgainstMasks)
{
    struct row {
        int c, vkey;
        bool text_takes, number_takes;
    };
    const row table[] = {
        {'a', 65, true, false},   {'Z', 90, true, false},  {'5', 53, true, true},
        {'-', 189, true, true},   {'+', 187, false, false},  // vkey 187 is Enter, not a sign
        {'+', 107, true, true},   {'.', 190, true, false}, {0, 37, true, true},
        {8, 8, true, false},      {0, 46, true, false},    {13, 13, false, false},
        {27, 27, false, false},   {0, 188, false, false},  // keypad Enter is "everything else"
        {0x7F, 112, false, false}, {'5', 33, true, true},  // PageUp by its vkey
    };
    const int t = BTN_focus_id(5, 5), n = BTN_focus_id(6, 6);
    for (const row& r : table) {
        BTN_begin_focus_ring();
        text.draw(t, 1);
        text.count = 0;
        EXPECT_EQ(BTN_dispatch_to_focus(r.c, r.vkey, kDown), r.text_takes ? 1 : 0)
            << r.c << "/" << r.vkey;
        BTN_begin_focus_ring();
        number.draw(n, 1);
        number.count = 0;
        EXPECT_EQ(BTN_dispatch_to_focus(r.c, r.vkey, kDown), r.number_takes ? 1 : 0)
            << r.c << "/" << r.vkey;
    }
    // Keypad Enter reaches a widget that takes everything else.
    widget_queue all{0x200};
    BTN_begin_focus_ring();
    all.draw(t, 1);
    EXPECT_EQ(BTN_dispatch_to_focus(0, 188, kDown), 1);
}

TEST_F(FocusRing, KeysQueueWithTheFocusedIdentity)
{
    const int a = BTN_focus_id(3, 4), b = BTN_focus_id(3, 40);
    BTN_begin_focus_ring();
    text.draw(a);
    text.draw(b, 1);
    EXPECT_EQ(BTN_dispatch_to_focus('q', 81, kDown | kShift), 1);
    EXPECT_EQ(BTN_dispatch_to_focus('q', 81, kUp), 1);  // releases are queued too
    ASSERT_EQ(text.count, 2);
    EXPECT_EQ(text.chars[0], 'q');
    EXPECT_EQ(text.vkeys[0], 81);
    EXPECT_EQ(text.flags[0], kDown | kShift);
    EXPECT_EQ(text.ids[0], b);
    EXPECT_EQ(text.flags[1], kUp);
}

TEST_F(FocusRing, SeventyKeysNeverWritePastTheQueue)
{
    // Guard words around the queue catch any write past its 64 entries.
    struct guarded {
        int chars[65], vkeys[65], flags[65], ids[65];
        int count = 0;
    } g;
    for (int i = 0; i < 65; ++i) g.chars[i] = g.vkeys[i] = g.flags[i] = g.ids[i] = -7;
    const int a = BTN_focus_id(9, 9);
    BTN_begin_focus_ring();
    BTN_register_focus(a, g.chars, g.vkeys, g.flags, g.ids, &g.count, 64, 0x1F4, 1);
    int taken = 0;
    for (int i = 0; i < 70; ++i) taken += BTN_dispatch_to_focus('a' + i % 26, 65 + i % 26, kDown);
    EXPECT_EQ(taken, 70);  // the six that do not fit are dropped, not passed on
    EXPECT_EQ(g.count, 64);
    EXPECT_EQ(g.chars[63], 'a' + 63 % 26);
    EXPECT_EQ(g.chars[64], -7);
    EXPECT_EQ(g.vkeys[64], -7);
    EXPECT_EQ(g.flags[64], -7);
    EXPECT_EQ(g.ids[64], -7);
}

TEST_F(FocusRing, QueueRecoversFromEntriesNoWidgetReads)
{
    const int gone = BTN_focus_id(1, 100), live = BTN_focus_id(1, 200);
    BTN_begin_focus_ring();
    text.draw(gone, 1);
    for (int i = 0; i < 64; ++i) BTN_dispatch_to_focus('x', 88, kDown);
    EXPECT_EQ(text.count, 64);

    // The widget that owned those keys is no longer drawn; another takes focus.
    BTN_begin_focus_ring();
    text.draw(live, 1);
    EXPECT_EQ(BTN_dispatch_to_focus('y', 89, kDown), 1);
    ASSERT_EQ(text.count, 1);
    EXPECT_EQ(text.chars[0], 'y');
    EXPECT_EQ(text.ids[0], live);

    // Entries already used (identity cleared) make room as well, in order.
    for (int i = 1; i < 64; ++i) BTN_dispatch_to_focus('z', 90, kDown);
    for (int i = 0; i < 10; ++i) text.ids[i] = 0;
    EXPECT_EQ(BTN_dispatch_to_focus('w', 87, kDown), 1);
    EXPECT_EQ(text.count, 55);
    EXPECT_EQ(text.chars[0], 'z');
    EXPECT_EQ(text.chars[54], 'w');
}

TEST_F(FocusRing, GrabAndFocusAny)
{
    const int a = BTN_focus_id(1, 1), b = BTN_focus_id(2, 2), c = BTN_focus_id(3, 3);
    BTN_begin_focus_ring();
    EXPECT_EQ(text.draw(a, 1), 1);
    EXPECT_EQ(text.draw(b, 1), 1);  // the last grab wins
    EXPECT_EQ(text.draw(c), 0);
    EXPECT_EQ(focused(text, {a, b, c}), b);
    BTN_focus_any();
    EXPECT_EQ(focused(text, {a, b, c}), a);
    BTN_window_has_focus();
    BTN_unfocus_any();
    EXPECT_EQ(BTN_no_focus_yet(), 0);  // the window holds the keyboard
    BTN_begin_focus_ring();
    EXPECT_EQ(BTN_no_focus_yet(), 1);
}

TEST_F(FocusRing, MousePressClearsTheFocusBeforeTheWidgetsDraw)
{
    const int a = BTN_focus_id(1, 1);
    BTN_begin_focus_ring();
    text.draw(a, 1);
    mnw.clicked = 1;
    xtim.xtim_update();
    EXPECT_EQ(BTN_no_focus_yet(), 1);
}

}  // namespace
