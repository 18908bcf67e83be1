// A plain stand-in for the text field until the text-edit engine's field
// lands: typed characters append, Backspace and Delete remove the last one.
// Remove this file when the engine's BTN_enterstring is merged.
#include <cctype>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kQueue = 64;
int char_slot[kQueue], vkey_slot[kQueue], flag_slot[kQueue], id_slot[kQueue];
int ctr_slot = 0;

}  // namespace

int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label,
                    float width, int grab_focus)
{
    const int id = BTN_focus_id(x, y);
    const bool press = mnw.open_menu == -1 && mnw.clicked &&
                       btn_inside(mnw.mouse_x, mnw.mouse_y, x, y, x + width, y + 8);
    const int grab = press || (grab_focus && BTN_no_focus_yet()) ? 1 : 0;
    const int focused = BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot,
                                           &ctr_slot, kQueue, 500, grab);
    int edited = 0;
    const int n = ctr_slot < kQueue ? ctr_slot : kQueue;
    for (int k = 0; k < n; ++k) {
        if (id_slot[k] != id) continue;
        if (!(flag_slot[k] & 16)) {
            if (vkey_slot[k] == 8 || vkey_slot[k] == 46) {
                if (!text->empty()) text->pop_back(), edited = 1;
            } else if (char_slot[k] > 0 && char_slot[k] < 256 && std::isprint(char_slot[k])) {
                *text += char(char_slot[k]);
                edited = 1;
            }
        }
        id_slot[k] = 0;
    }
    if (ctr_slot > 0) {
        bool pending = false;
        for (int k = 0; k < n; ++k) pending = pending || id_slot[k] != 0;
        if (!pending) ctr_slot = 0;
    }
    if (edited && max_len >= 0 && int(text->size()) > max_len) text->resize(std::size_t(max_len));

    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_frame1(9, x + width / 2 - 2, y + 3, width + 10, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 6 + width, y, 2, right, 0);
    btn_text(45, x, y, *text, 9999, 100, 0);
    if (focused) btn_line(45, 1, x + btn_text_width(*text) + 1, y - 1, x + btn_text_width(*text) + 1, y + 8);
    return edited;
}
