// The folder chooser in window 998 on a real folder tree, driven with xdotool
// as a user would: walking down and up, the level drop-down, creating a
// folder, cancelling and selecting. The hand waits for what the window shows
// (the staircase's deepest line) before each next step.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_opensave.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/xtim.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;
using brx_test::TempDir;
using clock_type = std::chrono::steady_clock;

// The user's hand and eyes on window 998: clicks and keys through xdotool,
// pixels read back through a connection of its own.
class Hand {
public:
    Hand(unsigned long window, float wx, float wy)
        : d_(XOpenDisplay(nullptr)), window_(window), wx_(int(wx)), wy_(int(wy))
    {
    }
    ~Hand()
    {
        if (d_) XCloseDisplay(d_);
    }

    void click(int x, int y, int times = 1, int delay_ms = 90)
    {
        run("mousemove --window " + std::to_string(window_) + " " + std::to_string(wx_ + x) +
            " " + std::to_string(767 - wy_ - y) + " click --repeat " + std::to_string(times) +
            " --delay " + std::to_string(delay_ms) + " 1");
    }
    void keys(const std::string& args) { run(args); }

    // Whether any pixel of the window rectangle differs from the pixel at
    // x = `ref_x` of its own row.
    bool ink(int x0, int x1, int y0, int y1, int ref_x)
    {
        for (int y = y0; y <= y1; ++y) {
            const unsigned long ref = pixel(ref_x, y);
            for (int x = x0; x <= x1; ++x)
                if (pixel(x, y) != ref) return true;
        }
        return false;
    }
    // The staircase's line for level k shows a name.
    bool level_shown(int k)
    {
        const int d = k + 1, base = 415 - 10 * d;
        return ink(20 + 10 * d, 20 + 10 * d + 24, base + 2, base + 5, 515);
    }
    // The staircase ends at level k: the folder shown is k levels deep.
    bool depth_is(int k) { return level_shown(k) && !level_shown(k + 1); }

    bool wait(const std::function<bool()>& pred, int seconds = 30)
    {
        const auto until = clock_type::now() + std::chrono::seconds(seconds);
        while (clock_type::now() < until) {
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return false;
    }
    // A double click: two presses in one burst. The window judges each press
    // in a frame of its own, so it takes the second a frame or two after the
    // first, well within a double-click time of frame time however slow the
    // frames are. Repeated when nothing came of it within the whole wait: a
    // double click repeated after one that was only slow (emulated, on a
    // loaded machine) would act twice, a folder deeper or a file chosen.
    bool double_click_until(int x, int y, const std::function<bool()>& pred)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            click(x, y, 2, 0);
            if (wait(pred)) return true;
        }
        return false;
    }
    // Opens the level drop-down and picks the item `rows` rows above the
    // current one.
    bool pick_level(int rows, const std::function<bool()>& pred)
    {
        const int y = 438 + 12 * rows + 3;
        std::vector<unsigned long> before;
        for (int x = 250; x <= 310; ++x) before.push_back(pixel(x, y));
        click(281, 441);
        const bool opened = wait([&] {
            for (int x = 250; x <= 310; ++x)
                if (pixel(x, y) != before[std::size_t(x - 250)]) return true;
            return false;
        });
        if (!opened) return false;
        click(281, y);
        return wait(pred);
    }

    bool ok() const { return d_ != nullptr; }

    unsigned long pixel(int x, int y)
    {
        XImage* img = XGetImage(d_, window_, wx_ + x, 767 - wy_ - y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return ~0ul;
        const unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return p;
    }
private:
    static void run(const std::string& args)
    {
        const std::string command = "xdotool " + args;
        if (system(command.c_str()) != 0) printf("xdotool failed: %s\n", args.c_str());
    }

    Display* d_;
    unsigned long window_;
    int wx_, wy_;
};

// A frame clock 40 ms a frame, however long frames take to draw: the window
// judges double clicks by frame time, and under an emulator a frame takes
// longer than a double-click time.
uint64_t frame_step_clock()
{
    static std::atomic<uint64_t> now{0};
    return now += 40000;
}

// Levels of a folder path below the root, as the staircase counts them.
int deepest_level(const std::string& folder)
{
    path_levels lv;
    BTN_path_levels(folder, long(folder.size()) - 1, nullptr, "/", &lv);
    return int(lv.paths.size()) - 1;
}

class ChooserWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* d : {"alpha beta/", "alpha beta/inner/", "Pipe|name/", "deep/",
                              "deep/mm1/", "deep/mm1/mm2/", "deep/mm1/mm2/mm3/", "locked/",
                              "locked/x/", "Zeta/", "zulu/", ".hidden/", "UPPER/"})
            mkdir((tree / d).c_str(), 0755);
        brx_test::write_file(tree / "file.txt", "x");
        if (symlink((tree / "alpha beta").c_str(), (tree / "link").c_str()) != 0) FAIL();
        chmod((tree / "locked").c_str(), 0);
    }
    void TearDown() override { chmod((tree / "locked").c_str(), 0755); }

    // Runs the chooser from `start` in a child with the framework's window,
    // the hand doing `steps`; the child prints the result, the path and the
    // window current afterwards.
    std::string run_chooser(const std::string& start,
                            const std::function<void(Hand&, int)>& steps)
    {
        const auto r = run_in_child(
            [&] {
                // The hand reads the screen from a thread of its own.
                XInitThreads();
                xer.open(work / "Log.txt");
                brx_test::open_framework_window();
                xtim_set_clock(frame_step_clock);
                // A first press within a double-click time of the start would
                // count as the second of a pair.
                do MACIBM_event_proc();
                while (xtim.act_time < 0.5f);
                float wx = 0, wy = 0;
                MACIBM_centre_wind(561, 474, &wx, &wy);
                const int k = deepest_level(tree.path());
                const unsigned long window = mnw.xwin[0];
                std::thread hand([&] {
                    Hand h(window, wx, wy);
                    if (!h.ok() || !h.wait([&] { return h.depth_is(k); })) {
                        printf("never shown\n");
                    } else {
                        steps(h, k);
                    }
                    fflush(stdout);
                });
                char out[strDIM];
                strcpy(out, "untouched");
                const int got = GetFilePathFromUser(2, "Pick", "Update", 1, start.c_str(), out);
                hand.join();
                printf("result=%d path=%s wind=%d\n", got, out, mnw.wind);
                fflush(stdout);
                xer.close();
            },
            work.path());
        EXPECT_EQ(r.exit_code, 0) << r.out;
        return r.out;
    }

    TempDir tree, work;
};

// Steps that fail say so and cancel, so the chooser always ends.
#define STEP(cond)                                      \
    if (!(cond)) {                                      \
        printf("step failed: %s\n", #cond);             \
        h.click(35, 28);                                \
        return;                                         \
    }

TEST_F(ChooserWindow, WalkDownAndUpCreateAndSelect)
{
    // Listed: alpha beta, deep, link, locked, Pipe|name, UPPER, Zeta, zulu;
    // "Pipe|name" (4) on the middle row at y 180, each row 10 apart.
    std::string start = tree.path();
    start.pop_back();
    const std::string made = tree / "deep/mm1/new one";
    const std::string out = run_chooser(start, [&](Hand& h, int k) {
        // A folder named with "|" opens and shows in the drop-down.
        STEP(h.double_click_until(100, 180, [&] { return h.depth_is(k + 1); }));
        // Back up through the drop-down: the item a row above the current.
        STEP(h.pick_level(1, [&] { return h.depth_is(k); }));
        // After the pick nothing holds the keys, so the name field takes
        // them; Tab hands them to the list, whose selection is still the
        // first entry. Keys rather than clicks: a click too soon after the
        // last would count as a double click.
        h.keys("key Tab Down Return");
        STEP(h.wait([&] { return h.depth_is(k + 1); }));
        h.keys("key Return");
        STEP(h.wait([&] { return h.depth_is(k + 2); }));
        h.keys("key Return");
        STEP(h.wait([&] { return h.depth_is(k + 3); }));
        // Up one level through the drop-down, the only way up.
        STEP(h.pick_level(1, [&] { return h.depth_is(k + 2); }));
        // A new folder named in the name field.
        h.click(100, 52);
        h.keys("type --delay 40 'new one'");
        h.click(430, 28);
        STEP(h.wait([&] { return brx_test::exists(made); }));
        // Up two levels through the drop-down, down the list to the link
        // (the selection still on the first entry), and select.
        STEP(h.pick_level(2, [&] { return h.depth_is(k); }));
        h.keys("key Tab Down Down Return");
        STEP(h.wait([&] { return h.depth_is(k + 1); }));
        h.click(510, 28);
    });
    EXPECT_EQ(out, "result=1 path=" + tree.path() + "link/ wind=0\n");
    EXPECT_TRUE(brx_test::exists(made));
}

TEST_F(ChooserWindow, CancelLeavesTheBufferAndAnUnreadableFolderListsNothing)
{
    const std::string out = run_chooser(tree.path(), [&](Hand& h, int k) {
        (void)k;
        h.click(35, 28);
    });
    EXPECT_EQ(out, "result=0 path=untouched wind=0\n");

    const std::string locked = run_chooser(tree.path(), [&](Hand& h, int k) {
        STEP(h.double_click_until(100, 190, [&] { return h.depth_is(k + 1); }));
        h.click(510, 28);
    });
    EXPECT_EQ(locked, "result=1 path=" + tree.path() + "locked/ wind=0\n");
}

TEST(PathFieldWindow, TheButtonOpensTheChooserAtTheRoot)
{
    TempDir work;
    const auto r = run_in_child(
        [&] {
            XInitThreads();
            xer.open(work / "Log.txt");
            brx_test::open_framework_window();
            do MACIBM_event_proc();
            while (xtim.act_time < 0.5f);
            float wx = 0, wy = 0, px = 0, py = 0;
            MACIBM_centre_wind(561, 474, &wx, &wy);
            MACIBM_centre_wind(600, 380, &px, &py);
            const unsigned long window = mnw.xwin[0];
            MACIBM_startwind(wind_prefs);
            std::thread hand([&] {
                Hand field(window, px, py), chooser(window, wx, wy);
                const unsigned long before = chooser.pixel(510, 28);
                // The button sits left of the field at (200, 150).
                field.click(183, 152);
                if (!chooser.wait([&] { return chooser.pixel(510, 28) != before; }))
                    printf("chooser never shown\n");
                chooser.click(510, 28);
            });
            std::string path = "/somewhere/else/";
            int got = 0;
            const float until = xtim.act_time + 60;
            while (!got && xtim.act_time < until) {
                OGL_plot_back_col();
                BTN_fillwin(1, 1);
                got = BTN_select_path_stl(200, 150, wind_open, 0, &path, 100, "Folder:", 200, 0);
                MACIBM_event_proc();
            }
            hand.join();
            printf("got=%d path=%s wind=%d\n", got, path.c_str(), mnw.wind);
            fflush(stdout);
            xer.close();
        },
        work.path());
    EXPECT_EQ(r.out, "got=1 path=/ wind=2\n");
}

// The open dialog below the framework's root: in by double click, up by
// Backspace, a file chosen by double click; Escape leaves the path alone.
TEST(OpenDialogWindow, WalksWithTheMouseAndBackspace)
{
    TempDir root, work;
    for (const char* d : {"Aircraft/", "Aircraft/sub/", "Output/"})
        mkdir((root / d).c_str(), 0755);
    brx_test::write_file(root / "z.acf", "x");
    brx_test::write_file(root / "Aircraft/b.acf", "x");
    for (const bool escape : {false, true}) {
        const auto r = run_in_child(
            [&] {
                XInitThreads();
                xer.open(work / "Log.txt");
                brx_test::open_framework_window();
                xtim_set_clock(frame_step_clock);
                do MACIBM_event_proc();
                while (xtim.act_time < 0.5f);
                app_path = root.path();
                float wx = 0, wy = 0;
                MACIBM_centre_wind(561, 474, &wx, &wy);
                const unsigned long window = mnw.xwin[0];
                std::atomic<bool> ended{false};
                std::thread hand([&] {
                    Hand h(window, wx, wy);
                    // Folders are drawn one a line from the first; the root shows none.
                    auto in_folder = [&] { return h.level_shown(0) && !h.level_shown(1); };
                    auto at_root = [&] { return !h.level_shown(0); };
                    // Listed: Aircraft, Output, z.acf; "Output" on the middle row.
                    auto shown = [&] { return h.ink(260, 300, 18, 18, 540); };
                    // A step that fails says so and cancels, so the dialog always ends.
                    auto step = [&](bool ok, const char* what) {
                        if (!ok) {
                            printf("%s\n", what);
                            h.keys("key Escape");
                        }
                        return ok;
                    };
                    if (!step(h.wait(shown), "never shown")) {
                    } else if (escape) {
                        h.keys("key Escape");
                    } else if (step(h.double_click_until(100, 190, in_folder), "not entered")) {
                        h.keys("key BackSpace");
                        if (step(h.wait(at_root), "not up") &&
                            step(h.double_click_until(100, 190, in_folder), "not entered again")) {
                            // In Aircraft: b.acf, sub; the middle row still 1. The
                            // dialog ends with the file chosen.
                            step(h.double_click_until(100, 190, [&] { return ended.load(); }), "not chosen");
                        }
                    }
                    fflush(stdout);
                });
                std::string path = "before";
                const int got = BTN_opensave(wind_open, 3, &path);
                ended = true;
                hand.join();
                printf("got=%d path=%s wind=%d\n", got, path.c_str(), mnw.wind);
                fflush(stdout);
                xer.close();
            },
            work.path());
        EXPECT_EQ(r.out, escape ? "got=0 path=before wind=0\n" : "got=1 path=Aircraft/b.acf wind=0\n");
    }
}

}  // namespace
