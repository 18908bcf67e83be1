// Text and number layout of the drawing module: widths, glyph cells,
// justification, line breaking and number placement, without GL.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "OOPS_cpp/oglp_layout.h"

namespace {

TEST(FontWidths, EveryByteMatchesTheTable)
{
    struct Row {
        int width;
        std::string chars;
    };
    const Row rows[] = {
        {2, ",."},
        {3, " '/:;\\`|Iijl\xFB"},
        {4, "!()-[]Jfrst"},
        {5, "c"},
        {6, "#$*?^_0123456789EFLPSTZaekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA"},
        {7, "+<=>BCKRVXYbdghnopqu"},
        {8, "&ADGHNU"},
        {9, "@OQw"},
        {10, "Mm"},
        {11, "%W"},
    };
    int expected[256] = {};
    for (const Row& r : rows)
        for (char c : r.chars) expected[static_cast<unsigned char>(c)] = r.width;
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(OGL_char_width(static_cast<char>(b)), expected[b]) << "byte " << b;

    EXPECT_EQ(OGL_string_width("abc"), 18.0f);
    EXPECT_EQ(OGL_string_width(""), 0.0f);
    EXPECT_EQ(OGL_string_width("\"{}~\r\n\t"), 0.0f);
}

TEST(FontCells, AtlasSequenceNumbers)
{
    const std::pair<unsigned char, int> cases[] = {
        {' ', 0},  {'0', 1},   {'9', 10},  {'A', 11},  {'a', 12},  {'b', 14},  {'Z', 61},
        {'z', 62}, {'!', 63},  {'@', 64},  {'|', 79},  {'\\', 80}, {'\'', 81}, {';', 83},
        {'<', 84}, {'.', 85},  {'/', 89},  {'`', 90},  {0xFB, 91}, {0xC1, 92}, {0xE9, 95},
        {0xF1, 103}, {0xBF, 104}, {'"', 0}, {'{', 0},  {'~', 0},   {127, 0},   {0xE8, 0},
        {0x80, 0}, {0xFF, 0},  {'\n', 0},
    };
    for (auto [byte, k] : cases) EXPECT_EQ(OGL_atlas_cell(byte), k) << "byte " << int(byte);
}

TEST(FontCells, GlyphQuadPlacesCellAndPen)
{
    font_desc f{};
    ASSERT_TRUE(OGL_font_desc(100, &f));
    // e-acute: cell 95, column 11, row 4.
    glyph_quad q = OGL_glyph_quad(10.7f, 20.2f, f.s0, f.t0, f.cell_w, f.cell_h, '\xE9', 100);
    EXPECT_EQ(q.x0, 10.0f);
    EXPECT_EQ(q.y0, 16.0f);
    EXPECT_EQ(q.x1, 24.0f);
    EXPECT_EQ(q.y1, 31.0f);
    EXPECT_FLOAT_EQ(q.u0, 154.0f / 512);
    EXPECT_FLOAT_EQ(q.v0, 60.0f / 512);
    EXPECT_FLOAT_EQ(q.u1, 168.0f / 512);
    EXPECT_FLOAT_EQ(q.v1, 75.0f / 512);

    // Truncation is towards zero.
    q = OGL_glyph_quad(-3.7f, -0.5f, f.s0, f.t0, f.cell_w, f.cell_h, 'A', 102);
    EXPECT_EQ(q.x0, -3.0f);
    EXPECT_EQ(q.y0, -4.0f);

    // Font 103 takes the byte unsigned: 200 is column 0, row 5, inside the image.
    ASSERT_TRUE(OGL_font_desc(103, &f));
    q = OGL_glyph_quad(0, 0, f.s0, f.t0, f.cell_w, f.cell_h, static_cast<char>(200), 103);
    EXPECT_FLOAT_EQ(q.u0, 0.0f);
    EXPECT_FLOAT_EQ(q.v0, 65.0f / 512);
    for (int b = 0; b < 256; ++b) {
        q = OGL_glyph_quad(0, 0, f.s0, f.t0, f.cell_w, f.cell_h, static_cast<char>(b), 103);
        EXPECT_GE(q.u0, 0.0f);
        EXPECT_LT(q.u0, 1.0f);
        EXPECT_GE(q.v0, 0.0f);
        EXPECT_LE(q.v1, 1.0f);
    }

    // The glyph scale grows the quad only, and only above 1.
    ASSERT_TRUE(OGL_font_desc(100, &f));
    oglp = 2.0f;
    q = OGL_glyph_quad(0, 4, f.s0, f.t0, f.cell_w, f.cell_h, 'A', 100);
    oglp = 1.0f;
    EXPECT_EQ(q.x1 - q.x0, 28.0f);
    EXPECT_EQ(q.y1 - q.y0, 30.0f);
    EXPECT_FLOAT_EQ(q.u1 - q.u0, 14.0f / 512);
}

TEST(FontCells, KnownFontsOnly)
{
    font_desc f{};
    ASSERT_TRUE(OGL_font_desc(100, &f));
    EXPECT_EQ(f.tex, 388);
    EXPECT_EQ(f.adv, 0);
    ASSERT_TRUE(OGL_font_desc(102, &f));
    EXPECT_EQ(f.tex, 388);
    EXPECT_EQ(f.adv, 10);
    ASSERT_TRUE(OGL_font_desc(103, &f));
    EXPECT_EQ(f.tex, 392);
    EXPECT_EQ(f.adv, 15);
    EXPECT_EQ(f.cell_w, 13.0f);
    for (int bad : {0, 99, 101, 104, -100}) EXPECT_FALSE(OGL_font_desc(bad, &f)) << bad;
}

struct Pen {
    float x;
    char c;
};

std::vector<Pen> pens(float x, const std::string& line, int adv, int just)
{
    std::vector<Pen> out;
    OGL_layout_line(x, 0, line, adv, just, [&](float px, float, char c) { out.push_back({px, c}); });
    return out;
}

TEST(TextLine, JustificationAndAdvance)
{
    struct Case {
        std::string text;
        int adv, just;
        float x;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"abc", 0, 0, 100, {100, 106, 113}},
        {"abc", 0, 1, 100, {91, 97, 104}},
        {"abc", 0, 2, 100, {82, 88, 95}},
        {"abc", 0, 7, 100, {100, 106, 113}},  // any other value starts at x
        {"a b", 0, 0, 0, {0, 6, 9}},          // a space advances 3
        {"a b", 10, 0, 0, {0, 10, 20}},       // and 10 in the fixed font
        {"a\"b", 0, 0, 0, {0, 6, 6}},         // a double quote advances 0
        {"a\r\n\tb", 0, 0, 0, {0, 6}},        // CR, LF and TAB are skipped
        {"a\r\n\tb", 10, 1, 100, {90, 100}},  // and do not count in fixed widths
        {"\xE9\xE8x", 0, 0, 0, {0, 6, 6}},    // e-acute 6, e-grave 0
    };
    for (const Case& c : cases) {
        const std::vector<Pen> got = pens(c.x, c.text, c.adv, c.just);
        ASSERT_EQ(got.size(), c.expected.size()) << c.text;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].x, c.expected[i]) << c.text << " glyph " << i;
    }
    EXPECT_EQ(OGL_line_width("a\r\n\tb", 10), 20.0f);
    EXPECT_TRUE(pens(0, "", 0, 1).empty());
}

struct Laid {
    std::vector<std::string> lines;
    std::vector<float> xs, ys;
    float ret;
};

Laid lay(float x, float y, const std::string& text, float wrap, int adv = 0, float wx = 0,
         float wy = 0)
{
    Laid out;
    out.ret = OGL_layout_string(x, y, wx, wy, text, wrap, adv,
                                [&](std::string_view line, float X, float Y) {
                                    out.lines.emplace_back(line);
                                    out.xs.push_back(X);
                                    out.ys.push_back(Y);
                                });
    return out;
}

TEST(TextPlacement, RoundsHalvesAwayFromZero)
{
    Laid l = lay(-0.5f, 50.6f, "x", 9999);
    EXPECT_EQ(l.xs.at(0), -1.0f);
    EXPECT_EQ(l.ys.at(0), 49.0f);  // y - 2, rounded
    EXPECT_EQ(l.ret, 51.0f);       // the y used, at whole-pixel precision
    l = lay(0.5f, 10.0f, "x", 9999);
    EXPECT_EQ(l.xs.at(0), 1.0f);
    EXPECT_EQ(l.ret, 10.0f);

    // The window origin is added, and taken off again for the result.
    l = lay(10, 20, "x", 9999, 0, 100.25f, 200.5f);
    EXPECT_EQ(l.xs.at(0), 110.0f);
    EXPECT_EQ(l.ys.at(0), 219.0f);  // 218.5 away from zero
    EXPECT_EQ(l.ret, 20.5f);
}

TEST(TextPlacement, NoBreakingOutsideTheWrapRange)
{
    for (float wrap : {0.0f, -5.0f, 9999.0f, 20000.0f}) {
        const Laid l = lay(0, 100, "hello world\nagain", wrap);
        ASSERT_EQ(l.lines.size(), 1u) << wrap;
        EXPECT_EQ(l.lines[0], "hello world\nagain");
        EXPECT_EQ(l.ret, 100.0f);
    }
}

TEST(TextPlacement, BreaksLinesAndReturnsTheNextY)
{
    struct Case {
        std::string text;
        float wrap;
        std::vector<std::string> lines;
        float ret;
    };
    const Case cases[] = {
        {"ab cd", 200, {"ab cd"}, 90},                       // fits: y - 10
        {"hello world", 40, {"hello ", "world"}, 80},        // the space ends line one
        {"well-known", 40, {"well-", "known"}, 80},          // break after the hyphen
        {"path/name", 30, {"path/", "name"}, 80},            // and after a slash
        {"abc\n", 200, {"abc\n"}, 90},                       // a trailing LF: one line
        {"ab\ncd", 200, {"ab\n", "cd"}, 80},                 // LF breaks when wrapping
        {"\n\n", 200, {"\n", "\n"}, 80},
        {"", 200, {}, 100},                                  // nothing drawn
        {"averyveryverylongword and", 20, {"averyveryverylongword ", "and"}, 80},
        {"a  b", 8, {"a ", " ", "b"}, 70},                   // space then space: estimate is pen
        {"ab cdefgh", 24, {"ab ", "cdefgh"}, 80},            // estimate 15 + 36 >= 24
        {"ab cd", 28, {"ab ", "cd"}, 80},                    // estimate 16 + 12 reaches 28
        {"ab cd", 29, {"ab cd"}, 90},                        // but not 29
    };
    for (const Case& c : cases) {
        const Laid l = lay(0, 100, c.text, c.wrap);
        EXPECT_EQ(l.lines, c.lines) << "'" << c.text << "' wrap " << c.wrap;
        EXPECT_EQ(l.ret, c.ret) << "'" << c.text << "'";
        for (float x : l.xs) EXPECT_EQ(x, 0.0f);
        for (std::size_t i = 0; i < l.ys.size(); ++i) EXPECT_EQ(l.ys[i], 98.0f - 10.0f * i);
    }
}

struct FixedCase {
    float value;
    int digits, decimals;
    std::vector<std::pair<char, float>> glyphs;
};

TEST(NumberLayout, FixedFontPlacesEveryGlyph)
{
    const FixedCase cases[] = {
        {42, 3, 0, {{'0', 100}, {'4', 110}, {'2', 120}}},
        {-3.5f, 3, 1, {{'-', 91}, {'.', 115}, {'0', 100}, {'3', 110}, {'5', 120}}},
        {1234, 4, 0, {{',', 105}, {'1', 100}, {'2', 110}, {'3', 120}, {'4', 130}}},
        {1234, 2, 0, {{'3', 100}, {'4', 110}}},  // higher places are not shown
        {-0.04f, 1, 0, {{'0', 100}}},            // no minus sign at or below 0.1
        {7, 0, 0, {}},
        {7, -3, 0, {}},
        {1234567, 7, 0,
         {{',', 135}, {',', 105}, {'1', 100}, {'2', 110}, {'3', 120}, {'4', 130}, {'5', 140},
          {'6', 150}, {'7', 160}}},
        {5, 14, 0,  // eleven digits at most, commas placed by the digit count
         {{',', 205}, {',', 175}, {',', 145}, {'0', 100}, {'0', 110}, {'0', 120}, {'0', 130},
          {'0', 140}, {'0', 150}, {'0', 160}, {'0', 170}, {'0', 180}, {'0', 190}, {'5', 200}}},
    };
    for (const FixedCase& c : cases) {
        const number_glyphs g = OGL_number_layout(100, 50, 0, 0, c.value, c.digits, c.decimals, 10);
        ASSERT_EQ(g.count, static_cast<int>(c.glyphs.size())) << c.value;
        for (int i = 0; i < g.count; ++i) {
            EXPECT_EQ(g.g[i].c, c.glyphs[i].first) << c.value << " glyph " << i;
            EXPECT_EQ(g.g[i].x, c.glyphs[i].second) << c.value << " glyph " << i;
        }
        EXPECT_EQ(g.y, 48.0f);
    }

    // The window origin is added and rounded with the position.
    const number_glyphs g = OGL_number_layout(10.5f, 20.4f, 100, 200, 1, 1, 0, 10);
    ASSERT_EQ(g.count, 1);
    EXPECT_EQ(g.g[0].x, 111.0f);
    EXPECT_EQ(g.y, 218.0f);
}

TEST(NumberLayout, DigitsOutOfIntegerRangeShowZero)
{
    // 2^31 + 256: the units place is past 32 bits, the places above are not.
    EXPECT_EQ(OGL_number_digit(2147483904.5, 0), '0');
    EXPECT_EQ(OGL_number_digit(2147483904.5, 2), '9');
    EXPECT_EQ(OGL_number_digit(2147483647.5, 0), '7');
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double r : {inf, nan, 1e300})
        for (int p : {0, 5, 10}) EXPECT_EQ(OGL_number_digit(r, p), '0') << r << " place " << p;

    const float finf = std::numeric_limits<float>::infinity();
    for (float v : {finf, -finf, std::numeric_limits<float>::quiet_NaN(), 3.0e38f, -1e20f}) {
        const number_glyphs g = OGL_number_layout(0, 0, 0, 0, v, 11, 2, 10);
        EXPECT_LE(g.count, 16);
        for (int i = 0; i < g.count; ++i) EXPECT_NE(std::string("-.,0123456789").find(g.g[i].c), std::string::npos);
        const std::string t = OGL_number_text(v, 5, 1);  // terminates, with a short form
        EXPECT_EQ(t.back() >= '0' && t.back() <= '9', true) << t;
    }
}

TEST(NumberLayout, NeededDigits)
{
    const std::pair<double, int> cases[] = {{0, 1},   {9, 1},     {9.3, 2},         {99, 2},
                                            {100, 3}, {1000, 4},  {100000000, 8},   {100000001, 9},
                                            {1e9, 9}, {1.5e9, 10}, {1e30, 10}};
    for (auto [v, n] : cases) EXPECT_EQ(OGL_number_needed(v), n) << v;
}

TEST(NumberLayout, TextForOtherFonts)
{
    struct Case {
        float value;
        int digits, decimals;
        const char* text;
    };
    const Case cases[] = {
        {1234, 2, 0, "1.23x3"},     {5, 0, 0, "0.05x2"},       {12345, 3, 0, "1.23x4"},
        {500, 2, 0, "5.00x2"},      {999, 2, 0, "1.00x3"},     {-12345, 3, 0, "-1.23x4"},
        {1234567, 7, 0, "1,234,567"}, {1234.5f, 6, 1, "01,234.5"}, {5, 3, 0, "005"},
        {-3.5f, 3, 1, "-03.5"},     {-0.04f, 1, 0, "0"},       {0.5f, 2, 1, "0.5"},       {0.5f, 1, 1, "0.01x2"},
        {3.25f, 5, 2, "003.25"},    {1234, 4, 0, "1,234"},     {3e20f, 4, 0, "3.00x0"},
        {std::numeric_limits<float>::infinity(), 4, 0, "0.00x0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OGL_number_text(c.value, c.digits, c.decimals), c.text)
            << c.value << " " << c.digits << " " << c.decimals;
}

}  // namespace
