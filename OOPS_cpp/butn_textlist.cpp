// The drop-down choice list. Its pop-up is menu 1519, which the frame loop
// draws and hit-tests; the widget fills it while armed and collects the pick
// through the pop-up globals.
#include <algorithm>
#include <climits>
#include <cmath>

#include "GenC/hl_alert.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kMaxItems = 300;
constexpr float kRow = 12;

}  // namespace

int BTN_textlist_id(float x, float y)
{
    const double id = std::trunc(double(y) * 1024 + double(x));
    if (!(id > INT_MIN && id < INT_MAX)) return INT_MIN;
    // 0 stands for "no pop-up" in the globals; a widget at the origin takes
    // an id no placement on the canvas produces.
    return id == 0 ? INT_MIN : int(id);
}

int BTN_textlist(float x, float y, int* sel, std::string items, std::string label)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    std::vector<std::string> item(1);
    int count = 0;
    for (char c : items) {
        if (c == '|') {
            __MACIBM_alert(0, "Found | char in text string!", items, "", label, t_exit,
                           "OOPS_cpp/butn", 824);
            return 0;
        }
        if (c == '-') {
            ++count;
            if (count > kMaxItems - 1) {
                __MACIBM_alert(0, "BTN_text_list overflow!", items, "", label, t_exit,
                               "OOPS_cpp/butn", 828);
                return 0;
            }
            item.emplace_back();
        } else {
            item.back() += c;
        }
    }

    *sel = std::clamp(*sel, 0, count);

    int maxw = 0;
    for (const std::string& s : item) maxw = std::max(maxw, int(btn_text_width(s)));
    const float half = maxw * 0.5f;

    BTN_frame1(10, x + 10, y + 5, float(maxw + 28), 0);
    BTN_util_draw_label(x - half - 5, y, 0, left, 0);
    BTN_util_draw_label(x + half + 25, y, 2, right, 0);

    const bool hot = btn_inside(mnw.mouse_x, mnw.mouse_y, x - half - 5, y - 2, x + half + 25, y + 8);
    const int id = BTN_textlist_id(x, y);
    if (mnw.clicked && id != active_popup_code && hot) active_popup_code = id;

    int result = 0;
    if (id == select_popup_code) {
        *sel = std::clamp(popup_menu_select, 0, count);
        select_popup_code = 0;
        result = 1;
    }

    if (id == active_popup_code) {
        if (menu.size() <= std::size_t(kPopupMenu)) menu.resize(kMenuCount);
        menu_struct& m = menu[kPopupMenu];
        mnw.open_menu = kPopupMenu;
        m.parent = -1;
        const int s = *sel;
        const int16_t ml = int16_t(int(x - half) - 2), mr = int16_t(int(x + half) + 4);
        const int bottom = int(y - kRow * float(count - s));
        m.x1 = ml;
        m.x2 = mr;
        m.y1 = int16_t(bottom);
        m.y2 = int16_t(bottom + int(kRow) * (count + 1));
        m.items.clear();
        int lowest = 384, highest = 384;
        for (int i = 0; i <= count; ++i) {
            item_struct it;
            it.name = item[std::size_t(i)];
            it.flag = 0;
            it.x1 = ml;
            it.x2 = mr;
            it.y1 = int16_t(int(y - kRow * float(i - s) - 3));
            it.y2 = int16_t(int(y - kRow * float(i - s) + 9));
            lowest = std::min(lowest, int(it.y1));
            highest = std::max(highest, int(it.y2));
            m.items.push_back(std::move(it));
        }
        // An overhanging pop-up creeps a row a frame towards the screen.
        if (lowest < 0) *sel += 1;
        if (highest > mnw.screen_h) *sel -= 1;
    } else {
        btn_text(38, x, y, item[std::size_t(*sel)], 9999, 100, 1);
        if (hot) stls.mouse_help = help;
    }
    return result;
}
