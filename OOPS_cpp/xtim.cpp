#include "OOPS_cpp/xtim.h"

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"

#include <atomic>
#include <cmath>
#include <ctime>
#include <iomanip>

#include "GenH/hl_types.h"


namespace {

// The period estimate stays between about 1 ms and 1/19 s.
const float kPeriodMin = 0.0010001f;
const float kPeriodMax = 1.0f / 19.0f;
const float kInitialPeriod = 0.02f;

// Presses closer than this are a double click; a longer hold is a long hold.
const float kClickTime = 0.25f;

// The interval of each one-frame flag, in the order of the flag fields.
const float kFlagIntervals[9] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};
int xtim_class::*const kSimFlags[9] = {
    &xtim_class::sim_flag01, &xtim_class::sim_flag02, &xtim_class::sim_flag05,
    &xtim_class::sim_flag1,  &xtim_class::sim_flag2,  &xtim_class::sim_flag5,
    &xtim_class::sim_flag10, &xtim_class::sim_flag20, &xtim_class::sim_flag40};
int xtim_class::*const kActFlags[9] = {
    &xtim_class::act_flag01, &xtim_class::act_flag02, &xtim_class::act_flag05,
    &xtim_class::act_flag1,  &xtim_class::act_flag2,  &xtim_class::act_flag5,
    &xtim_class::act_flag10, &xtim_class::act_flag20, &xtim_class::act_flag40};

// What xtim_update keeps from frame to frame.
struct update_state {
    bool started = false;
    uint64_t start_us = 0;
    int cntr_FM = 0, cntr_UI = 0;  // frames counted by the main and sub-window estimators
    float prd_win_0 = kInitialPeriod, prd_win_n = kInitialPeriod;
    float last_time_FM = 0, last_time_UI = 0;
    float mx = 999.0f, my = 999.0f;  // mouse position of the previous frame
    float sim_ot[9] = {}, act_ot[9] = {};  // clock values at each flag's last firing
};
update_state state;

uint64_t monotonic_us()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

std::atomic<uint64_t (*)()> clock_source{nullptr};

uint64_t del_time_old = 0;  // del_time's default stored time, shared by the chart

// Moves the estimate `period` towards the mean period of the frames since
// `last`, by at most the fourth root of a factor between 0.5 and 1.5.
void update_estimate(float& period, float last, float now, float& period_ratio)
{
    const float measured = (now - last) * 0.1f;  // the estimators run every ten frames
    float ratio = measured / period;
    if (!(ratio >= 0.5f)) ratio = 0.5f;  // not a number included
    if (ratio > 1.5f) ratio = 1.5f;
    period_ratio = ratio;
    period *= std::pow(ratio, 0.25f);
    if (period < kPeriodMin) period = kPeriodMin;
    if (period > kPeriodMax) period = kPeriodMax;
}

// Differences of two clock values are taken in double, where they are exact,
// so that a flag fires on the same frame whatever precision the floating-point
// unit keeps.
double exact_difference(float a, float b) { return static_cast<double>(a) - static_cast<double>(b); }

void update_flags(xtim_class& t, int xtim_class::*const flags[9], float ot[9], float clock)
{
    for (int i = 0; i < 9; ++i) {
        const bool fire = std::fabs(exact_difference(clock, ot[i])) > kFlagIntervals[i];
        t.*flags[i] = fire ? 1 : 0;
        if (fire) ot[i] = clock;
    }
}

float time_mode_factor(int mode, float otherwise)
{
    switch (mode) {
        case 2: return -5.0f;
        case 3: return -1.0f;
        case 4: return -0.2f;
        case 5: return 0.0f;
        case 6: return 0.2f;
        case 8: return 5.0f;
        default: return otherwise;
    }
}

}  // namespace

xtim_class::xtim_class()
    : first_frame(1), time_rate(1.0f), frame_period(kInitialPeriod),
      rate_period(kInitialPeriod), sim_period(0.0f), period_ratio(1.0f), frame_count(0),
      act_time(0.0f), sim_time(0.0f), time_of_day(43200.0f), time_of_day_alt(43200.0f),
      period_max(kPeriodMax), day_of_year(90), sim_flag01(0), sim_flag02(0), sim_flag05(0),
      sim_flag1(0), sim_flag2(0), sim_flag5(0), sim_flag10(0), sim_flag20(0), sim_flag40(0),
      act_flag01(0), act_flag02(0), act_flag05(0), act_flag1(0), act_flag2(0), act_flag5(0),
      act_flag10(0), act_flag20(0), act_flag40(0)
{
}

// A monotonic clock, so that setting the wall clock back never makes time run
// backwards.
uint64_t xtim_class::microsecs()
{
    if (auto source = clock_source.load()) return source();
    static const uint64_t init_call = monotonic_us();
    return monotonic_us() - init_call;
}

void xtim_set_clock(uint64_t (*source)())
{
    clock_source = source;
    state = update_state{};
}

void xtim_class::xtim_update()
{
    update_state& s = state;
    // Counted in whole microseconds, so that the first frame is at 0 and the
    // time keeps its microseconds however long the clock has run.
    const uint64_t now = microsecs();
    if (!s.started) {
        s.started = true;
        s.start_us = now;
    }
    act_time = static_cast<float>(static_cast<double>(static_cast<int64_t>(now - s.start_us)) / 1e6);

    const int w = mnw.wind;
    if (w == 0 || mnw.sec_mon_inuse) {
        if (s.cntr_FM % 10 == 0) {
            update_estimate(s.prd_win_0, s.last_time_FM, act_time, period_ratio);
            s.last_time_FM = act_time;
        }
        ++s.cntr_FM;
        frame_period = rate_period = sim_period = s.prd_win_0;
        if (mnw.time_mode == 0) {
            if (time_rate == 0.0f)
                sim_period = 0.0f;
            else
                rate_period = sim_period = s.prd_win_0 * time_rate;
        } else {
            sim_period = s.prd_win_0 * time_mode_factor(mnw.time_mode, 1.0f);
        }
        s.last_time_UI = act_time;  // time in the main window is no sub-window time
    } else if (w >= 995 && w <= 999) {
        // The framework's dialogs change neither estimate, and their time is
        // not counted on return.
        s.last_time_FM = s.last_time_UI = act_time;
    } else {
        s.last_time_FM = act_time;
        if (s.cntr_UI % 10 == 0) {
            update_estimate(s.prd_win_n, s.last_time_UI, act_time, period_ratio);
            s.last_time_UI = act_time;
        }
        ++s.cntr_UI;
        frame_period = rate_period = sim_period = s.prd_win_n;
    }

    update_flags(*this, kSimFlags, s.sim_ot, sim_time);
    update_flags(*this, kActFlags, s.act_ot, act_time);

    const float t = act_time;
    const double since_press = exact_difference(t, mnw.press_time);
    mnw.held_long = mnw.held && since_press > kClickTime;
    mnw.double_click = mnw.clicked && since_press < kClickTime;
    mnw.quick_release = mnw.released && since_press < kClickTime;
    if (mnw.clicked) {
        mnw.held = 1;
        mnw.last_active = mnw.press_time = t;
        BTN_unfocus_any();
    }
    if (mnw.released) mnw.held = mnw.held_long = 0;
    if (std::fabs(exact_difference(s.mx, mnw.mouse_x)) > 0.5 ||
        std::fabs(exact_difference(s.my, mnw.mouse_y)) > 0.5)
        mnw.last_active = t;
    s.mx = mnw.mouse_x;
    s.my = mnw.mouse_y;

    const float p = static_cast<float>(0.3 * std::sin(20.0 * act_time) + 0.7);
    colr.assign(78, p, p, p);
    colr.assign(79, p, 0.5f * p, 0.0f);
    colr.assign(80, p, 0.3f * p, 0.3f * p);
    colr.assign(81, 0.3f * p, 0.3f * p, p);
    colr.assign(82, 0.2f * p, 0.8f * p, 0.2f * p);
    colr.assign(83, 0.7f * p, 0.7f * p, 0.2f * p);
    colr.pulse = p;
}

uint32_t xtim_class::del_time(uint64_t* last)
{
    if (!last) last = &del_time_old;
    const uint64_t now = microsecs();
    const uint32_t elapsed = static_cast<uint32_t>(now) - static_cast<uint32_t>(*last);
    *last = now;
    return elapsed;
}

void xtim_class::profile_chart(std::string label, int end)
{
    if (!mnw.profiling) return;
    const uint32_t e = del_time(nullptr);

    // The chart's formats must not leak into later log lines.
    const std::ios_base::fmtflags old_flags = xer.flags();
    const std::streamsize old_precision = xer.precision();
    xer.unsetf(std::ios_base::floatfield);
    // Divided from whole microseconds, so that the printed figures are the
    // same whatever precision the floating-point unit keeps.
    xer << std::setw(1) << std::setprecision(0) << label << "=" << std::setw(6) << e / 10.0
        << " | ";
    if (end) {
        static uint64_t last_us = microsecs();
        const uint64_t now = microsecs();
        xer << "   total: " << std::setw(5) << std::setprecision(3)
            << static_cast<double>(static_cast<int64_t>(now - last_us)) / 1e6
            << " sec for topwi=" << mnw.wind << "\n";
        last_us = now;
    }
    xer.flags(old_flags);
    xer.precision(old_precision);
}

void xtim_class::current_month_day(int* month, int* day)
{
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // Days outside the year are taken as its first or last day.
    const int d = day_of_year < 0 ? 0 : day_of_year > 364 ? 364 : day_of_year;
    int m = 0, before = 0;
    while (before + kMonthDays[m] <= d) before += kMonthDays[m++];
    *month = m;
    *day = d - before + 1;
}

void xtim_class::xtim_hrs_min_sec(float time, float* hrs, float* min, float* sec)
{
    const double h = std::floor(time / 3600.0);
    const double m = std::floor(time / 60.0) - 60.0 * h;
    *hrs = static_cast<float>(h);
    *min = static_cast<float>(m);
    *sec = static_cast<float>(std::floor(time) - 3600.0 * h - 60.0 * m);
}

void go_to_URL(std::string) {}
void IBM_turnoff() {}
