#include "GenC/hl_cursor.h"

#include <algorithm>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"

namespace {

int OS_mouse_showing = 1;
Cursor dot = 0;
int mouse_was_plugin = 0;

bool framework_dialog(int window) { return window >= wind_livery && window <= wind_save; }

void show_system_cursor()
{
    if (mnw.display && mnw.xwin[0]) {
        XUndefineCursor(mnw.display, mnw.xwin[0]);
        XFlush(mnw.display);
    }
}

void draw_tooltip()
{
    const std::string& help = stls.mouse_help;
    const float h = float(std::clamp(10 * int(help.size() / 50) + 20, 60, 300));

    float x = mnw.mouse_x - 415;
    if (x < 10 - mnw.wind_x)
        x = 10 - mnw.wind_x;
    else if (x > mnw.screen_w - mnw.wind_x - 410)
        x = mnw.screen_w - mnw.wind_x - 410;

    float y = mnw.mouse_y + 15;
    if (y < 10 - mnw.wind_y)
        y = 10 - mnw.wind_y;
    else if (y > mnw.screen_h - mnw.wind_y - h - 20)
        y = mnw.screen_h - mnw.wind_y - h - 20;

    BTN_frame2(14, x - 10, y - 10, 420, h + 20, "");
    btn_text(47, x + 3, y + h - 10, help, 394, 100, 0);
}

// The atlas column and row of a cursor sprite.
void sprite_cell(int kind, int* c, int* r)
{
    switch (kind) {
    case 3: *c = 0, *r = 1; return;
    case 4: *c = 1, *r = 1; return;
    case 5: *c = 0, *r = 0; return;
    case 6: *c = 1, *r = 0; return;
    case 7: *c = 2, *r = 1; return;
    case 8: *c = 3, *r = 1; return;
    case 9: *c = 2, *r = 0; return;
    case 10: *c = 3, *r = 0; return;
    case 11: *c = mnw.held ? 5 : 4, *r = 1; return;
    case 12: *c = mnw.held ? 5 : 4, *r = 0; return;
    case 14: *c = -1, *r = 0; return;
    default: *c = -1, *r = 1; return;
    }
}

}  // namespace

Cursor LIN_create_null_cursor(Display* display, Drawable drawable)
{
    Pixmap pixmap = XCreatePixmap(display, drawable, 1, 1, 1);
    XGCValues values{};
    values.function = GXclear;
    GC gc = XCreateGC(display, pixmap, GCFunction, &values);
    XFillRectangle(display, pixmap, gc, 0, 0, 1, 1);
    XColor colour{};
    colour.pixel = 0;
    colour.red = 0;
    Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &colour, &colour, 0, 0);
    XFreePixmap(display, pixmap);
    XFreeGC(display, gc);
    return cursor;
}

void mouse_help_per_wind(int window)
{
    const float still = xtim.act_time - mnw.last_active;
    if (!stls.mouse_help.empty() && still > 1.0f) draw_tooltip();
    stls.mouse_help.clear();
    xtim.profile_chart("help", 0);

    if (still > 10.0f && mnw.wind == wind_main) mnw.cursor_kind = 2;
    if (framework_dialog(window)) mnw.cursor_kind = 0;

    if (mnw.cursor_kind >= 2) {
        if (OS_mouse_showing) {
            OS_mouse_showing = 0;
            if (mnw.display && mnw.xwin[0]) {
                if (!dot) dot = LIN_create_null_cursor(mnw.display, mnw.xwin[0]);
                XDefineCursor(mnw.display, mnw.xwin[0], dot);
                XFlush(mnw.display);
            }
        }
    } else if (!OS_mouse_showing) {
        OS_mouse_showing = 1;
        show_system_cursor();
    }

    if (mouse_was_plugin && mnw.cursor_kind != 1) {
        mouse_was_plugin = 0;
        show_system_cursor();
    }
    if (mnw.cursor_kind == 1) {
        mouse_was_plugin = 1;
        return;
    }

    if (mnw.cursor_kind >= 3) {
        int c = 0, r = 0;
        sprite_cell(mnw.cursor_kind, &c, &r);
        const float s0 = (32.0f * c + 200) / 512, t0 = (32.0f * r + 293) / 512;
        const float s1 = s0 + 30.0f / 512, t1 = t0 + 30.0f / 512;
        btn_atlas_quad(388, 49, 1.0f, mnw.mouse_x - 15, mnw.mouse_y - 15, mnw.mouse_x + 15,
                       mnw.mouse_y + 15, s0, t0, s1, t1);
    }
}
