#include "OOPS_cpp/xtim.h"

#include <ctime>

xtim_class::xtim_class()
    : first_frame(1), time_rate(1.0f), frame_period(0.02f), rate_period(0.02f),
      sim_period(0.0f), period_ratio(1.0f), frame_count(0), act_time(0.0f), sim_time(0.0f),
      time_of_day(43200.0f), time_of_day_alt(43200.0f), period_max(1.0f / 19.0f),
      day_of_year(90), sim_flag01(0), sim_flag02(0), sim_flag05(0), sim_flag1(0),
      sim_flag2(0), sim_flag5(0), sim_flag10(0), sim_flag20(0), sim_flag40(0), act_flag01(0),
      act_flag02(0), act_flag05(0), act_flag1(0), act_flag2(0), act_flag5(0), act_flag10(0),
      act_flag20(0), act_flag40(0)
{
}

// A monotonic clock, so that setting the wall clock back never makes time run
// backwards.
uint64_t xtim_class::microsecs()
{
    static const uint64_t init_call = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
    }();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u - init_call;
}

void go_to_URL(std::string) {}
void IBM_turnoff() {}
