// The text-edit engine through the text field's callbacks: arbitrary texts,
// field positions, widths and scroll offsets (not-a-number included), clicks,
// drags, keys, selections, replacements and texts changed behind the
// engine's back. After every engine operation the selection must lie within
// the text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/ogle.h"

namespace {

class reader {
public:
    reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool more() const { return p_ < end_; }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    int i16() { return int16_t(uint16_t(byte() << 8 | byte())); }
    // Mostly ordinary coordinates, sometimes any bit pattern.
    float coord()
    {
        if (byte() % 8 == 0) {
            uint32_t bits = 0;
            for (int i = 0; i < 4; ++i) bits = bits << 8 | byte();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        return float(i16()) / 4;
    }
    std::string text(std::size_t max)
    {
        std::string s;
        const std::size_t n = std::min<std::size_t>(byte(), max);
        for (std::size_t i = 0; i < n && more(); ++i) s += char(byte());
        return s;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

void check(OGLE_Rec* rec, const std::string& text)
{
    int s = -1, e = -1;
    OGLE_GetSelection(rec, &s, &e);
    if (s < 0 || s > e || e > int(text.size())) abort();
    const std::vector<int>& starts = rec->line_starts;
    for (std::size_t i = 1; i < starts.size(); ++i)
        if (starts[i] <= starts[i - 1]) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<btn_draw_op> ops;  // draw into a log, never into GL
    btn_draw_log = &ops;
    static OGLE_Rec* rec = nullptr;
    if (rec) OGLE_Destroy(rec);
    rec = OGLE_Create(&OGLE_cbs, nullptr);

    reader in(data, size);
    std::string text = in.text(255);
    OGLE_input = &text;
    OGLE_x = in.i16();
    OGLE_y = in.i16();
    OGLE_entry_dx = in.i16();
    OGLE_dx = OGLE_dy = 0;
    OGLE_Repaginate(rec);
    check(rec, text);

    while (in.more()) {
        ops.clear();
        switch (in.byte() % 9) {
        case 0: {
            const float x = in.coord(), y = in.coord();
            OGLE_Click(rec, x, y, in.byte() & 1);
            break;
        }
        case 1: {
            const float x = in.coord(), y = in.coord();
            OGLE_Drag(rec, x, y);
            break;
        }
        case 2: {
            const char c = char(in.byte());
            OGLE_Key(rec, c, in.byte() & 1);
            break;
        }
        case 3: {
            const int s = in.i16(), e = in.i16();
            OGLE_SetSelection(rec, s, e);
            break;
        }
        case 4: {
            const int s = in.i16(), e = in.i16();
            const std::string ins = in.text(16);
            OGLE_ReplaceText(rec, s, e, ins.empty() ? nullptr : ins.data(),
                             ins.empty() ? nullptr : ins.data() + ins.size());
            break;
        }
        case 5:  // the host changes its text itself, then the engine runs again
            if (in.byte() & 1)
                text.resize(in.byte() % (text.size() + 1));
            else if (text.size() < 4096)
                text += in.text(32);
            if (in.byte() & 1) OGLE_Repaginate(rec);
            OGLE_Draw(rec, 1);
            break;
        case 6: OGLE_Draw(rec, in.byte() & 1); break;
        case 7: {
            OGLE_entry_dx = in.i16();
            OGLE_dx = in.coord();
            OGLE_dy = in.coord();
            OGLE_Repaginate(rec);
            break;
        }
        default: OGLE_RevealSelection(rec); break;
        }
        check(rec, text);
    }
    OGLE_input = nullptr;
    return 0;
}
