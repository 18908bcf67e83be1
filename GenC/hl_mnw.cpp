// Sub-windows, the frame pump and X11 input: everything that turns X events
// into the input state of mnw and runs one frame of the framework.
#include "GenC/hl_mnw.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <sys/select.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "GenC/hl_alert.h"
#include "GenC/hl_cursor.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/qtim.h"
#include "OOPS_cpp/xtim.h"
#include "Thread/hl_thread.h"

int linkey_shft = 0, linkey_ctrl = 0, linkey_optn = 0;
int have_created_ibm_win = 0;

// ---------------------------------------------------------------------------
// Sub-windows.

namespace {

// Half away from zero, then towards zero: whole numbers stored as floats.
// Each step is rounded to a float, so that the window lands on the same pixel
// on every build.
float centred_origin(float screen, float size, float scale)
{
    const float scaled = round_to_float(double(size) * double(scale));
    const float v = round_to_float(double(screen) - double(scaled)) / 2;  // halving is exact
    const float rounded = std::trunc(round_to_float(v >= 0 ? double(v) + 0.5 : double(v) - 0.5));
    return std::max(0.0f, std::trunc(round_to_float(double(rounded) / double(scale))));
}

bool inside(float x1, float y1, float x2, float y2)
{
    return mnw.mouse_x >= x1 && mnw.mouse_x <= x2 && mnw.mouse_y >= y1 && mnw.mouse_y <= y2;
}

bool inside(const menu_struct& m) { return inside(m.x1, m.y1, m.x2, m.y2); }
bool inside(const item_struct& i) { return inside(i.x1, i.y1, i.x2, i.y2); }

// The framework's own dialogs: no close boxes, Return does not close them.
bool framework_dialog(int id) { return id >= wind_alert && id <= wind_save; }
// The application's dialogs: close boxes and Return close them.
bool closable_dialog(int id) { return id != wind_main && !framework_dialog(id); }

// A dialog close asked for while keys typed before it still wait in a field's
// queue: it happens at the start of the next frame, once the fields have taken
// them (a slow frame would otherwise lose the end of what was typed).
int close_waiting = 0;

void close_dialog()
{
    BTN_zap_boxes(1);
    OGL_sbuff();
    return_hit = 0;
    MACIBM_startwind(wind_main);
}

}  // namespace

void MACIBM_centre_wind(float wind_w, float wind_h, float* x, float* y)
{
    const float scale = mnw.scale > 0 ? mnw.scale : 1.0f;
    *x = centred_origin(static_cast<float>(mnw.screen_w), wind_w, scale);
    *y = centred_origin(static_cast<float>(mnw.screen_h), wind_h, scale);
}

void MACIBM_startwind(int id)
{
    plot_init_lights = 1;
    mouse_help_per_wind(id);
    OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);

    mnw.wind_w = static_cast<float>(mnw.screen_w);
    mnw.wind_h = static_cast<float>(mnw.screen_h);
    mnw.is_dialog = 0;
    if (id != wind_main) {
        if (const sub_window_struct* s = MACIBM_sub_window(id)) {
            stls.title = s->title;
            mnw.wind_w = static_cast<float>(s->w);
            mnw.wind_h = static_cast<float>(s->h);
            mnw.is_dialog = 1;
        }
    }

    BTN_unfocus_any();
    mnw.open_menu = -1;
    mnw.wind = id;
    mnw.wind_copy = id;
    MACIBM_centre_wind(mnw.wind_w, mnw.wind_h, &mnw.wind_x, &mnw.wind_y);
    mnw.held = 0;
    mnw.clicked = 0;
    mnw.wheel = 0;

    if (menu.size() > static_cast<std::size_t>(kPopupMenu)) {
        menu_struct& popup = menu[kPopupMenu];
        popup.x1 = popup.y1 = popup.x2 = popup.y2 = -1;
    }
}

void MACIBM_handleclick(int force)
{
    // Close boxes of the application's dialogs, and Return in them.
    if (closable_dialog(mnw.wind)) {
        const float top = mnw.wind_h - 20;
        if (inside(0, top, 25, mnw.wind_h) || inside(mnw.wind_w - 25, top, mnw.wind_w, mnw.wind_h) ||
            force) {
            if (BTN_keys_waiting()) {
                close_waiting = 1;
                return_hit = 0;
                mnw.clicked = 0;
                return;
            }
            close_dialog();
            return;
        }
    }

    // Titles of the menu bar, and of the open menu's sub-menus.
    if (mnw.wind == wind_main) {
        const int n = std::min<int>(static_cast<int>(menu.size()), kPopupMenu);
        for (int m = 0; m < n; ++m) {
            const menu_struct& title = menu[m];
            if ((title.parent == -1 || title.parent == mnw.open_menu) && inside(title)) {
                mnw.open_menu = (m == mnw.open_menu) ? -1 : m;
                mnw.clicked = 0;
                return;
            }
        }
    }

    // Entries of the open menu.
    if (mnw.open_menu >= 0 && mnw.open_menu < static_cast<int>(menu.size())) {
        const std::vector<item_struct>& items = menu[mnw.open_menu].items;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const item_struct& item = items[i];
            if (item.name.empty() || item.name[0] == '-' || item.name[0] == '=') continue;
            if (!inside(item)) continue;
            if (mnw.open_menu == kPopupMenu) {
                popup_menu_select = static_cast<int>(i);
                select_popup_code = active_popup_code;
                active_popup_code = 0;
            } else {
                APP_handlemenu(item.cmd);
            }
            mnw.open_menu = -1;
            mnw.clicked = 0;
            return;
        }
    }

    // A click anywhere else closes the open menu (a pop-up without a choice)
    // and goes on to the widgets.
    if (mnw.open_menu == kPopupMenu) active_popup_code = 0;
    mnw.open_menu = -1;
}

// ---------------------------------------------------------------------------
// X11 input.

namespace {

enum class key_role { none, shift, control, alt, dropped, other };

key_role role_of(const char* name)
{
    if (!strcmp(name, "Shift_L") || !strcmp(name, "Shift_R")) return key_role::shift;
    if (!strcmp(name, "Control_L") || !strcmp(name, "Control_R")) return key_role::control;
    if (!strcmp(name, "Alt_L") || !strcmp(name, "Alt_R")) return key_role::alt;
    if (!strcmp(name, "Super_L") || !strcmp(name, "Super_R") || !strcmp(name, "Menu") ||
        !strcmp(name, "ISO_Level3_Shift"))
        return key_role::dropped;
    return key_role::other;
}

// The name of the unshifted keysym of a key event's keycode, or null.
const char* key_name(XKeyEvent& e)
{
    Display* d = mnw.display ? mnw.display : e.display;
    if (!d) return nullptr;
    const KeySym sym = XkbKeycodeToKeysym(d, static_cast<KeyCode>(e.keycode), 0, 0);
    return sym == NoSymbol ? nullptr : XKeysymToString(sym);
}

void key_event_to_mnw(XKeyEvent& e, bool press)
{
    const char* name = key_name(e);
    if (!name) {
        printf("LINUX: Warning: X11 gave us a key %s with no keysym string! This isn't so good. "
               "Verify the mapping of whatever key you just hit.\n",
               press ? "press" : "release");
        return;
    }
    const int down = press ? 1 : 0;
    switch (role_of(name)) {
    case key_role::shift: linkey_shft = down; return;
    case key_role::control: linkey_ctrl = down; return;
    case key_role::alt: linkey_optn = down; return;
    case key_role::dropped:
        if (press) return;
        break;
    default: break;
    }
    if (press) mnw.key_hit = 1;
    mnw.key_down = down;
    keys.handle_key_raw(e.type, e.keycode, e.state);
}

}  // namespace

int LIN_handlewin(Display*, XEvent*, XPointer) { return 1; }

void MACIBM_load_mxy(Window, int x, int y)
{
    const float scale = mnw.scale > 0 ? mnw.scale : 1.0f;
    // In float steps, so that a hit test at a widget's edge goes the same way
    // on every build.
    mnw.mouse_x = round_to_float(double(round_to_float(double(x) / scale)) - mnw.wind_x);
    mnw.mouse_y = round_to_float(double(round_to_float(double(mnw.screen_h - y) / scale)) - mnw.wind_y);
    mnw.mouse_wind = mnw.wind_copy;
}

namespace {

// Where the pointer is now: several motions in one frame all end at its
// latest place.
void refresh_pointer()
{
    if (!mnw.display || !mnw.xwin[0]) return;
    Window root = 0, child = 0;
    int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
    unsigned int mask = 0;
    if (XQueryPointer(mnw.display, mnw.xwin[0], &root, &child, &root_x, &root_y, &win_x, &win_y,
                      &mask))
        MACIBM_load_mxy(mnw.xwin[0], win_x, win_y);
}

// The window manager's request to close the window, as the ICCCM has it:
// WM_PROTOCOLS carrying WM_DELETE_WINDOW, the one protocol the window takes
// part in.
bool is_close_request(const XClientMessageEvent& e)
{
    Display* d = mnw.display ? mnw.display : e.display;
    if (!d || e.format != 32) return false;
    return e.message_type == XInternAtom(d, "WM_PROTOCOLS", False) &&
           static_cast<Atom>(e.data.l[0]) == XInternAtom(d, "WM_DELETE_WINDOW", False);
}

bool is_click(const XEvent& e)
{
    return e.type == ButtonPress && e.xbutton.button >= Button1 && e.xbutton.button <= Button3;
}

}  // namespace

void LIN_handleevt(XEvent* event)
{
    switch (event->type) {
    case KeyPress: key_event_to_mnw(event->xkey, true); break;
    case KeyRelease: key_event_to_mnw(event->xkey, false); break;
    case ButtonPress:
        switch (event->xbutton.button) {
        case Button4: mnw.wheel += 1; break;
        case Button5: mnw.wheel -= 1; break;
        case Button1:
        case Button2:
        case Button3:
            // Where the press was made: the pointer may have moved on while
            // a busy frame read no input.
            MACIBM_load_mxy(event->xbutton.window, event->xbutton.x, event->xbutton.y);
            mnw.clicked = 1;
            MACIBM_handleclick(0);
            break;
        default: break;
        }
        break;
    case ButtonRelease:
        if (event->xbutton.button >= Button1 && event->xbutton.button <= Button3) mnw.released = 1;
        break;
    case MotionNotify: refresh_pointer(); break;
    case VisibilityNotify: MACIBM_startwind(mnw.wind); break;
    case CreateNotify:
    case ConfigureNotify: have_created_ibm_win = 1; break;
    case DestroyNotify: MACIBM_startwind(wind_main); break;
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case MappingNotify: break;
    case ClientMessage:
        if (is_close_request(event->xclient)) mnw.close_requested = 1;
        break;
    default:
        printf("LINUX: X11 threw me something different, and I don't know how to handle it. "
               "Email %s with this message and what you were doing. Event ---> %d\n",
               kSupportEmail, event->type);
        break;
    }
}

int has_shiftkey() { return linkey_shft; }
int has_optionkey() { return linkey_optn; }
int has_capslock() { return 0; }

// ---------------------------------------------------------------------------
// The frame pump.

namespace {

constexpr long kIdleWaitUs = 16000;
constexpr long kAlertWaitUs = 160000;

void profile_mark(const char* label, int end = 0)
{
    if (mnw.profiling) xtim.profile_chart(label, end);
}

// Sleeps until the X connection has something to read or the time is up.
void wait_for_x(long usec)
{
    if (!mnw.display || usec <= 0) return;
    // Events Xlib has already read would not wake the socket.
    if (XEventsQueued(mnw.display, QueuedAlready) > 0) return;
    const int fd = ConnectionNumber(mnw.display);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval timeout{0, usec};
    select(fd + 1, &readable, nullptr, nullptr, &timeout);
}

void drain_x_events()
{
    if (!mnw.display) return;
    XEvent event;
    // Events after a waiting close belong to the window that follows it.
    while (!close_waiting && XCheckIfEvent(mnw.display, &event, LIN_handlewin,
                                           reinterpret_cast<XPointer>(&mnw.xwin[0]))) {
        LIN_handleevt(&event);
        // A click is judged in a frame of its own, at its own place: a later
        // move or click of the same burst waits for the next frame.
        if (is_click(event)) break;
    }
}

// With a menu open, moving along the bar opens each title passed.
void menu_bar_hover()
{
    if (mnw.open_menu < 0) return;
    for (std::size_t m = 0; m < menu.size(); ++m) {
        const menu_struct& title = menu[m];
        if (title.parent == -1 && static_cast<int>(m) != mnw.open_menu && inside(title))
            MACIBM_handleclick(0);
    }
}

}  // namespace

long MACIBM_frame_wait_us()
{
    if (mnw.close_requested && mnw.is_dialog) return 0;
    if (mnw.wind == wind_alert) return kAlertWaitUs;
    return stg.use_max_cpu ? 0 : kIdleWaitUs;
}

void MACIBM_event_proc()
{
    static int win_started = 0;

    profile_mark("init");
    return_hit = escape_hit = delete_hit = 0;
    mnw.clicked = 0;
    mnw.released = 0;
    mnw.key_hit = 0;

    if (mnw.wind == -1) mnw.wind = wind_main;
    if (!win_started) {
        win_started = 1;
        MACIBM_startwind(mnw.wind);
    }
    profile_mark("startwin");

    if (close_waiting) {
        close_waiting = 0;
        if (closable_dialog(mnw.wind)) close_dialog();
    }
    wait_for_x(MACIBM_frame_wait_us());
    drain_x_events();
    profile_mark("event");
    profile_mark("netlist");

    if (mnw.wind == wind_main) {
        THREAD_check_exception(1);
        if (mnw.wind == wind_main) MACIBM_report_texture_failures();
    }

    xtim.xtim_update();
    keys.run_repeat_keys();
    mnw.cursor_kind = 0;
    menu_bar_hover();
    profile_mark("menu");

    BTN_begin_focus_ring();
    if (mnw.close_requested && mnw.is_dialog)
        // The dialog's loop ends, and so does each one a caller opens next,
        // until the application's own frame acts on the request. The frame
        // hook is not run from inside the dialog's caller.
        MACIBM_startwind(wind_main);
    else if (!mnw.is_dialog)
        APP_update();
    mouse_help_per_wind(mnw.wind);
    standard_gui();
    if (!qtim.mov_per_frame()) OGL_sbuff();
    profile_mark("sbuff");
    ++xtim.frame_count;
    profile_mark("oglwork");
    profile_mark("finish", 1);
}

void MACIBM_report_texture_failures()
{
    struct failure_class {
        int (tman_class::*has)();
        void (tman_class::*mute)();
        int line;
        const char* lines[3];
    };
    static const failure_class classes[] = {
        {&tman_class::has_scene_load_fail, &tman_class::mute_scene_load_fail, 1544,
         {"Some scenery textures could not be loaded.",
          "This may be an installation problem or you may have a damaged add-on scenery package.",
          "Please see the log.txt file for a detailed list of missing files."}},
        {&tman_class::has_plane_load_fail, &tman_class::mute_plane_load_fail, 1545,
         {"Some textures for the aircraft you selected could not be loaded.",
          "This may be an installation problem or you may have a damaged add-on aircraft "
          "package.",
          "Please see the log.txt file for a detailed list of missing files."}},
        {&tman_class::has_instl_load_fail, &tman_class::mute_instl_load_fail, 1546,
         {"Some textures could not be loaded.",
          "This may be an installation problem.  Run the installer/updater again to get these "
          "missing textures.",
          "Please see the log.txt file for a detailed list of missing files."}},
    };
    for (const failure_class& c : classes) {
        if (!(tman.*c.has)()) continue;
        __MACIBM_alert(wind_main, c.lines[0], c.lines[1], c.lines[2], "", t_alert, "GenC/hl_mnw",
                       c.line);
        (tman.*c.mute)();
    }
}
