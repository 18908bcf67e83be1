// Driving a test program as a user would: the program runs in a folder of its
// own on a private X server, its standard output read line by line; xdotool
// moves the mouse and types; the screen is read back pixel by pixel. The
// program's window lies at the screen's top-left corner.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <X11/Xlib.h>

namespace brx_test {

class TempDir;

class AppProcess {
public:
    // Copies `program` into `dir` and starts it there with HOME at `dir`.
    AppProcess(const std::string& program, const TempDir& dir, const std::string& display,
               std::vector<std::string> env = {}, std::vector<std::string> args = {});
    // The same with the folder's path, which ends in "/".
    AppProcess(const std::string& program, const std::string& dir, const std::string& display,
               std::vector<std::string> env = {}, std::vector<std::string> args = {});
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Waits (generously) for the line on the program's standard output.
    bool wait_for(const std::string& line);
    // Waits for a line that begins with `prefix`; returns it, or "".
    std::string wait_for_prefix(const std::string& prefix);
    // Every line read so far.
    const std::string& seen() const { return seen_; }
    // Sends one line to its standard input.
    void send_line();
    // The exit status, or -1 (killed, or lost).
    int wait_exit();

private:
    bool next_line(std::string* line);
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    bool exited_ = false;
    std::string buffer_, seen_;
};

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};

// Pixels of the 1024 by 768 canvas, y upwards, on the screen of a display.
class CanvasReader {
public:
    explicit CanvasReader(const std::string& display);
    ~CanvasReader();
    CanvasReader(const CanvasReader&) = delete;
    CanvasReader& operator=(const CanvasReader&) = delete;
    bool ok() const { return d_ != nullptr; }
    rgb pixel(int x, int y) const;
    // First and last columns between x0 and x1 of rows y0 to y1 whose pixel
    // differs from `back`; -1 for none.
    std::pair<int, int> extent(int x0, int x1, int y0, int y1, rgb back) const;

private:
    Display* d_;
};

// Runs xdotool with `args` on the display; false when it fails.
bool xdotool(const std::string& display, const std::string& args);
// Moves the mouse to canvas (x, y) and clicks the left button.
bool click_canvas(const std::string& display, float x, float y);

// Polls `pred` until it holds or a generous deadline passes.
template <class Pred>
bool eventually(Pred pred)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

}  // namespace brx_test
