// Check boxes, choice buttons, the push button and the sliders.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kAtlas = 388;
constexpr float kAtlasSize = 512.0f;

// An 18-pixel-wide atlas quad centred on x, from y0 to y1, texels u0.. by v0..v1.
void atlas_column(float x, float y0, float y1, float u0, float v0, float v1, int col)
{
    btn_atlas_quad(kAtlas, col, 1, x - 9, y0, x + 9, y1, u0 / kAtlasSize, v0 / kAtlasSize,
                   (u0 + 18) / kAtlasSize, v1 / kAtlasSize);
}

template <typename T>
T clamp_to(T v, T lo, T hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

// ---------------------------------------------------------------------------

int BTN_bool(float x, float y, int* flag, std::string label, int style)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    const float u0 = style == 0 ? 139 : 83, v0 = style == 0 ? 178 : 123;
    atlas_column(x, y - 6, y + 12, u0, v0, v0 + 18, 0);
    if (*flag) atlas_column(x, y - 6, y + 12, u0, v0 + 19, v0 + 37, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 12, y, 2, right, 0);

    if (mnw.open_menu == -1 && btn_inside(mnw.mouse_x, mnw.mouse_y, x - 8, y - 4, x + 8, y + 12)) {
        stls.mouse_help = help;
        if (mnw.clicked) {
            *flag = *flag == 0 ? 1 : 0;
            return 1;
        }
    }
    return 0;
}

int BTN_is_int(float x, float y, int* value, int choice, std::string label)
{
    int copy = *value == choice ? 1 : 0;
    const int hit = BTN_bool(x, y, &copy, std::move(label), 1);
    if (copy) *value = choice;
    return hit;
}

namespace {

// A check box over a variable of another type, through an int copy.
template <typename T>
int bool_over(float x, float y, T* flag, std::string label)
{
    int copy = int(*flag);
    const int hit = BTN_bool(x, y, &copy, std::move(label), 0);
    if constexpr (std::is_same_v<T, bool>)
        *flag = copy != 0;
    else
        *flag = T(copy);
    return hit;
}

}  // namespace

int BTN_xbyt(float x, float y, unsigned char* flag, std::string label)
{
    return bool_over(x, y, flag, std::move(label));
}

int BTN_xchr(float x, float y, char* flag, std::string label)
{
    return bool_over(x, y, flag, std::move(label));
}

int BTN_xbol(float x, float y, bool* flag, std::string label)
{
    return bool_over(x, y, flag, std::move(label));
}

// ---------------------------------------------------------------------------

int BTN_action(float x, float y, float width, int down, int feedback, std::string label,
               std::string side_text)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    if (width <= 0) width = 21 + btn_text_width(label);

    BTN_frame1(2, x, y, width, 0);
    if (down) BTN_frame1(3, x, y, width, 0);
    BTN_util_draw_label(x, y - 3, 1, left, feedback == 2 && down ? 1 : 0);
    if (side_text != "-") btn_text(45, x + width / 2 + 10, y + 7, side_text, 500, 100, 0);

    const bool hit = mnw.open_menu == -1 && mnw.clicked &&
                     btn_inside(mnw.mouse_x, mnw.mouse_y, x - width / 2, y - 10, x + width / 2,
                                y + 10);
    if (!hit) return 0;
    if (!down && feedback) {
        // The caller acts on the click at once (often opening another window),
        // so the pressed look is presented now or never.
        BTN_frame1(3, x, y, width, 0);
        BTN_util_draw_label(x, y - 3, 1, left, 0);
        btn_present();
    }
    return 1;
}

// ---------------------------------------------------------------------------

int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int lo, int hi, int* value)
{
    static int slider_grabbed[4] = {0, 0, 0, 0};

    BTN_frame0(6, x, (y_bottom + y_top) / 2, y_top - y_bottom);
    if (hi <= lo) return 0;

    const float a = y_bottom + 9, b = y_top - 10;
    float thumb;
    if (float(hi) == float(lo))
        thumb = (a + b) / 2;
    else
        thumb = clamp_to(float(b + (double(*value) - lo) * (a - b) / (double(hi) - lo)),
                         std::min(a, b), std::max(a, b));

    if (slot < 0 || slot > 3) {
        __MACIBM_alert(0, "Too many sliders!", "", "", "", t_exit, "OOPS_cpp/butn", 587);
        return 0;
    }
    int& grabbed = slider_grabbed[slot];

    // Steps and drags are worked out in 64 bits, so no range of ints overflows.
    int64_t v = *value;
    bool dragged = false;
    if (mnw.held) {
        if (btn_inside(mnw.mouse_x, mnw.mouse_y, x - 11, thumb - 11, x + 11, thumb + 11))
            grabbed = 1;
        if (grabbed) {
            const double yb = y_bottom + 11, yt = y_top - 11;
            double d;
            if (yb == yt)
                d = (double(lo) + hi) / 2;
            else
                d = clamp_to(lo + (double(hi) - lo) * (mnw.mouse_y - yt) / (yb - yt), double(lo),
                             double(hi));
            v = int64_t(std::trunc(d));
            dragged = true;
        }
    } else {
        grabbed = 0;
    }

    const bool step = mnw.clicked || (mnw.held_long && xtim.act_flag5);
    if (!dragged && step && mnw.mouse_x >= x - 11 && mnw.mouse_x <= x + 11) {
        const float my = mnw.mouse_y;
        // A point on either end line of the track counts for the arrow and
        // for the track alike.
        if (my >= y_top && my <= y_top + 20) v -= 1;
        if (my >= y_bottom - 20 && my <= y_bottom) v += 1;
        if (my >= y_bottom && my <= y_top) v += my >= thumb ? -10 : 10;
    }
    if (v < lo) v = lo;
    if (v >= hi) v = hi;
    *value = int(v);

    const int col = dragged ? 47 : 0;
    atlas_column(x, y_top + 8 - 11, y_top + 8 + 11, 83, 266, 288, col);
    atlas_column(x, thumb - 12, thumb + 12, 83, 240, 264, col);
    atlas_column(x, y_bottom - 10 - 11, y_bottom - 10 + 11, 83, 216, 238, col);
    return grabbed;
}

int BTN_horz_slider(float x, float y, float width, int colour, float lo, float hi, float* value,
                    int editable, std::string label, std::string text)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    if (std::fabs(hi - lo) < 0.01f) {
        if (hi <= lo)
            lo = hi + 0.01f;
        else
            hi = lo + 0.01f;
    }

    BTN_frame1(7, x + width / 2, y, width, 0);
    BTN_util_draw_label(x - 8, y, 0, left, 0);
    BTN_util_draw_label(x + width + 8, y, 2, right, 0);
    if (btn_inside(mnw.mouse_x, mnw.mouse_y, x, y - 7, x + width, y + 7)) stls.mouse_help = help;
    btn_text(43, x + width / 2, y + 10, text, 9999, 100, 1);

    const float fill = hi == lo ? width / 2 : clamp_to((*value - lo) * width / (hi - lo), 0.0f, width);
    const float vmin = std::min(lo, hi), vmax = std::max(lo, hi);
    int result = 0;
    if (editable && mnw.held &&
        btn_inside(mnw.mouse_x, mnw.mouse_y, x - 20, y - 20, x + width + 20, y + 20)) {
        *value = width == 0 ? (vmin + vmax) / 2
                            : clamp_to(vmin + (mnw.mouse_x - x) * (vmax - vmin) / width, vmin, vmax);
        result = 1;
    }

    if (colour != 12 && fill > 0) {
        int fw = int(fill);
        if (fw % 2) ++fw;
        BTN_frame1(8, x + fw / 2.0f, y + 4, float(fw), colour);
    }
    if (editable) {
        const float kx = vmax == vmin ? x + width / 2
                                      : clamp_to(x + (*value - vmin) * width / (vmax - vmin), x,
                                                 x + width);
        btn_atlas_quad(kAtlas, 0, 1, kx - 10, y + 2 - 11, kx + 10, y + 2 + 11, 262 / kAtlasSize,
                       267 / kAtlasSize, 282 / kAtlasSize, 289 / kAtlasSize);
    }
    return result;
}
