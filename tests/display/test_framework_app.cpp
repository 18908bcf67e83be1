// The framework as a program sees it: a test application that links the
// framework with its own frame hook runs on a private X server and is driven
// from outside with xdotool, as a user would.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "OOPS_cpp/oglp_layout.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using brx_test::exists;
using brx_test::read_file;
using brx_test::TempDir;
using brx_test::write_file;
using brx_test::XvfbServer;
using clock_type = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(30);

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};

// The test application in a folder of its own (its program folder, which
// receives Log.txt), with stdin and stdout as pipes.
class App {
public:
    App(const TempDir& dir, const std::string& display, std::vector<std::string> env,
        std::vector<std::string> args)
    {
        const std::string program = dir / "framework_test_app";
        write_file(program, read_file(BRX_TEST_APP));
        chmod(program.c_str(), 0755);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            if (chdir(dir.path().c_str()) != 0) _exit(127);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("HOME", dir.path().c_str(), 1);
            for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~App()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (to_ >= 0) close(to_);
        if (from_ >= 0) close(from_);
    }

    // Waits for the line on the application's standard output.
    bool wait_for(const std::string& line)
    {
        const auto until = clock_type::now() + kPatience;
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
                until - clock_type::now());
            if (left.count() <= 0) return false;
            pollfd p{from_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            char chunk[512];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    void send_line() { (void)!write(to_, "go\n", 3); }
    // The exit status, or -1.
    int wait_exit()
    {
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& seen() const { return seen_; }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    bool exited_ = false;
    std::string buffer_, seen_;
};

// The screen pixel of canvas (x, y) of the window at the top-left corner.
class Screen {
public:
    explicit Screen(const std::string& name) : d_(XOpenDisplay(name.c_str())) {}
    ~Screen()
    {
        if (d_) XCloseDisplay(d_);
    }
    rgb canvas_pixel(int x, int y) const
    {
        XImage* img = XGetImage(d_, DefaultRootWindow(d_), x, 768 - y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return {-1, -1, -1};
        const unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                static_cast<int>(p & 0xFF)};
    }
    // Columns of canvas row y from x0 to x1 whose pixel differs from `back`.
    std::pair<int, int> extent(int x0, int x1, int y0, int y1, rgb back) const
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
    bool ok() const { return d_ != nullptr; }

private:
    Display* d_;
};

// A user's hand on the private display.
void xdotool(const std::string& display, const std::string& args)
{
    const std::string cmd = "DISPLAY=" + display + " xdotool " + args;
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
}
void click_canvas(const std::string& display, int x, int y)
{
    xdotool(display, "mousemove --sync " + std::to_string(x) + " " + std::to_string(768 - y) +
                         " click 1");
}

template <class Pred>
bool eventually(Pred pred)
{
    const auto until = clock_type::now() + kPatience;
    while (clock_type::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

const rgb kBackground{51, 67, 86};  // colour 34 of the atlas
const rgb kBlack{0, 0, 0};          // the test application's main page

TEST(FrameworkApp, StartsRunsDialogsAlertsAndQuits)
{
    XvfbServer server("1280x1024x24");
    ASSERT_TRUE(server.running());
    TempDir dir;
    write_file(dir / "cpuinfo",
               "processor\t: 0\nvendor_id\t: Test\nmodel name\t: Test CPU\ncpu MHz\t\t: 1200.000\n"
               "\nprocessor\t: 1\nvendor_id\t: Test\nmodel name\t: Test CPU\ncpu MHz\t\t: 1300.000\n");
    write_file(dir / "meminfo", "MemTotal:        1048576 kB\nMemFree:          524288 kB\n");
    App app(dir, server.display(),
            {"BRX_TEST_CPUINFO=" + (dir / "cpuinfo"), "BRX_TEST_MEMINFO=" + (dir / "meminfo"),
             "BRX_TEST_HOLD=1"},
            {"--test_option=1", "--plain"});
    Screen screen(server.display());
    ASSERT_TRUE(screen.ok());

    // Start-up: the log's opening lines, up to the worker count.
    ASSERT_TRUE(app.wait_for("INIT DONE")) << app.seen();
    const std::string log = read_file(dir / "Log.txt");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        log, m,
        std::regex("^log\\.txt for Brennix 9\\.00 Beta-17 Installer 90017 compiled on [A-Z][a-z]{2} "
                   "[ 123][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n")))
        << log;
    const std::string opening =
        "This log file is generated automatically by Corvath Research applications and contains "
        "diagnostics about your graphics hardware, installation, and any error conditions.\n"
        "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
        "file is rewritten every time you start ANY of your Skarvel applications.\n\n"
        "processor\t: 0\nmodel name\t: Test CPU\ncpu MHz\t\t: 1200.000\n"
        "processor\t: 1\nmodel name\t: Test CPU\ncpu MHz\t\t: 1300.000\n"
        "MemTotal:        1048576 kB\n"
        "\nSkarvel folder:'', case sensitive=1\n\n"
        "     '--test_option'='1'\n"
        "     '--plain'\n"
        "OpenGL Vendor    : ";
    EXPECT_EQ(log.substr(m.length(), opening.size()), opening);
    EXPECT_NE(log.find("\nmax texture size : "), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 21), "CPU count        : 2\n");

    // The start-up screen holds its second frame: background, panel, the
    // message as wide as its text, the bar at its smallest fill.
    EXPECT_EQ(screen.canvas_pixel(700, 400), kBackground);
    const rgb panel = screen.canvas_pixel(300, 100);
    EXPECT_NE(panel, kBackground);
    const auto [left, right] = screen.extent(20, 320, 56, 68, panel);
    EXPECT_EQ(left, 22);
    EXPECT_NEAR(right - left + 1, OGL_string_width("Starting application."), 2.0);

    // The main page: a click reaches the application's button, a click the
    // dialog's, and Return closes the dialog.
    app.send_line();
    ASSERT_TRUE(app.wait_for("READY")) << app.seen();
    EXPECT_TRUE(eventually([&] { return screen.canvas_pixel(700, 700) == kBlack; }));
    click_canvas(server.display(), 200, 600);
    ASSERT_TRUE(app.wait_for("DIALOG OPEN")) << app.seen();
    click_canvas(server.display(), 262 + 250, 234 + 150);
    ASSERT_TRUE(app.wait_for("DIALOG CLICK")) << app.seen();
    xdotool(server.display(), "key Return");
    ASSERT_TRUE(app.wait_for("DIALOG CLOSED")) << app.seen();

    // A worker's alert returns to the worker at once and shows on the main
    // page in a later frame, until its button is pressed.
    click_canvas(server.display(), 200, 500);
    ASSERT_TRUE(app.wait_for("WORKER RAISED")) << app.seen();
    EXPECT_TRUE(eventually([&] { return screen.canvas_pixel(700, 700) == kBackground; }));
    const std::string alert_lines =
        "\nWorker alert line one\nWorker alert line two\n\n\n(tests/app/framework_test_app line "
        "42)\n";
    EXPECT_EQ(read_file(dir / "Log.txt").find(alert_lines), std::string::npos);
    click_canvas(server.display(), 302 + 210, 259 + 18);
    EXPECT_TRUE(eventually([&] {
        return read_file(dir / "Log.txt").find(alert_lines) != std::string::npos;
    }));
    EXPECT_TRUE(eventually([&] { return screen.canvas_pixel(700, 700) == kBlack; }));

    // Quitting saves the settings and stops the workers.
    click_canvas(server.display(), 200, 400);
    ASSERT_TRUE(app.wait_for("EXIT")) << app.seen();
    EXPECT_EQ(app.wait_exit(), 0);
    const std::string end = read_file(dir / "Log.txt");
    EXPECT_EQ(end.substr(end.size() - 25), "Clean exit from threads.\n");
    EXPECT_EQ(read_file(dir / ".brennix/Brennix Installer.prf").rfind("I\n9001 version\n", 0), 0u);
}

}  // namespace
