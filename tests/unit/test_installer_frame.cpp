// Whole frames of the installer without a display: the road of one update
// against real servers through the proxy, the buttons of each phase, QUIT in
// the middle of an install, the directory archive that cannot be unpacked,
// and the frame that runs nested as the terms and preferences windows close.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xtim.h"
#include "app/installer.h"
#include "app/utils.h"
#include "hooks/app_hooks.h"
#include "support/draw_log.h"
#include "support/engine_harness.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/script_server.h"
#include "support/test_util.h"

namespace {

// A loopback listener with no thread behind it, for a child forked from a
// process with no other thread: connections wait in the backlog to be
// counted. Its port in *port; -1 when it cannot be had.
int backlog_listener(int* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t at_len = sizeof at;
    if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &at_len) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(at.sin_port);
    return fd;
}

// The connections waiting on `listener`, which is closed.
int count_and_close(int listener)
{
    int n = 0;
    for (int fd; (fd = accept(listener, nullptr, nullptr)) >= 0; ++n) close(fd);
    close(listener);
    return n;
}

using namespace brx_test;
using Clock = std::chrono::steady_clock;

// Canvas points of the main screen's buttons.
constexpr float kInstallX = 470, kInstallY = 89;
constexpr float kQuitX = 985, kQuitY = 89;
constexpr float kPrefsX = 50, kPrefsY = 750;
constexpr float kDestinationX = 60, kDestinationY = 89;

class InstallerFrame : public DrawLogTest {
protected:
    TempDir tmp;
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mkdir((tmp / "temp").c_str(), 0755);
        reset_engine(tmp / "temp/", tmp / "dest/");
        installer_reset_run_state();
        app_done = 0;
        xer.close();
        xer.clear();
        xer.open(tmp / "Log.txt");
    }
    void TearDown() override
    {
        DrawLogTest::TearDown();
        reset_engine("", "");
        installer_reset_run_state();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        app_done = 0;
        xer.close();
    }
    void use_proxy(unsigned short port)
    {
        http.proxy_host = "127.0.0.1";
        http.proxy_port = std::to_string(port);
        http.proxy_port_int = port;
    }
    // One frame with a mouse press at (x, y), or none.
    void frame(float x = -1, float y = -1)
    {
        ops.clear();
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        mnw.clicked = x >= 0 ? 1 : 0;
        installer_frame();
        mnw.clicked = 0;
    }
    // Frames until `done` holds; false after `seconds`.
    bool frames_until(const std::function<bool()>& done, double seconds = 30)
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (Clock::now() > until) return false;
            xtim.xtim_update();
            frame();
        }
        return true;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const btn_draw_op& op : ops)
            if (op.kind == btn_draw_op::text) out.push_back(op.str);
        return out;
    }
    bool drew(const std::string& text) const
    {
        for (const std::string& t : texts())
            if (t == text) return true;
        return false;
    }
    // The picture-button quads drawn from atlas column u.
    int buttons_at(float u) const
    {
        int n = 0;
        for (const btn_draw_op& op : ops)
            if (op.kind == btn_draw_op::quad && op.tex == 389 && std::abs(op.v[2] - u / 1024) < 1e-6f)
                ++n;
        return n;
    }
    // A file listed for download from server 0, whose server never answers.
    void one_file_to_fetch(unsigned short proxy_port)
    {
        use_proxy(proxy_port);
        stg.server_count = 1;
        server_name[0] = "mirror.example";
        server_path[0] = "/brennix/v/";
        stg.dir_state = 3;
        file_version_struct v;
        v.path = "Brennix/Resources/a.dat";
        v.sig_want = "0123456789abcdef0123456789abcdef";
        v.sig_have = "NONE";
        v.down_size = 100;
        v.disk_size = 200;
        sim_info.push_back({{v}});
        stg.total_download = 100;
        stg.total_install = 200;
    }
};

TEST_F(InstallerFrame, RoadOfOneUpdateThroughTheProxy)
{
    Release release;
    release.servers = {{"one.example", "/brennix/", "First mirror"},
                       {"two.example", "/brennix/", "Mirror 2"}};
    release.versions.push_back({{"Resources/a.txt", {"first file", 0}},
                                {"bin/prog", {std::string(70000, 'p'), 3}},
                                {"bin/prog.exe", {"windows only", 2}}});
    mkdir((tmp / "site").c_str(), 0755);  // the builder writes the list at its top
    build_release(release, tmp / "site/");
    NginxServer nginx(tmp / "",
                      {{kMakerWebHost, tmp / "site"}, {"one.example", tmp / "site"},
                       {"two.example", tmp / "site"}});
    TinyProxy proxy(tmp / "", nginx.port());
    use_proxy(proxy.port());
    eula_agreed = 1;  // the terms window needs a display

    frame();
    EXPECT_TRUE(drew("I am figuring out what the latest version of Brennix is right now..."));
    ASSERT_TRUE(frames_until([] { return stg.dir_state == 3; }))
        << stg.server_count << " " << stg.dir_state << read_file(tmp / "Log.txt").substr(0, 2000);
    EXPECT_EQ(stg.server_count, 2);
    EXPECT_EQ(install_name, release.version_name);
    EXPECT_EQ(server_path[1], "/brennix/" + release.version_name + "/");
    EXPECT_GT(stg.total_install, 0);
    EXPECT_EQ(list_tree(tmp / "temp/"), (std::vector<std::string>{"directory.txt", "serverlist.txt"}));

    frame();
    std::string size;
    set_size_str(stg.total_install, &size);
    EXPECT_TRUE(drew("You are about to install " + size + " of files to get " +
                     release.version_name + "."));
    EXPECT_EQ(buttons_at(640), 1);  // INSTALL, enabled
    EXPECT_TRUE(drew("First mirror"));
    EXPECT_TRUE(drew("Mirror 2"));

    frame(kInstallX, kInstallY);
    EXPECT_EQ(stg.phase == 1 || stg.phase == 2, true);
    ASSERT_TRUE(frames_until([] { return stg.phase == 2; }, 60));
    frame();
    EXPECT_EQ(next.job_done, 1);
    EXPECT_EQ(stg.install_error, 0);
    EXPECT_TRUE(drew("INSTALLATION COMPLETE!"));
    EXPECT_EQ(buttons_at(640), 0);  // no INSTALL in phase 2
    EXPECT_EQ(buttons_at(513), 1);  // DESTINATION again
    EXPECT_EQ(tree_md5s(dest_dir_path),
              (std::map<std::string, std::string>{{"Resources/a.txt", md5_of("first file")},
                                                  {"bin/prog", md5_of(std::string(70000, 'p'))}}));
    EXPECT_EQ(list_tree(tmp / "temp/"), (std::vector<std::string>{"directory.txt", "serverlist.txt"}));
}

TEST_F(InstallerFrame, ButtonsOfEachPhaseAndTheServerRows)
{
    stg.server_count = 3;
    for (int i = 0; i < 3; ++i) server_desc[i] = "Mirror " + std::to_string(i);
    stg.dir_state = 2;  // not accepted: INSTALL shown but disabled
    frame(kInstallX, kInstallY);
    EXPECT_EQ(stg.phase, 0);
    EXPECT_EQ(buttons_at(640), 1);
    for (const btn_draw_op& op : ops) {
        if (op.kind == btn_draw_op::quad && op.tex == 389 && std::abs(op.v[2] - 640.f / 1024) < 1e-6f) {
            EXPECT_FLOAT_EQ(op.v[3], 166.f / 1024);  // no hover look while disabled
        }
    }
    EXPECT_EQ(buttons_at(513) + buttons_at(780), 2);

    // Rows at y 578, 558, 538: a click on another row chooses it, one on the
    // chosen row keeps it.
    stg.server_index = 0;
    frame(142, 558 + 3);
    EXPECT_EQ(stg.server_index, 1);
    frame(142, 558 + 3);
    EXPECT_EQ(stg.server_index, 1);
    frame(142, 538 + 3);
    EXPECT_EQ(stg.server_index, 2);

    // The globe rests in phase 0 and turns in phase 1, from 23 back to 8.
    EXPECT_EQ(frame_state.wrl_i, 21);
    stg.phase = 1;
    frame_state.wrl_i = 23;
    xtim.act_flag10 = 1;
    frame();
    EXPECT_EQ(frame_state.wrl_i, 8);
    xtim.act_flag10 = 0;
    EXPECT_EQ(buttons_at(513) + buttons_at(640), 0);  // neither DESTINATION nor INSTALL
    EXPECT_EQ(buttons_at(780), 1);
}

TEST_F(InstallerFrame, QuitInTheMiddleOfAnInstallIsNotCompletion)
{
    ScriptServer silent({read_request(), hold_open()});
    one_file_to_fetch(silent.port());
    eula_agreed = 1;
    next.job_done = 1;  // an earlier job of this run

    frame(kInstallX, kInstallY);
    EXPECT_EQ(stg.phase, 1);
    EXPECT_EQ(next.job_done, 0);
    frame();
    EXPECT_TRUE(drew("OK I am installing this now..."));
    EXPECT_FALSE(drew("INSTALLATION COMPLETE!"));

    frame(kQuitX, kQuitY);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(stg.phase, 2);
    EXPECT_FALSE(drew("INSTALLATION COMPLETE!"));
    EXPECT_FALSE(exists(tmp / "temp/0.zip"));
}

TEST_F(InstallerFrame, DirectoryArchiveThatIsNoArchive)
{
    ScriptServer server({read_request(), send(http_response(200, "OK", "not a zip archive"))});
    use_proxy(server.port());
    stg.server_count = 1;
    server_name[0] = "mirror.example";
    server_path[0] = "/brennix/v/";
    const auto child = run_in_child(
        [&] {
            // The alert leaves its mark in the current folder.
            frames_until([&] { return exists(tmp / "MemoryLog.txt"); }, 30);
            printf("dir_state=%d\n", stg.dir_state);
            fflush(stdout);
        },
        tmp.path());
    EXPECT_NE(child.out.find("DIR-scan: The installer cannot extract a file."), std::string::npos)
        << child.out;
    EXPECT_NE(child.out.find("Compressed File/" + tmp / "temp/directory.txt.zip"), std::string::npos);
    EXPECT_NE(child.out.find("Destination Path/" + tmp / "temp/"), std::string::npos);
    EXPECT_NE(child.out.find("dir_state=0"), std::string::npos);
    EXPECT_FALSE(exists(tmp / "temp/directory.txt.zip"));
}

// What an earlier run left in the temporary folder: its file directory is
// not taken for the one this archive lacks, and the temporary of an
// unpacking killed midway goes.
TEST_F(InstallerFrame, AnEarlierRunsDirectoryIsNotTakenForThisOne)
{
    // A server in a process of its own: the child is forked from a process
    // with no other thread.
    mkdir((tmp / "site").c_str(), 0755);
    mkdir((tmp / "site/v").c_str(), 0755);
    make_zip(tmp / "site/v/directory.txt.zip", "other.txt", "no directory in here");
    NginxServer nginx(tmp / "", {{"mirror.example", tmp / "site"}});
    use_proxy(nginx.port());
    stg.server_count = 1;
    server_name[0] = "mirror.example";
    server_path[0] = "/v/";
    write_file(tmp / "temp/directory.txt", "I\n900\nINSTALLER\nDIR Brennix/\nFILE 0 0 0 1 1 GONE a\n");
    const std::string leftover = tmp / "temp/.brx-unzip-" + std::to_string(ended_pid()) + "-1";
    write_file(leftover, "partial");
    const auto child = run_in_child(
        [&] { frames_until([&] { return exists(tmp / "MemoryLog.txt"); }, 30); }, tmp.path());
    EXPECT_NE(child.out.find("I tried to read a directory file that does not exist!"), std::string::npos)
        << child.out;
    EXPECT_FALSE(exists(leftover));
    EXPECT_TRUE(exists(tmp / "temp/other.txt"));
}

TEST_F(InstallerFrame, ServersNamedInAFormNoRequestTakesFailInsteadOfEnding)
{
    // Entries of a list from the network: no leading "/" on the path (a list
    // cut off after its host gives that), a host ending in "/", no host.
    int port = 0;
    const int listener = backlog_listener(&port);
    ASSERT_GE(listener, 0);
    one_file_to_fetch(port);
    stg.server_count = 3;
    server_name[0] = "mirror.example";
    server_path[0] = "v/";
    server_name[1] = "mirror.example/";
    server_path[1] = "/p/v/";
    server_name[2] = "";
    server_path[2] = "/p/v/";
    const auto child = run_in_child([&] {
        stg.dir_state = 0;
        for (int i = 0; i < 50; ++i) frame();
        // The install engine's transfers fail over the same way.
        stg.dir_state = 3;
        eula_agreed = 1;
        frame(kInstallX, kInstallY);
        for (int i = 0; i < 5; ++i) frame();
        printf("alive phase=%d net_failed=%d\n", stg.phase, stg.net_failed);
        fflush(stdout);
    });
    const int connections = count_and_close(listener);
    EXPECT_EQ(child.exit_code, 0);
    EXPECT_NE(child.out.find("alive phase=1 net_failed=1"), std::string::npos) << child.out;
    EXPECT_EQ(connections, 0);
}

// One entry no request can take is a failed request; a list with no entry
// that can be asked is told once, and the screen stops claiming to check.
TEST_F(InstallerFrame, AListWithNoServerThatCanBeAskedIsToldOnce)
{
    const std::string told =
        "OK I have the list of Corvath Research servers, but it does not name any server that I "
        "can reach!";
    struct Case {
        bool one_usable;
        int alerts;
        bool any_connection;
    } cases[] = {{false, 1, false}, {true, 0, true}};
    for (const Case& c : cases) {
        int port = 0;
        const int listener = backlog_listener(&port);
        ASSERT_GE(listener, 0);
        use_proxy(port);
        stg.server_count = 2;
        server_name[0] = "mirror.example/";
        server_path[0] = "/p/v/";
        server_name[1] = "mirror.example";
        server_path[1] = c.one_usable ? "/p/v/" : "p/v/";
        const auto child = run_in_child([&] {
            for (int i = 0; i < 50; ++i) frame();
            const char* status =
                drew("I could not find any servers to get Brennix from!") ? "none"
                : drew("I am checking the net for the latest version of Brennix right now, and I "
                       "am connecting to the server...")
                    ? "connecting"
                    : "other";
            printf("status=%s\n", status);
            frame(kQuitX, kQuitY);
            printf("app_done=%d phase=%d\n", app_done, stg.phase);
            fflush(stdout);
        });
        const int connections = count_and_close(listener);
        EXPECT_EQ(child.exit_code, 0) << child.out;
        int alerts = 0;
        for (size_t at_text = child.out.find(told); at_text != std::string::npos;
             at_text = child.out.find(told, at_text + 1))
            ++alerts;
        EXPECT_EQ(alerts, c.alerts) << child.out;
        if (c.alerts) {
            EXPECT_NE(child.out.find("grab a new installer at the download section of " +
                                     std::string(kMakerWebHost) + "."),
                      std::string::npos);
            EXPECT_NE(child.out.find(tmp / "temp/serverlist.txt"), std::string::npos);
        }
        EXPECT_NE(child.out.find(c.one_usable ? "status=connecting\n" : "status=none\n"),
                  std::string::npos)
            << child.out;
        EXPECT_NE(child.out.find("app_done=1 phase=2\n"), std::string::npos) << child.out;
        EXPECT_EQ(connections > 0, c.any_connection) << connections;
    }
}

// ---------------------------------------------------------------------------
// The frame that runs nested as a modal window of the frame closes.

// Steps of a scripted user, run on the frame clock's reads: each fires once,
// the first time its condition holds. Every window seen is recorded.
struct Scripted {
    struct Step {
        std::function<bool()> when;
        std::function<void()> act;
        bool done = false;
    };
    std::vector<Step> steps;
    std::set<int> windows;
    int openings = 0;  // times the folder chooser's window became current
    int last_wind = 0;
    uint64_t now = 0;
};
Scripted* scripted = nullptr;

uint64_t scripted_clock()
{
    scripted->now += 500;
    scripted->windows.insert(mnw.wind);
    if (mnw.wind == wind_open && scripted->last_wind != wind_open) ++scripted->openings;
    scripted->last_wind = mnw.wind;
    for (Scripted::Step& s : scripted->steps)
        if (!s.done && s.when()) {
            s.done = true;
            s.act();
            break;
        }
    return scripted->now;
}

void press(float x, float y)
{
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.clicked = 1;
}

// Points pressed in the nested frame: INSTALL, "preferences" and the
// destination field.
const std::pair<float, float> kNestedPresses[] = {{kInstallX, kInstallY}, {kPrefsX, kPrefsY}, {200, 89}};

void one_changed_file(int* asked)
{
    file_version_struct v;
    v.path = "Brennix/user.cfg";
    v.sig_want = "new";
    v.sig_have = "edited";
    sim_info.push_back({{v}});
    select_alert_answer = [asked](const std::string&, int) {
        ++*asked;
        return 2;  // keep it
    };
}

void print_windows(const Scripted& s)
{
    printf("windows=");
    for (int w : s.windows) printf("%d,", w);
    printf("\n");
}

TEST_F(InstallerFrame, NestedFrameOfTheTermsOpensNothingAndDoesNotInstallAgain)
{
    for (const auto& [x, y] : kNestedPresses) {
        const auto child = run_in_child([&, x = x, y = y] {
            stg.server_count = 0;
            stg.dir_state = 3;
            int asked = 0;
            one_changed_file(&asked);
            Scripted s;
            scripted = &s;
            int nested_frames = 0;
            s.steps = {
                // In the terms window: AGREE (window coordinates).
                {[] { return mnw.wind == wind_eula; }, [] { press(400 + 30, 10 + 11); }},
                // The frame of the main page before handle_EULA returns.
                {[] { return mnw.wind == wind_main && eula_agreed; },
                 [&] {
                     ++nested_frames;
                     press(x, y);
                 }},
                // Any other window would be a fault: close it.
                {[] { return mnw.wind != wind_main && mnw.wind != wind_eula; },
                 [] { MACIBM_startwind(wind_main); }},
            };
            brx_test::app_update = installer_frame;
            xtim_set_clock(scripted_clock);
            frame(kInstallX, kInstallY);
            xtim_set_clock(nullptr);
            // One INSTALL: one question; the job (keep the file) ends in its slice.
            printf("asked=%d nested=%d phase=%d agreed=%d ", asked, nested_frames, stg.phase,
                   eula_agreed);
            print_windows(s);
            fflush(stdout);
        });
        EXPECT_EQ(child.exit_code, 0);
        EXPECT_NE(child.out.find("asked=1 nested=1 phase=2 agreed=1 windows=0,1,\n"), std::string::npos)
            << x << "," << y << ": " << child.out;
    }
}

TEST_F(InstallerFrame, NestedFrameOfThePreferencesOpensNothing)
{
    for (const auto& [x, y] : kNestedPresses) {
        const auto child = run_in_child([&, x = x, y = y] {
            stg.server_count = 0;
            stg.dir_state = 3;
            eula_agreed = 1;
            int asked = 0;
            one_changed_file(&asked);
            Scripted s;
            scripted = &s;
            s.steps = {
                // The close box closes the window inside a frame, which goes
                // on with the main page and calls the frame nested.
                {[] { return mnw.wind == wind_prefs; },
                 [&] {
                     MACIBM_startwind(wind_main);
                     press(x, y);
                 }},
                {[] { return mnw.wind != wind_main && mnw.wind != wind_prefs; },
                 [] { MACIBM_startwind(wind_main); }},
                {[] { return mnw.wind == wind_prefs; }, [] { MACIBM_startwind(wind_main); }},
            };
            brx_test::app_update = installer_frame;
            xtim_set_clock(scripted_clock);
            frame(kPrefsX, kPrefsY);
            xtim_set_clock(nullptr);
            printf("asked=%d phase=%d reopened=%d ", asked, stg.phase, s.steps[2].done ? 1 : 0);
            print_windows(s);
            fflush(stdout);
        });
        EXPECT_EQ(child.exit_code, 0);
        // The timer reads the clock once a frame, so only the preferences
        // window's frames are seen; no other window opened.
        EXPECT_NE(child.out.find("asked=0 phase=0 reopened=0 windows=2,\n"), std::string::npos)
            << x << "," << y << ": " << child.out;
    }
}

// ---------------------------------------------------------------------------
// Closing the window through the window manager.

TEST_F(InstallerFrame, ACloseRequestInTheMiddleOfAnInstallIsQuit)
{
    ScriptServer silent({read_request(), hold_open()});
    one_file_to_fetch(silent.port());
    eula_agreed = 1;
    frame(kInstallX, kInstallY);
    ASSERT_EQ(stg.phase, 1);
    frame();
    ASSERT_NE(http.slot[2], nullptr) << "no stream is fetching";
    mnw.close_requested = 1;
    frame();
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(stg.phase, 2);
    EXPECT_EQ(http.slot[2], nullptr) << "the stream goes on";
    EXPECT_FALSE(exists(tmp / "temp/0.zip"));
}

// Asked in one of the frame's modal windows: the window ends unanswered, and
// the frame after the one that opened it ends the run as QUIT does.
TEST_F(InstallerFrame, ACloseRequestInAModalWindowEndsTheRunFromTheMainPage)
{
    const struct {
        const char* what;
        int wind;
        float x, y;  // the press that opens it
    } cases[] = {
        {"terms", wind_eula, kInstallX, kInstallY},
        {"preferences", wind_prefs, kPrefsX, kPrefsY},
        {"folder chooser", wind_open, kDestinationX, kDestinationY},
    };
    for (const auto& c : cases) {
        const auto child = run_in_child([&] {
            stg.server_count = 0;
            stg.dir_state = 3;
            int asked = 0;
            one_changed_file(&asked);
            const std::string dest = dest_dir_path;
            Scripted s;
            scripted = &s;
            s.steps = {
                {[&] { return mnw.wind == c.wind; }, [] { mnw.close_requested = 1; }},
                // A window that stays open would never let the run end.
                {[&] { return mnw.wind == c.wind; }, [] { MACIBM_startwind(wind_main); }},
            };
            brx_test::app_update = installer_frame;
            xtim_set_clock(scripted_clock);
            frame(c.x, c.y);
            xtim_set_clock(nullptr);
            printf("stayed=%d asked=%d phase=%d app_done=%d; ", s.steps[1].done ? 1 : 0, asked,
                   stg.phase, app_done);
            frame();
            printf("next frame: app_done=%d phase=%d same_dest=%d ", app_done, stg.phase,
                   dest_dir_path == dest ? 1 : 0);
            print_windows(s);
            fflush(stdout);
        });
        EXPECT_EQ(child.exit_code, 0);
        EXPECT_EQ(child.out, "stayed=0 asked=0 phase=0 app_done=0; next frame: app_done=1 phase=2 same_dest=1 "
                             "windows=" + std::to_string(c.wind) + ",\n")
            << c.what;
    }
}

// ---------------------------------------------------------------------------
// DESTINATION and the destination field, with the folder chooser answered by
// the scripted user.

constexpr float kChooserCancelX = 35, kChooserSelectX = 510, kChooserButtonY = 28;

class Destination : public InstallerFrame {
protected:
    // Runs `body` in a child with the chooser answered by `select` (or
    // cancelled); prints what it saw.
    std::string with_chooser(bool select, const std::function<void()>& body)
    {
        const auto child = run_in_child([&] {
            brx_test::app_update = installer_frame;
            Scripted s;
            scripted = &s;
            s.steps = {{[] { return mnw.wind == wind_open; },
                        [&] {
                            press(select ? kChooserSelectX : kChooserCancelX, kChooserButtonY);
                            s.steps[0].done = false;  // answer every opening
                        }}};
            xtim_set_clock(scripted_clock);
            body();
            xtim_set_clock(nullptr);
            printf("opened=%d dest=%s phase=%d dir_state=%d error=%d next_file=%d\n", s.openings,
                   dest_dir_path.c_str(), stg.phase, stg.dir_state, stg.install_error,
                   next.next_file);
            fflush(stdout);
        });
        EXPECT_EQ(child.exit_code, 0) << child.out;
        return child.out;
    }
    void make_folders(const std::string& dest, bool installation)
    {
        mkdir(dest.c_str(), 0755);
        if (installation)
            for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"})
                mkdir((dest + f).c_str(), 0755);
    }
};

TEST_F(Destination, FieldEdgesOpenTheChooserOutsideAnInstall)
{
    struct Case {
        float x, y;
        int phase, opened;
    } cases[] = {
        {135, 89, 0, 1}, {435, 89, 0, 1}, {285, 79, 2, 1}, {285, 99, 2, 1},  // the four edges
        {435.5f, 89, 0, 0}, {285, 99.5f, 0, 0},                            // just outside
        {135, 89, 1, 0}, {285, 99, 1, 0},                                  // not while installing
        {60, 89, 0, 1},                                                    // the button itself
        {135, 89 + 0.5f, 0, 1},  // button and field edge in one press: one chooser
    };
    for (const Case& c : cases) {
        const std::string out = with_chooser(false, [&] {
            stg.server_count = 0;
            stg.phase = c.phase;
            stg.dir_state = 3;
            next.next_file = 7;
            frame(c.x, c.y);
        });
        // Cancelled: nothing else changes (an install with nothing to do ends).
        const std::string rest = c.phase == 1 ? "" : " phase=" + std::to_string(c.phase) +
                                                          " dir_state=3 error=0 next_file=7";
        EXPECT_NE(out.find("opened=" + std::to_string(c.opened) + " dest=" + tmp / "dest/" + rest),
                  std::string::npos)
            << c.x << "," << c.y << " phase " << c.phase << ": " << out;
    }
}

TEST_F(Destination, AcceptedFolderIsReadAgainInTheSameFrame)
{
    // The file directory is still in the temporary folder: an empty one.
    write_file(tmp / "temp/directory.txt", "I\n900\nINSTALLER\n");
    make_folders(tmp / "dest/", true);
    std::string out = with_chooser(true, [&] {
        stg.server_count = 0;
        stg.phase = 2;
        stg.dir_state = 3;
        stg.install_error = 1;
        next.next_file = 7;
        frame(kDestinationX, kDestinationY);
    });
    // An installation is kept as it is; phase 0, read again, streams reset.
    EXPECT_NE(out.find("opened=1 dest=" + tmp / "dest/" + " phase=0 dir_state=3 error=0 next_file=0"),
              std::string::npos)
        << out;

    make_folders(tmp / "plain/", false);
    dest_dir_path = tmp / "plain/";
    out = with_chooser(true, [&] {
        stg.server_count = 0;
        stg.dir_state = 0;
        frame(kDestinationX, kDestinationY);
    });
    // Any other folder gets the product folder inside it; a directory still
    // being fetched keeps its state.
    EXPECT_NE(out.find("opened=1 dest=" + tmp / "plain/Brennix/" + " phase=0 dir_state=0"),
              std::string::npos)
        << out;
}

TEST_F(Destination, AskedAtStartUnlessGivenByPath)
{
    TempDir home;
    brx_test::ScopedEnv env{"HOME", home.path().substr(0, home.path().size() - 1).c_str()};
    brx_test::ScopedEnv tmp_env{"TMPDIR", home.path().c_str()};  // the run's temporary folder
    mkdir((home / ".brennix").c_str(), 0777);
    make_folders(tmp / "chosen/", false);
    write_file(home / ".brennix/Brennix Installer.prf",
               "I\n9001 version\n_always_ask_dir 1\n_dest_dir_path " + tmp / "chosen/" + "\n");
    const char* plain[] = {"Brennix Installer"};
    std::string out = with_chooser(true, [&] { installer_start(1, plain); });
    EXPECT_NE(out.find("opened=1 dest=" + tmp / "chosen/Brennix/"), std::string::npos) << out;

    const char* with_path[] = {"Brennix Installer", "-path", "/opt/sim"};
    out = with_chooser(true, [&] { installer_start(3, with_path); });
    EXPECT_NE(out.find("opened=0 dest=/opt/sim/"), std::string::npos) << out;
}

}  // namespace
