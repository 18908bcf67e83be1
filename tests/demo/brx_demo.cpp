// The installer at work on a machine where the maker's servers are out of
// reach: a demo release of a few hundred files in two versions, served by
// nginx behind tinyproxy on loopback, and "Brennix Installer" run against it
// with a temporary HOME and a private /tmp.
//   brx_demo <program> <folder for screenshots>
// With DISPLAY set the program runs there for the user to click through;
// without, a private Xvfb is started and a fresh install is walked with
// xdotool, a screenshot saved at each stage. Servers stop on exit and on
// Ctrl-C.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <memory>
#include <string>
#include <thread>

#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using namespace brx_test;

std::atomic<bool> g_stop{false};

void on_signal(int) { g_stop = true; }

// Waits until `pred` holds; false on timeout or Ctrl-C.
bool wait_until(const std::function<bool()>& pred, double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!g_stop && std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !g_stop && pred();
}

std::string text_bytes(uint64_t seed, size_t n)
{
    static const char* const words[] = {"runway ", "altitude ", "heading ", "flaps ", "throttle ", "0.125 ",
                                        "gear\n",  "texture ",  "scenery ", "1013 ",  "approach ",  "vector\n"};
    std::string s;
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    while (s.size() < n) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        s += words[x % 12];
    }
    s.resize(n);
    return s;
}

// 320 files below the product's four top folders, in two versions: the newer
// changes one file in five, drops twenty and adds thirty.
Release demo_release()
{
    Release r;
    r.version_name = "Brennix 9.00";
    r.servers = {{"mirror1.demo.example", "/brennix/", "Demo mirror one"},
                 {"mirror2.demo.example", "/brennix/", "Demo mirror two"}};
    static const char* const folders[] = {"Airfoils/", "Instructions/", "Output/situations/",
                                          "Resources/sounds/", "Resources/scenery/", "Resources/plugins/",
                                          "Resources/panels/", "Resources/fonts/"};
    ReleaseTree older, newer;
    for (int i = 0; i < 320; ++i) {
        const std::string path = std::string(folders[i % 8]) + "file" + std::to_string(i) + ".dat";
        const size_t size = 500 + static_cast<size_t>(i * 97 % 60000);
        older[path] = {text_bytes(static_cast<uint64_t>(i), size), 0};
        if (i % 16 == 7) continue;  // dropped by the newer version
        newer[path] = {i % 5 == 0 ? text_bytes(1000u + static_cast<uint64_t>(i), size + 100) : older[path].bytes, 0};
    }
    for (int i = 0; i < 30; ++i) {
        const std::string path = "Resources/new/added" + std::to_string(i) + ".dat";
        newer[path] = {text_bytes(5000u + static_cast<uint64_t>(i), 2000 + 500 * static_cast<size_t>(i)), 0};
    }
    newer["Resources/linux/libdemo.so"] = {text_bytes(9000, 30000), 3};
    r.versions = {older, newer};
    return r;
}

std::map<std::string, std::string> expected(const Release& r)
{
    std::map<std::string, std::string> out;
    for (const auto& [path, file] : r.versions.back())
        if (file.os == 0 || file.os == 3) out[path] = md5_of(file.bytes);
    return out;
}

// Where the install went: the destination, or the folder renamed after the version.
int report_install(const Release& r, const std::string& parent)
{
    const auto want = expected(r);
    for (const std::string& folder : {parent + r.version_name + "/", parent + "Brennix/"}) {
        if (!exists(folder)) continue;
        const auto have = tree_md5s(folder);
        if (have == want) {
            printf("The install in %s matched the release: %zu files, every MD5 equal.\n", folder.c_str(),
                   want.size());
            return 0;
        }
        size_t wrong = 0;
        for (const auto& [path, md5] : want) {
            const auto it = have.find(path);
            if (it == have.end() || it->second != md5) ++wrong;
        }
        printf("The install in %s did NOT match the release: %zu of %zu files missing or different, %zu "
               "files present.\n",
               folder.c_str(), wrong, want.size(), have.size());
        return 1;
    }
    printf("Nothing was installed.\n");
    return 1;
}

bool shot(const std::string& display, const std::string& folder, const std::string& name)
{
    const bool ok = CanvasShot::take(display).save_png(folder + name);
    printf("  %s %s\n", ok ? "saved" : "could not save", (folder + name).c_str());
    return ok;
}

int walk_fresh_install(InstallerProcess& app, const std::string& display,
                       const std::string& shots)
{
    const auto on_screen = [&](Shown s) { return shown(CanvasShot::take(display)) == s; };
    printf("Waiting for the server list and the file directory...\n");
    if (!wait_until([&] { return exists(app.in_temp_folder("directory.txt")) && on_screen(Shown::main_page); }, 120)) {
        printf("The file directory never arrived.\n");
        return 1;
    }
    shot(display, shots, "1-main-page.png");
    click_canvas(display, 491, 89);  // INSTALL
    if (!wait_until([&] { return on_screen(Shown::terms); }, 60)) return 1;
    shot(display, shots, "2-terms-of-use.png");
    click_canvas(display, 262 + 429, 234 + 21);  // accept
    if (!wait_until([&] { return on_screen(Shown::main_page); }, 60)) return 1;
    shot(display, shots, "3-installing.png");
    const auto complete = [&] {
        const auto [first, last] = CanvasShot::take(display).ink(150, 900, 609, 626, text_colour(13));
        return first >= 0 && std::abs((last - first + 1) - text_width("INSTALLATION COMPLETE!")) <= 4;
    };
    if (!wait_until(complete, 300)) {
        printf("The install did not complete.\n");
        shot(display, shots, "4-not-complete.png");
        return 1;
    }
    shot(display, shots, "4-complete.png");
    click_canvas(display, 985, 89);  // QUIT
    return app.wait_exit(30) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
try {
    if (argc < 3) {
        fprintf(stderr, "usage: %s <program> <folder for screenshots>\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    std::string shots = argv[2];
    if (shots.back() != '/') shots += '/';
    if (!exists(program)) {
        fprintf(stderr, "no program at %s\n", program.c_str());
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    const std::string why = private_tmp_unavailable();
    if (!why.empty()) {
        printf("The demo runs the installer with a private /tmp in a mount namespace of its own,\n"
               "but this machine allows none: %s\n",
               why.c_str());
        return 1;
    }

    TempDir work;
    const Release release = demo_release();
    printf("Building the demo release \"%s\" (%zu files in the newer version, %zu in the older)...\n",
           release.version_name.c_str(), release.versions.back().size(), release.versions.front().size());
    // A rate limit per connection lets the install take long enough to watch.
    MakerServers servers(work / "", release, "", "  limit_rate 1m;\n");
    printf("Serving the maker's web host %s and mirrors %s, %s through tinyproxy on 127.0.0.1:%u.\n",
           kMakerHost, release.servers[0].host.c_str(), release.servers[1].host.c_str(), servers.proxy_port());

    PrivateTmp ns({work.path()});
    if (!ns.ok()) {
        printf("No private /tmp for the installer: %s\n", ns.error().c_str());
        return 1;
    }
    const std::string parent = work / "install/";
    mkdir(parent.c_str(), 0755);
    const std::vector<std::string> args = {"-path", parent + "Brennix/", "--pref:_proxy_host=127.0.0.1",
                                           "--pref:_proxy_port_int=" + std::to_string(servers.proxy_port())};

    const char* user_display = getenv("DISPLAY");
    int result = 1;
    if (user_display && *user_display) {
        std::vector<std::string> env;
        if (const char* xa = getenv("XAUTHORITY"))
            env.push_back(std::string("XAUTHORITY=") + xa);
        else if (const char* home = getenv("HOME"))
            env.push_back(std::string("XAUTHORITY=") + home + "/.Xauthority");
        InstallerProcess app(ns, program, work / "program/", work / "home/", user_display, args, env);
        printf("\n\"Brennix Installer\" runs on display %s, installing into %sBrennix/.\n"
               "Click INSTALL, accept the terms, watch the progress, then QUIT (Ctrl-C here stops all).\n",
               user_display, parent.c_str());
        wait_until([&] { return !app.running(); }, 24 * 3600);
        if (g_stop) {
            printf("Stopped.\n");
            return 130;
        }
        printf("The installer ended with status %d.\n", app.wait_exit(0));
        result = report_install(release, parent);
        mkdir(shots.c_str(), 0755);
        write_file(shots + "Log.txt", app.log());
        printf("The installer's Log.txt is in %s\n", shots.c_str());
    } else {
        XvfbServer xvfb("1280x1024x24");
        if (!xvfb.running()) {
            printf("No DISPLAY, and Xvfb did not start.\n");
            return 1;
        }
        mkdir(shots.c_str(), 0755);
        printf("\nNo DISPLAY: walking a fresh install on a private Xvfb (%s), screenshots in %s\n",
               xvfb.display().c_str(), shots.c_str());
        InstallerProcess app(ns, program, work / "program/", work / "home/", xvfb.display(), args);
        const int walked = walk_fresh_install(app, xvfb.display(), shots);
        write_file(shots + "Log.txt", app.log());
        if (g_stop) {
            printf("Stopped.\n");
            return 130;
        }
        result = report_install(release, parent);
        if (walked != 0) result = 1;
        printf("Screenshots and the installer's Log.txt are in %s\n", shots.c_str());
    }
    return result;
} catch (const std::exception& e) {
    // A server that cannot start, say: the message names it and why.
    printf("The demo cannot run: %s\n", e.what());
    return 1;
}
