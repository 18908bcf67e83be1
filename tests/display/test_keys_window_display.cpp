// The key-binding window's body on the main page, driven through the X
// server: add a binding, select it, press a key with modifiers, pick a group
// and a command; the bindings written out at the end hold the change.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "hooks/app_hooks.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

TEST(KeysWindowDisplay, BindAKeyWithModifiersToACommand)
{
    brx_test::TempDir dir;
    const std::string out = dir / "bindings.txt";
    const auto r = brx_test::run_in_child(
        [&] {
            brx_test::open_framework_window();
            cmnd.add_cmd("sim/flight/pitch_up", "Pitch up");
            const int forward = cmnd.add_cmd("sim/view/forward", "Look forward");
            const int left = cmnd.add_cmd("sim/view/left", "Look left");
            keys.keys_io(0);

            std::atomic<int> count{0}, vkey{0}, flags{0}, command{0}, clicks{0}, finished{0};
            brx_test::app_update = [&] {
                if (mnw.clicked) ++clicks;
                keys.keys_wind();
                count = int(keys.bindings.size());
                if (keys.bindings.size() > 1) {
                    vkey = keys.bindings[1].vkey;
                    flags = keys.bindings[1].flags;
                    command = keys.bindings[1].cmnd;
                }
            };

            const unsigned long window = mnw.xwin[0];
            std::thread hand([&] {
                auto xdotool = [&](const std::string& args) {
                    if (system(("xdotool " + args).c_str()) != 0) printf("xdotool failed\n");
                };
                auto wait = [&](const char* step, auto&& done) {
                    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                    while (!done() && std::chrono::steady_clock::now() < until) usleep(10000);
                    printf("%s %s\n", step, done() ? "ok" : "timed out");
                };
                auto click = [&](int x, int y) {
                    const int before = clicks;
                    xdotool("mousemove --window " + std::to_string(window) + " " +
                            std::to_string(x) + " " + std::to_string(768 - y) + " click 1");
                    return before;
                };

                click(512, 30);  // Add New Key Assignment
                wait("add", [&] { return count == 2; });
                const int seen = click(88, 669);  // row 1
                wait("select", [&] { return clicks > seen; });
                xdotool("key ctrl+shift+F1");
                wait("key", [&] { return vkey == 112 && flags == 5; });
                click(438, 658);  // group "view/" binds its first command
                wait("group", [&] { return command == forward; });
                click(632, 673);  // its second command, "left"
                wait("command", [&] { return command == left; });
                fflush(stdout);
                finished = 1;
            });
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!finished && std::chrono::steady_clock::now() < until) MACIBM_event_proc();
            hand.join();

            std::ofstream file(out);
            for (const key_binding& b : keys.bindings)
                file << keys.vkey_to_code(b.vkey) << " " << keys.flag_to_code(b.flags) << " "
                     << cmnd.paths[std::size_t(b.cmnd)] << "\n";
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "add ok\nselect ok\nkey ok\ngroup ok\ncommand ok\n");
    EXPECT_EQ(brx_test::read_file(out),
              "0 0 sim/operation/none\n"
              "ZUKT_VK_F1 zukt_ShiftFlag+zukt_ControlFlag sim/view/left\n");
}

}  // namespace
