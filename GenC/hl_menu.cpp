// The menu table and its operations.
#include "GenC/hl_menu.h"

#include <algorithm>
#include <climits>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/xmap.h"
#include "app/utils.h"

namespace {

constexpr int kLangKorean = 6;

void menu_fatal(const std::string& line1, const std::string& line4, int line)
{
    __MACIBM_alert(0, line1, "", "", line4, t_exit, "GenC/hl_mnw", line);
}

bool in_table(int m) { return m >= 0 && std::size_t(m) < menu.size(); }

// Stored coordinates are 16-bit: truncated toward zero, held in range.
int16_t coord(float v)
{
    const long t = long(v);
    return int16_t(std::clamp(t, long(INT16_MIN), long(INT16_MAX)));
}

float entry_width(const std::string& text) { return menu_dx(text) + 30; }

float bar_pen = 0;

}  // namespace

float menu_dx(std::string text)
{
    if (mnw.lang == kLangKorean) return 8.0f * float(text.size());
    return btn_text_width(text);
}

int accept_menu(int) { return 1; }
int accept_item(int) { return 1; }

void MACIBM_clear_menus(int how)
{
    if (how != 1) return;
    menu.assign(kMenuCount, menu_struct{});
}

void MACIBM_clear_menu(int m)
{
    if (!in_table(m)) return;
    menu[m] = menu_struct{};
}

void MACIBM_clear_items(int m)
{
    if (!in_table(m)) return;
    menu[m].items.clear();
}

void MACIBM_create_menu(int m, int parent_code, std::string name)
{
    if (m < 0 || m > kPopupMenu) {
        menu_fatal("Menu index out of range in create_menu!", name, __LINE__);
        return;
    }
    if (!in_table(m)) return;
    menu_struct& mm = menu[m];
    if (name.size() > 40) name.resize(40);
    mm.name = name;
    const float width = entry_width(name);

    if (parent_code != 0) {
        // A submenu hangs from the item that opens it; a code that names no
        // existing item leaves the menu where it is.
        const int pm = parent_code / kMenuItemMax, pi = parent_code % kMenuItemMax;
        mm.parent = in_table(pm) ? pm : -1;
        if (in_table(pm) && pi >= 0 && std::size_t(pi) < menu[pm].items.size()) {
            const item_struct& it = menu[pm].items[pi];
            mm.x1 = it.x1;
            mm.y1 = it.y1;
            mm.x2 = it.x2;
            mm.y2 = it.y2;
        }
        return;
    }

    if (m == 0) bar_pen = 0;
    mm.parent = -1;
    mm.x1 = coord(bar_pen);
    mm.x2 = coord(bar_pen + width);
    mm.y1 = coord(float(mnw.screen_h - 18));
    mm.y2 = coord(float(mnw.screen_h));
    // The next title starts at the left edge of "Plugins".
    if (name != "Plugins") bar_pen = float(mm.x2);
}

void MACIBM_append_menu(int m, int i, int cmd, std::string name, int wide)
{
    if (m < 0 || i < 0) return;
    if (m > kPopupMenu) {
        menu_fatal("Menu index out of range in append_menu!", name, __LINE__);
        return;
    }
    if (i >= kMenuItemMax) {
        menu_fatal("Item index out of range in append_menu!", name, __LINE__);
        return;
    }
    if (name.size() >= 40) {
        menu_fatal("Menu name too long in append_menu!", name, __LINE__);
        return;
    }
    if (!in_table(m)) return;
    menu_struct& mm = menu[m];
    if (mm.items.size() < std::size_t(i) + 1) mm.items.resize(std::size_t(i) + 1);

    item_struct& it = mm.items[i];
    it.name = name;
    it.cmd = cmd;
    it.flag = (mnw.lang == kLangKorean && wide == 0) ? 1 : 0;

    int h = it.flag ? 14 : 12;
    if (!name.empty() && name[0] == '-') h = 2;

    if (i == 0) {
        if (mm.parent == -1) {
            it.y2 = coord(mm.y1 - 2.0f);
            it.y1 = coord(float(mm.y1) - h - 2);
        } else {
            it.y1 = coord(mm.y1 - 2.0f);
            it.y2 = coord(mm.y2 - 2.0f);
        }
    } else {
        const item_struct& prev = mm.items[i - 1];
        it.y2 = prev.y1;
        it.y1 = coord(float(prev.y1) - h);
        it.x1 = prev.x1;
        it.x2 = prev.x2;
    }

    float widest = 0;
    for (int k = 0; k <= i; ++k) widest = std::max(widest, entry_width(mm.items[k].name));
    for (int k = 0; k <= i; ++k) {
        mm.items[k].x1 = mm.x1;
        mm.items[k].x2 = coord(mm.x1 + widest);
    }
}

void MACIBM_remove_menu_item(int m, int i)
{
    if (m < 0 || i < 0) return;
    if (m > kPopupMenu) {
        menu_fatal("Menu index out of range in remove_menu_item!", "", __LINE__);
        return;
    }
    if (i >= kMenuItemMax) {
        menu_fatal("Item index out of range in remove_menu_item!", "", __LINE__);
        return;
    }
    if (!in_table(m) || std::size_t(i) >= menu[m].items.size()) return;
    std::vector<item_struct>& items = menu[m].items;
    const int height = items[i].y2 - items[i].y1;
    items.erase(items.begin() + i);
    for (std::size_t k = std::size_t(i); k < items.size(); ++k) {
        items[k].y1 = coord(float(items[k].y1 + height));
        items[k].y2 = coord(float(items[k].y2 + height));
    }
}

void char_string_to_int_string(std::string* text)
{
    if (text->empty() || (*text)[0] == '-' || (*text)[0] == '=') return;
    std::string out;
    const std::string& s = *text;
    std::size_t p = 0;
    while (p < s.size()) {
        if (s[p] == ' ') {
            ++p;
            continue;
        }
        int v = 0, places = 0;
        while (p < s.size() && s[p] != ' ' && places < 3) {
            const char c = s[p++];
            const int digit = (c >= '0' && c <= '9') ? c - '0' : c == '+' ? 1 : c == '-' ? -1 : 0;
            v = v * 10 + digit;
            ++places;
        }
        if (v >= 0) {
            out += char(v / 127 + 1);
            out += char(v % 127 + 1);
        }
    }
    *text = out;
}

// ---------------------------------------------------------------------------
// Menus files.

namespace {

const char* const kLangFolders[] = {"menus/english/", "menus/french/",  "menus/german/",
                                    "menus/italian/", "menus/spanish/", "menus/portugese/",
                                    "menus/korean/"};

// Reads lines of a menus file without ever looking past its end.
class menu_lines {
public:
    menu_lines(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next line with its leading blanks and tabs removed; false at the end.
    bool next(std::string* line)
    {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
        const char* start = p_;
        while (p_ < end_ && *p_ != '\r' && *p_ != '\n' && *p_ != '\0') ++p_;
        line->assign(start, p_);
        while (p_ < end_ && (*p_ == '\0' || *p_ == '\r' || *p_ == '\n' || *p_ == '\t' || *p_ == ' '))
            ++p_;
        return !line->empty();
    }

private:
    const char* p_;
    const char* end_;
};

// "number text": the first word read as a number, the rest after the blanks.
void split_numbered(const std::string& line, int* number, std::string* text)
{
    const std::size_t blank = line.find(' ');
    *number = str_to_int(line.substr(0, blank));
    text->clear();
    if (blank == std::string::npos) return;
    const std::size_t rest = line.find_first_not_of(' ', blank);
    if (rest != std::string::npos) *text = line.substr(rest);
}

}  // namespace

void MACIBM_read_menu_lines(const char* begin, const char* end)
{
    menu_lines lines(begin, end);
    std::string line, text;
    for (int n = 0;; ++n) {
        if (!lines.next(&line)) return;
        int code = 0;
        split_numbered(line, &code, &text);
        if (mnw.lang == kLangKorean) char_string_to_int_string(&text);
        MACIBM_create_menu(n, code, text);

        for (int k = 0;; ++k) {
            // A file that ends inside a block ends the reading there.
            if (!lines.next(&line)) return;
            if (line == "-") break;
            int cmd = 0;
            split_numbered(line, &cmd, &text);
            if (mnw.lang == kLangKorean) char_string_to_int_string(&text);
            MACIBM_append_menu(n, k, cmd, text, 0);
        }
    }
}

void MACIBM_read_menus(std::string folder, std::string file)
{
    std::string path = folder;
    if (mnw.lang >= 0 && mnw.lang <= kLangKorean) path += kLangFolders[mnw.lang];
    path += file;

    xmap_class map(path);
    static const int versions[] = {1, 0};
    if (map.check_file(xmap_type_text, versions, nullptr, nullptr) == 0) {
        __MACIBM_alert(0, "Cannot open file!", path, "Trash this copy and re-install Brennix.", "",
                       t_exit, "GenC/hl_mnw", __LINE__);
        return;
    }
    MACIBM_read_menu_lines(map.cursor, map.end);
}
