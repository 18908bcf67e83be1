// Drawing the menus: the bar while a bar menu is open, the open menu's panel,
// its items and highlight, separators and submenu arrows.
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"

namespace {

constexpr int kTextCol = 38;
constexpr int kHighlightCol = 36;
constexpr int kEngraveDark = 35;
constexpr int kEngraveLight = 37;

// The open menu's panel box; kept while no menu is open.
float m_x1, m_y1, m_x2, m_y2;

int bar_font() { return mnw.lang == 6 ? 103 : 100; }

bool selectable(const item_struct& it)
{
    return !it.name.empty() && it.name[0] != '-' && it.name[0] != '=';
}

void highlight(int x1, int y1, int x2, int y2)
{
    btn_fillrect(kHighlightCol, 0.25f, float(x1), float(y1), float(x2 - x1), float(y2 - y1));
}

}  // namespace

void standard_gui()
{
    const int open = mnw.open_menu;
    // An index outside the table (the table not filled yet) shows nothing.
    if (open != -1 && (open < 0 || std::size_t(open) >= menu.size())) return;

    if (open != -1 && open != kPopupMenu) {
        BTN_frame1(0, mnw.screen_w * 0.5f, mnw.screen_h - 9.0f, float(mnw.screen_w), 0);
        for (const menu_struct& m : menu)
            if (!m.name.empty() && m.parent == -1)
                btn_text(kTextCol, m.x1 + 10.0f, m.y1 + 6.0f, m.name, 9999, bar_font(), 0);
    }
    if (open == -1) return;

    const menu_struct& mm = menu[open];
    m_x1 = 9999, m_y1 = 9999, m_x2 = 0, m_y2 = 0;
    bool any = false;
    const item_struct* under = nullptr;
    for (const item_struct& it : mm.items) {
        if (it.name.empty()) continue;
        any = true;
        if (it.x1 < m_x1) m_x1 = it.x1;
        if (it.x2 > m_x2) m_x2 = it.x2;
        if (it.y1 < m_y1) m_y1 = it.y1 - 2.0f;
        if (it.y2 > m_y2) m_y2 = it.y2 + 2.0f;
        // An item owns its rows y1 to y2 - 1; the top row belongs to the one above.
        if (selectable(it) && mnw.mouse_x >= it.x1 && mnw.mouse_x <= it.x2 &&
            mnw.mouse_y >= it.y1 && mnw.mouse_y <= it.y2 - 1)
            under = &it;
    }
    if (!any) m_x1 = m_y1 = m_x2 = m_y2 = 0;

    BTN_frame2(17, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
    if (mm.parent == -1 && open != kPopupMenu) highlight(mm.x1, mm.y1, mm.x2, mm.y2);
    if (under) highlight(under->x1, under->y1, under->x2, under->y2);

    for (std::size_t i = 1; i < mm.items.size(); ++i) {
        const item_struct& it = mm.items[i];
        if (it.name.empty() || it.x1 == mm.items[i - 1].x1) continue;
        btn_line(kEngraveDark, 1, it.x1 - 1.0f, m_y1 - 1, it.x1 - 1.0f, m_y2);
        btn_line(kEngraveLight, 1, float(it.x1), m_y2, float(it.x1), m_y1 - 1);
    }

    const float indent = open == kPopupMenu ? 3 : 18;
    for (const item_struct& it : mm.items) {
        if (it.name.empty()) continue;
        if (it.name[0] == '-') {
            btn_line(kEngraveDark, 1, float(it.x1), it.y1 + 1.0f, it.x2 - 1.0f, it.y1 + 1.0f);
            btn_line(kEngraveLight, 1, float(it.x1), float(it.y1), it.x2 - 1.0f, float(it.y1));
        } else {
            btn_text(kTextCol, it.x1 + indent, it.y1 + 3.0f, it.name, 9999, it.flag ? 103 : 100, 0);
        }
    }

    for (const menu_struct& sub : menu)
        if (sub.parent == open) BTN_util_element(sub.x2 - 8.0f, sub.y1 + 6.0f, 167, 187, 9, 9, 0);
}
