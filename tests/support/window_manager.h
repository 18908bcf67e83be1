// A real window manager on a test's private X server, and a hand on it: what a
// desktop does to the program's window.
#pragma once

#include <sys/types.h>

#include <string>

namespace brx_test {

// Debian's openbox on `display`, run as the calling user with HOME, its
// configuration and its caches in `folder` (created), so nothing lands in a
// real home. It places the window of class "Brennix" undecorated at the
// screen's top-left corner, so the canvas stays at screen coordinates.
class WindowManager {
public:
    WindowManager(const std::string& display, const std::string& folder);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Whether it manages the screen (EWMH: its check window on the root).
    bool running() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The window manager's close action on the window titled `title`, as its
    // close button does (wmctrl -c: EWMH's _NET_CLOSE_WINDOW), once it
    // manages such a window; false when it never does.
    bool close_window(const std::string& title) const;

private:
    pid_t pid_ = -1;
    std::string display_, folder_, error_;
};

}  // namespace brx_test
