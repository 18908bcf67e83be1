// Number fields: digit columns with an arrow above and below each, typed
// digits over a caret, and the character field that shares their look.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <string>

#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kAtlas = 388;
constexpr float kAtlasSize = 512.0f;

constexpr int kQueueSize = 64;
constexpr int kNumberKeys = 0x0d0;  // navigation, digits, "+" and "-"
constexpr int kCharKeys = 0x1f0;    // those, letters and other printable characters
constexpr int kKeyUp = 16;
constexpr int kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
constexpr int kCursorUp = 13, kCursorDown = 14;

// The key queue of one kind of field, shared by all its instances (only one
// widget has the focus at a time) and filled by the focus ring.
struct key_queue {
    int chars[kQueueSize] = {}, vkeys[kQueueSize] = {}, flags[kQueueSize] = {};
    int ids[kQueueSize] = {};
    int count = 0;

    int enlist(int id, int mask, bool grab)
    {
        return BTN_register_focus(id, chars, vkeys, flags, ids, &count, kQueueSize, mask,
                                  grab ? 1 : 0);
    }

    // Hands the presses queued for `id` to take(ch, vkey) and clears them with
    // their releases. The queue is emptied only by a walk that finds no key of
    // any field, so keys queued behind another field's stay for it.
    template <class Take>
    void drain(int id, Take&& take)
    {
        const int n = std::clamp(count, 0, kQueueSize);
        int live = 0;
        for (int i = 0; i < n; ++i) {
            if (ids[i] != 0) ++live;
            if (ids[i] != id || (chars[i] == 0 && vkeys[i] == 0)) continue;
            const int ch = chars[i], vkey = vkeys[i], fl = flags[i];
            chars[i] = vkeys[i] = flags[i] = ids[i] = 0;
            if (!(fl & kKeyUp)) take(ch, vkey);
        }
        if (live == 0) count = 0;
    }
};

double p10(int n) { return std::pow(10.0, n); }

// A double as a float; beyond the float range it becomes an infinity rather
// than an undefined conversion.
float as_float(double d)
{
    if (d > FLT_MAX) return INFINITY;
    if (d < -FLT_MAX) return -INFINITY;
    return float(d);
}

// Clamps to lo..hi (lo first, so hi wins a reversed range) and rounds to the
// decimals, halves away from zero. A value that is already whole at its scale
// (a float from 2^23 up, an infinity) is left as it is, so nothing is
// converted out of range; not-a-number becomes lo.
float settle(float v, int decimals, float lo, float hi)
{
    if (std::isnan(v)) v = lo;
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    const float scale = as_float(p10(decimals));
    if (!(scale > 0) || std::isinf(scale)) return v;
    // Each step is rounded to a float, as on a unit without wider registers,
    // so that a field settles on the same value on every build.
    const float scaled = round_to_float(double(v) * double(scale));
    if (!(std::fabs(scaled) < 8388608.0f)) return v;
    const float half_out = round_to_float(scaled >= 0 ? double(scaled) + 0.5 : double(scaled) - 0.5);
    return round_to_float(double(std::trunc(half_out)) / double(scale));
}

// The largest number the columns can show: 9, 9.9, 9.99 ... (at most ten
// 9s) times 10^(digits - 1 - decimals); no columns show nothing but 0.
float shown_max(int digits, int decimals)
{
    if (digits < 1) return 0;
    const int nines = std::min(digits, 10);
    return as_float((p10(nines) - 1) / p10(nines - 1) * p10(digits - 1 - decimals));
}

// The whole number nearest to v within lo..hi and within int; a range that
// holds no whole number gives the one next to hi, as the float clamp does.
int whole_in_range(double v, float lo, float hi)
{
    auto to_int = [](double d) { return std::clamp(d, double(INT_MIN), double(INT_MAX)); };
    const double least = std::isnan(lo) ? INT_MIN : to_int(std::ceil(double(lo)));
    const double most = std::isnan(hi) ? INT_MAX : to_int(std::floor(double(hi)));
    if (std::isnan(v)) v = least;
    if (v < least) v = least;
    if (v > most) v = most;
    return int(v);
}

int wrap_column(int c, int columns) { return c < 0 ? columns - 1 : (c >= columns ? 0 : c); }

// The arrows over and under column k of a field at (x, y).
void draw_arrows(float x, float y, int k)
{
    const float left = x + 10.0f * k - 1, right = left + 14;
    btn_atlas_quad(kAtlas, 0, 1, left, y + 9, right, y + 27, 83 / kAtlasSize, 197 / kAtlasSize,
                   97 / kAtlasSize, 215 / kAtlasSize);
    btn_atlas_quad(kAtlas, 0, 1, left, y - 19, right, y - 1, 83 / kAtlasSize, 178 / kAtlasSize,
                   97 / kAtlasSize, 196 / kAtlasSize);
}

bool over_digits(float x, float y, int columns)
{
    return btn_inside(mnw.mouse_x, mnw.mouse_y, x, y - 2, x + 10.0f * columns, y + 8);
}

bool over_arrows(float x, float y, int columns)
{
    return btn_inside(mnw.mouse_x, mnw.mouse_y, x, y - 18, x + 10.0f * columns, y + 24);
}

// The character field's symbols, in stepping order.
constexpr char kSymbols[] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
constexpr int kSymbolCount = 38;

int symbol_index(char c)
{
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    for (int i = 0; i < kSymbolCount; ++i)
        if (kSymbols[i] == c) return i;
    return 1;  // "0"
}

char step_symbol(char c, int by)
{
    return kSymbols[((symbol_index(c) + by) % kSymbolCount + kSymbolCount) % kSymbolCount];
}

}  // namespace

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float lo, float hi,
                  std::string label)
{
    static key_queue queue;
    static int hot_digit = 0;

    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    const bool on_digits = over_digits(x, y, digits);
    if (on_digits) stls.mouse_help = help;
    const bool grab = mnw.open_menu == -1 && mnw.clicked && on_digits;
    if (grab) hot_digit = int((mnw.mouse_x - x - 2) * 0.1f);

    const int id = BTN_focus_id(x, y);
    const int focused = queue.enlist(id, kNumberKeys, grab);
    if (focused) hot_digit = digits > 0 ? std::clamp(hot_digit, 0, digits - 1) : 0;

    float v = *value;
    int changed = 0;
    queue.drain(id, [&](int ch, int vkey) {
        if (digits < 1) return;
        hot_digit = std::clamp(hot_digit, 0, digits - 1);
        if (vkey == kVkLeft || vkey == kVkRight) {
            hot_digit = wrap_column(hot_digit + (vkey == kVkLeft ? -1 : 1), digits);
            return;
        }
        const double place = p10(digits - decimals - hot_digit - 1);
        if (vkey == kVkUp || vkey == kVkDown) {
            v += as_float(vkey == kVkUp ? place : -place);
            changed = 1;
        } else if (ch >= '0' && ch <= '9') {
            // The digit replaced is the one shown: read from the magnitude in
            // whole units of the last decimal, in double arithmetic, so that
            // neither a float's inexact tenths nor a huge value misread it.
            const double magnitude = std::fabs(double(v));
            const double units = std::round(magnitude * p10(decimals));
            const double above = std::floor(units / p10(digits - hot_digit - 1));
            const double old = std::isfinite(above) ? std::fmod(above, 10.0) : 0;
            const float shown = as_float(magnitude + (ch - '0' - old) * place);
            v = std::signbit(v) ? -shown : shown;
            hot_digit = wrap_column(hot_digit + 1, digits);
            changed = 1;
        } else if (ch == '+' && lo < 0) {
            v = std::fabs(v);
            changed = 1;
        } else if (ch == '-' && hi >= 0) {
            v = -std::fabs(v);
            changed = 1;
        }
    });

    if (mnw.open_menu == -1 && !on_digits && over_arrows(x, y, digits)) {
        const bool up = mnw.mouse_y > y + 3;
        mnw.cursor_kind = up ? kCursorUp : kCursorDown;
        if (mnw.clicked) {
            // Only the first ten columns step; a click on the line between
            // two columns steps both.
            double step = p10(digits - 1) / p10(decimals);
            for (int k = 0; k < digits && k < 10; ++k, step *= 0.1) {
                if (mnw.mouse_x < x + 10.0f * k || mnw.mouse_x > x + 10.0f * k + 10) continue;
                v += as_float(up ? step : -step);
                changed = 1;
            }
        }
    }

    *value = settle(v, decimals, lo, hi);

    BTN_frame1(9, x + 5.0f * digits - 1, y + 3, 10.0f * digits + 15, 0);
    for (int k = 0; k < digits; ++k) draw_arrows(x, y, k);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 10.0f * digits + 12, y, 2, right, 0);
    if (focused) btn_fillrect(8, 1, x + 2 + 10.0f * hot_digit, y - 2, 9, 11);
    btn_number(45, x + 3, y, *value, digits, decimals, 102);
    return changed;
}

int BTN_flt_rangeij(int i, int j, float* value, int digits, int decimals, float lo, float hi,
                    std::string label)
{
    return BTN_flt_range(75.0f * i + 75 - 10.0f * digits, 50.0f * j + 25, value, digits, decimals,
                         lo, hi, std::move(label));
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float lo, float hi,
                  std::string label)
{
    float copy = as_float(*value);
    const int changed = BTN_flt_range(x, y, &copy, digits, decimals, lo, hi, std::move(label));
    if (changed) *value = copy;
    return changed;
}

int BTN_int_range(float x, float y, int* value, int digits, float lo, float hi, std::string label)
{
    float copy = float(*value);
    const int changed = BTN_flt_range(x, y, &copy, digits, 0, lo, hi, std::move(label));
    // An unedited int is settled from itself, so that no whole number above
    // 2^24 is changed by the float's precision.
    *value = whole_in_range(changed ? std::trunc(double(copy)) : double(*value), lo, hi);
    return changed;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int is_signed,
            std::string label)
{
    const float max = shown_max(digits, decimals);
    return BTN_flt_range(x, y, value, digits, decimals, is_signed ? -max : 0, max,
                         std::move(label));
}

int BTN_fltij(int i, int j, float* value, int digits, int decimals, int is_signed,
              std::string label)
{
    return BTN_flt(75.0f * i + 75 - 10.0f * digits, 50.0f * j + 25, value, digits, decimals,
                   is_signed, std::move(label));
}

int BTN_int(float x, float y, int* value, int digits, int is_signed, std::string label)
{
    const float max = shown_max(digits, 0);
    return BTN_int_range(x, y, value, digits, is_signed ? -max : 0, max, std::move(label));
}

void BTN_display_number(float x, float y, float number, int digits, int decimals,
                        std::string label)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_frame1(9, x + 5.0f * digits - 1, y + 3, 10.0f * digits + 15, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 10.0f * digits + 12, y, 2, right, 0);
    btn_number(45, x + 4, y, number, digits, decimals, 102);
}

void BTN_chars(float x, float y, char* text, int length, std::string label)
{
    static key_queue queue;
    static int caret = 0;

    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    const bool on_chars = over_digits(x, y, length);
    if (on_chars) stls.mouse_help = help;
    const bool grab = mnw.open_menu == -1 && mnw.clicked && on_chars;
    if (grab) caret = int((mnw.mouse_x - x) * 0.1f);

    const int id = BTN_focus_id(x, y);
    const int focused = queue.enlist(id, kCharKeys, grab);
    if (focused) caret = length > 0 ? std::clamp(caret, 0, length - 1) : 0;

    queue.drain(id, [&](int ch, int vkey) {
        if (length < 1) return;
        caret = std::clamp(caret, 0, length - 1);
        if (vkey == kVkLeft || vkey == kVkRight) {
            caret = wrap_column(caret + (vkey == kVkLeft ? -1 : 1), length);
        } else if (vkey == kVkUp || vkey == kVkDown) {
            text[caret] = step_symbol(text[caret], vkey == kVkUp ? -1 : 1);
        } else if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') ||
                   (ch >= 'a' && ch <= 'z') || ch == '-' || ch == ' ') {
            text[caret] = char(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
            caret = wrap_column(caret + 1, length);
        }
    });

    if (mnw.open_menu == -1 && mnw.clicked && length > 0 && !on_chars &&
        over_arrows(x, y, length)) {
        const bool up = mnw.mouse_y > y + 3;
        mnw.cursor_kind = up ? kCursorUp : kCursorDown;
        const int k = std::clamp(int((mnw.mouse_x - x) * 0.1f), 0, length - 1);
        text[k] = step_symbol(text[k], up ? -1 : 1);
    }

    BTN_frame1(9, x + 1 + 5.0f * length, y + 3, 10.0f * length + 11, 0);
    for (int k = 0; k < length; ++k) draw_arrows(x, y, k);
    BTN_util_draw_label(x - 6, y, 0, left, 0);
    if (focused) btn_fillrect(8, 1, x + 2 + 10.0f * caret, y - 2, 9, 11);
    for (int k = 0; k < length; ++k)
        if (text[k]) btn_text(45, x + 10.0f * k + 2, y, std::string(1, text[k]), 9999, 100, 0);
}
