#include "support/framework_window.h"

#include <chrono>
#include <thread>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xtim.h"

namespace brx_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(60);

// The frame loop runs on another thread: read its state without tearing.
int frames_ended() { return __atomic_load_n(&xtim.frame_count, __ATOMIC_ACQUIRE); }
int current_window() { return __atomic_load_n(&mnw.wind, __ATOMIC_ACQUIRE); }

template <class Pred>
bool poll_until(Pred pred)
{
    const auto until = Clock::now() + kPatience;
    while (!pred()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

void open_framework_window()
{
    scratch_array = scratch_array_aligned();
    MACIBM_fill_tables(0);
    MACIBM_open_window();
    MACIBM_ready_interface();
}

bool wait_frames(int count)
{
    const int start = frames_ended();
    return poll_until([&] { return frames_ended() - start >= count; });
}

bool wait_for_window(int wind)
{
    return poll_until([&] { return current_window() == wind; }) && wait_frames(2);
}

}  // namespace brx_test
