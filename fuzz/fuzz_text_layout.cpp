// Text placement and number layout on arbitrary bytes: every byte of a
// wrapped text lands on exactly one line, in order, and numbers stay within
// their glyph budget whatever the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "OOPS_cpp/oglp_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8) return 0;
    float value;
    std::memcpy(&value, data, sizeof value);
    const int digits = static_cast<int8_t>(data[4]) % 16;
    const int decimals = static_cast<int8_t>(data[5]) % 12;
    const float wrap = static_cast<float>(data[6]) * 4.0f;  // 0 (no wrapping) .. 1020
    const int adv = (data[7] & 3) == 3 ? 10 : 0;
    const int just = data[7] >> 2 & 3;
    const std::string_view text(reinterpret_cast<const char*>(data + 8), size - 8);

    std::string joined;
    int lines = 0;
    const float ret = OGL_layout_string(12.5f, 300.25f, 0.0f, 0.0f, text, wrap, adv,
                                        [&](std::string_view line, float x, float y) {
                                            if (y != 298.0f - 10.0f * static_cast<float>(lines)) __builtin_trap();
                                            joined.append(line);
                                            ++lines;
                                            OGL_layout_line(x, y, line, adv, just, [](float px, float, char c) {
                                                if (!std::isfinite(px) || OGL_is_skipped(c)) __builtin_trap();
                                            });
                                        });
    if (joined != text) __builtin_trap();
    if (OGL_wraps(wrap) && ret != 300.0f - 10.0f * static_cast<float>(lines)) __builtin_trap();

    const number_glyphs g = OGL_number_layout(0, 0, 0, 0, value, digits, decimals, 10);
    if (g.count < 0 || g.count > 16) __builtin_trap();
    for (int i = 0; i < g.count; ++i)
        if (!std::strchr("-.,0123456789", g.g[i].c)) __builtin_trap();
    const std::string t = OGL_number_text(value, digits, decimals);
    if (t.size() > 32) __builtin_trap();
    return 0;
}
