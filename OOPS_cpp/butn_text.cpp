// The one-line text field and the text-edit engine's callbacks behind it.
// One engine record serves every field: it is aimed at whichever field holds
// the keyboard focus.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_util.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/ogle.h"
#include "OOPS_cpp/oglp_layout.h"

std::string* OGLE_input = nullptr;
int OGLE_x = 0, OGLE_y = 0, OGLE_entry_dx = 0;
float OGLE_dx = 0, OGLE_dy = 0;
int OGLE_edit = 0;

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int text_len(const std::string& s) { return int(std::min<std::size_t>(s.size(), INT_MAX)); }

}  // namespace

// ---------------------------------------------------------------------------

void OGLE_GetVisibleBounds(OGLE_Rec*, float* r)
{
    r[0] = float(OGLE_x);
    r[1] = float(OGLE_y - 2);
    r[2] = float(OGLE_x + OGLE_entry_dx);
    r[3] = float(OGLE_y - 2 + 11);
}

// The text area runs 1024 pixels past the field, so a long text scrolls
// instead of wrapping.
void OGLE_GetLogicalBounds(OGLE_Rec*, float* r)
{
    r[0] = float(OGLE_x) - OGLE_dx;
    r[1] = float(OGLE_y - 2) - OGLE_dy;
    r[2] = float(OGLE_x + OGLE_entry_dx) - OGLE_dx + 1024;
    r[3] = float(OGLE_y - 2 + 11) - OGLE_dy;
}

void OGLE_SetLogicalHeight(OGLE_Rec*, float) {}

void OGLE_ScrollTo(OGLE_Rec*, float* p)
{
    OGLE_dx = p[0];
    OGLE_dy = p[1];
}

void OGLE_GetText(OGLE_Rec*, const char** begin, const char** end)
{
    if (!OGLE_input) {
        *begin = *end = nullptr;
        return;
    }
    *begin = OGLE_input->data();
    *end = *begin + OGLE_input->size();
}

void OGLE_ReplaceTextFunc(OGLE_Rec*, int start, int end, const char* t0, const char* t1)
{
    OGLE_edit = 1;
    if (!OGLE_input) return;
    const int len = text_len(*OGLE_input);
    start = std::clamp(start, 0, len);
    end = std::clamp(end, start, len);
    if (t0 && t1 && t0 < t1)
        OGLE_input->replace(std::size_t(start), std::size_t(end - start), t0, std::size_t(t1 - t0));
    else
        OGLE_input->erase(std::size_t(start), std::size_t(end - start));
}

float OGLE_GetLineHeight(OGLE_Rec*) { return 11.0f; }

float OGLE_MeasureString(OGLE_Rec*, const char* b, const char* e)
{
    float w = 0;
    for (const char* p = b; p < e; ++p) w += OGL_char_width(*p);
    return w;
}

// The character that uses up the room counts, so a point inside a character
// gives the position after it.
int OGLE_FitStringFwd(OGLE_Rec*, const char* b, const char* e, float room)
{
    if (!(b < e) || !(room > 0)) return 0;
    int n = 0;
    for (const char* p = b; p < e; ++p) {
        ++n;
        if (p + 1 == e) return n;
        room -= OGL_char_width(*p);
        if (room <= 0) return n;
    }
    return n;
}

int OGLE_FitStringRev(OGLE_Rec*, const char* b, const char* e, float room)
{
    if (!(b < e)) return 0;
    int n = 0;
    for (const char* p = e - 1;; --p) {
        ++n;
        room -= OGL_char_width(*p);
        if (room <= 0 || p == b) return n;
    }
}

void OGLE_DrawString(OGLE_Rec*, const char* b, const char* e, float, float)
{
    btn_text(45, float(OGLE_x) - OGLE_dx, float(OGLE_y) - OGLE_dy, std::string(b, e), 9999, 100, 0);
}

void OGLE_DrawSelection(OGLE_Rec*, float* r)
{
    if (r[0] != r[2])
        btn_fillrect(8, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
    else
        btn_line(45, colr.pulse, r[0], r[1], r[0], r[3]);
}

const char* OGLE_WordBreak(OGLE_Rec*, const char* b, const char* e)
{
    const char* p = b;
    while (p < e && is_space(*p)) ++p;
    while (p < e && !is_space(*p)) ++p;
    return p;
}

const OGLE_Callbacks OGLE_cbs = {
    OGLE_GetVisibleBounds, OGLE_GetLogicalBounds, OGLE_SetLogicalHeight, OGLE_ScrollTo,
    OGLE_GetText,          OGLE_ReplaceTextFunc,  OGLE_GetLineHeight,    OGLE_MeasureString,
    OGLE_FitStringFwd,     OGLE_FitStringRev,     OGLE_DrawString,       OGLE_DrawSelection,
    OGLE_WordBreak,
};

// ---------------------------------------------------------------------------

namespace {

constexpr int kQueue = 64;
constexpr int kTextKeys = 0x1F4;  // Delete, navigation, letters, digits, signs, printables
constexpr int kShift = 1, kKeyUp = 16;
enum : int { vk_back = 8, vk_prior = 33, vk_next = 34, vk_end = 35, vk_home = 36, vk_delete = 46 };

// A key for the field's engine. The engine has no commands for Delete and the
// page keys, and would type their characters (0xFF, 'P', 'W', 'U', 'V').
void field_key(OGLE_Rec* ogle, int c, int vkey, int shift)
{
    const int len = OGLE_input ? text_len(*OGLE_input) : 0;
    switch (vkey) {
    case vk_delete: {
        int s, e;
        OGLE_GetSelection(ogle, &s, &e);
        if (s == e) {
            if (e >= len) return;
            OGLE_SetSelection(ogle, s, s + 1);
        }
        OGLE_Key(ogle, char(vk_back), 0);
        return;
    }
    case vk_home:
    case vk_end: {
        const int p = vkey == vk_home ? 0 : len;
        ogle->desired_x = -1.0f;
        OGLE_SetSelection(ogle, p, p);
        OGLE_RevealSelection(ogle);
        return;
    }
    case vk_prior:
    case vk_next: return;
    default: OGLE_Key(ogle, static_cast<char>(static_cast<signed char>(c)), shift); return;
    }
}

}  // namespace

int BTN_enterstring(float x, float y, std::string* text, int max, std::string label, float width,
                    int grab)
{
    static OGLE_Rec* ogle = nullptr;
    static int focused_field_id = 0;
    static int char_slot[kQueue], vkey_slot[kQueue], flag_slot[kQueue], id_slot[kQueue];
    static int ctr_slot = 0;

    const int id = BTN_focus_id(x, y);
    if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);

    const bool click_inside = mnw.open_menu == -1 && mnw.clicked &&
                              btn_inside(mnw.mouse_x, mnw.mouse_y, x, y, x + width, y + 8);
    const int take = click_inside || (grab && BTN_no_focus_yet());
    const int focused = BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot,
                                           kQueue, kTextKeys, take);

    OGLE_edit = 0;
    // The record still serves this field when the focus left it this frame:
    // keys typed before that belong to its text. It never serves a field
    // whose text it was not given in this call.
    const bool serves = focused || id == focused_field_id;
    if (serves) {
        OGLE_input = text;
        OGLE_entry_dx = int(width);
        OGLE_x = int(x);
        OGLE_y = int(y);
    }

    if (focused) {
        const int len = text_len(*text);
        if (id != focused_field_id) {
            OGLE_dx = OGLE_dy = 0;
            if (!click_inside) OGLE_SetSelection(ogle, 0, len);
            OGLE_Repaginate(ogle);
        }
        focused_field_id = id;
        int s = 0, e = 0;
        OGLE_GetSelection(ogle, &s, &e);
        e = std::clamp(e, 0, len);
        s = std::clamp(s, 0, e);
        OGLE_SetSelection(ogle, s, e);
        if (mnw.clicked)
            OGLE_Click(ogle, mnw.mouse_x, mnw.mouse_y, 0);
        else if (mnw.held)
            OGLE_Drag(ogle, mnw.mouse_x, mnw.mouse_y);
    }

    if (ctr_slot > 0) {
        int live = 0;
        const int n = std::min(ctr_slot, kQueue);
        for (int i = 0; i < n; ++i) {
            if (id_slot[i] != 0) ++live;
            if (id_slot[i] != id) continue;
            if (serves && (char_slot[i] || vkey_slot[i]) && !(flag_slot[i] & kKeyUp))
                field_key(ogle, char_slot[i], vkey_slot[i], flag_slot[i] & kShift);
            char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0;
        }
        if (live == 0) ctr_slot = 0;
    } else {
        ctr_slot = 0;
    }

    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_frame1(9, x + width / 2 - 2, y + 3, width + 10, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 6 + width, y, 2, right, 0);

    btn_scissors(x - 1, y - 3, width + 2, 11);
    if (focused)
        OGLE_Draw(ogle, 1);
    else
        btn_text(45, x, y, *text, 9999, 100, 0);
    btn_scissors_end();

    if (OGLE_edit && text->size() > std::size_t(std::max(max, 0))) {
        text->resize(std::size_t(std::max(max, 0)));
        OGLE_Repaginate(ogle);
    }
    return OGLE_edit;
}

int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int grab_focus)
{
    // A buffer without a terminator in its first strDIM bytes is read no
    // further: its text is too long for the copy back, which refuses it.
    const std::size_t held = strnlen(text, strDIM);
    std::string work(text, held);
    const int result = BTN_enterstring(x, y, &work, max_len, std::move(label), width, grab_focus);
    if (OGLE_input == &work) OGLE_input = nullptr;

    // Never more than the buffer was promised to hold: the longer of max_len
    // and the text it came with.
    const std::size_t room = std::max<std::size_t>(std::size_t(std::max(max_len, 0)), held);
    if (work.size() > room) work.resize(room);
    strcpy_bounded(text, work);
    return result;
}

// ---------------------------------------------------------------------------

std::string BTN_name_from_vector(int i, void* items)
{
    return (*static_cast<std::vector<std::string>*>(items))[std::size_t(i)];
}

int BTN_type_from_vector(int i, void* items)
{
    return (*static_cast<std::vector<int>*>(items))[std::size_t(i)];
}
