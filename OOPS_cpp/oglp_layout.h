// Text and number layout of the drawing module, free of GL: the width table
// of the proportional font, glyph cells, justification, line breaking and the
// placement of number glyphs. OOPS_cpp/oglp emits GL on top of these.
#pragma once

#include <cmath>
#include <string>
#include <string_view>

// Font ids.
enum { font_prop = 100, font_fixed10 = 102, font_fixed15 = 103 };

// The glyph scale: quads grow by it only when it is above 1.
extern float oglp;

// Advance of one character in the proportional font 100; 0 for a byte
// without a glyph. Every widget measures text with this table.
float OGL_char_width(char c);
// Sum of OGL_char_width over the text.
float OGL_string_width(std::string_view text);

// Texture, glyph cell (texels) and fixed advance of a font (0 for the
// proportional font 100); false for an unknown font.
struct font_desc {
    int tex;
    float s0, t0, cell_w, cell_h;
    int adv;
};
bool OGL_font_desc(int font, font_desc* out);

// Sequence number (0..104) of a byte's cell in the widget atlas; 0, the
// blank cell, for a byte without a glyph.
int OGL_atlas_cell(unsigned char c);

// The textured quad of one glyph with its pen at (x, y): canvas corners and
// texture coordinates over the 512-texel image.
struct glyph_quad {
    float x0, y0, x1, y1;
    float u0, v0, u1, v1;
};
glyph_quad OGL_glyph_quad(float x, float y, float s0, float t0, float cell_w, float cell_h, char c,
                          int font);

// Whether a character is skipped by line drawing (no glyph, no advance).
inline bool OGL_is_skipped(char c) { return c == '\r' || c == '\n' || c == '\t'; }

// Pen advance after c: the fixed advance, or the width table when adv is 0.
inline float OGL_advance(char c, int adv) { return adv ? static_cast<float>(adv) : OGL_char_width(c); }

// The width a line is drawn with, and the x its first glyph starts at for a
// justification (1 centred on x, 2 ending at x, else starting at x).
float OGL_line_width(std::string_view line, int adv);
float OGL_justify_x(float x, std::string_view line, int adv, int justification);

// Calls glyph(pen_x, pen_y, c) for each drawn character of one line.
template <class Glyph>
void OGL_layout_line(float x, float y, std::string_view line, int adv, int justification,
                     Glyph&& glyph)
{
    x = OGL_justify_x(x, line, adv, justification);
    for (char c : line) {
        if (OGL_is_skipped(c)) continue;
        glyph(x, y, c);
        x += OGL_advance(c, adv);
    }
}

// Whether a wrap width asks for line breaking.
inline bool OGL_wraps(float wrap) { return wrap > 0.0f && wrap < 9999.0f; }

// Places text at window position (x, y) and breaks it into lines no wider
// than `wrap` (when OGL_wraps). Calls line(text_of_line, X, Y) with canvas
// positions; returns the y after the last drawn line (or the y used, when not
// breaking), in window coordinates.
template <class Line>
float OGL_layout_string(float x, float y, float wind_x, float wind_y, std::string_view text,
                        float wrap, int adv, Line&& line)
{
    const float X = std::round(x + wind_x);
    float Y = std::round(y + wind_y - 2.0f);
    if (!OGL_wraps(wrap)) {
        line(text, X, Y);
        return Y - wind_y + 2.0f;
    }

    auto is_break = [](char c) { return c == ' ' || c == '-' || c == '/'; };
    const float limit = X + wrap;
    float pen = X;
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\n') {
            line(text.substr(start, i + 1 - start), X, Y);
            Y -= 10.0f;
            start = i + 1;
            pen = X;
            continue;
        }
        pen += OGL_advance(c, adv);
        if (i + 1 == n) {
            line(text.substr(start), X, Y);
            Y -= 10.0f;
            break;
        }
        if (!is_break(c)) continue;
        // Estimate where the next word ends, at 6 pixels a character.
        float estimate = pen;
        const char next = text[i + 1];
        if (!is_break(next) && next != '\0') {
            std::size_t j = i + 1;
            while (j < n && !is_break(text[j]) && text[j] != '\0') ++j;
            estimate = pen + 6.0f * static_cast<float>(j - (i + 1));
        }
        if (estimate >= limit) {
            line(text.substr(start, i + 1 - start), X, Y);
            Y -= 10.0f;
            start = i + 1;
            pen = X;
        }
    }
    return Y - wind_y + 2.0f;
}

// Number drawing. The digit of place p (0 for units) of R, the scaled value
// plus one half; '0' where R / 10^p does not fit a 32-bit integer.
char OGL_number_digit(double R, int p);
// Digit places that the scaled magnitude v needs.
int OGL_number_needed(double v);

// Glyphs of a number in a fixed-advance font, placed one by one.
struct number_glyphs {
    struct glyph {
        char c;
        float x;
    };
    int count = 0;
    glyph g[16];  // a sign, a point, three commas and at most eleven digits
    float y = 0;
};
number_glyphs OGL_number_layout(float x, float y, float wind_x, float wind_y, float value,
                                int digits, int decimals, int adv);

// The text of a number for the other fonts.
std::string OGL_number_text(float value, int digits, int decimals);
