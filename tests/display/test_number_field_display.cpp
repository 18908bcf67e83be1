// A number field on the main page driven through the X server: arrow clicks,
// a click into the digits, and typed digits, signs and arrow keys.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "hooks/app_hooks.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

constexpr float fx = 300, fy = 400;

TEST(NumberFieldDisplay, ArrowClicksAndTypedKeys)
{
    brx_test::TempDir dir;
    const auto r = brx_test::run_in_child(
        [] {
            brx_test::open_framework_window();
            float value = 12.3f;
            std::atomic<float> shown{value};
            std::atomic<int> clicks{0}, finished{0};
            brx_test::app_update = [&] {
                if (mnw.clicked) ++clicks;
                BTN_flt_range(fx, fy, &value, 3, 1, -50, 50, "Trim|deg{ Trim angle");
                shown = value;
            };

            const unsigned long window = mnw.xwin[0];
            std::thread hand([&] {
                auto xdotool = [&](const std::string& args) {
                    const std::string command = "xdotool " + args;
                    if (system(command.c_str()) != 0) printf("xdotool failed: %s\n", args.c_str());
                };
                auto click = [&](float x, float y) {
                    const int before = clicks;
                    xdotool("mousemove --window " + std::to_string(window) + " " +
                            std::to_string(int(x)) + " " + std::to_string(int(768 - y)) +
                            " click 1");
                    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                    while (clicks == before && std::chrono::steady_clock::now() < until)
                        usleep(10000);
                };
                // Waits for the value the step should leave and reports it.
                auto expect = [&](const char* step, float want) {
                    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                    while (std::fabs(shown - want) > 1e-4f && std::chrono::steady_clock::now() < until)
                        usleep(10000);
                    printf("%s %.1f\n", step, double(shown));
                };
                auto key = [&](const char* name) {
                    xdotool(std::string("key ") + name);
                };

                click(fx + 15, fy + 15);
                expect("up1", 13.3f);
                click(fx + 25, fy - 10);
                expect("down2", 13.2f);
                click(fx + 5, fy + 3);  // focus, caret on column 0
                key("4");
                expect("4", 43.2f);
                key("5");
                expect("5", 45.2f);
                key("minus");
                expect("minus", -45.2f);
                key("Up");  // the caret is on the tenths now
                expect("Up", -45.1f);
                key("Left");
                key("0");
                expect("Left 0", -40.1f);
                key("plus");
                expect("plus", 40.1f);
                click(fx + 5, fy + 15);
                expect("up0", 50.0f);
                fflush(stdout);
                finished = 1;
            });
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!finished && std::chrono::steady_clock::now() < until) MACIBM_event_proc();
            hand.join();
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "up1 13.3\ndown2 13.2\n4 43.2\n5 45.2\nminus -45.2\nUp -45.1\nLeft 0 -40.1\n"
              "plus 40.1\nup0 50.0\n");
}

}  // namespace
