// Remakes the committed PNG sources of the built-in images:
//
//   make_art <out-folder> [font-folder]
//
// writes t_interface.png (the 512 by 512 widget atlas with the glyphs of fonts
// 100 and 102), t_installer.png (the installer's art sheet), t_ins_back_1.png
// and t_ins_back_2.png (the two backgrounds). Glyphs come from the DejaVu Sans
// faces of the Debian package fonts-dejavu-core. Every position is taken from
// images/atlas_layout.h. The output is deterministic for a given FreeType.
//
// Drawing works in texel coordinates with t upwards (t = 0 is the first stored
// row, the bottom of the picture); shapes are signed-distance functions, so
// their edges are anti-aliased by coverage.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "images/atlas_layout.h"

using namespace brx_art;

namespace {

struct rgba {
    float r, g, b, a;
};
constexpr rgba rgb(int r, int g, int b, float a = 1.0f) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
rgba mix(rgba x, rgba y, float f)
{
    f = std::clamp(f, 0.0f, 1.0f);
    return {x.r + (y.r - x.r) * f, x.g + (y.g - x.g) * f, x.b + (y.b - x.b) * f, x.a + (y.a - x.a) * f};
}
rgba with_alpha(rgba c, float a) { return {c.r, c.g, c.b, a}; }

// Palette of the interface (the swatch colours and their neighbours).
const rgba kNavy = rgb(13, 27, 44), kSlate = rgb(51, 67, 86), kSlateLight = rgb(74, 94, 120);
const rgba kInk = rgb(34, 41, 53), kBody = rgb(226, 230, 236);
const rgba kWhite = rgb(255, 255, 255), kAccent = rgb(58, 112, 170);
const rgba kMint = rgb(127, 220, 175), kShadow = rgb(0, 0, 0, 0.35f);

struct canvas {
    int w, h;
    std::vector<rgba> px;
    canvas(int w_, int h_, rgba fill = {0, 0, 0, 0}) : w(w_), h(h_), px(std::size_t(w_) * h_, fill) {}
    rgba& at(int s, int t) { return px[std::size_t(t) * w + s]; }

    void blend(int s, int t, rgba c, float cover)
    {
        if (s < 0 || t < 0 || s >= w || t >= h) return;
        const float a = c.a * std::clamp(cover, 0.0f, 1.0f);
        if (a <= 0.0f) return;
        rgba& d = at(s, t);
        const float out = a + d.a * (1.0f - a);
        auto ch = [&](float src, float dst) { return (src * a + dst * d.a * (1.0f - a)) / out; };
        d = {ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), out};
    }
};

// Signed distance (negative inside) of a point to a shape.
using sdf = std::function<float(float, float)>;
using paint = std::function<rgba(float, float)>;

sdf round_box(float x0, float y0, float x1, float y1, float r)
{
    return [=](float x, float y) {
        const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        const float qx = std::fabs(x - cx) - ((x1 - x0) / 2 - r);
        const float qy = std::fabs(y - cy) - ((y1 - y0) / 2 - r);
        const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
    };
}
sdf circle(float cx, float cy, float r)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}
sdf segment(float ax, float ay, float bx, float by, float r)
{
    return [=](float x, float y) {
        const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
        const float f = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
        return std::hypot(px - dx * f, py - dy * f) - r;
    };
}
sdf polygon(std::vector<std::pair<float, float>> v)
{
    return [v](float x, float y) {
        float d = 1e9f, sign = 1.0f;
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            const float ex = v[j].first - v[i].first, ey = v[j].second - v[i].second;
            const float wx = x - v[i].first, wy = y - v[i].second;
            const float f = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
            d = std::min(d, std::hypot(wx - ex * f, wy - ey * f));
            const bool c1 = y >= v[i].second, c2 = y < v[j].second, c3 = ex * wy > ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
        }
        return sign * d;
    };
}
sdf ring(sdf inner_shape, float width)
{
    return [=](float x, float y) { return std::fabs(inner_shape(x, y) + width / 2) - width / 2; };
}

paint flat(rgba c) { return [=](float, float) { return c; }; }
paint vgrad(float y0, rgba bottom, float y1, rgba top)
{
    return [=](float, float y) { return mix(bottom, top, (y - y0) / (y1 - y0)); };
}

// Fills shape over the texel box [s0, s1) x [t0, t1) of the canvas.
void fill(canvas& c, int s0, int t0, int s1, int t1, const sdf& shape, const paint& p)
{
    for (int t = std::max(t0, 0); t < std::min(t1, c.h); ++t)
        for (int s = std::max(s0, 0); s < std::min(s1, c.w); ++s) {
            const float x = s + 0.5f, y = t + 0.5f;
            const float cover = 0.5f - shape(x, y);
            if (cover > 0.0f) c.blend(s, t, p(x, y), cover);
        }
}
// The same in coordinates local to a rectangle that starts at (s0, t0).
void fill_local(canvas& c, int s0, int t0, int w, int h, const sdf& shape, const paint& p)
{
    fill(c, s0, t0, s0 + w, t0 + h, [&](float x, float y) { return shape(x - s0, y - t0); },
         [&](float x, float y) { return p(x - s0, y - t0); });
}
// A soft shadow of a box: alpha falls off over `blur` texels outside it.
void shadow(canvas& c, int s0, int t0, int w, int h, float x0, float y0, float x1, float y1, float r,
            float blur, float strength)
{
    const sdf box = round_box(x0, y0, x1, y1, r);
    for (int t = 0; t < h; ++t)
        for (int s = 0; s < w; ++s) {
            const float d = box(s + 0.5f, t + 0.5f);
            const float f = std::clamp(1.0f - d / blur, 0.0f, 1.0f);
            if (f > 0) c.blend(s0 + s, t0 + t, with_alpha(kShadow, strength * f * f), 1.0f);
        }
}

// ---------------------------------------------------------------------------
// Text through FreeType.

struct font {
    FT_Face face = nullptr;
};
FT_Library ft;

font open_font(const std::string& path)
{
    font f;
    if (FT_New_Face(ft, path.c_str(), 0, &f.face)) {
        fprintf(stderr, "cannot open font %s\n", path.c_str());
        exit(1);
    }
    return f;
}

// Renders one code point; the bitmap stays valid until the next call.
// `embolden` thickens the strokes by that many 64ths of a pixel.
FT_GlyphSlot render(font& f, int px, unsigned code, float xscale = 1.0f, float yscale = 1.0f, int embolden = 0)
{
    FT_Set_Pixel_Sizes(f.face, 0, px);
    FT_Matrix m{FT_Fixed(xscale * 65536), 0, 0, FT_Fixed(yscale * 65536)};
    FT_Set_Transform(f.face, &m, nullptr);
    if (FT_Load_Char(f.face, code, FT_LOAD_TARGET_NORMAL)) {
        fprintf(stderr, "glyph %u missing\n", code);
        exit(1);
    }
    FT_GlyphSlot g = f.face->glyph;
    if (embolden) FT_Outline_Embolden(&g->outline, embolden);
    FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL);
    return g;
}

void blit(canvas& c, FT_GlyphSlot g, int pen_s, int baseline_t, rgba colour)
{
    const FT_Bitmap& b = g->bitmap;
    for (unsigned row = 0; row < b.rows; ++row)
        for (unsigned col = 0; col < b.width; ++col) {
            const float cover = b.buffer[row * b.pitch + col] / 255.0f;
            c.blend(pen_s + g->bitmap_left + int(col), baseline_t + g->bitmap_top - 1 - int(row), colour,
                    cover);
        }
}

int text_width(font& f, int px, const std::string& text)
{
    int w = 0;
    for (unsigned char ch : text) w += int(render(f, px, ch)->advance.x >> 6);
    return w;
}

void draw_text(canvas& c, font& f, int px, const std::string& text, int s, int baseline_t, rgba colour)
{
    for (unsigned char ch : text) {
        FT_GlyphSlot g = render(f, px, ch);
        blit(c, g, s, baseline_t, colour);
        s += int(g->advance.x >> 6);
    }
}

// ---------------------------------------------------------------------------
// Widget atlas.

// The glyph of byte c fitted into its cell: ink no wider than the advance less
// one column of spacing, rows 0 to 14 with the base line at row 5.
void glyph_cell_art(canvas& c, font& f, unsigned char ch)
{
    const int k = glyph_cell(ch);
    const int cs = (k % kGlyphCols) * kGlyphW, ct = (k / kGlyphCols) * kGlyphH;
    const int adv = glyph_advance(ch);
    // Slashes use their whole advance: squeezed into two columns they read as
    // bars. Everything else keeps one column of spacing.
    const int room = ch == '/' || ch == '\\' ? adv : std::max(adv - 1, 1);
    const int px = 11;

    // Byte 0xFB holds the degree sign; the other bytes are ISO 8859-1.
    const unsigned code = ch == 0xFB ? 0xB0 : ch;
    const int bold = 12;
    float xs = 1.0f, ys = 1.0f;
    FT_GlyphSlot g = render(f, px, code, xs, ys, bold);
    for (int tries = 0; tries < 6; ++tries) {
        const int ink_w = int(g->bitmap.width);
        const int above = g->bitmap_top, below = int(g->bitmap.rows) - g->bitmap_top;
        const bool wide = ink_w > room, tall = above > kGlyphH - kGlyphBaseline || below > kGlyphBaseline;
        if (!wide && !tall) break;
        if (wide) xs *= float(room) / float(ink_w) - 0.02f;
        if (tall) ys *= 0.92f;
        g = render(f, px, code, xs, ys, bold);
    }
    const int ink_w = int(g->bitmap.width);
    const int left = std::max(0, (adv - ink_w) / 2);
    const FT_Bitmap& b = g->bitmap;
    for (unsigned row = 0; row < b.rows; ++row)
        for (unsigned col = 0; col < b.width; ++col) {
            const int s = left + int(col), t = kGlyphBaseline + g->bitmap_top - 1 - int(row);
            if (s < 0 || s >= kGlyphW || t < 0 || t >= kGlyphH) continue;
            // Crisp small text: faint edge coverage is dropped, the rest steepened.
            float cover = b.buffer[row * b.pitch + col] / 255.0f;
            cover = std::clamp((cover - 0.22f) / 0.7f, 0.0f, 1.0f);
            c.blend(cs + s, ct + t, kWhite, std::pow(cover, 0.8f));
        }
}

void glyphs(canvas& c, font& f)
{
    for (int ch = 1; ch < 256; ++ch)
        if (glyph_cell(static_cast<unsigned char>(ch)) != 0) glyph_cell_art(c, f, static_cast<unsigned char>(ch));
}

const atlas_rect& find(const char* name)
{
    for (const atlas_rect& r : kAtlasRects)
        if (std::string(r.name) == name) return r;
    fprintf(stderr, "no atlas rectangle %s\n", name);
    exit(1);
}

// Panels for BTN_frame2. The rectangle the caller gives starts `side` texels in
// from the cell's left and right edges, `below` above its bottom and `above`
// below its top: the margins hold the shadow. Bands that the frame repeats are
// uniform along the direction they repeat in.
struct panel_look {
    rgba fill_bottom, fill_top, border;
    float radius;
    float shadow;           // strength of the drop shadow, 0 for none
    float title_bar = 0;    // height of a title bar at the top, 0 for none
    rgba bar_bottom{}, bar_top{};
    rgba inner_light{};     // a one-texel highlight inside the border
};

void panel_cell(canvas& c, const char* name, float side, float below, float above, const panel_look& look)
{
    const atlas_rect& r = find(name);
    const float x0 = side, y0 = below, x1 = r.w - side, y1 = r.h - above;
    if (look.shadow > 0)
        shadow(c, r.s, r.t, r.w, r.h, x0 + 1, y0 - 2, x1 - 1, y1 - 1, look.radius, std::min(side, below) * 0.9f,
               look.shadow);
    const sdf outer = round_box(x0, y0, x1, y1, look.radius);
    fill_local(c, r.s, r.t, r.w, r.h, outer, flat(look.border));
    const sdf inner = round_box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(look.radius - 1, 0.0f));
    fill_local(c, r.s, r.t, r.w, r.h, inner, vgrad(y0, look.fill_bottom, y1, look.fill_top));
    if (look.inner_light.a > 0)
        fill_local(c, r.s, r.t, r.w, r.h, ring(inner, 1.0f), flat(look.inner_light));
    if (look.title_bar > 0) {
        const float b0 = y1 - 1 - look.title_bar;
        const sdf bar = [=](float x, float y) { return std::max(inner(x, y), b0 - y); };
        fill_local(c, r.s, r.t, r.w, r.h, bar, vgrad(b0, look.bar_bottom, y1, look.bar_top));
        fill_local(c, r.s, r.t, r.w, r.h, [=](float x, float y) { return std::max(inner(x, y), std::fabs(y - b0) - 0.5f); },
                   flat(with_alpha(kNavy, 0.8f)));
    }
}

// A one-row strip for BTN_frame1 holding a rounded shape across its whole
// width; the middle columns are uniform, so tiles repeat seamlessly.
void strip(canvas& c, const char* name, float y0, float y1, float radius, rgba border, const paint& body,
           float shadow_alpha = 0.0f, rgba inner_light = {})
{
    const atlas_rect& r = find(name);
    if (shadow_alpha > 0)
        fill_local(c, r.s, r.t, r.w, r.h, round_box(0.5f, y0 - 1.5f, r.w - 0.5f, y1 - 1, radius),
                   flat(rgb(0, 0, 0, shadow_alpha)));
    fill_local(c, r.s, r.t, r.w, r.h, round_box(0.5f, y0, r.w - 0.5f, y1, radius), flat(border));
    const sdf inner = round_box(1.5f, y0 + 1, r.w - 1.5f, y1 - 1, std::max(radius - 1, 0.5f));
    fill_local(c, r.s, r.t, r.w, r.h, inner, body);
    if (inner_light.a > 0) fill_local(c, r.s, r.t, r.w, r.h, ring(inner, 1.0f), flat(inner_light));
}

void arrow(canvas& c, const atlas_rect& r, float cx, float cy, float size, int dir, rgba colour)
{
    // dir: 0 up, 1 down, 2 left, 3 right
    std::vector<std::pair<float, float>> v;
    const float a = size, b = size * 0.6f;
    if (dir == 0) v = {{cx - a, cy - b}, {cx + a, cy - b}, {cx, cy + b}};
    if (dir == 1) v = {{cx - a, cy + b}, {cx, cy - b}, {cx + a, cy + b}};
    if (dir == 2) v = {{cx + b, cy - a}, {cx + b, cy + a}, {cx - b, cy}};
    if (dir == 3) v = {{cx - b, cy - a}, {cx + b, cy}, {cx - b, cy + a}};
    fill_local(c, r.s, r.t, r.w, r.h, polygon(v), flat(colour));
}

void button_face(canvas& c, const atlas_rect& r, float inset, float radius, bool pressed)
{
    const float x0 = inset, y0 = inset, x1 = r.w - inset, y1 = r.h - inset;
    if (!pressed)
        fill_local(c, r.s, r.t, r.w, r.h, round_box(x0 + 0.5f, y0 - 1, x1 + 0.5f, y1 - 1, radius),
                   flat(rgb(0, 0, 0, 0.25f)));
    fill_local(c, r.s, r.t, r.w, r.h, round_box(x0, y0, x1, y1, radius), flat(rgb(96, 106, 122)));
    fill_local(c, r.s, r.t, r.w, r.h, round_box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1),
               pressed ? vgrad(y0, rgb(214, 220, 229), y1, rgb(182, 190, 202))
                       : vgrad(y0, rgb(206, 213, 223), y1, rgb(250, 251, 253)));
}

void atlas(canvas& c, font& regular)
{
    glyphs(c, regular);

    // Frames of BTN_frame2.
    panel_look window{kBody, kBody, rgb(60, 72, 90), 5, 0.45f, 22, kSlate, kSlateLight, rgb(255, 255, 255, 0.5f)};
    panel_cell(c, "frame2 style 11 window", 9, 14, 4, window);
    panel_look plain = window;
    plain.title_bar = 0;
    panel_cell(c, "frame2 style 12 window plain", 9, 14, 4, plain);
    panel_cell(c, "frame2 style 13 panel", 9, 14, 4,
               {rgb(241, 243, 246), rgb(241, 243, 246), rgb(168, 176, 188), 4, 0, 0, {}, {}, rgb(255, 255, 255, 0.7f)});
    panel_cell(c, "frame2 style 14 tooltip", 9, 14, 4,
               {rgb(22, 36, 56, 0.96f), rgb(22, 36, 56, 0.96f), rgb(90, 150, 130), 5, 0.4f});
    panel_cell(c, "frame2 style 15 progress panel", 9, 14, 4,
               {rgb(24, 38, 58), rgb(24, 38, 58), rgb(96, 112, 134), 6, 0.5f, 0, {}, {}, rgb(255, 255, 255, 0.08f)});
    panel_cell(c, "frame2 style 16 list box", 2, 2, 2,
               {rgb(251, 252, 253), rgb(251, 252, 253), rgb(138, 148, 162), 3, 0});
    panel_cell(c, "frame2 style 17 menu", 8, 13, 2,
               {rgb(240, 242, 245), rgb(240, 242, 245), rgb(110, 120, 136), 3, 0.4f});
    panel_cell(c, "frame2 style 18 small panel", 8, 13, 2,
               {rgb(232, 236, 241), rgb(232, 236, 241), rgb(130, 140, 155), 4, 0.35f});
    panel_cell(c, "frame2 style 19 small panel", 6, 9, 4,
               {rgb(232, 236, 241), rgb(232, 236, 241), rgb(130, 140, 155), 4, 0.35f});

    // Frames of BTN_frame1 and BTN_frame0.
    strip(c, "frame1 style 0 menu bar", 0, 25, 0, rgb(150, 158, 170), vgrad(0, rgb(214, 219, 226), 25, rgb(243, 245, 248)));
    strip(c, "frame1 style 1 title bar", 0, 25, 0, kNavy, vgrad(0, kSlate, 25, kSlateLight));
    strip(c, "frame1 style 2 button", 3, 24, 6, rgb(96, 106, 122), vgrad(3, rgb(206, 213, 223), 24, rgb(250, 251, 253)),
          0.22f, rgb(255, 255, 255, 0.6f));
    strip(c, "frame1 style 3 button down", 3, 24, 6, rgb(70, 80, 98), vgrad(3, rgb(214, 220, 229), 24, rgb(178, 187, 200)));
    strip(c, "frame1 style 4 bar trough", 1, 15, 6, rgb(8, 16, 28), vgrad(1, rgb(40, 54, 74), 15, rgb(18, 28, 44)));
    strip(c, "frame1 style 5 bar fill", 3, 13, 4, rgb(200, 214, 230), vgrad(3, rgb(196, 214, 236), 13, rgb(255, 255, 255)));
    {
        const atlas_rect& r = find("frame1 style 7 slider track");
        fill_local(c, r.s, r.t, r.w, r.h, round_box(1, 10, r.w - 1, 15, 2.5f), flat(rgb(110, 120, 136)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(2, 11, r.w - 2, 14, 1.5f), flat(rgb(200, 206, 216)));
    }
    strip(c, "frame1 style 8 slider knob", 3, 13, 5, rgb(150, 160, 175), vgrad(3, rgb(220, 226, 234), 13, kWhite));
    strip(c, "frame1 style 9 field", 3, 23, 3, rgb(120, 130, 146), flat(rgb(252, 253, 254)), 0, rgb(0, 0, 0, 0.06f));
    {
        // A dark field like the title bar: the list draws its chosen item in
        // the white text colour of the dark bars.
        strip(c, "frame1 style 10 drop-down", 2, 22, 3, kNavy, vgrad(2, kSlate, 22, kSlateLight), 0,
              rgb(255, 255, 255, 0.08f));
        const atlas_rect& r = find("frame1 style 10 drop-down");
        fill_local(c, r.s, r.t, r.w, r.h, round_box(r.w - 20, 3, r.w - 2, 21, 2),
                   vgrad(3, rgb(24, 38, 58), 21, rgb(40, 56, 78)));
        fill_local(c, r.s, r.t, r.w, r.h, segment(r.w - 20.5f, 3, r.w - 20.5f, 21, 0.5f), flat(kNavy));
        arrow(c, r, r.w - 11, 12, 4, 1, kBody);
    }
    {
        const atlas_rect& r = find("frame0 vertical bar");
        fill_local(c, r.s, r.t, r.w, r.h, round_box(3, 0.5f, 17, 39.5f, 6), flat(rgb(150, 158, 170)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(4, 1.5f, 16, 38.5f, 5), flat(rgb(222, 226, 232)));
    }

    // Small elements.
    for (int pressed = 0; pressed < 2; ++pressed) {
        const atlas_rect& r = find(pressed ? "close box pressed" : "close box");
        fill_local(c, r.s, r.t, r.w, r.h, circle(9, 9, 7.5f), flat(rgb(20, 32, 50)));
        fill_local(c, r.s, r.t, r.w, r.h, circle(9, 9, 6.5f),
                   pressed ? vgrad(2, rgb(150, 60, 56), 16, rgb(120, 44, 40))
                           : vgrad(2, rgb(168, 178, 192), 16, rgb(236, 240, 245)));
        const rgba x = pressed ? kWhite : rgb(40, 50, 66);
        fill_local(c, r.s, r.t, r.w, r.h, segment(6, 6, 12, 12, 0.9f), flat(x));
        fill_local(c, r.s, r.t, r.w, r.h, segment(6, 12, 12, 6, 0.9f), flat(x));
    }
    {
        const atlas_rect& r = find("check box");
        fill_local(c, r.s, r.t, r.w, r.h, round_box(2, 2, 16, 16, 3), flat(rgb(100, 110, 126)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(3, 3, 15, 15, 2), vgrad(3, kWhite, 15, rgb(226, 231, 238)));
        const atlas_rect& m = find("check mark");
        fill_local(c, m.s, m.t, m.w, m.h, segment(5, 9.5f, 8, 6, 1.3f), flat(kAccent));
        fill_local(c, m.s, m.t, m.w, m.h, segment(8, 6, 13.5f, 13, 1.3f), flat(kAccent));
    }
    {
        const atlas_rect& r = find("choice button");
        fill_local(c, r.s, r.t, r.w, r.h, circle(9, 9, 7), flat(rgb(100, 110, 126)));
        fill_local(c, r.s, r.t, r.w, r.h, circle(9, 9, 6), vgrad(3, kWhite, 15, rgb(226, 231, 238)));
        const atlas_rect& m = find("choice mark");
        fill_local(c, m.s, m.t, m.w, m.h, circle(9, 9, 3.5f), vgrad(5, rgb(40, 92, 150), 13, rgb(90, 150, 210)));
    }
    arrow(c, find("number up arrow"), 7, 8, 4, 0, rgb(70, 84, 104));
    arrow(c, find("number down arrow"), 7, 10, 4, 1, rgb(70, 84, 104));
    {
        const atlas_rect& up = find("slider up arrow");
        button_face(c, up, 1, 3, false);
        arrow(c, up, 9, 11, 4, 0, kInk);
        const atlas_rect& down = find("slider down arrow");
        button_face(c, down, 1, 3, false);
        arrow(c, down, 9, 11, 4, 1, kInk);
        const atlas_rect& thumb = find("slider thumb");
        button_face(c, thumb, 1, 4, false);
        for (int i = -1; i <= 1; ++i)
            fill_local(c, thumb.s, thumb.t, thumb.w, thumb.h, segment(5.5f, 12 + 3.0f * i, 12.5f, 12 + 3.0f * i, 0.5f),
                       flat(rgb(120, 130, 146)));
        const atlas_rect& knob = find("slider knob");
        fill_local(c, knob.s, knob.t, knob.w, knob.h, circle(10, 10, 8.5f), flat(rgb(0, 0, 0, 0.25f)));
        fill_local(c, knob.s, knob.t, knob.w, knob.h, circle(10, 11, 8), flat(rgb(96, 106, 122)));
        fill_local(c, knob.s, knob.t, knob.w, knob.h, circle(10, 11, 7), vgrad(4, rgb(206, 213, 223), 18, kWhite));
    }
    arrow(c, find("submenu arrow"), 9, 9, 3.5f, 3, kInk);
    for (int chosen = 0; chosen < 2; ++chosen) {
        const atlas_rect& r = find(chosen ? "tab chosen" : "tab");
        const sdf tab = [](float x, float y) { return round_box(1, -6, 97, 25, 6)(x, y); };
        fill_local(c, r.s, r.t, r.w, r.h, tab, flat(rgb(96, 106, 122)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(2, -5, 96, 24, 5),
                   chosen ? flat(kBody) : vgrad(0, rgb(180, 188, 200), 24, rgb(210, 216, 225)));
    }
    {
        const atlas_rect& r = find("compass dial");
        fill_local(c, r.s, r.t, r.w, r.h, circle(28, 29, 26), flat(rgb(60, 72, 90)));
        fill_local(c, r.s, r.t, r.w, r.h, circle(28, 29, 25), vgrad(4, rgb(220, 226, 234), 54, kWhite));
        for (int i = 0; i < 36; ++i) {
            const float a = float(i) * 3.14159265f / 18.0f, len = i % 9 == 0 ? 6.0f : 3.0f;
            fill_local(c, r.s, r.t, r.w, r.h,
                       segment(28 + std::sin(a) * 24, 29 + std::cos(a) * 24, 28 + std::sin(a) * (24 - len),
                               29 + std::cos(a) * (24 - len), 0.5f),
                       flat(rgb(60, 72, 90)));
        }
        const char* needles[] = {"compass needle", "compass needle plain"};
        for (int i = 0; i < 2; ++i) {
            const atlas_rect& n = find(needles[i]);
            fill_local(c, n.s, n.t, n.w, n.h, polygon({{5, 41}, {8.5f, 21}, {5, 1}, {1.5f, 21}}),
                       flat(i == 0 ? rgb(190, 50, 46) : rgb(60, 72, 90)));
        }
    }
    {
        const atlas_rect& r = find("folder button");
        button_face(c, r, 2, 4, false);
        fill_local(c, r.s, r.t, r.w, r.h, round_box(7, 8, 19, 17, 1), flat(rgb(214, 170, 60)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(7, 15, 12, 18, 1), flat(rgb(214, 170, 60)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(7, 8, 19, 15, 1), flat(rgb(240, 200, 96)));
    }

    // Cursor sprites: white arrows with a dark outline.
    struct cursor_art { const char* name; int dir; bool double_arrow; float tint; };
    const cursor_art cursors[] = {
        {"cursor 3", 0, false, 0}, {"cursor 4", 1, false, 0}, {"cursor 5", 2, false, 0}, {"cursor 6", 3, false, 0},
        {"cursor 7", 0, true, 0},  {"cursor 8", 2, true, 0},  {"cursor 9", 1, true, 0}, {"cursor 10", 3, true, 0},
        {"cursor 11", 0, true, 0}, {"cursor 12", 2, true, 0}, {"cursor 11 held", 0, true, 1},
        {"cursor 12 held", 2, true, 1}, {"cursor 13", 0, false, 0}, {"cursor 14", 1, false, 0},
    };
    for (const cursor_art& a : cursors) {
        const atlas_rect& r = find(a.name);
        const rgba body = a.tint > 0 ? kMint : kWhite;
        for (int pass = 0; pass < 2; ++pass) {
            const float grow = pass == 0 ? 1.5f : 0.0f;
            const rgba col = pass == 0 ? kNavy : body;
            const bool vertical = a.dir < 2;
            if (a.double_arrow) {
                arrow(c, r, 15, vertical ? 22 : 15, 6 + grow, vertical ? 0 : 2, col);
                arrow(c, r, vertical ? 15 : 22, vertical ? 8 : 15, 6 + grow, vertical ? 1 : 3, col);
                if (vertical) arrow(c, r, 15, 22, 6 + grow, 0, col);
                fill_local(c, r.s, r.t, r.w, r.h,
                           vertical ? segment(15, 9, 15, 21, 1.5f + grow) : segment(9, 15, 21, 15, 1.5f + grow), flat(col));
                if (!vertical) arrow(c, r, 8, 15, 6 + grow, 2, col);
            } else {
                const float cx = a.dir == 2 ? 11 : a.dir == 3 ? 19 : 15, cy = a.dir == 0 ? 19 : a.dir == 1 ? 11 : 15;
                arrow(c, r, cx, cy, 7 + grow, a.dir, col);
                const float ex = a.dir == 2 ? 24 : a.dir == 3 ? 6 : 15, ey = a.dir == 0 ? 6 : a.dir == 1 ? 24 : 15;
                fill_local(c, r.s, r.t, r.w, r.h, segment(cx, cy, ex, ey, 2 + grow), flat(col));
            }
        }
    }

    // List icons.
    {
        const atlas_rect& r = find("icon folder");
        fill_local(c, r.s, r.t, r.w, r.h, round_box(0.5f, 1, 11.5f, 9, 1), flat(rgb(196, 150, 46)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(0.5f, 7, 5.5f, 10.5f, 1), flat(rgb(196, 150, 46)));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(1.5f, 2, 10.5f, 8, 0.5f), flat(rgb(242, 202, 98)));
    }
    const struct { const char* name; rgba band; } files[] = {
        {"icon aircraft", rgb(58, 112, 170)}, {"icon airfoil", rgb(70, 150, 110)}, {"icon weapon", rgb(180, 60, 56)},
        {"icon object", rgb(140, 100, 170)},  {"icon situation", rgb(210, 140, 40)}, {"icon movie", rgb(60, 60, 70)},
        {"icon flight model", rgb(40, 150, 160)},
    };
    for (const auto& f : files) {
        const atlas_rect& r = find(f.name);
        fill_local(c, r.s, r.t, r.w, r.h, polygon({{2, 0.5f}, {10, 0.5f}, {10, 8.5f}, {7, 11.5f}, {2, 11.5f}}),
                   flat(rgb(110, 120, 136)));
        fill_local(c, r.s, r.t, r.w, r.h, polygon({{3, 1.5f}, {9, 1.5f}, {9, 8}, {6.5f, 10.5f}, {3, 10.5f}}), flat(kWhite));
        fill_local(c, r.s, r.t, r.w, r.h, round_box(3, 3, 9, 6, 0), flat(f.band));
    }

    // Colour swatches, exact and opaque.
    for (const atlas_swatch& sw : kAtlasSwatches) c.at(sw.s, sw.t) = rgb(sw.r, sw.g, sw.b);
}

// ---------------------------------------------------------------------------
// Installer art sheet.

float hash_noise(float lon, float lat)
{
    // Periodic in longitude (whole multiples of it), so the globe turns seamlessly.
    return 0.55f * std::sin(2 * lon + 0.6f) * std::cos(1.7f * lat - 0.3f) +
           0.35f * std::sin(3 * lon - 2.1f * lat + 1.9f) + 0.25f * std::cos(5 * lon + 3.3f * lat + 0.4f) +
           0.18f * std::sin(7 * lon - 4.7f * lat + 2.6f) + 0.10f * std::cos(11 * lon + 6.1f * lat) +
           0.25f * std::sin(1.2f * lat + 0.8f);
}

void globe(canvas& c, int s0, int t0, float turn)
{
    const float cx = 32, cy = 32, R = 27;
    // Halo.
    fill_local(c, s0, t0, 64, 64, circle(cx, cy, R + 3), [&](float x, float y) {
        const float d = std::hypot(x - cx, y - cy) - R;
        return rgb(140, 200, 255, 0.35f * std::clamp(1 - d / 3, 0.0f, 1.0f));
    });
    fill_local(c, s0, t0, 64, 64, circle(cx, cy, R), [&](float x, float y) {
        const float nx = (x - cx) / R, ny = (y - cy) / R;
        const float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
        // Tilt the axis a little towards the viewer.
        const float tilt = 0.35f;
        const float py = ny * std::cos(tilt) + nz * std::sin(tilt), pz = -ny * std::sin(tilt) + nz * std::cos(tilt);
        const float lat = std::asin(std::clamp(py, -1.0f, 1.0f)), lon = std::atan2(nx, pz) + turn;
        const float n = hash_noise(lon, lat);
        rgba col = n > 0.28f ? mix(rgb(70, 140, 70), rgb(176, 160, 104), (n - 0.28f) * 1.6f)
                             : mix(rgb(24, 70, 140), rgb(40, 110, 180), (n + 0.6f) * 0.9f);
        if (std::fabs(lat) > 1.22f) col = mix(col, rgb(236, 242, 248), (std::fabs(lat) - 1.22f) * 6);
        // Graticule.
        const float glon = std::fabs(std::remainder(lon, 3.14159265f / 6)) * R * std::cos(lat);
        const float glat = std::fabs(std::remainder(lat, 3.14159265f / 6)) * R;
        if (std::min(glon, glat) < 0.35f) col = mix(col, kWhite, 0.25f);
        // Light from the upper left, and a bright rim.
        const float light = std::clamp(0.25f + 0.85f * (-0.45f * nx + 0.55f * ny + 0.70f * nz), 0.15f, 1.1f);
        col = {std::min(col.r * light, 1.0f), std::min(col.g * light, 1.0f), std::min(col.b * light, 1.0f), 1};
        const float rim = std::pow(1 - nz, 3.0f);
        return mix(col, rgb(170, 215, 255), rim * 0.6f);
    });
    // Specular glint.
    fill_local(c, s0, t0, 64, 64, circle(cx - 9, cy + 10, 7), [&](float x, float y) {
        const float d = std::hypot(x - (cx - 9), y - (cy + 10)) / 7;
        return rgb(255, 255, 255, 0.30f * (1 - d) * (1 - d));
    });
}

void label_button(canvas& c, font& bold, const art_label& l, int t0, int state)
{
    const float w = float(l.w), h = float(kLabelH);
    fill_local(c, l.s, t0, l.w, kLabelH, round_box(0.5f, 0.5f, w - 0.5f, h - 0.5f, 5),
               flat(state == 2 ? rgb(30, 44, 66) : rgb(52, 66, 88)));
    const paint face = state == 0   ? vgrad(1, rgb(200, 208, 220), h - 1, rgb(250, 251, 253))
                       : state == 1 ? vgrad(1, rgb(214, 226, 242), h - 1, kWhite)
                                    : vgrad(1, rgb(214, 220, 229), h - 1, rgb(172, 182, 196));
    fill_local(c, l.s, t0, l.w, kLabelH, round_box(1.5f, 1.5f, w - 1.5f, h - 1.5f, 4), face);
    if (state != 2)
        fill_local(c, l.s, t0, l.w, kLabelH, ring(round_box(1.5f, 1.5f, w - 1.5f, h - 1.5f, 4), 1.0f),
                   flat(rgb(255, 255, 255, 0.7f)));
    const int px = 11;
    const int tw = text_width(bold, px, l.text);
    const int shift = state == 2 ? 1 : 0;
    draw_text(c, bold, px, l.text, l.s + (l.w - tw) / 2 + shift, t0 + 7 - shift,
              state == 1 ? rgb(26, 74, 136) : kInk);
}

void art_sheet(canvas& c, font& bold)
{
    for (int k = 0; k < kGlobeFrames; ++k) {
        const art_rect cell = art_icon(kGlobeFirst + k);
        globe(c, cell.s, cell.t, -2.0f * 3.14159265f * float(k) / kGlobeFrames);
    }
    // The corner panel behind the globe: a dark rounded plate with a blue glow.
    {
        const art_rect& p = kArtPanel;
        fill_local(c, p.s, p.t, p.w, p.h, round_box(1, 1, p.w - 1, p.h - 1, 8), flat(rgb(20, 32, 50)));
        fill_local(c, p.s, p.t, p.w, p.h, round_box(2, 2, p.w - 2, p.h - 2, 7), [&](float x, float y) {
            const float d = std::hypot(x - 61, y - 45) / 70;
            return mix(rgb(46, 78, 120), rgb(22, 34, 54), d);
        });
        fill_local(c, p.s, p.t, p.w, p.h, ring(round_box(2, 2, p.w - 2, p.h - 2, 7), 1), flat(rgb(255, 255, 255, 0.12f)));
    }
    // The cell of the main page's panels (BTN_frame2 style 20).
    {
        const art_rect& f = kArtFrame20;
        fill_local(c, f.s, f.t, f.w, f.h, round_box(0.5f, 0.5f, f.w - 0.5f, f.h - 0.5f, 5), flat(rgb(120, 132, 150)));
        fill_local(c, f.s, f.t, f.w, f.h, round_box(1.5f, 1.5f, f.w - 1.5f, f.h - 1.5f, 4), flat(rgb(244, 246, 249, 0.94f)));
    }
    for (const art_label& l : kArtLabels)
        for (int state = 0; state < 3; ++state) label_button(c, bold, l, kLabelNormalT - state * kLabelStep, state);
}

// ---------------------------------------------------------------------------
// Backgrounds, 1024 by 768, opaque.

void background(canvas& c, font& bold, font& regular, bool dark)
{
    const rgba bottom = dark ? rgb(30, 42, 60) : rgb(200, 210, 222), top = dark ? rgb(58, 76, 100) : rgb(236, 240, 245);
    for (int t = 0; t < c.h; ++t)
        for (int s = 0; s < c.w; ++s) {
            const float y = float(t) / float(c.h - 1), x = float(s) / float(c.w - 1);
            rgba col = mix(bottom, top, std::pow(y, 0.8f));
            // A faint sweep of light from the upper right.
            const float glow = std::exp(-((x - 0.85f) * (x - 0.85f) * 3 + (y - 0.9f) * (y - 0.9f) * 5));
            col = mix(col, kWhite, (dark ? 0.06f : 0.25f) * glow);
            // Ordered dither against banding.
            const float d = (float((s * 7 + t * 13) % 8) - 3.5f) / (255.0f * 8);
            c.at(s, t) = {col.r + d, col.g + d, col.b + d, 1};
        }
    // Header band with the product's name.
    fill(c, 0, 690, c.w, c.h, [](float, float y) { return 690.5f - y; }, vgrad(690, kNavy, 768, kSlate));
    fill(c, 0, 686, c.w, 691, [](float, float y) { return std::fabs(y - 688.5f) - 1.0f; }, flat(rgb(90, 160, 210)));
    const std::string name = "BRENNIX";
    const int w = text_width(bold, 30, name);
    draw_text(c, bold, 30, name, 1000 - w - 130, 716, kWhite);
    draw_text(c, regular, 14, "Network Installer", 1000 - 124, 717, kMint);
    for (auto& p : c.px) p.a = 1;
}

void write_png(const canvas& c, const std::string& path, int rows)
{
    std::vector<unsigned char> bytes(std::size_t(c.w) * rows * 4);
    for (int r = 0; r < rows; ++r)  // PNG rows run top-down: the last texel row first
        for (int s = 0; s < c.w; ++s) {
            const rgba& p = c.px[std::size_t(rows - 1 - r) * c.w + s];
            unsigned char* o = &bytes[(std::size_t(r) * c.w + s) * 4];
            const float ch[4] = {p.r, p.g, p.b, p.a};
            for (int i = 0; i < 4; ++i) o[i] = static_cast<unsigned char>(std::lround(std::clamp(ch[i], 0.0f, 1.0f) * 255));
            if (o[3] == 0) o[0] = o[1] = o[2] = 0;  // no stray colour under transparent texels
        }
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = c.w;
    img.height = rows;
    img.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&img, path.c_str(), 0, bytes.data(), 0, nullptr)) {
        fprintf(stderr, "%s: %s\n", path.c_str(), img.message);
        exit(1);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s out-folder [font-folder]\n", argv[0]);
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    const std::string fonts = argc > 2 ? std::string(argv[2]) + "/" : "/usr/share/fonts/truetype/dejavu/";
    if (FT_Init_FreeType(&ft)) return 1;
    font regular = open_font(fonts + "DejaVuSans.ttf");
    font bold = open_font(fonts + "DejaVuSans-Bold.ttf");

    canvas a(kAtlasSize, kAtlasSize);
    atlas(a, regular);
    write_png(a, out + "t_interface.png", kAtlasSize);

    canvas sheet(kArtRowTexels, kArtDeclaredH);
    art_sheet(sheet, bold);
    write_png(sheet, out + "t_installer.png", kArtDeclaredH);

    canvas back1(1024, 768), back2(1024, 768);
    background(back1, bold, regular, false);
    background(back2, bold, regular, true);
    write_png(back1, out + "t_ins_back_1.png", 768);
    write_png(back2, out + "t_ins_back_2.png", 768);
    return 0;
}
