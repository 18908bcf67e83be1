#include "OOPS_cpp/oglp_layout.h"

#include <array>
#include <cstdint>

#include "images/atlas_layout.h"

float oglp = 1.0f;

namespace {

using byte_table = std::array<unsigned char, 256>;

// Per-byte lookups built from the atlas layout, where the art generator finds
// the same cells and widths.
template <class F>
constexpr byte_table per_byte(F f)
{
    byte_table t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(f(static_cast<unsigned char>(b)));
    return t;
}

constexpr byte_table kWidths = per_byte(brx_art::glyph_advance);
constexpr byte_table kCells = per_byte(brx_art::glyph_cell);
static_assert(kCells['z'] == 62 && kCells[';'] == 83 && kCells['`'] == 90);
static_assert(kCells[0xFB] == 91 && kCells[0xBF] == 104 && kWidths['W'] == 11);

constexpr int kAtlasColumns = brx_art::kGlyphCols;
constexpr float kGlyphW = brx_art::kGlyphW, kGlyphH = brx_art::kGlyphH;
constexpr float kTexSize = 512.0f;

}  // namespace

float OGL_char_width(char c) { return kWidths[static_cast<unsigned char>(c)]; }

float OGL_string_width(std::string_view text)
{
    float w = 0.0f;
    for (char c : text) w += OGL_char_width(c);
    return w;
}

bool OGL_font_desc(int font, font_desc* out)
{
    switch (font) {
    case font_prop: *out = {388, 0.0f, 0.0f, kGlyphW, kGlyphH, 0}; return true;
    case font_fixed10: *out = {388, 0.0f, 0.0f, kGlyphW, kGlyphH, 10}; return true;
    case font_fixed15: *out = {392, 0.0f, 0.0f, 13.0f, 13.0f, 15}; return true;
    default: return false;
    }
}

int OGL_atlas_cell(unsigned char c) { return kCells[c]; }

glyph_quad OGL_glyph_quad(float x, float y, float s0, float t0, float cell_w, float cell_h, char c,
                          int font)
{
    const float X = std::trunc(x);
    const float Y = std::trunc(y) - 4.0f;

    // Cells are found by the unsigned byte, so every byte stays inside the image.
    const int code = static_cast<unsigned char>(c);
    int column, row;
    if (font == font_fixed15) {
        column = code % 40;
        row = code / 40;
    } else {
        const int k = kCells[code];
        column = k % kAtlasColumns;
        row = k / kAtlasColumns;
    }
    const float u = (s0 + static_cast<float>(column) * cell_w) / kTexSize;
    const float v = (t0 + static_cast<float>(row) * cell_h) / kTexSize;
    const float scale = oglp > 1.0f ? oglp : 1.0f;
    return {X, Y, X + cell_w * scale, Y + cell_h * scale,
            u, v, u + cell_w / kTexSize, v + cell_h / kTexSize};
}

float OGL_line_width(std::string_view line, int adv)
{
    if (!adv) return OGL_string_width(line);
    int drawn = 0;
    for (char c : line)
        if (!OGL_is_skipped(c)) ++drawn;
    return static_cast<float>(adv * drawn);
}

float OGL_justify_x(float x, std::string_view line, int adv, int justification)
{
    if (justification == 1) return x - OGL_line_width(line, adv) / 2.0f;
    if (justification == 2) return x - OGL_line_width(line, adv);
    return x;
}

char OGL_number_digit(double R, int p)
{
    const double q = R / std::pow(10.0, p);
    if (!(q >= 0.0 && q < 2147483648.0)) return '0';  // would not fit a 32-bit integer
    return static_cast<char>('0' + static_cast<int32_t>(q) % 10);
}

int OGL_number_needed(double v)
{
    int n = v <= 9 ? 1 : 2;
    if (v > 99) n = 3;
    if (v > 999) n = 4;
    if (v > 9999) n = 5;
    if (v > 99999) n = 6;
    if (v > 999999) n = 7;
    if (v > 9999999) n = 8;
    if (v > 100000000) n = 9;
    if (v > 1000000000) n = 10;
    return n;
}

namespace {

// The common start of number drawing: magnitude, scaled value, rounded value
// for digit extraction, and whether a minus sign is shown.
struct number_start {
    double a;
    long double v;
    double R;
    bool minus;
};

number_start start_number(float value, int decimals)
{
    number_start s;
    s.a = std::fabs(static_cast<double>(value));
    s.v = static_cast<long double>(s.a) * static_cast<long double>(std::pow(10.0, decimals));
    s.R = static_cast<double>(s.v + 0.5L);
    s.minus = value < 0 && s.v > 0.1L;
    return s;
}

}  // namespace

number_glyphs OGL_number_layout(float x, float y, float wind_x, float wind_y, float value,
                                int digits, int decimals, int adv)
{
    const number_start s = start_number(value, decimals);
    number_glyphs out;
    auto put = [&out](char c, float px) { out.g[out.count++] = {c, px}; };

    const float fadv = static_cast<float>(adv);
    const float P = std::round(x + wind_x) - fadv;
    out.y = std::round(y + wind_y) - 2.0f;

    if (s.minus) put('-', P + 1.0f);
    const int k = digits - decimals;
    if (decimals >= 1) put('.', P + (static_cast<float>(k) + 0.5f) * fadv);
    for (int group = 3; group <= 9; group += 3)
        if (k > group) put(',', P + (static_cast<float>(k - group) + 0.5f) * fadv);

    const int shown = digits >= 11 ? 11 : (digits > 0 ? digits : 0);
    for (int j = 1; j <= shown; ++j)
        put(OGL_number_digit(s.R, shown - j), P + static_cast<float>(j) * fadv);
    return out;
}

std::string OGL_number_text(float value, int digits, int decimals)
{
    const number_start s = start_number(value, decimals);
    std::string text = s.minus ? "-" : "";

    int n = OGL_number_needed(static_cast<double>(s.v));
    if (n < decimals + 1) n = decimals + 1;

    if (digits < n) {
        // Short form: three significant digits and a power of ten.
        int K = 0, e = 2;
        if (std::isfinite(s.a)) {
            double m = s.a;
            while (m >= 999) {
                m *= 0.1;
                ++e;
            }
            K = static_cast<int>(m + 0.5);
        } else {
            e = 10;  // shows as the character 0, like any exponent above 9
        }
        text += static_cast<char>('0' + (K / 100) % 10);
        text += '.';
        text += static_cast<char>('0' + (K / 10) % 10);
        text += static_cast<char>('0' + K % 10);
        text += 'x';
        text += e > 9 ? '0' : static_cast<char>('0' + e);
        return text;
    }

    const int k = digits - decimals;
    int c = k;
    for (int r = digits; r >= 1; --r, --c) {
        if (r == decimals)
            text += '.';
        else if ((c == 3 || c == 6 || c == 9) && k > c)
            text += ',';
        text += OGL_number_digit(s.R, r - 1);
    }
    return text;
}
