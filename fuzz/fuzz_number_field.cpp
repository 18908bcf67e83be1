// Number fields and the character field without a display: arbitrary values
// (infinities and not-a-number among them), ranges, column counts, clicks and
// keys over several frames. An int field always holds a whole number of its
// range, and nothing is read or written past a character field's buffer.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"

namespace {

class reader {
public:
    reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool more() const { return p_ < end_; }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    int small(int lo, int hi) { return lo + byte() % (hi - lo + 1); }
    float any_float()
    {
        // Mostly ordinary numbers, sometimes any bit pattern.
        if (byte() & 1) return float(int8_t(byte())) * std::pow(10.0f, float(small(-3, 3)));
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = (bits << 8) | byte();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

constexpr float fx = 100, fy = 200;

// Whether the int field left a whole number of lo..hi when the range holds one.
bool in_range(int value, float lo, float hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) return true;
    const double least = std::ceil(double(lo)), most = std::floor(double(hi));
    if (least > most || least < INT32_MIN || most > INT32_MAX) return true;
    return value >= least && value <= most;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<btn_draw_op> ops;  // draw into a log, never into GL
    btn_draw_log = &ops;
    mnw = mnw_class{};
    mnw.open_menu = -1;
    mnw.screen_w = 1024;
    mnw.screen_h = 768;
    mnw.wind_w = 1024;
    mnw.wind_h = 768;
    BTN_unfocus_any();
    BTN_begin_focus_ring();

    reader in(data, size);
    float fvalue = 0;
    int ivalue = 0;
    double dvalue = 0;
    const int length = in.small(0, 12);
    std::unique_ptr<char[]> text(new char[std::size_t(length)]);
    for (int i = 0; i < length; ++i) text[std::size_t(i)] = char(in.byte());

    while (in.more()) {
        switch (in.byte() % 5) {
        case 0:
            fvalue = in.any_float();
            ivalue = int(uint32_t(in.byte()) << 24 | uint32_t(in.byte()) << 8 | in.byte());
            dvalue = double(in.any_float()) * 1e300;
            break;
        case 1:
            mnw.mouse_x = fx + float(in.small(-30, 450));
            mnw.mouse_y = fy + float(in.small(-30, 40));
            mnw.clicked = in.byte() & 1;
            mnw.open_menu = (in.byte() & 7) == 0 ? 3 : -1;
            break;
        case 2: {
            const int ch = in.byte(), vkey = in.small(0, 190);
            BTN_dispatch_to_focus(ch, vkey, (in.byte() & 1) ? 16 : 8);
            break;
        }
        case 3: {
            const int digits = in.small(-2, 45), decimals = in.small(-12, 40);
            const float lo = in.any_float(), hi = in.any_float();
            switch (in.byte() % 8) {
            case 0: BTN_flt_range(fx, fy, &fvalue, digits, decimals, lo, hi, "a|b{ c"); break;
            case 1: BTN_dob_range(fx, fy, &dvalue, digits, decimals, lo, hi, ""); break;
            case 2:
                BTN_int_range(fx, fy, &ivalue, digits, lo, hi, "");
                if (!in_range(ivalue, lo, hi)) abort();
                break;
            case 3: BTN_flt(fx, fy, &fvalue, digits, decimals, in.byte() & 1, ""); break;
            case 4: BTN_int(fx, fy, &ivalue, digits, in.byte() & 1, ""); break;
            case 5: BTN_flt_rangeij(1, 3, &fvalue, digits, decimals, lo, hi, ""); break;
            case 6: BTN_display_number(fx, fy, fvalue, digits, decimals, "n"); break;
            case 7: BTN_chars(fx, fy, text.get(), length, "c{ d"); break;
            }
            break;
        }
        case 4:  // the next frame
            BTN_begin_focus_ring();
            mnw.clicked = 0;
            ops.clear();
            break;
        }
    }
    BTN_unfocus_any();
    BTN_begin_focus_ring();
    btn_draw_log = nullptr;
    return 0;
}
