#include "support/app_driver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_util.h"

namespace brx_test {

AppProcess::AppProcess(const std::string& program, const std::string& dir,
                       const std::string& display, std::vector<std::string> env,
                       std::vector<std::string> args)
{
    const std::string copy = dir + program.substr(program.rfind('/') + 1);
    write_file(copy, read_file(program));
    chmod(copy.c_str(), 0755);
    int in[2], out[2];
    if (pipe(in) != 0) return;
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("HOME", dir.c_str(), 1);
        for (std::string& e : env) putenv(e.data());
        std::vector<char*> argv{const_cast<char*>(copy.c_str())};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(copy.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
}

AppProcess::~AppProcess()
{
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
}

bool AppProcess::wait_for(const std::string& line)
{
    const auto until = std::chrono::steady_clock::now() + kAppPatience;
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            const std::string got = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            seen_ += got + "\n";
            if (got == line) return true;
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || from_ < 0) return false;
        pollfd p{from_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[512];
        const ssize_t n = read(from_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

void AppProcess::send_line()
{
    if (to_ >= 0) (void)!write(to_, "go\n", 3);
}

int AppProcess::wait_exit()
{
    if (pid_ <= 0) return -1;
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Screen::Screen(const std::string& display_name) : display_(XOpenDisplay(display_name.c_str())) {}

Screen::~Screen()
{
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

rgb Screen::canvas_pixel(int x, int y) const
{
    Display* d = static_cast<Display*>(display_);
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, 768 - y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return {-1, -1, -1};
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

std::pair<int, int> Screen::extent(int x0, int x1, int y0, int y1, rgb back) const
{
    int first = -1, last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (canvas_pixel(x, y) == back) continue;
            if (first < 0 || x < first) first = x;
            if (x > last) last = x;
        }
    return {first, last};
}

bool xdotool(const std::string& display, const std::string& args)
{
    const std::string cmd = "DISPLAY=" + display + " xdotool " + args;
    return system(cmd.c_str()) == 0;
}

bool click_canvas(const std::string& display, int x, int y)
{
    return xdotool(display, "mousemove --sync " + std::to_string(x) + " " +
                                std::to_string(768 - y) + " click 1");
}

}  // namespace brx_test
