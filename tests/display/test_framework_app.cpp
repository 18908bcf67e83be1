// The framework as a program sees it: a test application that links the
// framework with its own frame hook runs on a private X server and is driven
// from outside with xdotool, as a user would.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "OOPS_cpp/oglp_layout.h"
#include "support/app_driver.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using brx_test::AppProcess;
using brx_test::eventually;
using brx_test::read_file;
using brx_test::rgb;
using brx_test::CanvasReader;
using brx_test::TempDir;
using brx_test::write_file;
using brx_test::XvfbServer;

void xdotool(const std::string& display, const std::string& args)
{
    ASSERT_TRUE(brx_test::xdotool(display, args)) << args;
}
void click_canvas(const std::string& display, int x, int y)
{
    ASSERT_TRUE(brx_test::click_canvas(display, x, y)) << x << " " << y;
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
    AppProcess app(BRX_TEST_APP, dir.path(), server.display(),
            {"BRX_TEST_CPUINFO=" + (dir / "cpuinfo"), "BRX_TEST_MEMINFO=" + (dir / "meminfo"),
             "BRX_TEST_HOLD=1"},
            {"--test_option=1", "--plain"});
    CanvasReader screen(server.display());
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
    EXPECT_EQ(screen.pixel(700, 400), kBackground);
    const rgb panel = screen.pixel(300, 100);
    EXPECT_NE(panel, kBackground);
    const auto [left, right] = screen.extent(20, 320, 56, 68, panel);
    EXPECT_EQ(left, 22);
    EXPECT_NEAR(right - left + 1, OGL_string_width("Starting application."), 2.0);

    // The main page: a click reaches the application's button, a click the
    // dialog's, and Return closes the dialog.
    app.send_line();
    ASSERT_TRUE(app.wait_for("READY")) << app.seen();
    EXPECT_TRUE(eventually([&] { return screen.pixel(700, 700) == kBlack; }));
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
    EXPECT_TRUE(eventually([&] { return screen.pixel(700, 700) == kBackground; }));
    const std::string alert_lines =
        "\nWorker alert line one\nWorker alert line two\n\n\n(tests/app/framework_test_app line "
        "42)\n";
    EXPECT_EQ(read_file(dir / "Log.txt").find(alert_lines), std::string::npos);
    click_canvas(server.display(), 302 + 210, 259 + 18);
    EXPECT_TRUE(eventually([&] {
        return read_file(dir / "Log.txt").find(alert_lines) != std::string::npos;
    }));
    EXPECT_TRUE(eventually([&] { return screen.pixel(700, 700) == kBlack; }));

    // Quitting saves the settings and stops the workers.
    click_canvas(server.display(), 200, 400);
    ASSERT_TRUE(app.wait_for("EXIT")) << app.seen();
    EXPECT_EQ(app.wait_exit(), 0);
    const std::string end = read_file(dir / "Log.txt");
    EXPECT_EQ(end.substr(end.size() - 25), "Clean exit from threads.\n");
    EXPECT_EQ(read_file(dir / ".brennix/Brennix Installer.prf").rfind("I\n9001 version\n", 0), 0u);
}

}  // namespace
