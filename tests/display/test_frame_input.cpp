// The frame pump, X11 input, the start-up screen and the shut-down on a real
// window of the private X server.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <time.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp.h"
#include "images/builtin_images.h"
#include "support/framework_window.h"
#include "support/test_util.h"

namespace {

using brx_test::open_framework_window;
using brx_test::ChildResult;
using brx_test::run_in_child;

// Handles everything the server has sent so far.
void settle()
{
    XSync(mnw.display, False);
    XEvent e;
    while (XCheckIfEvent(mnw.display, &e, LIN_handlewin, nullptr)) LIN_handleevt(&e);
}

// What the window shows at GL pixel (x, y) (rows from the bottom).
unsigned long shown_pixel(XImage* img, int x, int y) { return XGetPixel(img, x, 767 - y); }

// The columns of the band of GL rows y0..y1 that the window shows in another
// colour than at (bx, by).
void print_extent(int x0, int x1, int y0, int y1, int bx, int by)
{
    glFinish();
    XSync(mnw.display, False);
    XImage* img = XGetImage(mnw.display, mnw.xwin[0], 0, 0, 1024, 768, AllPlanes, ZPixmap);
    if (!img) {
        printf("no image\n");
        return;
    }
    const unsigned long back = shown_pixel(img, bx, by);
    int first = -1, last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (shown_pixel(img, x, y) == back) continue;
            if (first < 0 || x < first) first = x;
            if (x > last) last = x;
        }
    XDestroyImage(img);
    printf("%d %d\n", first, last);
}

// GL row y as the window shows it.
std::vector<unsigned long> shown_row(int y)
{
    glFinish();
    XSync(mnw.display, False);
    std::vector<unsigned long> row(1024);
    XImage* img = XGetImage(mnw.display, mnw.xwin[0], 0, 767 - y, 1024, 1, AllPlanes, ZPixmap);
    if (!img) return row;
    for (int x = 0; x < 1024; ++x) row[static_cast<std::size_t>(x)] = XGetPixel(img, x, 0);
    XDestroyImage(img);
    return row;
}

TEST(StartupScreen, ShowsEachMessageAndTheBarShare)
{
    const ChildResult r = run_in_child([] {
        open_framework_window();
        MACIBM_show_init("Will init plugins.", nullptr);
        print_extent(20, 320, 56, 68, 300, 100);  // the message
        float half = 0.5f;
        MACIBM_show_init("Starting application.", &half);
        print_extent(20, 320, 56, 68, 300, 100);
        print_extent(0, 1023, 15, 15, 1020, 15);  // trough and fill of the bar
        // Where the half-filled bar differs from the smallest fill.
        const std::vector<unsigned long> half_row = shown_row(15);
        float smallest = 0;
        MACIBM_show_init("Starting application.", &smallest);
        const std::vector<unsigned long> small_row = shown_row(15);
        int first = -1, last = -1;
        for (int x = 0; x < 1024; ++x) {
            if (half_row[static_cast<std::size_t>(x)] == small_row[static_cast<std::size_t>(x)])
                continue;
            if (first < 0) first = x;
            last = x;
        }
        printf("%d %d\n", first, last);
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    int a0, a1, b0, b1, t0, t1, f0, f1;
    ASSERT_EQ(sscanf(r.out.c_str(), "%d %d\n%d %d\n%d %d\n%d %d", &a0, &a1, &b0, &b1, &t0, &t1,
                     &f0, &f1),
              8)
        << r.out;
    EXPECT_EQ(a0, 22);
    EXPECT_NEAR(a1 - a0 + 1, OGL_string_width("Will init plugins."), 2);
    EXPECT_EQ(b0, 22);
    EXPECT_NEAR(b1 - b0 + 1, OGL_string_width("Starting application."), 2);
    EXPECT_NEAR(t0, 8, 2);
    EXPECT_NEAR(t1, 1015, 2);
    // The smallest fill ends at 8 + 20.16, the half fill at 8 + 504.
    EXPECT_NEAR(f0, 28, 12);
    EXPECT_NEAR(f1, 512, 3);
}

TEST(StartupScreen, NothingBeforeTheFirstSubWindow)
{
    const ChildResult r = run_in_child([] {
        mnw.req_w = 1024;
        mnw.req_h = 768;
        MACIBM_setres(1);
        MACIBM_make_context(0);
        OGL_pix_specs(0);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glXSwapBuffers(mnw.display, mnw.xwin[0]);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        MACIBM_show_init("Will init plugins.", nullptr);  // plot_init_lights is 0
        glFinish();
        XSync(mnw.display, False);
        XImage* img = XGetImage(mnw.display, mnw.xwin[0], 500, 200, 1, 1, AllPlanes, ZPixmap);
        printf("%06lx\n", img ? XGetPixel(img, 0, 0) : 0ul);
        if (img) XDestroyImage(img);
    });
    EXPECT_EQ(r.out, "ff0000\n");
}

// An idle frame sleeps on the X connection: 16 ms on a page, 160 ms in the
// alert window, and the process stays mostly idle meanwhile.
TEST(FramePacing, IdleFramesWaitOnTheConnection)
{
    const ChildResult r = run_in_child([] {
        open_framework_window();
        stg.use_max_cpu = 0;
        for (int i = 0; i < 5; ++i) MACIBM_event_proc();
        settle();

        auto run = [](int frames) {
            timespec w0, c0, w1, c1;
            clock_gettime(CLOCK_MONOTONIC, &w0);
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
            for (int i = 0; i < frames; ++i) MACIBM_event_proc();
            clock_gettime(CLOCK_MONOTONIC, &w1);
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
            const double wall = (w1.tv_sec - w0.tv_sec) + (w1.tv_nsec - w0.tv_nsec) * 1e-9;
            const double cpu = (c1.tv_sec - c0.tv_sec) + (c1.tv_nsec - c0.tv_nsec) * 1e-9;
            printf("%.4f %.4f\n", wall, cpu);
        };
        run(20);
        MACIBM_startwind(wind_alert);
        run(3);
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    double page_wall, page_cpu, alert_wall, alert_cpu;
    ASSERT_EQ(sscanf(r.out.c_str(), "%lf %lf\n%lf %lf", &page_wall, &page_cpu, &alert_wall,
                     &alert_cpu),
              4)
        << r.out;
    EXPECT_GE(page_wall, 20 * 0.016);
    EXPECT_LT(page_cpu, page_wall * 0.5);
    EXPECT_GE(alert_wall, 3 * 0.160);
    EXPECT_LT(alert_cpu, alert_wall * 0.5);
}

// A press is placed in the sub-window current when it is handled: right after
// a sub-window opened, relative to the new one, though the pointer has not
// moved since.
TEST(X11Input, PressIsPlacedInTheSubWindowCurrentWhenHandled)
{
    const ChildResult r = run_in_child([] {
        open_framework_window();
        MACIBM_event_proc();
        XWarpPointer(mnw.display, None, mnw.xwin[0], 0, 0, 0, 0, 300, 768 - 250);
        settle();
        printf("main %.0f %.0f\n", mnw.mouse_x, mnw.mouse_y);
        MACIBM_startwind(wind_eula);  // origin (262, 234)
        fflush(stdout);
        if (system("xdotool click 1") != 0) printf("xdotool failed\n");
        settle();
        printf("dialog %.0f %.0f clicked=%d\n", mnw.mouse_x, mnw.mouse_y, mnw.clicked);
    });
    EXPECT_EQ(r.out, "main 300 250\ndialog 38 16 clicked=1\n");
}

// What a hand does while the program reads no input arrives as one burst:
// each press is judged in a frame of its own, at the place it was made.
TEST(X11Input, EachPressOfABurstIsJudgedWhereItWasMade)
{
    const ChildResult r = run_in_child([] {
        open_framework_window();
        MACIBM_event_proc();
        const std::string window = std::to_string(mnw.xwin[0]);
        const auto at = [&](int x, int y) {  // canvas point, y upwards
            return "mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(768 - y);
        };
        const struct {
            const char* what;
            std::string hand;
        } bursts[] = {
            {"press on A, then a move to B", at(300, 400) + " click 1 " + at(700, 400)},
            {"a click on A, then one on B", at(300, 400) + " click 1 " + at(700, 400) + " click 1"},
        };
        for (const auto& b : bursts) {
            // No frame runs meanwhile: the burst waits in the queue whole.
            if (system(("xdotool " + b.hand).c_str()) != 0) printf("xdotool failed\n");
            XSync(mnw.display, False);
            int a = 0, other = 0;
            for (int frame = 0; frame < 6; ++frame) {
                MACIBM_event_proc();
                a += BTN_action(300, 400, 80, 0, 0, "A", "-");
                other += BTN_action(700, 400, 80, 0, 0, "B", "-");
            }
            printf("%s: A %d, B %d\n", b.what, a, other);
        }
    });
    EXPECT_EQ(r.out,
              "press on A, then a move to B: A 1, B 0\n"
              "a click on A, then one on B: A 1, B 1\n");
}

// The window takes part in the window manager's WM_DELETE_WINDOW; a client
// message carrying it is a close request, any other is ignored unreported.
TEST(X11Input, TheCloseRequestAmongClientMessages)
{
    const ChildResult r = run_in_child([] {
        open_framework_window();
        Display* d = mnw.display;
        const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
        const Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
        Atom* taken = nullptr;
        int count = 0;
        bool takes_delete = false;
        if (XGetWMProtocols(d, mnw.xwin[0], &taken, &count)) {
            for (int i = 0; i < count; ++i) takes_delete |= taken[i] == del;
            XFree(taken);
        }
        printf("protocols %d, WM_DELETE_WINDOW %d\n", count, takes_delete ? 1 : 0);

        const auto send = [&](const char* what, Atom type, int format, Atom first) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = mnw.xwin[0];
            e.xclient.message_type = type;
            e.xclient.format = format;
            e.xclient.data.l[0] = static_cast<long>(first);
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(d, mnw.xwin[0], False, NoEventMask, &e);
            settle();
            printf("%s: close %d\n", what, mnw.close_requested);
            fflush(stdout);
        };
        send("another protocol", protocols, 32, XInternAtom(d, "WM_TAKE_FOCUS", False));
        send("another message", XInternAtom(d, "_NET_WM_STATE", False), 32, del);
        send("bytes", protocols, 8, del);
        send("WM_DELETE_WINDOW", protocols, 32, del);
    });
    EXPECT_EQ(r.out,
              "protocols 1, WM_DELETE_WINDOW 1\n"
              "another protocol: close 0\n"
              "another message: close 0\n"
              "bytes: close 0\n"
              "WM_DELETE_WINDOW: close 1\n");
}

TEST(X11Input, KeyEventsThroughTheServersKeymap)
{
    const ChildResult r = run_in_child([] {
        mnw.display = XOpenDisplay(nullptr);
        MACIBM_clear_menus(1);
        MACIBM_startwind(wind_main);
        auto key = [](int type, KeySym sym, unsigned state) {
            XEvent e{};
            e.xkey.type = type;
            e.xkey.display = mnw.display;
            e.xkey.keycode = XKeysymToKeycode(mnw.display, sym);
            e.xkey.state = state;
            LIN_handleevt(&e);
            printf("hit=%d down=%d shift=%d ctrl=%d typed=%d ret=%d last=%d/%d\n", mnw.key_hit,
                   mnw.key_down, linkey_shft, linkey_ctrl, mnw.typed_char, return_hit,
                   keys.last_vkey, keys.last_flags);
            mnw.key_hit = 0;
        };
        key(KeyPress, XK_Shift_L, 0);
        key(KeyPress, XK_a, ShiftMask);
        key(KeyRelease, XK_a, ShiftMask);
        key(KeyRelease, XK_Shift_L, ShiftMask);
        key(KeyPress, XK_Control_R, 0);
        key(KeyPress, XK_Return, ControlMask);
        key(KeyRelease, XK_Control_R, ControlMask);
        key(KeyPress, XK_Super_L, 0);  // dropped
        key(KeyRelease, XK_Super_L, 0);  // passed on

        // A keycode without a keysym is reported and dropped.
        int min = 0, max = 0;
        XDisplayKeycodes(mnw.display, &min, &max);
        for (int code = min; code <= max; ++code) {
            if (XkbKeycodeToKeysym(mnw.display, static_cast<KeyCode>(code), 0, 0) != NoSymbol)
                continue;
            XEvent e{};
            e.xkey.type = KeyPress;
            e.xkey.display = mnw.display;
            e.xkey.keycode = static_cast<unsigned>(code);
            LIN_handleevt(&e);
            printf("no keysym: hit=%d\n", mnw.key_hit);
            break;
        }
    });
    EXPECT_EQ(r.out,
              "hit=0 down=0 shift=1 ctrl=0 typed=0 ret=0 last=0/0\n"
              "hit=1 down=1 shift=1 ctrl=0 typed=65 ret=0 last=65/1\n"
              "hit=0 down=0 shift=1 ctrl=0 typed=65 ret=0 last=65/1\n"
              "hit=0 down=0 shift=0 ctrl=0 typed=65 ret=0 last=65/1\n"
              "hit=0 down=0 shift=0 ctrl=1 typed=65 ret=0 last=65/1\n"
              "hit=1 down=1 shift=0 ctrl=1 typed=13 ret=1 last=13/4\n"
              "hit=0 down=1 shift=0 ctrl=0 typed=13 ret=1 last=13/4\n"
              "hit=0 down=1 shift=0 ctrl=0 typed=13 ret=1 last=13/4\n"
              "hit=0 down=0 shift=0 ctrl=0 typed=13 ret=1 last=0/0\n"
              "LINUX: Warning: X11 gave us a key press with no keysym string! This isn't so "
              "good. Verify the mapping of whatever key you just hit.\n"
              "no keysym: hit=0\n");
}

// The alert window on the main thread, answered with Return by a hand on the
// keyboard once the window is up.
void alert_answered_with_return(int return_window, int type)
{
    brx_test::open_framework_window();
    stls.entry[602] = "OK";
    MACIBM_event_proc();
    XWarpPointer(mnw.display, None, mnw.xwin[0], 0, 0, 0, 0, 500, 400);
    settle();
    std::thread hand([] {
        if (!brx_test::wait_for_window(wind_alert)) {
            printf("the alert window did not come up\n");
            fflush(stdout);
            _exit(3);
        }
        if (system("xdotool key Return") != 0) printf("xdotool failed\n");
    });
    hand.detach();
    __MACIBM_alert(return_window, "Press", "Return", "", "", type, "GenC/test", 5);
}

TEST(AlertWindow, ReturnAcceptsAndIsUsedUp)
{
    brx_test::TempDir dir;
    const ChildResult r = run_in_child(
        [] {
            alert_answered_with_return(wind_prefs, t_alert);
            printf("wind=%d return_hit=%d mouse=%.0f,%.0f\n", mnw.wind, return_hit, mnw.mouse_x,
                   mnw.mouse_y);
        },
        dir.path());
    // The return window is current and the mouse is where it was on the page.
    EXPECT_EQ(r.out, "wind=2 return_hit=0 mouse=500,368\n");
}

TEST(AlertWindow, FatalAlertEndsAfterItsButton)
{
    brx_test::TempDir dir;
    const ChildResult r = run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            alert_answered_with_return(wind_main, t_exit);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "");  // shown in the window, not on the console
    const std::string log = brx_test::read_file(dir / "Log.txt");
    EXPECT_NE(log.find("\nPress\nReturn\n\n\n(GenC/test line 5)\n"), std::string::npos) << log;
}

// A fatal alert after the display opened but before the window exists gives
// back what exists and aborts.
TEST(Shutdown, FatalAlertWithADisplayButNoWindow)
{
    brx_test::TempDir dir;
    const ChildResult r = run_in_child(
        [] {
            mnw.display = XOpenDisplay(nullptr);
            __MACIBM_alert(0, "early", "", "", "", t_exit, "GenC/hl_init", 1);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "Skarvel Error:\nearly\n\n\n\n\n\n\n\nSorry.\n");
}

}  // namespace
