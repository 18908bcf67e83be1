// The installer program as its users meet it: the built binary, copied into a
// program folder of its own, runs on a private X server with a temporary HOME
// and a private /tmp, fetches from nginx behind tinyproxy on loopback (the
// maker's web host and its mirrors reached only through the proxy) and is
// driven with xdotool at the screen positions of its buttons.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/test_util.h"
#include "support/window_manager.h"
#include "support/xvfb_server.h"

namespace {

using namespace brx_test;

// Canvas positions (y upwards) of what the cases click: the centres of the
// main page's buttons, of the sub-windows' buttons (each window centred on the
// 1024 by 768 canvas) and of the first server row.
constexpr int kQuit[] = {985, 89};
constexpr int kInstall[] = {491, 89};
constexpr int kPrefsButton[] = {50, 750};
constexpr int kDecline[] = {262 + 342, 234 + 21};      // terms, 500 x 300
constexpr int kAccept[] = {262 + 429, 234 + 21};
constexpr int kOverwrite[] = {162 + 96, 311 + 53};     // question, 700 x 146
constexpr int kKeep[] = {162 + 96, 311 + 28};
constexpr int kCancelAll[] = {162 + 584, 311 + 28};
constexpr int kAlertOk[] = {302 + 210, 259 + 18};      // alert, 420 x 250
int server_row_y(int i) { return 578 - 20 * i + 3; }
constexpr int kServerRowX = 142;

const char* const kVersion = "Brennix 9.00";
// What the user wrote into one file of an installed release.
const char* const kUsersWing = "the user's own wing";

// Bytes that differ from file to file and from version to version.
std::string bytes_for(const std::string& path, int version, size_t n)
{
    std::string s;
    s.reserve(n);
    uint64_t x = std::hash<std::string>{}(path) * 31 + static_cast<uint64_t>(version) + 1;
    while (s.size() < n) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        s += static_cast<char>('a' + x % 26);
        if (x % 61 == 0) s += '\n';
    }
    s.resize(n);
    return s;
}

// Two versions of a product tree: files that change, stay, go (one folder
// loses all its files), arrive, and files for one operating system only.
Release sample_release(std::vector<ReleaseServer> servers)
{
    Release r;
    r.version_name = kVersion;
    r.servers = std::move(servers);
    ReleaseTree old_tree, new_tree;
    const auto both = [&](const std::string& p, size_t n, int os = 0) {
        old_tree[p] = {bytes_for(p, 0, n), os};
        new_tree[p] = {bytes_for(p, 0, n), os};
    };
    const auto changed = [&](const std::string& p, size_t n, int os = 0) {
        old_tree[p] = {bytes_for(p, 0, n), os};
        new_tree[p] = {bytes_for(p, 1, n + 77), os};
    };
    const auto gone = [&](const std::string& p, size_t n) { old_tree[p] = {bytes_for(p, 0, n), 0}; };
    const auto arrives = [&](const std::string& p, size_t n, int os = 0) { new_tree[p] = {bytes_for(p, 1, n), os}; };
    both("Airfoils/naca0012.afl", 3000);
    changed("Airfoils/user_edited.afl", 2500);
    both("Instructions/Manual.txt", 40000);
    changed("Instructions/Changes.txt", 900);
    both("Output/situations/readme.txt", 120);
    gone("Resources/old_scenery/tile1.dat", 5000);
    gone("Resources/old_scenery/tile2.dat", 7000);
    changed("Resources/plugins/settings.cfg", 600);
    gone("Resources/plugins/retired.dat", 1500);
    changed("Resources/linux/libsound.so", 20000, 3);
    both("Resources/windows/sound.dll", 18000, 2);
    for (int i = 0; i < 24; ++i) both("Resources/sounds/s" + std::to_string(i) + ".wav", 1000 + 713 * i);
    arrives("Resources/new/panel.png", 9000);
    arrives("Resources/new/notes.txt", 300);
    r.versions = {old_tree, new_tree};
    return r;
}

// What an installation of the newest version holds: every file but those of
// another operating system (the installer fetches Linux files). An update
// leaves the other systems' files of the older installation as they were.
std::map<std::string, std::string> expected_md5s(const Release& r, bool update = false)
{
    std::map<std::string, std::string> out;
    for (const auto& [path, file] : r.versions.back())
        if (file.os == 0 || file.os == 3) out[path] = md5_of(file.bytes);
    if (update)
        for (const auto& [path, file] : r.versions.front())
            if (file.os != 0 && file.os != 3) out[path] = md5_of(file.bytes);
    return out;
}

void set_old_mtime(const std::string& path)
{
    const timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimes(path.c_str(), times);
}

long mtime_of(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_mtime) : -1;
}

class InstallerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string why = private_tmp_unavailable();
        if (!why.empty()) GTEST_SKIP() << "the program needs a private /tmp: " << why;
        xvfb_ = std::make_unique<XvfbServer>("1280x1024x24");
        ASSERT_TRUE(xvfb_->running()) << "Xvfb did not start";
        // Host names the program might look up without a proxy lead to
        // loopback, never to DNS.
        std::string hosts = "127.0.0.1 localhost " + std::string(kMakerHost);
        for (const char* h : {"m1.mirror.example", "m2.mirror.example", "m3.mirror.example"})
            hosts += std::string(" ") + h;
        ns_ = std::make_unique<PrivateTmp>(std::vector<std::string>{dir_.path()}, hosts + "\n");
        ASSERT_TRUE(ns_->ok()) << ns_->error();
    }

    void TearDown() override
    {
        if (HasFailure() && xvfb_ && xvfb_->running()) {
            const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            CanvasShot::take(display()).save_png(std::string(BRX_BINARY_DIR) + "/e2e-" + name + ".png");
            if (app_) {
                printf("--- Log.txt\n%s\n--- output\n%s\n", app_->log().c_str(), app_->output().c_str());
            }
        }
        app_.reset();
    }

    const std::string& display() const { return xvfb_->display(); }

    void serve(const Release& r, const std::string& flaky = "", const std::string& nginx_conf = "",
               FrontProxy front = FrontProxy::tinyproxy)
    {
        servers_ = std::make_unique<MakerServers>(dir_ / "", r, flaky, nginx_conf, front);
    }

    // `r` served and installed in "parent/Brennix/", the folder returned, where
    // the user has since written kUsersWing into "Airfoils/user_edited.afl".
    std::string serve_an_edited_installation(const Release& r)
    {
        serve(r);
        const std::string dest = dir_ / "parent/Brennix/";
        install_tree(r, 0, dest);
        write_file(dest + "Airfoils/user_edited.afl", kUsersWing);
        return dest;
    }

    // Starts the program; with `proxy` the proxy comes from the command line.
    void start(std::vector<std::string> args, bool proxy = true) { start_as(Seat{}, std::move(args), proxy); }

    // Who runs the program, and where it keeps its program folder and HOME
    // (none when `no_home`).
    struct Seat {
        const TestAccount* account = nullptr;  // the caller when null
        std::string program = "prog/", home;   // below the case's folder; home() when empty
        bool no_home = false;
    };
    void start_as(const Seat& seat, std::vector<std::string> args, bool proxy = true)
    {
        if (proxy) {
            args.push_back("--pref:_proxy_host=127.0.0.1");
            args.push_back("--pref:_proxy_port_int=" + std::to_string(servers_->proxy_port()));
        }
        const std::string home_folder = seat.no_home ? "" : seat.home.empty() ? home() : dir_ / seat.home;
        app_ = std::make_unique<InstallerProcess>(*ns_, BRX_INSTALLER, dir_ / seat.program, home_folder,
                                                  display(), args, std::vector<std::string>{}, seat.account);
        ASSERT_TRUE(app_->started());
    }

    // HOME twelve levels deep: the built default destination then stays
    // inside the case's folder.
    std::string home() const { return dir_ / "h/1/2/3/4/5/6/7/8/9/10/"; }

    // A path in the running program's own temporary folder, seen from outside
    // the namespace; empty until the program has logged its folder.
    std::string run_tmp(const std::string& name = "") const { return app_->in_temp_folder(name); }

    // The file directory has been fetched and read: INSTALL is enabled from
    // the next frame on, and a click queued now is seen there.
    void wait_ready()
    {
        ASSERT_TRUE(eventually([&] { return exists(run_tmp("directory.txt")) || !app_->running(); }))
            << "the file directory never arrived";
        ASSERT_TRUE(app_->running()) << "the program ended early";
        ASSERT_TRUE(eventually([&] { return shown(CanvasShot::take(display())) == Shown::main_page; }));
    }

    // What the program keeps in its temporary folder while it runs.
    void expect_run_tmp(const std::vector<std::string>& names)
    {
        std::vector<std::string> want{".lock"};
        want.insert(want.end(), names.begin(), names.end());
        EXPECT_EQ(list_tree(run_tmp()), want) << "in " << app_->temp_folder();
    }

    // How a run's temporary folder "/tmp/<name>/" shows in tmp_files().
    static std::string name_in_tmp(const std::string& folder) { return folder.substr(5); }

    // Once a run has ended, nothing of it is left in the temporary folder
    // (`planted`: what the case put there itself).
    void expect_no_installer_temp_files(const std::vector<std::string>& planted = {})
    {
        EXPECT_EQ(ns_->tmp_files(), planted) << "left in /tmp";
    }

    void click(const int (&at)[2]) { ASSERT_TRUE(click_canvas(display(), at[0], at[1])); }

    // Answers the question on the screen and waits until the program has
    // taken the answer: another window, or the next question, whose path
    // line differs.
    void answer_question(const int (&at)[2])
    {
        const CanvasShot before = CanvasShot::take(display());
        click(at);
        ASSERT_TRUE(eventually([&] {
            const CanvasShot now = CanvasShot::take(display());
            return shown(now) != Shown::question || !now.same(before, 170, 850, 380, 420);
        })) << "the question stayed";
    }

    // Waits until one of `wanted` shows; what showed last.
    Shown wait_any(std::initializer_list<Shown> wanted)
    {
        Shown seen = Shown::other;
        eventually([&] {
            seen = shown(CanvasShot::take(display()));
            for (Shown w : wanted)
                if (seen == w) return true;
            return false;
        });
        return seen;
    }

    // Answers the alerts on the screen with OK, one after the other (each
    // download stream reports its own failure); how many there were.
    int dismiss_alerts()
    {
        int count = 0;
        for (; count < 8 && shown(CanvasShot::take(display())) == Shown::alert; ++count) {
            const CanvasShot before = CanvasShot::take(display());
            if (!click_canvas(display(), kAlertOk[0], kAlertOk[1])) break;
            eventually(
                [&] {
                    const CanvasShot now = CanvasShot::take(display());
                    return shown(now) != Shown::alert || !now.same(before, 310, 715, 300, 480);
                },
                10);
        }
        return count;
    }

    // The server row whose radio button shows the dot (the chosen one): its
    // centre is clearly darker than the others'; -1 when none is.
    int chosen_server(const CanvasShot& shot, int rows)
    {
        std::vector<int> light;
        for (int i = 0; i < rows; ++i) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const Rgb p = shot.at(kServerRowX + dx, server_row_y(i) + dy);
                    sum += p.r + p.g + p.b;
                }
            light.push_back(sum / 9);
        }
        const int darkest = static_cast<int>(std::min_element(light.begin(), light.end()) - light.begin());
        for (int i = 0; i < rows; ++i)
            if (i != darkest && light[i] - light[darkest] < 120) return -1;
        return darkest;
    }

    // Picks server row `i` and waits until the program shows it chosen, so
    // that a click that follows lands in a later frame.
    void choose_server(int i, int rows)
    {
        ASSERT_TRUE(move_mouse(display(), 600, 400));
        if (chosen_server(CanvasShot::take(display()), rows) == i) return;
        // The program draws its own cursor, down and right of the mouse: a
        // click at the lower right of the button leaves its centre in sight
        // (moving the mouse away could fall in the frame that sees the click).
        ASSERT_TRUE(click_canvas(display(), kServerRowX + 6, server_row_y(i) - 5));
        ASSERT_TRUE(eventually([&] { return chosen_server(CanvasShot::take(display()), rows) == i; }))
            << "server row " << i << " was not chosen";
    }

    void wait_shown(Shown want)
    {
        Shown seen = Shown::other;
        ASSERT_TRUE(eventually([&] { return (seen = shown(CanvasShot::take(display()))) == want; }))
            << "waited for " << shown_name(want) << ", the screen shows " << shown_name(seen);
    }

    // INSTALL, then the terms accepted.
    void install_accepting_terms()
    {
        click(kInstall);
        wait_shown(Shown::terms);
        click(kAccept);
    }

    // The status line of the main page (x 154, y 615) shows `text` in `colour`.
    bool status_shows(const std::string& text, Rgb colour)
    {
        return line_shows(150, 900, 609, 626, text, colour);
    }
    // Line 1 of the lower panel (x 144, y 58).
    bool panel_line1_shows(const std::string& text, Rgb colour)
    {
        return line_shows(140, 1015, 58, 68, text, colour);
    }
    bool line_shows(int x0, int x1, int y0, int y1, const std::string& text, Rgb colour)
    {
        const CanvasShot shot = CanvasShot::take(display());
        const auto [first, last] = shot.ink(x0, x1, y0, y1, colour);
        const int width = text_width(text);
        seen_ink_ = "ink of (" + std::to_string(colour.r) + "," + std::to_string(colour.g) + "," +
                    std::to_string(colour.b) + ") from x " + std::to_string(first) + " to " +
                    std::to_string(last) + ", the text is " + std::to_string(width) + " wide";
        // Faint anti-aliased ends (dots, say) may fall outside the tolerance.
        return first >= 0 && first <= x0 + 8 && std::abs((last - first + 1) - width) <= 12;
    }

    void wait_complete()
    {
        ASSERT_TRUE(eventually([&] { return status_shows("INSTALLATION COMPLETE!", text_colour(13)); }, 120))
            << "no completion on the screen: " << seen_ink_;
    }

    void quit_and_expect(int status)
    {
        click(kQuit);
        EXPECT_EQ(app_->wait_exit(30), status);
    }

    // Every listed file of `folder` and nothing else, each with the release's bytes.
    void expect_installed(const std::string& folder, const std::map<std::string, std::string>& want)
    {
        const auto have = tree_md5s(folder);
        for (const auto& [path, md5] : want) {
            const auto it = have.find(path);
            if (it == have.end()) {
                ADD_FAILURE() << path << " is missing in " << folder;
            } else {
                EXPECT_EQ(it->second, md5) << path << " differs in " << folder;
            }
        }
        for (const auto& [path, md5] : have) EXPECT_TRUE(want.count(path)) << path << " should not be in " << folder;
    }

    // An install from `r`, served slowly, into the fresh folder `dest`, with
    // a few files in.
    void start_a_slow_install(const Release& r, const std::string& dest)
    {
        serve(r, "", "  limit_rate 300k;\n");
        start({"-path", dest});
        wait_ready();
        install_accepting_terms();
        ASSERT_TRUE(eventually([&] { return tree_md5s(dest).size() >= 3; })) << "nothing was installed";
    }

    // An install ended midway: `dest` holds some of `r`'s files, each whole.
    void expect_part_installed(const Release& r, const std::string& dest)
    {
        const auto installed = tree_md5s(dest);
        const auto want = expected_md5s(r);
        EXPECT_LT(installed.size(), want.size()) << "the install was over before it was ended";
        for (const auto& [path, md5] : installed) {
            const auto it = want.find(path);
            EXPECT_TRUE(it != want.end() && it->second == md5) << path << " is not whole";
        }
    }

    std::string seen_ink_;  // what the last line check found
    TempDir dir_;
    std::unique_ptr<XvfbServer> xvfb_;
    std::unique_ptr<PrivateTmp> ns_;
    std::unique_ptr<MakerServers> servers_;
    std::unique_ptr<InstallerProcess> app_;
};

const std::vector<ReleaseServer> kOneMirror = {{"m1.mirror.example", "/brennix/", "First mirror"}};

TEST_F(InstallerEndToEnd, FreshInstallIntoANewFolder)
{
    const Release r = sample_release(kOneMirror);
    serve(r);
    start({"-path", dir_ / "fresh/Brennix"});
    wait_ready();
    install_accepting_terms();
    wait_complete();
    const std::string final_folder = dir_ / "fresh/" + kVersion + "/";
    expect_installed(final_folder, expected_md5s(r));
    EXPECT_FALSE(exists(dir_ / "fresh/Brennix"));
    EXPECT_EQ(app_->temp_folder().rfind("/tmp/brennix-installer.", 0), 0u) << app_->temp_folder();
    expect_run_tmp({"directory.txt", "serverlist.txt"});
    EXPECT_TRUE(panel_line1_shows("INSTALLATION COMPLETE!", text_colour(46)));
    quit_and_expect(0);
    expect_no_installer_temp_files();
    EXPECT_TRUE(contains(app_->prefs(), "\n_dest_dir_path " + final_folder + "\n")) << app_->prefs();
    EXPECT_TRUE(contains(app_->log(), "dest_dir_path=")) << app_->log();
}

// HAProxy writes every header name in lower case.
TEST_F(InstallerEndToEnd, FreshInstallThroughHaproxy)
{
    const Release r = sample_release(kOneMirror);
    serve(r, "", "", FrontProxy::haproxy);
    start({"-path", dir_ / "fresh/Brennix"});
    wait_ready();
    install_accepting_terms();
    wait_complete();
    expect_installed(dir_ / "fresh/" + kVersion + "/", expected_md5s(r));
    EXPECT_TRUE(panel_line1_shows("INSTALLATION COMPLETE!", text_colour(46)));
    EXPECT_FALSE(contains(app_->log(), "HTTP Error")) << app_->log();
    quit_and_expect(0);
}

TEST_F(InstallerEndToEnd, UpdateKeepsOneEditedFileAndOverwritesAnother)
{
    const Release r = sample_release(kOneMirror);
    const std::string dest = serve_an_edited_installation(r);
    write_file(dest + "Resources/plugins/settings.cfg", "the user's own settings");
    for (const char* kept : {"Airfoils/naca0012.afl", "Instructions/Manual.txt", "Resources/sounds/s3.wav"})
        set_old_mtime(dest + kept);
    start({"-path", dest});
    wait_ready();
    install_accepting_terms();
    // The files are asked about in the directory's order.
    wait_shown(Shown::question);
    answer_question(kKeep);
    wait_shown(Shown::question);
    click(kOverwrite);
    wait_complete();

    const std::string final_folder = dir_ / "parent/" + kVersion + "/";
    auto want = expected_md5s(r, true);
    want["Airfoils/user_edited.afl"] = md5_of(kUsersWing);
    expect_installed(final_folder, want);
    EXPECT_FALSE(exists(final_folder + "Resources/old_scenery")) << "the emptied folder stays";
    for (const char* kept : {"Airfoils/naca0012.afl", "Instructions/Manual.txt", "Resources/sounds/s3.wav"})
        EXPECT_EQ(mtime_of(final_folder + kept), 1000000000) << kept << " was fetched again";
    quit_and_expect(0);
    const std::string log = app_->log();
    EXPECT_TRUE(contains(log, "File: " + dest + "Airfoils/user_edited.afl")) << log;
    EXPECT_TRUE(contains(log, "File: " + dest + "Resources/plugins/settings.cfg")) << log;
    EXPECT_TRUE(contains(app_->prefs(), "\n_dest_dir_path " + final_folder + "\n")) << app_->prefs();
}

TEST_F(InstallerEndToEnd, TermsDeclinedThenAcceptedAndNotShownAgain)
{
    const Release r = sample_release(kOneMirror);
    const std::string dest = serve_an_edited_installation(r);
    start({"-path", dest});
    wait_ready();

    // Declined: the folders are made and the changed file is asked about all
    // the same, but nothing is fetched.
    click(kInstall);
    wait_shown(Shown::terms);
    click(kDecline);
    wait_shown(Shown::question);
    answer_question(kKeep);
    wait_shown(Shown::main_page);
    EXPECT_TRUE(exists(dest + "Resources/new")) << "the folders were not made";
    EXPECT_FALSE(exists(dest + "Resources/new/panel.png")) << "a file was fetched without the terms";

    // Accepted, then the whole installation cancelled at the question.
    install_accepting_terms();
    wait_shown(Shown::question);
    answer_question(kCancelAll);
    wait_shown(Shown::main_page);
    EXPECT_FALSE(exists(dest + "Resources/new/panel.png"));

    // The third INSTALL goes straight to the question.
    click(kInstall);
    const Shown next = wait_any({Shown::terms, Shown::question});
    ASSERT_EQ(next, Shown::question) << "the terms were shown again: " << shown_name(next);
    answer_question(kKeep);
    wait_complete();
    auto want = expected_md5s(r, true);
    want["Airfoils/user_edited.afl"] = md5_of(kUsersWing);
    expect_installed(dir_ / "parent/" + kVersion + "/", want);
    quit_and_expect(0);
}

TEST_F(InstallerEndToEnd, ProxyTypedIntoThePreferencesWindow)
{
    const Release r = sample_release(kOneMirror);
    serve(r);
    start({"-path", dir_ / "fresh/Brennix/"}, false);
    ASSERT_TRUE(eventually([&] {
        return status_shows("Looking for servers... you need internet for this...", text_colour(46));
    })) << "no status line about looking for servers: " << seen_ink_;
    ASSERT_FALSE(app_->temp_folder().empty());
    EXPECT_FALSE(exists(run_tmp("serverlist.txt")));

    click(kPrefsButton);
    wait_shown(Shown::prefs);
    // The proxy host field takes the keyboard focus by itself; Tab moves on
    // to the port, and Return closes the window.
    ASSERT_TRUE(type_text(display(), "127.0.0.1"));
    ASSERT_TRUE(press_keys(display(), "Tab"));
    ASSERT_TRUE(type_text(display(), std::to_string(servers_->proxy_port())));
    ASSERT_TRUE(press_keys(display(), "Return"));
    wait_shown(Shown::main_page);

    wait_ready();
    install_accepting_terms();
    wait_complete();
    expect_installed(dir_ / "fresh/" + kVersion + "/", expected_md5s(r));
    quit_and_expect(0);
    const std::string prefs = app_->prefs();
    const std::string port = std::to_string(servers_->proxy_port());
    EXPECT_TRUE(contains(prefs, "\n_proxy_host 127.0.0.1\n")) << prefs;
    EXPECT_TRUE(contains(prefs, "\n_proxy_port " + port + "\n")) << prefs;
    EXPECT_TRUE(contains(prefs, "\n_proxy_port_int " + port + "\n")) << prefs;
}

TEST_F(InstallerEndToEnd, OneOfThreeMirrorsFailsHalfItsRequests)
{
    const Release r = sample_release({{"m1.mirror.example", "/brennix/", "First mirror"},
                                      {"m2.mirror.example", "/mirror/brennix/", "Second mirror"},
                                      {"m3.mirror.example", "/brennix/", "Third mirror"}});
    serve(r, "m2.mirror.example");
    start({"-path", dir_ / "fresh/Brennix/"});
    wait_ready();
    // The flaky mirror, chosen by hand: every second request to it gets a
    // 404 or a reset halfway through the body.
    choose_server(1, 3);
    install_accepting_terms();
    wait_complete();
    expect_installed(dir_ / "fresh/" + kVersion + "/", expected_md5s(r));
    EXPECT_GT(servers_->spoiled(), 0) << "the flaky mirror was never asked";
    expect_run_tmp({"directory.txt", "serverlist.txt"});
    quit_and_expect(0);
    expect_no_installer_temp_files();
}

TEST_F(InstallerEndToEnd, AServerListWithoutServers)
{
    serve(sample_release(kOneMirror));
    write_file(servers_->site() + "serverlist.txt", "I\n820 version\nSERVERS\nFINAL Brennix 9.00\nENDOFLIST\n");
    start({"-path", dir_ / "fresh/Brennix/"});
    ASSERT_TRUE(eventually([&] {
        return status_shows("I could not find any servers to get Brennix from!", text_colour(1));
    })) << "no status line about missing servers: " << seen_ink_;
    // INSTALL is not enabled: the click does nothing, and QUIT, queued after
    // it, ends the program from the main page.
    expect_run_tmp({"serverlist.txt"});
    click(kInstall);
    quit_and_expect(0);
    expect_no_installer_temp_files();
    EXPECT_FALSE(exists(dir_ / "fresh"));
}

TEST_F(InstallerEndToEnd, AServerListWhoseServersNoRequestCanTake)
{
    serve(sample_release(kOneMirror));
    // A host that ends in "/", and a path without its leading "/".
    write_file(servers_->site() + "serverlist.txt",
               "I\n820 version\nSERVERS\nFINAL Brennix 9.00\nSERVER m1.mirror.example/\n/brennix/\nFirst\n"
               "SERVER m1.mirror.example\nbrennix/\nSecond\nENDOFLIST\n");
    start({"-path", dir_ / "fresh/Brennix/"});
    wait_shown(Shown::alert);
    click(kAlertOk);
    wait_shown(Shown::main_page);
    ASSERT_TRUE(eventually([&] {
        return status_shows("I could not find any servers to get Brennix from!", text_colour(1));
    })) << "the status line still claims to be checking: " << seen_ink_;
    quit_and_expect(0);
    const std::string log = app_->log();
    const std::string told = "does not name any server that I can reach!";
    const size_t first = log.find(told);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(told, first + 1), std::string::npos) << "told more than once: " << log;
    expect_no_installer_temp_files();
    EXPECT_FALSE(exists(dir_ / "fresh"));
}

TEST_F(InstallerEndToEnd, AServerListOfANewerFormat)
{
    serve(sample_release(kOneMirror));
    write_file(servers_->site() + "serverlist.txt",
               "I\n821 version\nSERVERS\nFINAL Brennix 9.00\nSERVER m1.mirror.example\n/brennix/\nFirst\n"
               "ENDOFLIST\n");
    start({"-path", dir_ / "fresh/Brennix/"});
    wait_shown(Shown::alert);
    click(kAlertOk);
    EXPECT_EQ(app_->wait_exit(30), 0);
    const std::string log = app_->log();
    EXPECT_TRUE(contains(log, "file formats that are newer than I can understand!")) << log;
    EXPECT_TRUE(contains(log, app_->temp_folder() + "serverlist.txt")) << log;
    expect_no_installer_temp_files();
}

// A release large enough, and served slowly enough, to quit in the middle.
Release slow_release()
{
    Release r;
    r.version_name = kVersion;
    r.servers = kOneMirror;
    r.versions.resize(1);
    for (int i = 0; i < 60; ++i) {
        const std::string p = "Resources/set" + std::to_string(i % 6) + "/f" + std::to_string(i) + ".dat";
        r.versions[0][p] = {bytes_for(p, 0, 150000 + 1000 * i), 0};
    }
    return r;
}

TEST_F(InstallerEndToEnd, QuitInTheMiddleOfAnInstall)
{
    const Release r = slow_release();
    const std::string dest = dir_ / "fresh/Brennix/";
    ASSERT_NO_FATAL_FAILURE(start_a_slow_install(r, dest));
    const auto clicked = std::chrono::steady_clock::now();
    click(kQuit);
    EXPECT_EQ(app_->wait_exit(15), 0) << "the program did not end promptly";
    printf("ended %.2f s after QUIT\n",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count());
    expect_part_installed(r, dest);
    expect_no_installer_temp_files();  // the stream archives among them
}

TEST_F(InstallerEndToEnd, AHostileFileDirectory)
{
    Release r = sample_release(kOneMirror);
    r.versions.back()["../outside/evil.txt"] = {"written outside the destination", 0};
    serve(r);
    const std::string dest = dir_ / "dest/Brennix/";
    install_tree(r, 0, dest);
    write_file(dir_ / "dest/outside/keep.txt", "the user's file beside the installation");
    const auto before_dest = tree_md5s(dest);
    const auto before_outside = tree_md5s(dir_ / "dest/");
    start({"-path", dest});
    wait_shown(Shown::alert);
    click(kAlertOk);
    const int status = app_->wait_exit(30);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, -1) << "the program did not end";
    EXPECT_TRUE(contains(app_->log(), "Brennix/../outside/evil.txt")) << app_->log();
    EXPECT_EQ(tree_md5s(dir_ / "dest/"), before_outside);
    EXPECT_EQ(tree_md5s(dest), before_dest);
    expect_no_installer_temp_files();  // a fatal end cleans up too
}

// Files that fill a small file system.
Release bulky_release()
{
    Release r = sample_release(kOneMirror);
    for (int i = 0; i < 16; ++i) {
        const std::string p = "Resources/bulk/b" + std::to_string(i) + ".dat";
        r.versions.back()[p] = {bytes_for(p, 1, 120000), 0};
    }
    return r;
}

TEST_F(InstallerEndToEnd, TheDestinationDiskFillsUp)
{
    const Release r = bulky_release();
    serve(r);
    const std::string small = dir_ / "small/";
    mkdir(small.c_str(), 0755);
    ASSERT_TRUE(ns_->mount_tmpfs(small, 3 << 20)) << "cannot mount a small file system";
    // About one MiB stays free for two MiB of files.
    write_file(ns_->outside(small + "ballast"), std::string(2 << 20, 'x'));
    const std::string dest = small + "Brennix/";
    start({"-path", dest});
    wait_ready();
    install_accepting_terms();
    wait_shown(Shown::alert);  // the files that did not fit
    EXPECT_GE(dismiss_alerts(), 1);
    ASSERT_TRUE(eventually([&] {
        return panel_line1_shows("The installation was not completed because an error occurred.",
                                 text_colour(69));
    })) << "the outcome does not report the error: " << seen_ink_;
    EXPECT_TRUE(contains(app_->log(), "No space left on device")) << app_->log();
    const auto want = expected_md5s(r);
    for (const auto& [path, md5] : tree_md5s(ns_->outside(dest))) {
        const auto it = want.find(path);
        EXPECT_TRUE(it != want.end() && it->second == md5) << path << " passes as whole but is not";
    }
    quit_and_expect(0);
    expect_no_installer_temp_files();

    // Space freed, a second run completes the installation.
    ASSERT_EQ(unlink(ns_->outside(small + "ballast").c_str()), 0);
    start({"-path", dest});
    wait_ready();
    install_accepting_terms();
    wait_complete();
    expect_installed(ns_->outside(small + kVersion + "/"), want);
    quit_and_expect(0);
}

// Names created in one folder, as the kernel reports them: the moment a file
// appears, however briefly it stays.
class CreationWatch {
public:
    explicit CreationWatch(const std::string& folder) : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_CREATE) < 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~CreationWatch()
    {
        if (fd_ >= 0) close(fd_);
    }
    CreationWatch(const CreationWatch&) = delete;
    CreationWatch& operator=(const CreationWatch&) = delete;
    bool ok() const { return fd_ >= 0; }

    // Waits until a name that begins with `prefix` is created; false after `seconds`.
    bool wait_for(const std::string& prefix, double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len > 0 && strncmp(e->name, prefix.c_str(), prefix.size()) == 0) return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p = {fd_, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
    }

private:
    int fd_;
};

// A large file to be killed in the middle of. It is for Linux, so that the
// run that fetches it at last gives the folder the version's name.
Release large_file_release()
{
    Release r;
    r.version_name = kVersion;
    r.servers = kOneMirror;
    r.versions.resize(1);
    for (const auto& [p, n, os] : std::vector<std::tuple<std::string, size_t, int>>{
             {"Instructions/Manual.txt", 40000, 0},
             {"Resources/big/terrain.dat", size_t(60) << 20, 3},
             {"Resources/sounds/engine.wav", 20000, 0}})
        r.versions[0][p] = {bytes_for(p, 0, n), os};
    return r;
}

// Killed (as by a power cut or a logout) while it unpacks a large file, three
// times, then run to the end: the destination holds exactly the release.
TEST_F(InstallerEndToEnd, KilledWhileUnpackingThenRunToTheEnd)
{
    const Release r = large_file_release();
    serve(r);
    const std::string dest = dir_ / "fresh/Brennix/";
    const std::string big = dest + "Resources/big/";
    const auto is_leftover = [](const std::string& name) { return name.rfind(".brx-unzip-", 0) == 0; };
    for (int run = 1; run <= 3; ++run) {
        start({"-path", dest});
        wait_ready();
        click(kInstall);
        wait_shown(Shown::terms);  // the folders are made by now
        CreationWatch watch(big);
        ASSERT_TRUE(watch.ok()) << "cannot watch " << big;
        click(kAccept);
        ASSERT_TRUE(watch.wait_for(".brx-unzip-", 120)) << "the large file was never unpacked";
        app_->kill_now();
        const auto names = list_tree(big);
        EXPECT_EQ(std::count_if(names.begin(), names.end(), is_leftover), run)
            << "run " << run << " left no partial file";
        EXPECT_FALSE(exists(big + "terrain.dat")) << "a partial file passes as whole";
        // Its temporary folder stays behind (the next run removes it).
        const std::string killed = app_->temp_folder();
        EXPECT_EQ(ns_->tmp_files(), std::vector<std::string>{name_in_tmp(killed)});
        EXPECT_TRUE(exists(ns_->outside(killed + "directory.txt")));
    }

    start({"-path", dest});
    wait_ready();
    const std::string last = app_->temp_folder();
    EXPECT_EQ(ns_->tmp_files(), std::vector<std::string>{name_in_tmp(last)})
        << "what the killed runs left is still there";
    install_accepting_terms();
    wait_complete();
    const std::string final_folder = dir_ / "fresh/" + kVersion + "/";
    const auto want = expected_md5s(r);
    expect_installed(final_folder, want);
    for (const std::string& name : list_tree(final_folder))
        EXPECT_TRUE(name.back() == '/' || want.count(name)) << name << " should not be in " << final_folder;
    expect_run_tmp({"directory.txt", "serverlist.txt"});
    quit_and_expect(0);
    expect_no_installer_temp_files();
}

// Several accounts of one machine share its /tmp: root installs into one
// folder and another user into a folder of their own, in both orders. Each
// account's run first leaves the folder of a killed run behind, which the
// other account's run must not touch and its own next run removes; a link
// planted under a name the program's folders take leads nowhere it writes.
TEST_F(InstallerEndToEnd, TwoAccountsShareOneTmp)
{
    TestAccount other;
    if (!other.ok()) GTEST_SKIP() << "a second account is needed: " << other.error();
    const Release r = sample_release(kOneMirror);
    serve(r);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);  // the other account reaches its folders
    const std::string outside = dir_ / "outside/";
    mkdir(outside.c_str(), 0755);
    write_file(outside + ".lock", "");
    write_file(outside + "keep.txt", "not the installer's");
    const auto outside_before = tree_md5s(outside);
    const std::string planted = "brennix-installer.Plant1";
    ASSERT_EQ(symlink(outside.c_str(), ns_->outside("/tmp/" + planted).c_str()), 0);

    const Seat as_root{nullptr, "prog-root/", "home-root/", false};
    const Seat as_other{&other, "prog-other/", "home-other/", false};
    struct Order {
        const Seat* first;
        const Seat* second;
    };
    for (const Order order : {Order{&as_root, &as_other}, Order{&as_other, &as_root}}) {
        const std::string round = order.first == &as_root ? "root-first" : "other-first";
        SCOPED_TRACE(round);
        const auto dest_of = [&](const Seat& seat) {
            const std::string parent = dir_ / (round + "-" + seat.home);
            mkdir(parent.c_str(), 0755);
            if (seat.account) seat.account->give(parent);
            return parent;
        };

        // The second account's run, killed as soon as its folder is made.
        start_as(*order.second, {"-path", dest_of(*order.second) + "Brennix"});
        ASSERT_TRUE(eventually([&] { return exists(run_tmp(".lock")); })) << "no temporary folder";
        app_->kill_now();
        const std::string killed = name_in_tmp(app_->temp_folder());

        for (const Seat* seat : {order.first, order.second}) {
            const std::string parent = dest_of(*seat);
            start_as(*seat, {"-path", parent + "Brennix"});
            wait_ready();
            const std::string own = name_in_tmp(app_->temp_folder());
            std::vector<std::string> during{own, planted};
            if (seat == order.first) during.push_back(killed);  // another account's: kept
            std::sort(during.begin(), during.end());
            EXPECT_EQ(ns_->tmp_files(), during);
            install_accepting_terms();
            wait_complete();
            quit_and_expect(0);
            expect_installed(parent + kVersion + "/", expected_md5s(r));
            std::vector<std::string> after{planted};
            if (seat == order.first) after.push_back(killed);
            std::sort(after.begin(), after.end());
            expect_no_installer_temp_files(after);
        }
    }
    EXPECT_EQ(tree_md5s(outside), outside_before);
}

// Two runs of one user at once, each on a screen of its own, each through
// its own temporary folder.
TEST_F(InstallerEndToEnd, TwoRunsOfOneUserAtOnce)
{
    const Release r = sample_release(kOneMirror);
    serve(r);
    auto second_screen = std::make_unique<XvfbServer>("1280x1024x24");
    ASSERT_TRUE(second_screen->running());
    start({"-path", dir_ / "one/Brennix"});
    auto first_run = std::move(app_);
    std::swap(xvfb_, second_screen);
    start_as(Seat{nullptr, "prog-two/", "", false}, {"-path", dir_ / "two/Brennix"});
    wait_ready();
    // Drives the other run on its screen.
    const auto switch_runs = [&] {
        std::swap(xvfb_, second_screen);
        std::swap(app_, first_run);
    };
    switch_runs();
    wait_ready();
    EXPECT_NE(app_->temp_folder(), first_run->temp_folder());
    EXPECT_EQ(ns_->tmp_files().size(), 2u);
    for (int run = 0; run < 2; ++run, switch_runs()) install_accepting_terms();
    for (int run = 0; run < 2; ++run, switch_runs()) {
        wait_complete();
        expect_run_tmp({"directory.txt", "serverlist.txt"});
    }
    for (int run = 0; run < 2; ++run, switch_runs()) quit_and_expect(0);
    expect_installed(dir_ / "one/" + kVersion + "/", expected_md5s(r));
    expect_installed(dir_ / "two/" + kVersion + "/", expected_md5s(r));
    expect_no_installer_temp_files();
}

// Without HOME the proxy of the command line still holds, and the first
// start's destination is /Brennix/ (left untouched: the case quits there).
TEST_F(InstallerEndToEnd, WithoutHomeTheCommandLineProxyHolds)
{
    serve(sample_release(kOneMirror));
    start_as(Seat{nullptr, "prog/", "", true}, {});
    wait_ready();  // the server list and the directory came through the proxy
    EXPECT_TRUE(contains(app_->log(), "\ndest_dir_path=/Brennix/\n")) << app_->log();
    quit_and_expect(0);
    EXPECT_FALSE(exists(dir_ / "prog/Brennix Installer.prf"));
    expect_no_installer_temp_files();
}

// ---------------------------------------------------------------------------
// The window on a desktop: closed through a real window manager, and clicked
// while the program is busy.

// Under openbox, which closes a window as its close button does: by the
// window's WM_DELETE_WINDOW when the window takes part in it, else by cutting
// the program's connection to the X server.
class InstallerUnderAWindowManager : public InstallerEndToEnd {
protected:
    void SetUp() override
    {
        InstallerEndToEnd::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        wm_ = std::make_unique<WindowManager>(display(), dir_ / "wm/");
        ASSERT_TRUE(wm_->running()) << wm_->error();
    }

    // Closes the window through the window manager; the run ends as QUIT ends
    // it: status 0, this run's destination and proxy saved, the log's closing
    // line, nothing of the installer left in the temporary folder.
    void close_and_expect_a_normal_end(const std::string& dest)
    {
        ASSERT_TRUE(wm_->close_window("Skarvel")) << "the window manager never listed the window";
        ASSERT_EQ(app_->wait_exit(30), 0) << app_->output();
        const std::string prefs = app_->prefs();
        EXPECT_TRUE(contains(prefs, "\n_dest_dir_path " + dest + "\n")) << prefs;
        EXPECT_TRUE(contains(prefs, "\n_proxy_host 127.0.0.1\n")) << prefs;
        EXPECT_TRUE(contains(prefs, "\n_proxy_port_int " + std::to_string(servers_->proxy_port()) + "\n")) << prefs;
        const std::string log = app_->log();
        const std::string closing = "\nClean exit from threads.\n";
        EXPECT_TRUE(log.size() > closing.size() && log.substr(log.size() - closing.size()) == closing) << log;
        expect_no_installer_temp_files();
    }

    std::unique_ptr<WindowManager> wm_;
};

TEST_F(InstallerUnderAWindowManager, ClosedWhileIdle)
{
    serve(sample_release(kOneMirror));
    const std::string dest = dir_ / "fresh/Brennix/";
    start({"-path", dest});
    wait_ready();
    close_and_expect_a_normal_end(dest);
    EXPECT_FALSE(exists(dest)) << "an idle run made the destination";
}

TEST_F(InstallerUnderAWindowManager, ClosedInTheMiddleOfAnInstall)
{
    const Release r = slow_release();
    const std::string dest = dir_ / "fresh/Brennix/";
    ASSERT_NO_FATAL_FAILURE(start_a_slow_install(r, dest));
    close_and_expect_a_normal_end(dest);
    expect_part_installed(r, dest);
}

// The terms closed with the window are neither accepted nor declined: the
// changed file that a declined install still asks about is not asked about.
TEST_F(InstallerUnderAWindowManager, ClosedWhileTheTermsAreOpen)
{
    const Release r = sample_release(kOneMirror);
    const std::string dest = serve_an_edited_installation(r);
    const auto before = tree_md5s(dest);
    start({"-path", dest});
    wait_ready();
    click(kInstall);
    wait_shown(Shown::terms);
    close_and_expect_a_normal_end(dest);
    EXPECT_EQ(tree_md5s(dest), before);
    EXPECT_FALSE(contains(app_->log(), "File: " + dest + "Airfoils/user_edited.afl")) << app_->log();
}

// Whether the process `pid` has the file `path` open.
bool holds_open(pid_t pid, const std::string& path)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
    for (const std::string& fd : list_tree(fds)) {
        char target[4096];
        const ssize_t n = readlink((fds + fd).c_str(), target, sizeof target);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == path) return true;
    }
    return false;
}

// The program reads no input while it sums the destination's files. A click
// made meanwhile acts where it was made, not where the pointer rests by the
// time the program reads it.
TEST_F(InstallerEndToEnd, AClickDuringTheScanActsWhereItWasMade)
{
    const Release r = sample_release(kOneMirror);
    serve(r);
    // How QUIT looks with the pointer off it and on it, learned from a run
    // that reaches no server and so scans nothing.
    const auto quit_looks_like = [&](const CanvasShot& a, const CanvasShot& b) {
        return a.same(b, kQuit[0] - 23, kQuit[0] + 23, kQuit[1] - 9, kQuit[1] + 9);
    };
    ASSERT_TRUE(move_mouse(display(), 600, 400));
    start({"-path", dir_ / "fresh/Brennix/"}, false);
    ASSERT_TRUE(eventually([&] {
        return status_shows("Looking for servers... you need internet for this...", text_colour(46));
    })) << "the main page never showed: " << seen_ink_;
    const CanvasShot away = CanvasShot::take(display());
    ASSERT_TRUE(move_mouse(display(), kQuit[0], kQuit[1]));
    ASSERT_TRUE(eventually([&] { return !quit_looks_like(CanvasShot::take(display()), away); }))
        << "QUIT looks the same under the pointer";
    const CanvasShot hovered = CanvasShot::take(display());
    // With the pointer resting there: xdotool waits long for a move to where
    // the pointer already is.
    ASSERT_TRUE(click_canvas(display(), kQuit[0] + 3, kQuit[1]));
    ASSERT_EQ(app_->wait_exit(30), 0);

    const std::string dest = dir_ / "parent/Brennix/";
    install_tree(r, 0, dest);
    // A listed file of 2 GiB, sparse: summing it takes seconds.
    const std::string big = dest + "Instructions/Manual.txt";
    ASSERT_EQ(truncate(big.c_str(), 2LL << 30), 0);
    ASSERT_TRUE(move_mouse(display(), 600, 300));  // off QUIT, and off the place clicked below
    start({"-path", dest});
    ASSERT_TRUE(eventually([&] { return holds_open(app_->pid(), big) || !app_->running(); }, 120))
        << "the scan never read the large file";
    ASSERT_TRUE(app_->running());
    ASSERT_TRUE(click_canvas(display(), 600, 400));  // nothing there on the main page
    ASSERT_TRUE(move_mouse(display(), kQuit[0], kQuit[1]));
    ASSERT_TRUE(holds_open(app_->pid(), big)) << "the scan was over before the hand: the case shows nothing";

    // Once QUIT shows under the pointer the press has been read; a program
    // that still runs then draws QUIT as before when the pointer leaves it.
    ASSERT_TRUE(eventually([&] { return !app_->running() || quit_looks_like(CanvasShot::take(display()), hovered); },
                           300))
        << "the scan never ended";
    ASSERT_TRUE(move_mouse(display(), 600, 400));
    ASSERT_TRUE(eventually([&] { return !app_->running() || quit_looks_like(CanvasShot::take(display()), away); }));
    ASSERT_TRUE(app_->running()) << "the click during the scan was taken where the pointer rested afterwards, on QUIT";
    // A click on QUIT after the scan still quits.
    quit_and_expect(0);
}

}  // namespace
