#include "GenC/hl_init.h"

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp_state.h"
#include "OOPS_cpp/pref.h"
#include "TEX/TEX_bind.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"

void MACIBM_finishup(int save)
{
    if (save) {
        // A test run never changes the saved settings.
        if (!cmdline.has_option("--fps_test")) {
            pref.IO_set(11, 1);
            keys.keys_io(1);
        }
        THREAD_shutdown();  // joins every worker but the calling thread
    }
    // A fatal alert during start-up may come before the display, the window
    // or the context exists; there is nothing of them to give back then.
    if (mnw.display) {
        MACIBM_setres(0);
        if (mnw.sec_mon_made) MACIBM_nuke_context(1);
        MACIBM_nuke_context(0);
    }
    // Every end but a killed run's leaves nothing in the temporary folder.
    remove_run_temp_folder();
    xer.close();
    if (mnw.display) {
        XUngrabKeyboard(mnw.display, CurrentTime);
        XFlush(mnw.display);
    }
}

// ---------------------------------------------------------------------------
// Window and GL contexts.

namespace {

constexpr long kWindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                               ButtonReleaseMask | PointerMotionMask | ButtonMotionMask |
                               VisibilityChangeMask | StructureNotifyMask |
                               SubstructureNotifyMask;
constexpr const char kWindowTitle[] = "Skarvel";

// Before any window exists nothing else can report a failure.
[[noreturn]] void stop_before_window(const std::string& message)
{
    printf("%s\n", message.c_str());
    fflush(stdout);
    exit(1);
}

Display* open_display()
{
    if (!mnw.display) {
        mnw.display = XOpenDisplay(nullptr);
        if (!mnw.display) {
            const std::string name = XDisplayName(nullptr);
            stop_before_window(name.empty()
                                   ? "I could not open the X display: DISPLAY is not set."
                                   : "I could not open the X display \"" + name +
                                         "\". Set DISPLAY to a running X server and try again.");
        }
    }
    return mnw.display;
}

Window create_window(int x, int y, int w, int h)
{
    Display* d = mnw.display;
    const Window root = RootWindow(d, mnw.visual->screen);
    XSetWindowAttributes attrs{};
    attrs.colormap = XCreateColormap(d, root, mnw.visual->visual, AllocNone);
    attrs.border_pixel = 0;
    attrs.event_mask = kWindowEvents;
    return XCreateWindow(d, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                         mnw.visual->depth, InputOutput, mnw.visual->visual,
                         CWBorderPixel | CWEventMask | CWColormap, &attrs);
}

Atom atom(const char* name) { return XInternAtom(mnw.display, name, False); }

// Minimum and maximum size both w by h, centred.
void pin_size(Window win, int w, int h)
{
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(mnw.display, win, &hints, &supplied)) hints = XSizeHints{};
    hints.flags = PMinSize | PMaxSize | PWinGravity;
    hints.min_width = hints.max_width = w;
    hints.min_height = hints.max_height = h;
    hints.win_gravity = CenterGravity;
    XSetWMNormalHints(mnw.display, win, &hints);
}

void set_full_screen_state(Window win, bool full_screen)
{
    Atom state = atom("_NET_WM_STATE_FULLSCREEN");
    XChangeProperty(mnw.display, win, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&state), full_screen ? 1 : 0);
}

void set_utf8_property(Window win, const char* name, const std::string& value)
{
    XChangeProperty(mnw.display, win, atom(name), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()),
                    static_cast<int>(value.size()));
}

void name_window(Window win, int w, int h)
{
    Display* d = mnw.display;
    char* title = const_cast<char*>(kWindowTitle);
    XTextProperty text{};
    if (XStringListToTextProperty(&title, 1, &text)) {
        XSetWMName(d, win, &text);
        XFree(text.value);
    }
    if (XClassHint* cls = XAllocClassHint()) {
        cls->res_name = const_cast<char*>("main_window");
        cls->res_class = const_cast<char*>("Brennix");
        XSetClassHint(d, win, cls);
        XFree(cls);
    }
    pin_size(win, w, h);
    // The window manager's close button then asks (WM_DELETE_WINDOW) instead
    // of cutting the connection, so a run closed there ends as QUIT ends it.
    Atom protocols[1] = {atom("WM_DELETE_WINDOW")};
    XSetWMProtocols(d, win, protocols, 1);

    if (const char* startup_id = getenv("DESKTOP_STARTUP_ID"))
        set_utf8_property(win, "_NET_STARTUP_ID", startup_id);
    set_utf8_property(win, "_NET_WM_NAME", kWindowTitle);
    Atom type = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    XChangeProperty(d, win, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    Atom actions[3] = {atom("_NET_WM_ACTION_CLOSE"), atom("_NET_WM_ACTION_FULLSCREEN"),
                       atom("_NET_WM_ACTION_MOVE")};
    XChangeProperty(d, win, atom("_NET_WM_ALLOWED_ACTIONS"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(actions), 3);

    const int screen = DefaultScreen(d);
    const bool full_screen = XDisplayWidth(d, screen) == w || XDisplayHeight(d, screen) == h;
    set_full_screen_state(win, full_screen);

    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = atom("_NET_WM_STATE");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = full_screen ? 1 : 0;
    ev.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_FULLSCREEN"));
    ev.xclient.data.l[2] = 0;
    XSendEvent(d, RootWindow(d, screen), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &ev);
}

void set_initial_gl_state()
{
    const GLfloat no_ambient[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glAlphaFunc(GL_GREATER, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_NORMALIZE);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    if (mnw.alias_now > 0) glEnable(GL_MULTISAMPLE);
    glDepthMask(GL_FALSE);
}

// Multisampling per anti-aliasing level: sample buffers, samples.
void visual_attributes(int level, int* attrs)
{
    static const int samples[] = {0, 2, 4, 8, 16};
    if (level <= 4) {
        attrs[1] = level > 0 ? 1 : 0;
        attrs[3] = samples[level];
    } else {
        attrs[1] = 1;
        attrs[3] = 0;
    }
}

}  // namespace

void MACIBM_setres(int on)
{
    // Whether the display was too small at the first call, kept for the run.
    static bool recorded = false;
    static int sres_orig;

    mnw.screen_w = mnw.req_w;
    mnw.screen_h = mnw.req_h;
    mnw.screen_bits = mnw.col_res_req;
    int change = mnw.set_res;

    Display* d = open_display();
    const int screen = DefaultScreen(d);
    const int width = XDisplayWidth(d, screen);
    const int height = XDisplayHeight(d, screen);
    const int depth = DefaultDepth(d, screen);

    if (mnw.fill_display) {
        mnw.req_w = mnw.screen_w = width - 40;
        mnw.req_h = mnw.screen_h = height - 60;
    }
    if (width < 1024 || height < 768) change = 1;
    if (!recorded) {
        recorded = true;
        sres_orig = change;
    }

    if (on) {
        if (!change) return;
        if (width == mnw.screen_w && height == mnw.screen_h && depth == mnw.screen_bits) return;
    } else if (!sres_orig) {
        return;
    }

    const Window win = mnw.xwin[0];
    if (!win) return;
    pin_size(win, mnw.screen_w, mnw.screen_h);
    XResizeWindow(d, win, static_cast<unsigned>(mnw.screen_w), static_cast<unsigned>(mnw.screen_h));
    printf("%d vs %d X %d vs %d\n", width, mnw.screen_w, height, mnw.screen_h);
    fflush(stdout);
    set_full_screen_state(win, width == mnw.screen_w && height == mnw.screen_h);
    XFlush(d);
}

int MACIBM_make_context(int slot)
{
    int x = 0;
    if (slot == 1) {
        OGL_setstate(1, 0, 3, 4, 9, 11);
        x = mnw.screen_w;
    }
    const int w = mnw.screen_w, h = mnw.screen_h;
    Display* d = open_display();

    static const int InitVisual[15] = {GLX_SAMPLE_BUFFERS_ARB, 1, GLX_SAMPLES_ARB, 0, GLX_RGBA,
                                       GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1,
                                       GLX_BLUE_SIZE, 1, GLX_DEPTH_SIZE, 2, None};
    mnw.visual = nullptr;
    // A server without GLX has no visual to offer; asking it would only print
    // Xlib's complaint before the same stop.
    int glx_error = 0, glx_event = 0;
    const bool has_glx = glXQueryExtension(d, &glx_error, &glx_event);
    for (mnw.alias_now = mnw.alias_req; has_glx && mnw.alias_now >= 0; --mnw.alias_now) {
        int InputVisual[15];
        memcpy(InputVisual, InitVisual, sizeof InputVisual);
        visual_attributes(mnw.alias_now, InputVisual);
        mnw.visual = glXChooseVisual(d, DefaultScreen(d), InputVisual);
        if (mnw.visual) break;
    }
    if (!mnw.visual)
        stop_before_window(
            "Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's "
            "seriously wonky on your machine.");

    mnw.glx_ctx[slot] = glXCreateContext(d, mnw.visual, slot == 0 ? nullptr : mnw.glx_ctx[0], True);
    if (!mnw.glx_ctx[slot])
        stop_before_window("I failed to create an OpenGL context for the window on display \"" +
                           std::string(DisplayString(d)) + "\".");

    const Window win = create_window(x, 0, w, h);
    mnw.xwin[slot] = win;
    name_window(win, w, h);

    XMapWindow(d, win);
    XEvent first{};
    XMaskEvent(d, ~0L, &first);

    if (!glXMakeCurrent(d, win, mnw.glx_ctx[slot]))
        stop_before_window("I failed to make the window's OpenGL context current on display \"" +
                           std::string(DisplayString(d)) + "\".");
    set_initial_gl_state();
    if (slot == 1) TEX_reset_bind();
    return 1;
}

void MACIBM_nuke_context(int slot)
{
    if (!mnw.display) return;
    if (mnw.glx_ctx[slot]) {
        if (glXGetCurrentContext() == mnw.glx_ctx[slot]) glXMakeCurrent(mnw.display, None, nullptr);
        glXDestroyContext(mnw.display, mnw.glx_ctx[slot]);
        mnw.glx_ctx[slot] = nullptr;
    }
    if (mnw.xwin[slot]) XDestroyWindow(mnw.display, mnw.xwin[slot]);
    mnw.xwin[slot] = 0;
    XFlush(mnw.display);
}

GLXContext MACIBM_make_context_loader()
{
    if (!mnw.visual) return nullptr;
    printf("linux trying to create a loader context\n");
    GLXContext ctx = glXCreateContext(mnw.display, mnw.visual, mnw.glx_ctx[0], True);
    if (!ctx) printf("glXCreateContext failed.  Sorry, bub.\n");
    fflush(stdout);
    return ctx;
}

int MACIBM_set_context_loader(GLXContext ctx)
{
    if (!mnw.display || !mnw.visual || !ctx) return 0;
    const Window win = create_window(0, 0, 128, 128);
    return glXMakeCurrent(mnw.display, win, ctx) ? 1 : 0;
}
