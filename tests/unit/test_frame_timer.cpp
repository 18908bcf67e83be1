#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <map>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xtim.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::TempDir;

uint64_t fake_us = 0;
uint64_t fake_clock() { return fake_us; }


const float kFirstPeriod = 0.02f * std::pow(0.5f, 0.25f);
const float kMaxPeriod = 1.0f / 19.0f;

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_us = 5000000;  // the clock's own origin lies anywhere
        xtim_set_clock(fake_clock);
        mnw = mnw_class{};
    }
    void TearDown() override
    {
        xtim_set_clock(nullptr);
        mnw = mnw_class{};
    }

    // One frame `dt` seconds after the previous one.
    void frame(double dt)
    {
        fake_us += static_cast<uint64_t>(std::llround(dt * 1e6));
        t.xtim_update();
    }
    void frames(int n, double dt)
    {
        for (int i = 0; i < n; ++i) frame(dt);
    }

    xtim_class t;
};

TEST_F(FrameTimer, FirstUpdate)
{
    EXPECT_FLOAT_EQ(t.frame_period, 0.02f);
    EXPECT_EQ(t.day_of_year, 90);
    t.xtim_update();
    EXPECT_EQ(t.act_time, 0.0f);  // exactly, on every floating-point unit
    // The time since the zero start, over ten frames, is clamped to half the estimate.
    EXPECT_FLOAT_EQ(t.period_ratio, 0.5f);
    EXPECT_FLOAT_EQ(t.frame_period, kFirstPeriod);
    EXPECT_FLOAT_EQ(t.rate_period, kFirstPeriod);
    EXPECT_FLOAT_EQ(t.sim_period, kFirstPeriod);
    frame(0.25);
    EXPECT_NEAR(t.act_time, 0.25f, 1e-6);
}

TEST_F(FrameTimer, SixtyFramesASecondConvergeWithoutOvershoot)
{
    const float target = 1.0f / 60.0f;
    t.xtim_update();
    float previous = t.frame_period;
    for (int i = 0; i < 600; ++i) {
        frame(1.0 / 60.0);
        EXPECT_LE(t.frame_period, previous + 1e-7f);
        EXPECT_GE(t.frame_period, target - 1e-6f);
        previous = t.frame_period;
    }
    EXPECT_NEAR(t.frame_period, target, 2e-5);
}

TEST_F(FrameTimer, EstimateClamps)
{
    t.xtim_update();
    frames(9, 0.02);
    // A stall raises the estimate by at most the fourth root of 1.5.
    const float before = t.frame_period;
    frame(3.0);
    EXPECT_FLOAT_EQ(t.period_ratio, 1.5f);
    EXPECT_FLOAT_EQ(t.frame_period, before * std::pow(1.5f, 0.25f));
    for (int i = 0; i < 50; ++i) {
        frames(9, 0.02);
        frame(3.0);
        EXPECT_LE(t.frame_period, kMaxPeriod);
    }
    EXPECT_FLOAT_EQ(t.frame_period, kMaxPeriod);
    // Frames far shorter than a millisecond bring it no lower than the floor.
    for (int i = 0; i < 500; ++i) {
        frame(0.000001);
        EXPECT_GE(t.frame_period, 0.0010001f);
    }
    EXPECT_FLOAT_EQ(t.frame_period, 0.0010001f);
}

TEST_F(FrameTimer, DialogWindowsFreezeTheEstimates)
{
    t.xtim_update();
    frames(39, 0.02);
    const float main_period = t.frame_period;
    const float ratio = t.period_ratio;
    for (int w = 995; w <= 999; ++w) {
        mnw.wind = w;
        for (int i = 0; i < 30; ++i) {
            frame(1.0);
            EXPECT_EQ(t.frame_period, main_period) << w;
            EXPECT_EQ(t.period_ratio, ratio) << w;
        }
    }
    // Back on the main page the time in the dialogs is not counted: the
    // first update covers only the frames since the return.
    mnw.wind = 0;
    for (int i = 0; i < 12; ++i) {
        frame(0.02);
        EXPECT_LE(t.frame_period, main_period) << i;
    }
}

TEST_F(FrameTimer, SubWindowsKeepTheirOwnEstimate)
{
    t.xtim_update();
    frames(19, 0.03);
    const float main_period = t.frame_period;
    mnw.wind = 2;
    frame(0.03);  // measured since the last main-window frame
    EXPECT_FLOAT_EQ(t.frame_period, kFirstPeriod);
    frames(30, 0.03);
    const float sub_period = t.frame_period;
    EXPECT_NE(sub_period, main_period);
    mnw.wind = 0;
    frame(0.03);
    EXPECT_LE(t.frame_period, main_period);  // the sub-window time is not counted
    mnw.wind = 2;
    mnw.sec_mon_inuse = 1;  // a second monitor counts as the main window
    frame(0.03);
    EXPECT_LE(t.frame_period, main_period);
}

TEST_F(FrameTimer, RateAndModeScaleTheMainWindowPeriod)
{
    struct Case {
        float rate;
        int mode;
        float rate_factor, sim_factor;
    };
    const Case cases[] = {
        {1, 0, 1, 1},  {2, 0, 2, 2},    {0, 0, 1, 0},   {2, 2, 1, -5}, {1, 3, 1, -1},
        {1, 4, 1, -0.2f}, {1, 5, 1, 0}, {1, 6, 1, 0.2f}, {1, 7, 1, 1}, {1, 8, 1, 5},
    };
    for (const Case& c : cases) {
        SetUp();
        t = xtim_class{};
        t.time_rate = c.rate;
        mnw.time_mode = c.mode;
        t.xtim_update();
        EXPECT_FLOAT_EQ(t.frame_period, kFirstPeriod);
        EXPECT_FLOAT_EQ(t.rate_period, kFirstPeriod * c.rate_factor) << c.rate << " " << c.mode;
        EXPECT_FLOAT_EQ(t.sim_period, kFirstPeriod * c.sim_factor) << c.rate << " " << c.mode;
        mnw.wind = 1;  // sub-windows take neither
        frame(0.01);
        EXPECT_EQ(t.rate_period, t.frame_period);
        EXPECT_EQ(t.sim_period, t.frame_period);
    }
}

TEST_F(FrameTimer, IntervalFlags)
{
    t.xtim_update();
    std::vector<int> fired;
    for (int i = 0; i < 1000; ++i) {
        frame(0.01);
        if (t.act_flag10) fired.push_back(i);
        EXPECT_EQ(t.sim_flag40 + t.sim_flag01, 0);  // nothing advances the simulated clock
    }
    ASSERT_GE(fired.size(), 80u);
    EXPECT_LE(fired.size(), 100u);
    for (std::size_t i = 1; i < fired.size(); ++i) {
        EXPECT_GE(fired[i] - fired[i - 1], 10) << i;  // never two frames in a row
        EXPECT_LE(fired[i] - fired[i - 1], 11) << i;
    }
    // At five frames a second the 0.1 s flag and the faster ones fire every frame.
    int ones = 0;
    for (int i = 0; i < 20; ++i) {
        frame(0.2);
        EXPECT_EQ(t.act_flag10 + t.act_flag20 + t.act_flag40, 3) << i;
        ones += t.act_flag1;
    }
    EXPECT_GE(ones, 3);
    EXPECT_LE(ones, 4);
    // A clock that jumps back fires the flags too.
    fake_us -= 8000000;
    t.xtim_update();
    EXPECT_EQ(t.act_flag05 + t.act_flag1 + t.act_flag2, 3);
    EXPECT_EQ(t.act_flag01, 0);
}

TEST_F(FrameTimer, MouseTiming)
{
    t.xtim_update();
    frame(1.0);
    mnw.clicked = 1;  // first press
    frame(0.01);
    EXPECT_EQ(mnw.held, 1);
    EXPECT_EQ(mnw.double_click, 0);
    EXPECT_FLOAT_EQ(mnw.press_time, t.act_time);
    EXPECT_FLOAT_EQ(mnw.last_active, t.act_time);
    mnw.clicked = 0;
    mnw.released = 1;
    frame(0.1);
    EXPECT_EQ(mnw.quick_release, 1);
    EXPECT_EQ(mnw.held, 0);
    mnw.released = 0;
    frame(0.09);
    mnw.clicked = 1;  // second press 0.2 s after the first
    frame(0.01);
    EXPECT_EQ(mnw.double_click, 1);
    mnw.clicked = 0;

    // Held past 0.25 s: a long hold from that frame on, and no quick release.
    const float pressed = mnw.press_time;
    for (int i = 0; i < 6; ++i) {
        frame(0.05);
        EXPECT_EQ(mnw.held_long, double(t.act_time) - double(pressed) > 0.25 ? 1 : 0) << i;
    }
    EXPECT_EQ(mnw.held_long, 1);
    mnw.released = 1;
    frame(0.01);
    EXPECT_EQ(mnw.quick_release, 0);
    EXPECT_EQ(mnw.held, 0);
    EXPECT_EQ(mnw.held_long, 0);
    mnw.released = 0;

    // A press and a release in one frame leave the button up.
    frame(1.0);
    mnw.clicked = mnw.released = 1;
    frame(0.01);
    EXPECT_EQ(mnw.held, 0);
    EXPECT_EQ(mnw.quick_release, 0);  // measured against the previous press
    mnw.clicked = mnw.released = 0;

    // Only a move of more than half a pixel counts as activity.
    mnw.mouse_x = mnw.mouse_y = 999.0f;
    frame(1.0);
    const float active = mnw.last_active;
    EXPECT_FLOAT_EQ(active, t.act_time);
    mnw.mouse_x = 999.4f;
    frame(0.5);
    EXPECT_EQ(mnw.last_active, active);
    mnw.mouse_y = 998.0f;
    frame(0.5);
    EXPECT_FLOAT_EQ(mnw.last_active, t.act_time);
}

TEST_F(FrameTimer, PulseColours)
{
    t.xtim_update();
    frame(0.1);
    const float p = static_cast<float>(0.3 * std::sin(20.0 * t.act_time) + 0.7);
    EXPECT_FLOAT_EQ(colr.pulse, p);
    struct Colour {
        float r, g, b;
    };
    const std::map<int, Colour> want = {
        {78, {p, p, p}},
        {79, {p, 0.5f * p, 0}},
        {80, {p, 0.3f * p, 0.3f * p}},
        {81, {0.3f * p, 0.3f * p, p}},
        {82, {0.2f * p, 0.8f * p, 0.2f * p}},
        {83, {0.7f * p, 0.7f * p, 0.2f * p}},
    };
    for (const auto& [index, c] : want) {
        EXPECT_FLOAT_EQ(colr.rgb[index][0], c.r) << index;
        EXPECT_FLOAT_EQ(colr.rgb[index][1], c.g) << index;
        EXPECT_FLOAT_EQ(colr.rgb[index][2], c.b) << index;
    }
    for (int i = 0; i < 100; ++i) {
        frame(0.013);
        EXPECT_GE(colr.pulse, 0.4f - 1e-6f);
        EXPECT_LE(colr.pulse, 1.0f + 1e-6f);
    }
}

TEST_F(FrameTimer, DelTimeWraps)
{
    fake_us = 0x100000010ull;
    uint64_t last = 0xFFFFFFF0ull;
    EXPECT_EQ(t.del_time(&last), 0x20u);
    EXPECT_EQ(last, 0x100000010ull);
    fake_us += 1234;
    EXPECT_EQ(t.del_time(&last), 1234u);
}

TEST_F(FrameTimer, ProfileChart)
{
    TempDir dir;
    xer.open(dir / "Log.txt");
    t.profile_chart("init", 0);
    t.profile_chart("finish", 1);
    xer.close();
    EXPECT_EQ(read_file(dir / "Log.txt"), "");  // silent while profiling is off

    mnw.profiling = 1;
    mnw.wind = 2;
    t.profile_chart("sync", 1);
    xer.open(dir / "Log.txt");
    xer << std::fixed << std::setprecision(2);
    fake_us += 50;
    t.profile_chart("event", 0);
    fake_us += 12345;
    t.profile_chart("finish", 1);
    fake_us += 20000;
    t.profile_chart("", 1);
    xer << 1.5 << "\n";  // the log's own format is left as it was
    xer.close();
    EXPECT_EQ(read_file(dir / "Log.txt"),
              "event=     5 | finish= 1e+03 |    total: 0.0124 sec for topwi=2\n"
              " = 2e+03 |    total:  0.02 sec for topwi=2\n1.50\n");
}

TEST(Calendar, MonthDay)
{
    struct Case {
        int day_of_year, month, day;
    };
    const Case cases[] = {{0, 0, 1}, {30, 0, 31}, {31, 1, 1}, {59, 2, 1},   {90, 3, 1},
                          {364, 11, 31}, {365, 11, 31}, {1000, 11, 31}, {-3, 0, 1}};
    for (const Case& c : cases) {
        xtim_class t;
        t.day_of_year = c.day_of_year;
        int month = -1, day = -1;
        t.current_month_day(&month, &day);
        EXPECT_EQ(month, c.month) << c.day_of_year;
        EXPECT_EQ(day, c.day) << c.day_of_year;
    }
}

TEST(Calendar, HoursMinutesSeconds)
{
    struct Case {
        float time, h, m, s;
    };
    const Case cases[] = {{43200, 12, 0, 0}, {3600, 1, 0, 0}, {3599, 0, 59, 59}, {3661.7f, 1, 1, 1}};
    for (const Case& c : cases) {
        float h = -1, m = -1, s = -1;
        xtim_class().xtim_hrs_min_sec(c.time, &h, &m, &s);
        EXPECT_EQ(h, c.h) << c.time;
        EXPECT_EQ(m, c.m) << c.time;
        EXPECT_EQ(s, c.s) << c.time;
    }
}

TEST(Clock, MonotonicMicroseconds)
{
    uint64_t previous = xtim_class::microsecs();
    for (int i = 0; i < 10000; ++i) {
        const uint64_t now = xtim_class::microsecs();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

}  // namespace
