// A program that links the framework, run on a private X server as a user
// would meet it: started in a folder of its own with pipes on its standard
// input and output, driven with xdotool, its screen read back by pixel.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace brx_test {

inline constexpr auto kAppPatience = std::chrono::seconds(30);

class AppProcess {
public:
    // Copies `program` into `dir` (its program folder, which receives
    // Log.txt) and runs it there with DISPLAY set to `display`, HOME to `dir`,
    // the extra environment `env` ("NAME=value") and the arguments `args`.
    AppProcess(const std::string& program, const std::string& dir, const std::string& display,
               std::vector<std::string> env, std::vector<std::string> args);
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Waits for the line on the program's standard output.
    bool wait_for(const std::string& line);
    // Sends one line to its standard input.
    void send_line();
    // Waits for the program's end: its exit status, or -1 (killed, or lost).
    int wait_exit();
    // Every line read so far.
    const std::string& seen() const { return seen_; }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    bool exited_ = false;
    std::string buffer_, seen_;
};

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};

// Pixels of the framework's window, which stands at the screen's top-left
// corner: canvas (x, y) with y upwards from the canvas's 768th row.
class Screen {
public:
    explicit Screen(const std::string& display_name);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;
    bool ok() const { return display_ != nullptr; }
    rgb canvas_pixel(int x, int y) const;
    // The first and last columns from x0 to x1, over rows y0 to y1, whose
    // pixel differs from `back`; -1 for none.
    std::pair<int, int> extent(int x0, int x1, int y0, int y1, rgb back) const;

private:
    void* display_;
};

// A user's hand on the display: xdotool with these arguments; false when it failed.
bool xdotool(const std::string& display, const std::string& args);
// A click at canvas (x, y).
bool click_canvas(const std::string& display, int x, int y);

// Polls `pred` until it holds or the patience runs out; its last value.
template <class Pred>
bool eventually(Pred pred)
{
    const auto until = std::chrono::steady_clock::now() + kAppPatience;
    while (std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

}  // namespace brx_test
