// The confirmation window (996) answered with the mouse through the X server:
// its buttons sized and labelled from the string table, and its text.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "GenC/hl_confirm.h"
#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp_layout.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;
using point = std::pair<float, float>;

// Clicks window-996 positions (x, y upwards) in turn, the last one again and
// again until the window has answered.
std::thread hand(std::vector<point> clicks, const std::atomic<int>& done)
{
    float wx = 0, wy = 0;
    MACIBM_centre_wind(300, 166, &wx, &wy);
    const unsigned long window = mnw.xwin[0];
    return std::thread([=, &done] {
        auto click = [&](const point& p) {
            const std::string command = "xdotool mousemove --window " + std::to_string(window) +
                                        " " + std::to_string(int(wx + p.first)) + " " +
                                        std::to_string(int(768 - wy - p.second)) + " click 1";
            if (system(command.c_str()) != 0) printf("xdotool failed\n");
        };
        for (std::size_t i = 0; i + 1 < clicks.size(); ++i) click(clicks[i]);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < until) {
            click(clicks.back());
            for (int i = 0; i < 25 && !done; ++i) usleep(20000);
        }
    });
}

// A digest of the window's pixels in rows y0..y1 (window coordinates, y
// upwards) of the picture on screen.
unsigned band_digest(int y0, int y1)
{
    float wx = 0, wy = 0;
    MACIBM_centre_wind(300, 166, &wx, &wy);
    XSync(mnw.display, False);
    XImage* img = XGetImage(mnw.display, mnw.xwin[0], int(wx), 768 - int(wy) - y1 - 1, 300,
                            unsigned(y1 - y0 + 1), AllPlanes, ZPixmap);
    if (!img) return 0;
    unsigned h = 2166136261u;
    for (int y = 0; y <= y1 - y0; ++y)
        for (int x = 0; x < 300; ++x) h = (h ^ unsigned(XGetPixel(img, x, y))) * 16777619u;
    XDestroyImage(img);
    return h;
}

struct answer {
    int result = -1, wind = -1;
    unsigned line2 = 0;
};

// Opens the window from the preferences window with the string-table texts
// given and the clicks of a hand; reports the answer, the window current
// afterwards and the second line of text.
answer confirm(const std::vector<std::string>& entries, int third,
               const std::function<std::vector<point>()>& clicks)
{
    brx_test::TempDir dir;
    const auto r = run_in_child(
        [&] {
            brx_test::open_framework_window();
            MACIBM_event_proc();
            for (int i = 0; i < 5; ++i) stls.entry[607 + i] = entries[std::size_t(i)];
            MACIBM_startwind(wind_prefs);
            std::atomic<int> done{0};
            std::thread h = hand(clicks(), done);
            const int result = MACIBM_nuke_alert("Delete the old files?", third);
            done = 1;
            h.join();
            printf("%d %d %u\n", result, mnw.wind, band_digest(113, 122));
            fflush(stdout);
        },
        dir.path());
    answer a;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(sscanf(r.out.c_str(), "%d %d %u", &a.result, &a.wind, &a.line2), 3) << r.out;
    return a;
}

const std::vector<std::string> kLabelled = {"Keep the files", "Remove every file", "Cancel",
                                            "Please read this first, it matters a lot: ",
                                            "(no undo)"};
const std::vector<std::string> kEmpty = {"", "", "", "", ""};

float width(const std::string& s) { return OGL_string_width(s); }

TEST(ConfirmWindow, ButtonsAndLabelsFromTheStringTable)
{
    // Right of the label's end, inside the button only when it is as wide as
    // its label from the string table.
    const answer one = confirm(kLabelled, 1, [] {
        return std::vector<point>{{20 + width(kLabelled[0]) + 8, 60}};
    });
    EXPECT_EQ(one.result, 1);
    EXPECT_EQ(one.wind, wind_main);  // not the preferences window it came from

    // No third button: a click where it would be does nothing.
    const answer two = confirm(kLabelled, 0, [] {
        return std::vector<point>{{280 - width(kLabelled[2]) - 6, 25},
                                  {20 + width(kLabelled[1]) + 8, 25}};
    });
    EXPECT_EQ(two.result, 2);
    EXPECT_EQ(two.wind, wind_main);

    const answer three = confirm(kLabelled, 1, [] {
        return std::vector<point>{{280 - width(kLabelled[2]) - 6, 25}};
    });
    EXPECT_EQ(three.result, 3);
    EXPECT_EQ(three.wind, wind_main);

    // Empty entries: 21-pixel buttons centred on x 20 and x 280.
    const answer bare = confirm(kEmpty, 1, [] { return std::vector<point>{{272, 25}}; });
    EXPECT_EQ(bare.result, 3);
    EXPECT_EQ(bare.wind, wind_main);

    // The text before the message makes it wrap onto a second line.
    EXPECT_EQ(one.line2, two.line2);
    EXPECT_NE(one.line2, bare.line2);
}

}  // namespace
