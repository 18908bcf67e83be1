// The question about a changed file in window 997, answered with the mouse
// through the X server, and the progress frames of the directory reader.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <unistd.h>

#include <thread>

#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

file_version_struct changed(const std::string& path, const std::string& want)
{
    file_version_struct v;
    v.path = path;
    v.sig_want = want;
    v.sig_have = "edited";
    return v;
}

// Clicks the buttons at window-997 positions (x, y, y upwards), one after the
// other, each once the window is up and has taken the click before.
std::thread hand(std::vector<std::pair<int, int>> clicks)
{
    float wx = 0, wy = 0;
    MACIBM_centre_wind(700, 146, &wx, &wy);
    const unsigned long window = mnw.xwin[0];
    return std::thread([=] {
        for (std::size_t i = 0; i < clicks.size(); ++i) {
            const auto [x, y] = clicks[i];
            // xdotool returns once the server has queued the click to us; two
            // frames later the window has read it and the next one may open.
            if (i > 0) brx_test::wait_frames(2);
            if (!brx_test::wait_for_window(wind_select)) {
                printf("the question window did not come up\n");
                fflush(stdout);
                _exit(3);
            }
            const std::string command = "xdotool mousemove --window " + std::to_string(window) +
                                        " " + std::to_string(int(wx) + x) + " " +
                                        std::to_string(767 - int(wy) - y) + " click 1";
            if (system(command.c_str()) != 0) printf("xdotool failed\n");
        }
    });
}

TEST(QuestionWindow, AnsweredWithTheMouse)
{
    brx_test::TempDir dir;
    const auto r = run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            brx_test::open_framework_window();
            brx_test::reset_engine(dir.path(), "/D/");
            MACIBM_event_proc();
            sim_info.push_back({{changed("T/a/1", "m1")}});
            sim_info.push_back({{changed("T/a/2", "m2")}});
            sim_info.push_back({{changed("T/b/3", "GONE")}});
            sim_info.push_back({{changed("T/c/4", "m4")}});
            // Keep every changed file of /D/a/, delete /D/b/3, then cancel.
            std::thread h = hand({{308, 28}, {96, 53}, {584, 28}});
            const int result = choose_files();
            h.join();
            printf("result=%d wind=%d\n", result, mnw.wind);
            for (const file_history_struct& f : sim_info)
                printf("%d%d ", f.versions.back().to_fetch, f.versions.back().to_delete);
            printf("\n");
            fflush(stdout);
            xer.close();
        },
        dir.path());
    EXPECT_EQ(r.out, "result=0 wind=0\n00 00 01 00 \n");
    const std::string log = brx_test::read_file(dir / "Log.txt");
    EXPECT_NE(log.find("File: /D/a/1  sig_want=m1  sig_have=edited\n"), std::string::npos);
    EXPECT_EQ(log.find("File: /D/a/2"), std::string::npos);
    EXPECT_NE(log.find("File: /D/c/4  sig_want=m4  sig_have=edited\n"), std::string::npos);
}

TEST(DirectoryProgress, TheBarGrowsWithTheValue)
{
    const auto r = run_in_child([] {
        brx_test::open_framework_window();
        // The bar's last quarter lies at canvas x about 256 + 30 + 452 * 0.9.
        for (float val : {0.0f, 100.0f}) {
            dir_progress_bar(0, val, 100, 1, "top", "bottom");
            glReadBuffer(GL_FRONT);
            unsigned char px[3] = {};
            glReadPixels(256 + 30 + 407, 315 + 35, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, px);
            printf("%d %d %d\n", px[0], px[1], px[2]);
        }
        fflush(stdout);
    });
    ASSERT_EQ(r.exit_code, 0);
    const size_t mid = r.out.find('\n');
    ASSERT_NE(mid, std::string::npos);
    EXPECT_NE(r.out.substr(0, mid), r.out.substr(mid + 1)) << r.out;
}

}  // namespace
