// The window and input state of the framework's single X11 window, the menu
// records, and the numbered sub-windows.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <GL/glx.h>
#include <cstdint>
#include <string>
#include <vector>

enum {
    wind_main = 0,
    wind_eula = 1,
    wind_prefs = 2,
    wind_livery = 993,
    wind_about = 994,
    wind_alert = 995,
    wind_confirm = 996,
    wind_select = 997,
    wind_open = 998,
    wind_save = 999,
};

// A sized sub-window: any id not in the table covers the whole window and is
// no dialog.
struct sub_window_struct {
    int id;
    int w, h;  // logical pixels
    const char* title;
};

inline constexpr sub_window_struct kSubWindows[] = {
    {wind_eula, 500, 300, "EULA"},     {wind_prefs, 600, 380, "Prefs"},
    {wind_livery, 561, 474, "Livery"}, {wind_about, 600, 300, ""},
    {wind_alert, 420, 250, ""},        {wind_confirm, 300, 166, ""},
    {wind_select, 700, 146, ""},       {wind_open, 561, 474, ""},
    {wind_save, 330, 474, ""},
};

// The table's entry for `id`, or null for a whole-window id.
inline const sub_window_struct* MACIBM_sub_window(int id)
{
    for (const sub_window_struct& s : kSubWindows)
        if (s.id == id) return &s;
    return nullptr;
}

struct item_struct {
    std::string name;
    int cmd = 0;
    char flag = 0;
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct menu_struct {
    std::string name;
    int parent = -1;
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::vector<item_struct> items;
};

// Zeroed at start but for keylist_up; main thread only.
class mnw_class {
public:
    int alias_req = 0;
    int alias_now = 0;
    int head = 0;
    XVisualInfo* visual = nullptr;
    Window xwin[2] = {0, 0};
    GLXContext glx_ctx[2] = {nullptr, nullptr};
    Display* display = nullptr;
    int sec_mon_inuse = 0;
    int sec_mon_made = 0;
    int wind_copy = 0;
    int wind = 0;
    int mouse_wind = 0;
    int is_dialog = 0;
    float wind_x = 0, wind_y = 0;
    float wind_w = 0, wind_h = 0;
    int cursor_kind = 0;
    int open_menu = 0;
    int screen_w = 0, screen_h = 0;
    int screen_bits = 0;
    int set_res = 0;
    int tex_res = 0;
    int req_w = 0, req_h = 0;
    int col_res_req = 0;
    float centre_x = 0, centre_y = 0;
    float canvas_dx = 0, canvas_dy = 0;
    int fill_display = 0;
    float viewport[4] = {0, 0, 0, 0};
    float scale = 0;
    float mouse_x = 0, mouse_y = 0;
    int clicked = 0;
    int quick_release = 0;
    int double_click = 0;
    int released = 0;
    int held = 0;
    int held_long = 0;
    int wheel = 0;
    int key_hit = 0;
    int typed_char = 0;
    float last_active = 0;
    float press_time = 0;
    int key_down = 0;
    int lang = 0;
    int keylist_up = 1;
    int profiling = 0;
    int keys_off = 0;
    int time_mode = 0;
    int prefs_found = 0;
    // The window manager asked to close the window (WM_DELETE_WINDOW). It
    // stays set: the application ends the run on it.
    int close_requested = 0;
};

// ---------------------------------------------------------------------------
// Sub-windows, the frame pump and X11 input (main thread only).

// Makes sub-window `id` current: sizes and centres it, closes menus, drops the
// focus and clears the click, hold and wheel state. -1: none yet (the next
// frame opens 0).
void MACIBM_startwind(int id);
// The framework's first look at a mouse press (force 1: Return in a dialog):
// close boxes, menu titles and menu entries.
void MACIBM_handleclick(int force);
// One frame: input, queued reports, the application's frame hook, menus and
// the buffer swap. The drain of X events stops after a press of button 1 to 3,
// so the events behind it are read in the next frame. After a close request a
// dialog's frame makes the main page current in place of the frame hook, so
// every modal loop ends and leaves the request to the application's frame.
void MACIBM_event_proc();

// How long an idle frame waits for X input, in microseconds: 160 ms in the
// alert window, else 16 ms, or none with the maximum-speed setting; none in a
// dialog that a close request is about to end.
long MACIBM_frame_wait_us();
// Raises each class of texture-load failure once per run (main page only).
void MACIBM_report_texture_failures();

// The origin of a w by h sub-window centred on a screen_w by screen_h window.
void MACIBM_centre_wind(float wind_w, float wind_h, float* x, float* y);

int LIN_handlewin(Display* display, XEvent* event, XPointer arg);
void LIN_handleevt(XEvent* event);
void MACIBM_load_mxy(Window window, int x, int y);
int has_shiftkey();
int has_optionkey();
int has_capslock();

extern int linkey_shft, linkey_ctrl, linkey_optn;
extern int have_created_ibm_win;

// The application's hooks, defined by the program that links the framework.
void APP_update();
void APP_handlemenu(int command);
