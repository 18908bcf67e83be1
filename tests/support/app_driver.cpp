#include "support/app_driver.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include <X11/Xutil.h>

#include "support/test_util.h"

namespace brx_test {

namespace {
constexpr auto kPatience = std::chrono::seconds(30);
}

AppProcess::AppProcess(const std::string& program, const TempDir& dir, const std::string& display,
                       std::vector<std::string> env, std::vector<std::string> args)
    : AppProcess(program, dir.path(), display, std::move(env), std::move(args))
{
}

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

bool AppProcess::next_line(std::string* line)
{
    const auto until = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            *line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            seen_ += *line + "\n";
            return true;
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

bool AppProcess::wait_for(const std::string& want)
{
    std::string line;
    while (next_line(&line))
        if (line == want) return true;
    return false;
}

std::string AppProcess::wait_for_prefix(const std::string& prefix)
{
    std::string line;
    while (next_line(&line))
        if (line.rfind(prefix, 0) == 0) return line;
    return "";
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

// ---------------------------------------------------------------------------

CanvasReader::CanvasReader(const std::string& display) : d_(XOpenDisplay(display.c_str())) {}

CanvasReader::~CanvasReader()
{
    if (d_) XCloseDisplay(d_);
}

rgb CanvasReader::pixel(int x, int y) const
{
    XImage* img = XGetImage(d_, DefaultRootWindow(d_), x, 768 - y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return {-1, -1, -1};
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

std::pair<int, int> CanvasReader::extent(int x0, int x1, int y0, int y1, rgb back) const
{
    int first = -1, last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (pixel(x, y) == back) continue;
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

bool click_canvas(const std::string& display, float x, float y)
{
    const int sx = static_cast<int>(std::lround(x)), sy = 768 - static_cast<int>(std::lround(y));
    return xdotool(display, "mousemove --sync " + std::to_string(sx) + " " + std::to_string(sy) +
                                " click 1");
}

}  // namespace brx_test
