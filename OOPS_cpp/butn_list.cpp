// The scrolling list box with type-ahead.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kAtlas = 388;
constexpr int kQueue = 64;
// Navigation keys, "+" and "-", digits, letters and other printable
// characters; Tab, Return, Delete and Escape go elsewhere.
constexpr int kAcceptMask = 0x1F0;
constexpr int vk_up = 38, vk_down = 40;
constexpr int flag_up = 16;

// Atlas columns (texels) of the 12-pixel icon of each item kind, 0 for none.
struct icon_cell {
    int kind;
    float s0, s1;
};
constexpr icon_cell kIcons[] = {{1, 34, 46},    {3, 48, 60},    {4, 62, 74},    {5, 90, 102},
                                {7, 146, 158},  {9, 104, 116},  {10, 118, 130}, {11, 132, 144}};

const icon_cell* icon_of(int kind)
{
    for (const icon_cell& c : kIcons)
        if (c.kind == kind) return &c;
    return nullptr;
}

// Shared by every list: only one holds the focus at a time.
std::string type_ahead;
float last_type_ahead = -1.0f;
int current_list_id = 0;
int char_slot[kQueue], vkey_slot[kQueue], flag_slot[kQueue], id_slot[kQueue];
int ctr_slot = 0;

// Brings item i onto the visible rows, moving as little as it can.
void show_row(int i, int* scroll, int vis)
{
    if (i > *scroll + vis) *scroll = i - vis;
    if (i < *scroll - vis) *scroll = i + vis;
}

void handle_key(int k, int* scroll, int* sel, int vis, int lo, int hi,
                std::string (*name_func)(int, void*), void* name_ref)
{
    if (flag_slot[k] & flag_up) return;
    if (vkey_slot[k] == vk_down) {
        *sel += 1;
        if (*sel > *scroll + vis) *scroll = *sel - vis;
    } else if (vkey_slot[k] == vk_up) {
        *sel -= 1;
        if (*sel < *scroll - vis) *scroll = *sel + vis;
    }

    const int c = char_slot[k];
    if (c < 0 || c > 255 || !std::isprint(c)) return;
    if (xtim.act_time - last_type_ahead > 1.0f) type_ahead.clear();
    last_type_ahead = xtim.act_time;
    type_ahead += char(c);
    for (int i = lo; i <= hi; ++i) {
        const std::string name = name_func(i, name_ref);
        if (strncasecmp(name.c_str(), type_ahead.c_str(), type_ahead.size()) == 0) {
            *sel = i;
            show_row(i, scroll, vis);
            return;
        }
    }
}

}  // namespace

int BTN_list_and_search(int slider_slot, float x, float y, float w, float h, int* scroll,
                        int* sel, int lo, int hi, std::string* field_text,
                        const std::string& field_label, std::string (*name_func)(int, void*),
                        void* name_ref, std::string (*name2_func)(int, void*), void* name2_ref,
                        int (*kind_func)(int, void*), void* kind_ref)
{
    x = btn_round(x);
    y = btn_round(y);
    if (w <= 0) w = 290;
    if (h <= 0) h = 220;
    const int vis = int(h * 0.05f) - 1;
    const float bottom = y - h / 2, top = y + h / 2;
    const bool mouse_in = btn_inside(mnw.mouse_x, mnw.mouse_y, x, bottom, x + w, top);

    const int id = BTN_focus_id(x, y);
    const int grab = mnw.open_menu == -1 && mnw.clicked && mouse_in ? 1 : 0;
    const int focused = BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot,
                                           &ctr_slot, kQueue, kAcceptMask, grab);
    if (focused && id != current_list_id) {
        type_ahead.clear();
        current_list_id = id;
    }

    if (ctr_slot <= 0) {
        ctr_slot = 0;
    } else {
        int pending = 0;
        const int n = std::min(ctr_slot, kQueue);
        for (int k = 0; k < n; ++k) {
            if (id_slot[k] == 0) continue;
            ++pending;
            if (id_slot[k] != id || (char_slot[k] == 0 && vkey_slot[k] == 0)) continue;
            handle_key(k, scroll, sel, vis, lo, hi, name_func, name_ref);
            char_slot[k] = vkey_slot[k] = flag_slot[k] = id_slot[k] = 0;
        }
        if (pending == 0) ctr_slot = 0;
    }

    if (field_text) BTN_enterstring(x + 35, y - 131, field_text, 36, field_label, 252, 1);

    if (hi < lo) return 0;

    BTN_frame2(16, x, bottom, w, h, "");
    if (hi > lo) BTN_vert_slider(slider_slot, x + w + 16, bottom, top, lo, hi, scroll);
    if (mouse_in) {
        *scroll -= mnw.wheel;
        mnw.wheel = 0;
    }
    *scroll = std::clamp(*scroll, lo, hi);

    int result = 0;
    if (mnw.clicked && mouse_in) {
        *sel = *scroll - int(btn_round((mnw.mouse_y - y) * 0.1f));
        result = mnw.double_click ? 1 : 0;
    }
    *sel = std::clamp(*sel, lo, hi);

    for (int k = -vis; k <= vis; ++k) {
        const int i = *scroll + k;
        if (i < lo || i > hi) continue;
        const float ry = y - 10.0f * float(k);
        btn_text(45, x + 20, ry - 3, name_func(i, name_ref), 9999, 100, 0);
        if (name2_func) btn_text(45, x + 242, ry - 3, name2_func(i, name2_ref), 9999, 100, 0);
        if (kind_func)
            if (const icon_cell* c = icon_of(kind_func(i, kind_ref)))
                btn_atlas_quad(kAtlas, 0, 1, x + 4, ry - 6, x + 16, ry + 6, c->s0 / 512,
                               82.0f / 512, c->s1 / 512, 94.0f / 512);
        if (i == *sel) btn_fillrect(12, 0.25f, x + 18, ry - 5, w - 22, 10);
    }
    if (focused) btn_framerect(45, 1, x, bottom, w, h);
    return result;
}
