// The installer's screens in a real window: pictures of the main screen in
// its states and of the terms and preferences windows, compared with
// committed pictures (BRX_UPDATE_REFERENCE=1 rewrites them after an intended
// change), and both windows driven through the X server with xdotool.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xtim.h"
#include "app/installer.h"
#include "app/utils.h"
#include "canvas_fixture.h"
#include "support/engine_harness.h"
#include "support/framework_window.h"
#include "support/http_servers.h"
#include "support/script_server.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using Clock = std::chrono::steady_clock;

const std::string kData = std::string(BRX_SOURCE_DIR) + "/tests/display/data/";

// ---------------------------------------------------------------------------
// Pictures.

std::vector<uint8_t> read_canvas(GLenum buffer)
{
    std::vector<uint8_t> px(1024 * 768 * 3);
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Compares a picture the child wrote with the committed one, within the
// tolerance of the reference scene.
void expect_picture(const std::string& seen_path, const std::string& name)
{
    int w = 0, h = 0;
    std::vector<uint8_t> got;
    ASSERT_TRUE(read_rgb_png(seen_path, &w, &h, &got)) << name << ": nothing drawn";
    expect_reference_picture(kData + "installer_" + name + ".png",
                             std::string(BRX_BINARY_DIR) + "/installer_" + name + "_seen.png", w, h,
                             got);
}

// The state every picture starts from: a run whose server list has not
// arrived, a destination that does not exist, no proxy answering.
void picture_state(const TempDir& tmp, unsigned short dead_port)
{
    reset_engine(tmp / "temp/", "/nonexistent/Brennix/");
    installer_reset_run_state();
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = dead_port;
    mnw.mouse_x = mnw.mouse_y = -100;
    mnw.clicked = mnw.held = 0;
    xtim.act_flag10 = 0;
}

struct Shot {
    const char* name;
    std::function<void(const TempDir&)> prepare;  // then one frame is drawn
};

TEST(InstallerPictures, MainScreenInItsStates)
{
    TempDir tmp;
    mkdir((tmp / "temp").c_str(), 0755);
    const unsigned short dead = free_loopback_port();
    // Answers the directory request with a quarter of its body, then waits.
    ScriptServer quarter({read_request(),
                          send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(250, 'z')),
                          hold_open()});
    ScriptServer silent({read_request(), hold_open()});

    const Shot shots[] = {
        {"no_list", [](const TempDir&) {}},
        {"no_servers", [](const TempDir&) { stg.server_count = 0; }},
        {"fetching",
         [&](const TempDir&) {
             set_ready_state();
             stg.dir_state = 0;
             stg.total_download = stg.total_install = 0;
             http.proxy_port_int = quarter.port();
             const auto until = Clock::now() + std::chrono::seconds(30);
             while (!(http.slot[1] && http.slot[1]->received == 250) && Clock::now() < until)
                 installer_frame();
         }},
        {"ready", [](const TempDir&) { set_ready_state(); }},
        {"installing",
         [&](const TempDir&) {
             set_ready_state();
             installer_frame();  // phase 0 takes the totals
             http.proxy_port_int = silent.port();
             file_version_struct v;
             v.path = "Brennix/Resources/a.dat";
             v.sig_want = "0123456789abcdef0123456789abcdef";
             v.sig_have = "NONE";
             v.down_size = 100;
             v.disk_size = 200;
             v.to_fetch = 1;
             sim_info.push_back({{v}});
             next.reset_all_streams();
             next.kb_installed = 117283.5;  // half of the total
             next.kb_fetched = 50;
             frame_state.totl_inst_rat = 0.5f;
             stg.phase = 1;
         }},
        {"complete",
         [](const TempDir&) {
             set_ready_state();
             stg.phase = 2;
             next.job_done = 1;
         }},
        {"failed",
         [](const TempDir&) {
             set_ready_state();
             stg.phase = 2;
             stg.install_error = 1;
         }},
        {"net_failed",
         [](const TempDir&) {
             set_ready_state();
             stg.net_failed = 1;
             crnt_file_path = "/brennix/Brennix 9.00r1/Brennix/Resources/a.dat.zip";
         }},
    };
    for (const Shot& shot : shots) {
        const std::string seen = tmp / (std::string(shot.name) + ".png");
        const auto child = run_in_child([&] {
            open_framework_window();
            picture_state(tmp, dead);
            shot.prepare(tmp);
            installer_frame();
            write_rgb_png(seen, 1024, 768, read_canvas(GL_BACK));
        });
        ASSERT_EQ(child.exit_code, 0) << shot.name << child.out;
        expect_picture(seen, shot.name);
    }
}

// ---------------------------------------------------------------------------
// Windows driven from outside.

std::atomic<int> current_wind{-1};
uint64_t (*const real_clock)() = [] {
    static const auto start = Clock::now();
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
};
// While the hand holds the gate, the frame that reaches the clock waits
// there: whatever the hand does meanwhile arrives in one batch of events, as
// on a machine whose frames are slow.
std::atomic<bool> gate_held{false}, frame_at_gate{false};
// The frame clock, which also tells the hand which window is up.
uint64_t watched_clock()
{
    current_wind = mnw.wind;
    while (gate_held) {
        frame_at_gate = true;
        usleep(1000);
    }
    frame_at_gate = false;
    return real_clock();
}

bool wait_for(const std::function<bool()>& what)
{
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (!what()) {
        if (Clock::now() > until) return false;
        usleep(10000);
    }
    return true;
}

// A user's hand on the private display, in the coordinates of the sub-window
// `id` (y upwards).
struct Hand {
    unsigned long window = mnw.xwin[0];
    void run(const std::string& args) const
    {
        const std::string command = "xdotool " + args + " >/dev/null";
        if (system(command.c_str()) != 0) printf("xdotool failed: %s\n", args.c_str());
    }
    void click(int id, float x, float y) const
    {
        float wx = 0, wy = 0;
        if (const sub_window_struct* s = MACIBM_sub_window(id))
            MACIBM_centre_wind(float(s->w), float(s->h), &wx, &wy);
        run("mousemove --window " + std::to_string(window) + " " + std::to_string(int(wx + x)) +
            " " + std::to_string(int(767 - wy - y)) + " click 1");
    }
    void keys(const std::string& keys) const { run("key --window " + std::to_string(window) + " " + keys); }
    void type(const std::string& text) const { run("type --window " + std::to_string(window) + " '" + text + "'"); }
};

TEST(InstallerWindows, TermsAcceptDeclineReturnCloseBoxOncePerRun)
{
    TempDir tmp;
    const auto child = run_in_child([&] {
        open_framework_window();
        reset_engine(tmp / "", tmp / "dest/");
        installer_reset_run_state();
        MACIBM_event_proc();
        xtim_set_clock(watched_clock);
        const Hand hand;
        std::atomic<int> round{0};
        // Decline, Return, the close box, then AGREE.
        std::thread user([&] {
            const std::function<void()> acts[] = {
                [&] { hand.click(wind_eula, 300 + 42, 10 + 11); },
                [&] { hand.keys("Return"); },
                [&] { hand.click(wind_eula, 12, 300 - 10); },
                [&] { hand.click(wind_eula, 400 + 29, 10 + 11); },
            };
            for (int r = 0; r < 4; ++r) {
                if (!wait_for([&] { return round == r && current_wind == wind_eula; })) return;
                acts[r]();
            }
        });
        std::string results;
        for (int r = 0; r < 4; ++r) {
            round = r;
            results += std::to_string(handle_EULA());
            current_wind = mnw.wind;
        }
        user.join();
        // Accepted: no window and no frame any more.
        const int frames = xtim.frame_count;
        results += std::to_string(handle_EULA());
        printf("results=%s frames=%d wind=%d\n", results.c_str(), xtim.frame_count - frames, mnw.wind);
        fflush(stdout);
        xtim_set_clock(nullptr);
    });
    EXPECT_EQ(child.exit_code, 0) << child.out;
    EXPECT_NE(child.out.find("results=00011 frames=0 wind=0\n"), std::string::npos) << child.out;
}

TEST(InstallerWindows, PreferencesEditTheLiveSettings)
{
    TempDir tmp;
    const auto child = run_in_child([&] {
        open_framework_window();
        reset_engine(tmp / "", tmp / "dest/");
        installer_reset_run_state();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        MACIBM_event_proc();
        xtim_set_clock(watched_clock);
        const Hand hand;
        std::thread user([&] {
            // Each click waits for the frames that draw what it lands on.
            if (!brx_test::wait_for_window(wind_prefs)) return;
            hand.click(wind_prefs, 30, 265 + 3);  // full speed on
            wait_for([] { return stg.use_max_cpu == 1; });
            hand.click(wind_prefs, 30, 230 + 3);  // renaming off
            wait_for([] { return stg.rename_folder == 0; });
            hand.click(wind_prefs, 30, 150 + 3);  // manual streams: 1
            wait_for([] { return stg.stream_count == 1; });
            brx_test::wait_frames(2);
            hand.click(wind_prefs, 405, 150 + 18);  // up: 2
            wait_for([] { return stg.stream_count == 2; });
            hand.click(wind_prefs, 200, 310 + 3);   // the operating-system list
            if (!wait_for([] { return active_popup_code != 0 && menu.size() > kPopupMenu &&
                                      menu[kPopupMenu].items.size() == 3 &&
                                      menu[kPopupMenu].items[1].x2 > 0; }))
                return;
            const item_struct windows = menu[kPopupMenu].items[1];
            hand.click(wind_prefs, (windows.x1 + windows.x2) / 2.0f, (windows.y1 + windows.y2) / 2.0f);
            wait_for([] { return stg.target_os == 2; });
            brx_test::wait_frames(2);
            // The host field holds the focus from the start; Tab moves on.
            hand.click(wind_prefs, 300, 40 + 3);
            hand.type("127.0.0.1");
            hand.keys("Tab");
            // The port and Return in one frame: the digits still count.
            gate_held = true;
            wait_for([] { return frame_at_gate.load(); });
            hand.type("8080");
            hand.keys("Return");  // closes the window while a field has the focus
            usleep(100000);  // time for the server to pass the events on; the gate only makes the case likelier
            gate_held = false;
        });
        handle_prefs();
        user.join();
        printf("cpu=%d rename=%d streams=%d os=%d ask=%d log=%d host=%s port=%s port_int=%d wind=%d\n",
               stg.use_max_cpu, stg.rename_folder, stg.stream_count, stg.target_os,
               stg.always_ask_dir, stg.log_actions, http.proxy_host.c_str(), http.proxy_port.c_str(),
               http.proxy_port_int, mnw.wind);
        fflush(stdout);
        xtim_set_clock(nullptr);
    });
    EXPECT_EQ(child.exit_code, 0) << child.out;
    EXPECT_NE(child.out.find("cpu=1 rename=0 streams=2 os=2 ask=0 log=0 host=127.0.0.1 port=8080 "
                             "port_int=8080 wind=0\n"),
              std::string::npos)
        << child.out;
}

// Pictures of the two windows: the back buffer as the frame pump takes over
// after the window has drawn its second pass.
TEST(InstallerPictures, TermsAndPreferencesWindows)
{
    TempDir tmp;
    for (const char* name : {"terms", "preferences"}) {
        const std::string seen = tmp / (std::string(name) + ".png");
        const bool terms = std::string(name) == "terms";
        const auto child = run_in_child([&] {
            open_framework_window();
            reset_engine(tmp / "", tmp / "dest/");
            installer_reset_run_state();
            http.proxy_host = "proxy.example";
            http.proxy_port = "3128";
            mnw.mouse_x = mnw.mouse_y = -100;
            MACIBM_event_proc();
            static int first_frame;
            static std::string path;
            first_frame = -1;
            path = seen;
            xtim_set_clock([]() -> uint64_t {
                if (mnw.wind == wind_eula || mnw.wind == wind_prefs) {
                    if (first_frame < 0) first_frame = xtim.frame_count;
                    if (xtim.frame_count >= first_frame + 1) {
                        write_rgb_png(path, 1024, 768, read_canvas(GL_BACK));
                        MACIBM_startwind(wind_main);
                    }
                }
                return real_clock();
            });
            if (terms)
                handle_EULA();
            else
                handle_prefs();
            xtim_set_clock(nullptr);
        });
        ASSERT_EQ(child.exit_code, 0) << name << child.out;
        expect_picture(seen, name);
    }
}

}  // namespace
