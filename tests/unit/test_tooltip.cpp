// Tooltips: the delay, the box height from the text length, the clamping at
// the window's edges; and the cursor kind each frame settles on.
#include "support/draw_log.h"

#include "GenC/hl_cursor.h"

namespace {

class Tooltip : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        xtim.act_time = 100;
        mnw.last_active = 98;
        mnw.mouse_x = 500;
        mnw.mouse_y = 300;
    }
    void TearDown() override
    {
        xtim.act_time = 0;
        mnw.cursor_kind = 0;
        mouse_help_per_wind(0);  // leave the cursor state shown
        DrawLogTest::TearDown();
    }
    // The tooltip's text op, or null when none was drawn.
    const btn_draw_op* tip()
    {
        for (const auto& op : ops)
            if (op.kind == btn_draw_op::text) return &op;
        return nullptr;
    }
};

TEST_F(Tooltip, BoxHeightFollowsTheTextLength)
{
    struct row {
        std::size_t length;
        float h;
    };
    const row table[] = {{1, 60}, {249, 60}, {250, 70}, {299, 70}, {300, 80}, {1399, 290},
                         {1400, 300}, {5000, 300}};
    for (const row& r : table) {
        ops.clear();
        stls.mouse_help = std::string(r.length, 'a');
        mouse_help_per_wind(0);
        const btn_draw_op* t = tip();
        ASSERT_NE(t, nullptr);
        // Box bottom at mouse_y + 15; the text 10 below the box's inner top.
        EXPECT_FLOAT_EQ(t->v[1], 315 + r.h - 10) << r.length;
        EXPECT_FLOAT_EQ(t->v[0], 500 - 415 + 3);
        EXPECT_EQ(t->col, 47);
        EXPECT_FLOAT_EQ(t->wrap, 394);
        EXPECT_TRUE(stls.mouse_help.empty());
    }
}

TEST_F(Tooltip, ShownOnlyAfterASecondOfStillness)
{
    mnw.last_active = 99;  // exactly one second
    stls.mouse_help = "help";
    mouse_help_per_wind(0);
    EXPECT_EQ(tip(), nullptr);
    EXPECT_TRUE(stls.mouse_help.empty());  // emptied whether drawn or not
    mnw.last_active = 98.99f;
    stls.mouse_help = "help";
    mouse_help_per_wind(0);
    EXPECT_NE(tip(), nullptr);
}

TEST_F(Tooltip, StaysInsideTheWindow)
{
    struct row {
        float wx, wy, mx, my;
        float x, y;  // the text's origin is (x + 3, y + h - 10), h 60
    };
    const row table[] = {
        {0, 0, 200, 300, 10, 315},         // left edge: x = 10
        {0, 0, 1040, 300, 614, 315},       // right edge: 1024 - 410
        {0, 0, 500, 760, 85, 688},         // top: 768 - 60 - 20
        {0, 0, 500, -40, 85, 10},          // bottom: y = 10
        {100, 50, 50, 300, -90, 315},      // a sub-window: canvas terms
        {100, 50, 950, 700, 514, 638},
    };
    for (const row& r : table) {
        ops.clear();
        mnw.wind_x = r.wx;
        mnw.wind_y = r.wy;
        mnw.mouse_x = r.mx;
        mnw.mouse_y = r.my;
        stls.mouse_help = "help";
        mouse_help_per_wind(0);
        const btn_draw_op* t = tip();
        ASSERT_NE(t, nullptr);
        EXPECT_FLOAT_EQ(t->v[0], r.x + 3) << r.mx << "," << r.my;
        EXPECT_FLOAT_EQ(t->v[1], r.y + 50) << r.mx << "," << r.my;
        // The panel: type 14 around (x - 10, y - 10), 420 by h + 20.
        const auto first = of(btn_draw_op::piece).front();
        EXPECT_FLOAT_EQ(first.v[0], r.x - 10 - 9);
        EXPECT_FLOAT_EQ(first.v[1], r.y - 10 - 14);
        EXPECT_FLOAT_EQ(first.v[4], 304 / 512.0f);
    }
}

TEST_F(Tooltip, CursorKindForTheFrame)
{
    struct row {
        int window;
        float still;
        int asked;
        int kind;
    };
    const row table[] = {
        {0, 10.5f, 0, 2},  {0, 9.5f, 0, 0},  {1, 10.5f, 0, 0},  // hidden only on the main page
        {995, 0, 13, 0},   {993, 20, 2, 0},  {0, 0, 13, 13},
    };
    for (const row& r : table) {
        ops.clear();
        mnw.wind = r.window;
        mnw.last_active = xtim.act_time - r.still;
        mnw.cursor_kind = r.asked;
        mouse_help_per_wind(r.window);
        EXPECT_EQ(mnw.cursor_kind, r.kind) << r.window << " " << r.still << " " << r.asked;
        EXPECT_EQ(of(btn_draw_op::quad).size(), r.kind >= 3 ? 1u : 0u);
    }
}

TEST_F(Tooltip, SpriteCells)
{
    struct row {
        int kind, held;
        float s0, t0;
    };
    const row table[] = {{3, 0, 200, 325},  {6, 0, 232, 293}, {10, 0, 296, 293},
                         {11, 0, 328, 325}, {11, 1, 360, 325}, {12, 1, 360, 293},
                         {13, 0, 168, 325}, {14, 0, 168, 293}, {40, 0, 168, 325}};
    for (const row& r : table) {
        ops.clear();
        mnw.cursor_kind = r.kind;
        mnw.held = r.held;
        mouse_help_per_wind(0);
        const auto quads = of(btn_draw_op::quad);
        ASSERT_EQ(quads.size(), 1u) << r.kind;
        EXPECT_EQ(quads[0].v, (std::vector<float>{485, 285, r.s0 / 512, r.t0 / 512, 485, 315,
                                                  r.s0 / 512, (r.t0 + 30) / 512, 515, 315,
                                                  (r.s0 + 30) / 512, (r.t0 + 30) / 512, 515, 285,
                                                  (r.s0 + 30) / 512, r.t0 / 512}))
            << r.kind;
        EXPECT_EQ(quads[0].col, 49);
    }
}

}  // namespace
