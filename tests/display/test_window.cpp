// The main window and its GL context on private X servers of several sizes:
// names, hints and EWMH properties as a window manager sees them (xprop,
// xwininfo), the full-screen request, the shut-down size, the stops without a
// display or GLX, and worker loader contexts sharing the main context.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "Thread/hl_thread.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using brx_test::ChildResult;
using brx_test::run_in_child;
using brx_test::XvfbServer;

// What start-up asks for before the window exists.
void request_window()
{
    mnw.req_w = 1024;
    mnw.req_h = 768;
    mnw.col_res_req = 32;
    mnw.alias_req = 0;
}

void describe_window(Window win)
{
    XSync(mnw.display, False);
    char cmd[128];
    snprintf(cmd, sizeof cmd, "xprop -id 0x%lx; xwininfo -id 0x%lx", win, win);
    fflush(stdout);
    if (system(cmd) != 0) printf("describe failed\n");
    fflush(stdout);
}

// Opens the window on `display` in a child; prints what xprop and xwininfo
// say of it, the client message seen on the root window and, with
// `shut_down`, the same after the shut-down size step.
ChildResult open_window_on(const std::string& display, bool shut_down)
{
    return run_in_child([&] {
        setenv("DISPLAY", display.c_str(), 1);
        request_window();
        // A second connection watches the root window like a window manager
        // would, without redirecting the map request.
        Display* watcher = XOpenDisplay(nullptr);
        const Window root = DefaultRootWindow(watcher);
        XSelectInput(watcher, root, SubstructureNotifyMask);
        XSync(watcher, False);

        MACIBM_setres(1);
        MACIBM_make_context(0);
        XSync(mnw.display, False);
        XSync(watcher, False);
        const Atom state = XInternAtom(watcher, "_NET_WM_STATE", False);
        const Atom full = XInternAtom(watcher, "_NET_WM_STATE_FULLSCREEN", False);
        while (XPending(watcher)) {
            XEvent ev;
            XNextEvent(watcher, &ev);
            if (ev.type == ClientMessage && ev.xclient.message_type == state)
                printf("CLIENT_MESSAGE window=%d action=%ld property=%d\n",
                       ev.xclient.window == mnw.xwin[0], ev.xclient.data.l[0],
                       static_cast<Atom>(ev.xclient.data.l[1]) == full);
        }
        describe_window(mnw.xwin[0]);
        if (shut_down) {
            printf("SHUTDOWN\n");
            MACIBM_setres(0);
            describe_window(mnw.xwin[0]);
            MACIBM_nuke_context(0);
        }
    });
}

std::string after(const std::string& text, const std::string& marker)
{
    const auto at = text.find(marker);
    return at == std::string::npos ? std::string() : text.substr(at);
}

TEST(MainWindow, NamedSizedAndPinnedAsTheWindowManagerSeesIt)
{
    XvfbServer server("1024x768x24");
    ASSERT_TRUE(server.running());
    brx_test::ScopedEnv startup("DESKTOP_STARTUP_ID", "brennix-test_TIME42");
    const ChildResult r = open_window_on(server.display(), false);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string& o = r.out;
    EXPECT_TRUE(brx_test::contains(o, "WM_NAME(STRING) = \"Skarvel\"")) << o;
    EXPECT_TRUE(brx_test::contains(o, "WM_CLASS(STRING) = \"main_window\", \"Brennix\""));
    EXPECT_TRUE(brx_test::contains(o, "program specified minimum size: 1024 by 768"));
    EXPECT_TRUE(brx_test::contains(o, "program specified maximum size: 1024 by 768"));
    EXPECT_TRUE(brx_test::contains(o, "window gravity: Center"));
    EXPECT_TRUE(brx_test::contains(o, "_NET_WM_NAME(UTF8_STRING) = \"Skarvel\""));
    EXPECT_TRUE(brx_test::contains(o, "_NET_STARTUP_ID(UTF8_STRING) = \"brennix-test_TIME42\""));
    EXPECT_TRUE(brx_test::contains(o, "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL"));
    EXPECT_TRUE(brx_test::contains(o,
                    "_NET_WM_ALLOWED_ACTIONS(ATOM) = _NET_WM_ACTION_CLOSE, "
                    "_NET_WM_ACTION_FULLSCREEN, _NET_WM_ACTION_MOVE"));
    // A 1024 by 768 screen: the window asks for full screen.
    EXPECT_TRUE(brx_test::contains(o, "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN"));
    EXPECT_TRUE(brx_test::contains(o, "CLIENT_MESSAGE window=1 action=1 property=1"));
    EXPECT_TRUE(brx_test::contains(o, "Width: 1024"));
    EXPECT_TRUE(brx_test::contains(o, "Height: 768"));
    EXPECT_TRUE(brx_test::contains(o, "Map State: IsViewable"));
}

TEST(MainWindow, FullScreenAndShutDownSizeDependOnTheScreen)
{
    const struct {
        const char* screen;
        bool full_at_start;
        const char* shut_down_line;  // null: shut-down leaves the window alone
    } cases[] = {
        {"1920x1080x24", false, nullptr},
        {"1024x600x24", true, "1024 vs 1024 X 600 vs 768"},
        {"800x600x24", false, "800 vs 1024 X 600 vs 768"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        XvfbServer server(c.screen);
        ASSERT_TRUE(server.running());
        brx_test::ScopedEnv no_startup("DESKTOP_STARTUP_ID", nullptr);
        const ChildResult r = open_window_on(server.display(), true);
        ASSERT_EQ(r.exit_code, 0) << r.out;
        const std::string start = r.out.substr(0, r.out.find("SHUTDOWN"));
        const std::string end = after(r.out, "SHUTDOWN");
        EXPECT_FALSE(brx_test::contains(r.out, "_NET_STARTUP_ID"));
        EXPECT_TRUE(brx_test::contains(start, "Width: 1024")) << start;
        EXPECT_TRUE(brx_test::contains(start, "Height: 768"));
        EXPECT_EQ(brx_test::contains(start, "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN"), c.full_at_start);
        EXPECT_TRUE(brx_test::contains(start, c.full_at_start ? "CLIENT_MESSAGE window=1 action=1 property=1"
                                               : "CLIENT_MESSAGE window=1 action=0 property=1"));
        if (c.shut_down_line) {
            EXPECT_TRUE(brx_test::contains(end, c.shut_down_line)) << end;
            EXPECT_FALSE(brx_test::contains(end, "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN")) << end;
            EXPECT_TRUE(brx_test::contains(end, "program specified maximum size: 1024 by 768"));
            EXPECT_TRUE(brx_test::contains(end, "Width: 1024"));
        } else {
            EXPECT_FALSE(brx_test::contains(r.out, " vs ")) << r.out;
        }
    }
}

TEST(MainWindow, StopsWithMessageAndStatusOneWithoutDisplayOrGlx)
{
    XvfbServer no_glx("1024x768x24", false);
    ASSERT_TRUE(no_glx.running());
    const struct {
        const char* display;  // null: DISPLAY unset
        const char* message;
    } cases[] = {
        {no_glx.display().c_str(),
         "Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's "
         "seriously wonky on your machine.\n"},
        {":4242", "I could not open the X display \":4242\""},
        {nullptr, "I could not open the X display: DISPLAY is not set.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display ? c.display : "unset");
        const ChildResult r = run_in_child([&] {
            if (c.display)
                setenv("DISPLAY", c.display, 1);
            else
                unsetenv("DISPLAY");
            request_window();
            MACIBM_setres(1);
            MACIBM_make_context(0);
            printf("NOT REACHED\n");
        });
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(brx_test::contains(r.out, c.message)) << r.out;
        EXPECT_FALSE(brx_test::contains(r.out, "NOT REACHED"));
    }
}

TEST(MainWindow, ContextIsCurrentWithTheInitialStateAndDrawsIntoTheWindow)
{
    const ChildResult r = run_in_child([] {
        request_window();
        MACIBM_setres(1);
        MACIBM_make_context(0);
        GLint v[4] = {};
        printf("current=%d\n", glXGetCurrentContext() == mnw.glx_ctx[0]);
        glGetIntegerv(GL_SAMPLE_BUFFERS, v);
        printf("cull=%d dither=%d material=%d sample_buffers=%d scissor=%d blend=%d\n",
               glIsEnabled(GL_CULL_FACE), glIsEnabled(GL_DITHER), glIsEnabled(GL_COLOR_MATERIAL),
               v[0], glIsEnabled(GL_SCISSOR_TEST), glIsEnabled(GL_BLEND));
        glGetIntegerv(GL_FRONT_FACE, v);
        printf("front=%s\n", v[0] == GL_CW ? "cw" : "ccw");
        glGetIntegerv(GL_DEPTH_WRITEMASK, v);
        printf("depthmask=%d\n", v[0]);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, v);
        printf("unpack=%d\n", v[0]);
        glGetIntegerv(GL_BLEND_SRC, v);
        glGetIntegerv(GL_BLEND_DST, v + 1);
        glGetIntegerv(GL_DEPTH_FUNC, v + 2);
        glGetIntegerv(GL_ALPHA_TEST_FUNC, v + 3);
        printf("blend=%d depth=%d alpha=%d\n",
               v[0] == GL_SRC_ALPHA && v[1] == GL_ONE_MINUS_SRC_ALPHA, v[2] == GL_LEQUAL,
               v[3] == GL_GREATER);
        printf("error=0x%x\n", glGetError());

        // A frame cleared to one colour must show in the window's pixels.
        glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glXSwapBuffers(mnw.display, mnw.xwin[0]);
        glFinish();
        XSync(mnw.display, False);
        char cmd[160];
        snprintf(cmd, sizeof cmd, "import -window 0x%lx -crop 1x1+1000+700 txt:- 2>/dev/null",
                 mnw.xwin[0]);
        fflush(stdout);
        if (system(cmd) != 0) printf("import failed\n");
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "current=1"));
    EXPECT_TRUE(brx_test::contains(r.out, "cull=1 dither=1 material=1 sample_buffers=0 scissor=0 blend=0"))
        << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "front=cw"));
    EXPECT_TRUE(brx_test::contains(r.out, "depthmask=0"));
    EXPECT_TRUE(brx_test::contains(r.out, "unpack=1"));
    EXPECT_TRUE(brx_test::contains(r.out, "blend=1 depth=1 alpha=1"));
    EXPECT_TRUE(brx_test::contains(r.out, "error=0x0"));
    EXPECT_TRUE(brx_test::contains(r.out, "srgb(255,128,0)"))
        << r.out;  // the cleared colour, read from the window
}

TEST(MainWindow, AntiAliasingFallsBackToAVisualTheServerHas)
{
    const ChildResult r = run_in_child([] {
        request_window();
        mnw.alias_req = 4;
        MACIBM_setres(1);
        MACIBM_make_context(0);
        GLint sample_buffers = 0;
        glGetIntegerv(GL_SAMPLE_BUFFERS, &sample_buffers);
        printf("alias_now=%d sample_buffers=%d multisample=%d\n", mnw.alias_now, sample_buffers,
               glIsEnabled(GL_MULTISAMPLE));
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    int alias_now = -1, sample_buffers = -1, multisample = -1;
    ASSERT_EQ(sscanf(r.out.c_str(), "alias_now=%d sample_buffers=%d multisample=%d", &alias_now,
                     &sample_buffers, &multisample),
              3)
        << r.out;
    EXPECT_GE(alias_now, 0);
    EXPECT_LE(alias_now, 4);
    // The level chosen is the one whose visual the context has.
    EXPECT_EQ(sample_buffers > 0, alias_now > 0) << r.out;
    if (alias_now > 0) {
        EXPECT_EQ(multisample, 1);
    }
}

TEST(LoaderContexts, EachWorkerGetsACurrentContextSharingTheMainOne)
{
    const ChildResult r = run_in_child([] {
        request_window();
        MACIBM_setres(1);
        MACIBM_make_context(0);
        GLuint main_tex = 0;
        glGenTextures(1, &main_tex);
        glBindTexture(GL_TEXTURE_2D, main_tex);
        const unsigned char texel[4] = {1, 2, 3, 4};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        glFinish();

        constexpr int kWorkers = 3;
        GLuint worker_tex[kWorkers] = {};
        for (int i = 0; i < kWorkers; ++i) {
            // As the pool does: the creating thread makes the context and waits
            // until the new thread has made it current.
            GLXContext ctx = MACIBM_make_context_loader();
            std::atomic<int> started{0};
            int made = 0, own = 0, sees_main = 0;
            std::thread worker([&] {
                made = MACIBM_set_context_loader(ctx);
                own = glXGetCurrentContext() == ctx && ctx != mnw.glx_ctx[0];
                sees_main = glIsTexture(main_tex);
                glGenTextures(1, &worker_tex[i]);
                glBindTexture(GL_TEXTURE_2D, worker_tex[i]);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
                glFinish();
                started = 1;
            });
            worker.join();
            printf("worker %d: made=%d own=%d sees_main=%d started=%d\n", i, made, own, sees_main,
                   started.load());
        }
        int visible = 0;
        for (GLuint t : worker_tex) visible += glIsTexture(t) ? 1 : 0;
        printf("main sees %d worker textures; main still current=%d\n", visible,
               glXGetCurrentContext() == mnw.glx_ctx[0]);
        printf("null context: %d\n", MACIBM_set_context_loader(nullptr));
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            brx_test::contains(r.out, "worker " + std::to_string(i) + ": made=1 own=1 sees_main=1 started=1"))
            << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "main sees 3 worker textures; main still current=1"));
    EXPECT_EQ(r.out.find("linux trying to create a loader context\n"), r.out.find("linux"));
    EXPECT_TRUE(brx_test::contains(r.out, "null context: 0"));
}

TEST(LoaderContexts, ThePoolsWorkersRunJobsWithAContext)
{
    const ChildResult r = run_in_child([] {
        request_window();
        MACIBM_setres(1);
        MACIBM_make_context(0);
        THREAD_init();
        glExt.threaded_avail = 1;
        THREAD_make_workers();
        int with_context = 0;
        for (int i = 0; i < 8; ++i) {
            THREAD_call* call = THREAD_run_async(
                [](void*) -> void* { return glXGetCurrentContext(); }, nullptr);
            THREAD_is_done(call, -1);
            void* ctx = THREAD_cleanup(call);
            with_context += ctx != nullptr && ctx != mnw.glx_ctx[0];
        }
        printf("jobs with their own context: %d\n", with_context);
        THREAD_shutdown();
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "jobs with their own context: 8")) << r.out;
}

TEST(LoaderContexts, NoneBeforeTheMainContext)
{
    const ChildResult r = run_in_child(
        [] { printf("loader=%p\n", static_cast<void*>(MACIBM_make_context_loader())); });
    EXPECT_EQ(r.out, "loader=(nil)\n");
}

}  // namespace
