// Where every element of the built-in images lies. The widget code, the art
// generator (images/tools/make_art.cpp) and the layout test read these tables,
// so a rectangle is written down exactly once.
//
// Coordinates are texels: s from the left, t from the first stored row (the
// bottom of the picture as drawn). A rectangle covers s .. s + w - 1 and
// t .. t + h - 1.
#pragma once

#include <cstdint>

namespace brx_art {

// ---------------------------------------------------------------------------
// Widget atlas (texture 388), 512 by 512.

inline constexpr int kAtlasSize = 512;

enum atlas_kind : uint8_t {
    ak_frame1,     // stretchable one-row frame (BTN_frame1)
    ak_frame0,     // vertical bar (BTN_frame0)
    ak_frame2,     // nine-slice panel cell (BTN_frame2)
    ak_element,    // a single quad
    ak_cursor,     // 30 by 30 mouse-cursor sprite
    ak_icon,       // 12 by 12 list icon
    ak_glyphs,     // the glyph cells of fonts 100 and 102
};

struct atlas_rect {
    const char* name;
    int s, t, w, h;
    atlas_kind kind;
    // Frames 0 and 1 read one row past the top of the atlas; the row wraps to
    // row 0, whose texels under them are transparent.
    bool reads_past_top = false;
};

// Glyph cells: 105 cells of 14 by 15, 21 to a row, from the atlas origin.
inline constexpr int kGlyphW = 14, kGlyphH = 15, kGlyphCols = 21, kGlyphCount = 105;
inline constexpr int kGlyphBaseline = 5;  // cell row of the text base line

inline constexpr atlas_rect kAtlasRects[] = {
    {"glyphs", 0, 0, kGlyphW * kGlyphCols, kGlyphH * 5, ak_glyphs},

    // BTN_frame1 strips (u0, r0, B, H).
    {"frame1 style 0 menu bar", 1, 487, 100, 26, ak_frame1, true},
    {"frame1 style 1 title bar", 102, 487, 100, 26, ak_frame1, true},
    {"frame1 style 2 button", 304, 486, 52, 26, ak_frame1},
    {"frame1 style 3 button down", 304, 459, 52, 26, ak_frame1},
    {"frame1 style 4 bar trough", 112, 161, 28, 16, ak_frame1},
    {"frame1 style 5 bar fill", 83, 161, 28, 16, ak_frame1},
    {"frame1 style 7 slider track", 240, 242, 65, 24, ak_frame1},
    {"frame1 style 8 slider knob", 289, 219, 16, 16, ak_frame1},
    {"frame1 style 9 field", 262, 133, 51, 26, ak_frame1},
    {"frame1 style 10 drop-down", 357, 488, 68, 24, ak_frame1},
    {"frame0 vertical bar", 102, 248, 20, 40, ak_frame0},

    // BTN_frame2 cells (u, v, c).
    {"frame2 style 11 window", 1, 358, 100, 100, ak_frame2},
    {"frame2 style 12 window plain", 102, 358, 100, 100, ak_frame2},
    {"frame2 style 13 panel", 203, 358, 100, 100, ak_frame2},
    {"frame2 style 14 tooltip", 304, 358, 100, 100, ak_frame2},
    {"frame2 style 15 progress panel", 405, 358, 100, 100, ak_frame2},
    {"frame2 style 16 list box", 1, 289, 68, 68, ak_frame2},
    {"frame2 style 17 menu", 70, 315, 42, 42, ak_frame2},
    {"frame2 style 18 small panel", 113, 315, 42, 42, ak_frame2},
    {"frame2 style 19 small panel", 440, 12, 44, 44, ak_frame2},

    // Single elements.
    {"close box", 120, 178, 18, 18, ak_element},
    {"close box pressed", 120, 197, 18, 18, ak_element},
    {"check box", 139, 178, 18, 18, ak_element},
    {"check mark", 139, 197, 18, 18, ak_element},
    {"choice button", 83, 123, 18, 18, ak_element},
    {"choice mark", 83, 142, 18, 18, ak_element},
    {"number up arrow", 83, 197, 14, 18, ak_element},
    {"number down arrow", 83, 178, 14, 18, ak_element},
    {"slider up arrow", 83, 266, 18, 22, ak_element},
    {"slider thumb", 83, 240, 18, 24, ak_element},
    {"slider down arrow", 83, 216, 18, 22, ak_element},
    {"slider knob", 262, 267, 20, 22, ak_element},
    {"submenu arrow", 158, 178, 18, 18, ak_element},
    {"tab", 204, 459, 98, 26, ak_element},
    {"tab chosen", 204, 486, 98, 26, ak_element},
    {"compass dial", 178, 160, 56, 58, ak_element},
    {"compass needle", 156, 272, 10, 42, ak_element},
    {"compass needle plain", 156, 315, 10, 42, ak_element},
    {"folder button", 208, 133, 26, 26, ak_element},

    // Mouse-cursor sprites: column c at s = 32c + 200, row r at t = 32r + 293.
    {"cursor 14", 168, 293, 30, 30, ak_cursor},
    {"cursor 13", 168, 325, 30, 30, ak_cursor},
    {"cursor 5", 200, 293, 30, 30, ak_cursor},
    {"cursor 3", 200, 325, 30, 30, ak_cursor},
    {"cursor 6", 232, 293, 30, 30, ak_cursor},
    {"cursor 4", 232, 325, 30, 30, ak_cursor},
    {"cursor 9", 264, 293, 30, 30, ak_cursor},
    {"cursor 7", 264, 325, 30, 30, ak_cursor},
    {"cursor 10", 296, 293, 30, 30, ak_cursor},
    {"cursor 8", 296, 325, 30, 30, ak_cursor},
    {"cursor 12", 328, 293, 30, 30, ak_cursor},
    {"cursor 11", 328, 325, 30, 30, ak_cursor},
    {"cursor 12 held", 360, 293, 30, 30, ak_cursor},
    {"cursor 11 held", 360, 325, 30, 30, ak_cursor},

    // List icons, all in the band t 82 to 94.
    {"icon folder", 34, 82, 12, 12, ak_icon},
    {"icon aircraft", 48, 82, 12, 12, ak_icon},
    {"icon airfoil", 62, 82, 12, 12, ak_icon},
    {"icon weapon", 90, 82, 12, 12, ak_icon},
    {"icon object", 146, 82, 12, 12, ak_icon},
    {"icon situation", 104, 82, 12, 12, ak_icon},
    {"icon movie", 118, 82, 12, 12, ak_icon},
    {"icon flight model", 132, 82, 12, 12, ak_icon},
};

// One-texel opaque colour swatches read at start-up into the colour table.
struct atlas_swatch {
    int s, t;
    int colour_index;
    uint8_t r, g, b;
};

inline constexpr atlas_swatch kAtlasSwatches[] = {
    {319, 155, 34, 51, 67, 86},    {319, 147, 35, 78, 78, 73},    {319, 139, 36, 13, 27, 44},
    {319, 131, 37, 125, 126, 121}, {319, 123, 38, 255, 255, 255}, {319, 115, 40, 238, 238, 238},
    {319, 107, 41, 13, 27, 44},    {319, 99, 42, 93, 99, 110},    {319, 91, 43, 34, 41, 53},
    {319, 83, 45, 39, 44, 52},     {319, 75, 46, 36, 43, 53},     {319, 67, 47, 127, 220, 175},
    {395, 115, 44, 220, 220, 220},
};

// Glyph sequence number of a byte in the cell table of fonts 100 and 102;
// bytes without a glyph use cell 0, the blank.
constexpr int glyph_cell(unsigned char c)
{
    if (c >= '0' && c <= '9') return 1 + (c - '0');
    if (c >= 'A' && c <= 'Z') return 11 + 2 * (c - 'A');
    if (c >= 'a' && c <= 'z') return 12 + 2 * (c - 'a');
    constexpr const char punct[] = "!@#$%^&*()-_+=[]|\\':;<.>,?/`";
    for (int i = 0; punct[i]; ++i)
        if (static_cast<unsigned char>(punct[i]) == c) return 63 + i;
    constexpr unsigned char latin[] = {0xFB, 0xC1, 0xE1, 0xC9, 0xE9, 0xCD, 0xED,
                                       0xD3, 0xF3, 0xDA, 0xFA, 0xD1, 0xF1, 0xBF};
    for (int i = 0; i < 14; ++i)
        if (latin[i] == c) return 91 + i;
    return 0;
}

// Advance of a byte in the proportional font 100, in canvas pixels.
constexpr int glyph_advance(unsigned char c)
{
    struct row { int width; const char* chars; };
    constexpr row rows[] = {
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
    for (const row& r : rows)
        for (int i = 0; r.chars[i]; ++i)
            if (static_cast<unsigned char>(r.chars[i]) == c) return r.width;
    return 0;
}

// ---------------------------------------------------------------------------
// Installer art sheet (texture 389): stored with rows of 1024 texels; only
// rows 0 to 257 are drawn.

inline constexpr int kArtRowTexels = 1024;
inline constexpr int kArtDeclaredW = 1010, kArtDeclaredH = 764;
inline constexpr int kArtDrawnRows = 258;

struct art_label {
    const char* text;
    int s, w;
};

// Button labels: normal look at t 166, hover 23 rows lower, pressed 46 lower.
inline constexpr int kLabelH = 22, kLabelNormalT = 166, kLabelStep = 23;
inline constexpr art_label kArtLabels[] = {
    {"DESTINATION", 513, 126}, {"INSTALL", 640, 83}, {"QUIT", 780, 51},
    {"DECLINE", 832, 85},      {"AGREE", 918, 59},
};

struct art_rect {
    const char* name;
    int s, t, w, h;
};

inline constexpr art_rect kArtPanel = {"corner panel", 644, 33, 128, 86};
inline constexpr art_rect kArtFrame20 = {"frame2 style 20 cell", 774, 78, 41, 41};

// Icon grid: 64 by 64 cells in 8 columns from t 66; cells 8 to 23 are the
// turning globe.
inline constexpr int kIconCell = 64, kIconGridT = 66, kGlobeFirst = 8, kGlobeFrames = 16;
constexpr art_rect art_icon(int n)
{
    return {"icon", (n % 8) * kIconCell, kIconGridT + (n / 8) * kIconCell, kIconCell, kIconCell};
}

}  // namespace brx_art
