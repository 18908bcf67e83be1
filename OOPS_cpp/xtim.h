// The frame timer: seconds since start, the smoothed frame period, one-frame
// interval flags and the mouse-button timing.
#pragma once

#include <cstdint>
#include <string>

class xtim_class {
public:
    xtim_class();

    void xtim_update();
    static uint64_t microsecs();
    uint32_t del_time(uint64_t* last);
    void profile_chart(std::string label, int end);
    void current_month_day(int* month, int* day);
    void xtim_hrs_min_sec(float time, float* hrs, float* min, float* sec);

    int first_frame;
    float time_rate;
    float frame_period;
    float rate_period;
    float sim_period;
    float period_ratio;
    int frame_count;
    float act_time;  // seconds since start; the clock of downloads and widgets
    float sim_time;
    float time_of_day, time_of_day_alt;
    float period_max;
    int day_of_year;
    int sim_flag01, sim_flag02, sim_flag05, sim_flag1, sim_flag2, sim_flag5, sim_flag10,
        sim_flag20, sim_flag40;
    int act_flag01, act_flag02, act_flag05, act_flag1, act_flag2, act_flag5, act_flag10,
        act_flag20, act_flag40;
};

// The frame timer's links to the colour table and the widgets, which belong to
// other modules; each is wired at start-up and skipped while null.

// Replaces the microsecond clock by `source` (microseconds since an origin of
// its own; null restores the monotonic clock) and starts the frame timer's
// estimates, flags and mouse timing afresh.
void xtim_set_clock(uint64_t (*source)());

void go_to_URL(std::string url);
void IBM_turnoff();
