// Frames, bars, panels and captions: the drawing layer every widget shares.
#include "OOPS_cpp/butn.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr int kAtlas = 388;
constexpr float kAtlasSize = 512.0f;

// A strip of the atlas: lower-left corner (u0, r0), height h, total width b,
// left cap 0..a, middle tile a..m, right cap m..b; e widens the drawn strip.
struct strip_style {
    bool valid;
    float u0, r0, b, h, a, m, e, y_shift;
};

strip_style frame1_style(int style)
{
    switch (style) {
    case 0: return {true, 1, 487, 100, 26, 10, 90, 0, -3};
    case 1: return {true, 102, 487, 100, 26, 20, 80, 0, -3};
    case 2: return {true, 304, 486, 52, 26, 10, 42, 0, 0};
    case 3: return {true, 304, 459, 52, 26, 10, 42, 0, 0};
    case 4: return {true, 112, 161, 28, 16, 10, 18, 0, 0};
    case 5: return {true, 83, 161, 28, 16, 10, 18, 0, 0};
    case 7: return {true, 240, 242, 65, 24, 10, 55, 0, 0};
    case 8: return {true, 289, 219, 16, 16, 7, 9, 0, 0};
    case 9: return {true, 262, 133, 51, 26, 10, 41, 4, 0};
    case 10: return {true, 357, 488, 68, 24, 26, 42, 4, 0};
    default: return {false, 0, 0, 0, 0, 0, 0, 0, 0};
    }
}

void fatal(const std::string& line1, const std::string& line4, int line)
{
    __MACIBM_alert(0, line1, "", "", line4, t_exit, "OOPS_cpp/butn", line);
}

float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// One cell of a nine-slice panel type.
struct panel_style {
    int tex;
    float u, v, c;      // cell origin and size in texels
    float b, ab, at;    // side slice width, bottom and top slice heights
    float side, below, above;  // outsets
    int title_col;
    float texels;  // texture size: texel to texture coordinate
};

bool panel_type(int type, panel_style* p)
{
    static const panel_style big = {kAtlas, 0, 358, 100, 35, 30, 30, 9, 14, 4, 43, kAtlasSize};
    switch (type) {
    case 11: *p = big; p->u = 1; p->title_col = 40; return true;
    case 12: *p = big; p->u = 102; return true;
    case 13: *p = big; p->u = 203; return true;
    case 14: *p = big; p->u = 304; return true;
    case 15: *p = big; p->u = 405; p->title_col = 47; return true;
    case 16: *p = {kAtlas, 1, 289, 68, 23.8f, 20.4f, 20.4f, 2, 2, 2, 43, kAtlasSize}; return true;
    case 17: *p = {kAtlas, 70, 315, 42, 20, 26, 14, 8, 13, 2, 43, kAtlasSize}; return true;
    case 18: *p = {kAtlas, 113, 315, 42, 14.7f, 12.6f, 12.6f, 8, 13, 2, 43, kAtlasSize}; return true;
    case 19: *p = {kAtlas, 440, 12, 44, 15.4f, 13.2f, 13.2f, 6, 9, 4, 43, kAtlasSize}; return true;
    case 20: *p = {389, 774, 78, 41, 14.35f, 12.3f, 12.3f, 1, 1, 1, 43, 1024}; return true;
    default: return false;
    }
}

// One span of a nine-slice row or column: canvas from..to, texels t0..t1.
struct span {
    float from, to, t0, t1;
};

// Middle tiles 0 to count of one direction of a nine-slice panel, repeated at
// one texel per pixel; the last one is cut where the far slice begins, its
// texels cut in proportion.
void middle_tiles(std::vector<span>* out, float start, float limit, float tile, int count,
                  float band0, float band1)
{
    for (int i = 0; i <= count; ++i) {
        float from = start + i * tile, to = from + tile;
        float t1 = band1;
        if (to > limit) {
            to = limit;
            t1 = band0 + (band1 - band0) * ((to - from) / tile);
            t1 = clampf(t1, std::min(band0, band1), std::max(band0, band1));
        }
        out->push_back({from, to, band0, t1});
    }
}

}  // namespace

void btn_close_box(float x0, int pressed)
{
    const float wh = mnw.wind_h, r0 = pressed ? 197 : 178;
    btn_atlas_quad(kAtlas, 0, 1, x0, wh - 19, x0 + 18, wh - 1, 120 / kAtlasSize, r0 / kAtlasSize,
                   138 / kAtlasSize, (r0 + 18) / kAtlasSize);
}

// ---------------------------------------------------------------------------

void BTN_util_element(float x, float y, float u, float v, float half_w, float half_h, int col)
{
    btn_atlas_quad(kAtlas, col, 1.0f, x - half_w, y - half_h, x + half_w, y + half_h,
                   (u - half_w) / kAtlasSize, (v - half_h) / kAtlasSize,
                   (u + half_w) / kAtlasSize, (v + half_h) / kAtlasSize);
}

void BTN_frame1(int style, float x, float y, float w, int col)
{
    const strip_style s = frame1_style(style);
    const float xr = btn_round(x);
    const float width = 2 * btn_round(w / 2) + s.e;
    y += s.y_shift;
    if (!s.valid) {
        fatal("Bad BTN_frame1 call!", "", __LINE__);
        return;
    }

    const float left = xr - width / 2, bottom = y - s.h / 2, top = y + s.h / 2;
    const float t0 = s.r0 / kAtlasSize, t1 = (s.r0 + s.h) / kAtlasSize;
    auto piece = [&](float off0, float off1, float col0, float col1) {
        btn_piece(left + off0, bottom, left + off1, top, (s.u0 + col0) / kAtlasSize, t0,
                  (s.u0 + col1) / kAtlasSize, t1);
    };
    const float tile = s.m - s.a;
    const int n = int((width - 2 * s.a) / tile);
    if (n < -2) return;

    btn_pieces_begin(kAtlas, col);
    if (n > -2) {
        piece(0, s.a, 0, s.a);
        for (int k = 0; k <= n; ++k) {
            const float from = s.a + k * tile;
            float to = from + tile, right_col = s.m;
            if (to > width - s.a) {
                to = width - s.a;
                // The cut column is scaled by the strip's middle end m, not by
                // the tile width: that is how the atlas pieces line up.
                right_col = clampf(s.a + tile * (to - from) / s.m, s.a, s.m);
            }
            piece(from, to, s.a, right_col);
        }
    }
    piece(width - s.a, width, s.m, s.b);
    btn_pieces_end();
}

void BTN_frame0(int style, float x, float y, float h)
{
    if (style != 6) {
        fatal("Bad BTN_frame0 call!", "", __LINE__);
        return;
    }
    if (x != std::trunc(x)) {
        fatal("BTN_frame0 non-int x_center!", "", __LINE__);
        return;
    }
    if (y != std::trunc(y)) {
        fatal("BTN_frame0 non-int y_center!", "", __LINE__);
        return;
    }
    const float hb = 2 * btn_round(h / 2) + 8;
    const float bottom = y - hb / 2;
    const float s0 = 102 / kAtlasSize, s1 = 122 / kAtlasSize;
    auto piece = [&](float off0, float off1, float row0, float row1) {
        btn_piece(x - 10, bottom + off0, x + 10, bottom + off1, s0, row0 / kAtlasSize, s1,
                  row1 / kAtlasSize);
    };
    const int n = int((hb - 20) / 20);
    if (n < -2) return;

    btn_pieces_begin(kAtlas, 0);
    if (n > -2) {
        piece(0, 10, 248, 258);
        for (int k = 0; k <= n; ++k) {
            const float from = 10 + 20 * k;
            float to = from + 20, upper = 278;
            if (to > hb - 10) {
                to = hb - 10;
                upper = clampf(248 + 10 + (to - from) * 20 / 30, 258, 278);
            }
            piece(from, to, 258, upper);
        }
    }
    piece(hb - 10, hb, 278, 288);
    btn_pieces_end();
}

void BTN_frame2(int type, float x, float y, float w, float h, std::string title)
{
    panel_style p{};
    if (!panel_type(type, &p)) {
        fatal("Bad BTN_frame2 call!", title, 438);
        return;
    }
    const float L = x - p.side, B = y - p.below;
    const float W = w + 2 * p.side, H = h + p.below + p.above;

    // Rows from the bottom: at least one middle row, however short the panel.
    std::vector<span> rows;
    rows.push_back({B, B + p.ab, p.v, p.v + p.ab});
    const float row_tile = p.c - p.ab - p.at;
    middle_tiles(&rows, B + p.ab, B + H - p.at, row_tile,
                 std::max(0, int((H - p.ab - p.at) / row_tile)), p.v + p.ab, p.v + p.c - p.at);
    rows.push_back({B + H - p.at, B + H, p.v + p.c - p.at, p.v + p.c});

    // Columns from the left: a panel narrower than its two side slices loses
    // its middle, then its right column, then everything.
    std::vector<span> cols;
    const float col_tile = p.c - 2 * p.b;
    const int m = int((W - 2 * p.b) / col_tile);
    if (m >= -2) cols.push_back({L, L + p.b, p.u, p.u + p.b});
    middle_tiles(&cols, L + p.b, L + W - p.b, col_tile, m, p.u + p.b, p.u + p.c - p.b);
    if (m >= -1) cols.push_back({L + W - p.b, L + W, p.u + p.c - p.b, p.u + p.c});

    btn_pieces_begin(p.tex, 0);
    for (const span& r : rows)
        for (const span& c : cols)
            btn_piece(c.from, r.from, c.to, r.to, c.t0 / p.texels, r.t0 / p.texels,
                      c.t1 / p.texels, r.t1 / p.texels);
    btn_pieces_end();

    if (!title.empty()) {
        const float tx = type == 20 ? x + 10 : x + w / 2 - btn_text_width(title) / 2;
        const float ty = type == 11 ? y + h - 13 : y + h - 16;
        btn_text(p.title_col, tx, ty, title, 9999, 100, 0);
    }

    const bool framework_dialog = mnw.wind >= wind_alert && mnw.wind <= wind_save;
    if (type == 11 && mnw.wind != wind_main && !framework_dialog) {
        btn_close_box(7, 0);
        btn_close_box(mnw.wind_w - 25, 0);
    }
}

void BTN_subwin(float top_margin, int type, float x, float y, float w, float h, std::string title,
                float* out_x, float* out_y)
{
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    if (w < 0) w = mnw.wind_w - x - 10;
    if (h < 0) h = mnw.wind_h - y - top_margin - 28;
    BTN_frame2(type, x, y, w, h, std::move(title));
    *out_x = x + w + 10;
    *out_y = y + h + 10;
}

void BTN_fillwin(int style, int inner)
{
    BTN_frame2(style == 0 ? 12 : 11, 0, 0, mnw.wind_w, mnw.wind_h, stls.title);
    if (inner == 1)
        BTN_frame1(1, mnw.wind_w / 2, mnw.wind_h - 50, mnw.wind_w, 0);
    else if (inner != 21)
        BTN_frame2(inner, 10, 10, mnw.wind_w - 20, mnw.wind_h - 40, "");
}

// ---------------------------------------------------------------------------

void BTN_util_draw_label(float x, float y, int align, const std::string& label, int highlight)
{
    if (label.empty()) return;
    int justify;
    switch (align) {
    case 0: justify = 2; break;
    case 1: justify = 1; break;
    case 2: justify = 0; break;
    default: return;
    }
    const bool keep_whole = label[0] == '-';
    const std::string text = keep_whole ? label.substr(1) : label;
    std::string upper = text, lower;

    const std::size_t limit = keep_whole ? 9999 : 12;
    if (align != 1 && label.size() > limit) {
        const int len = int(text.size()), half = len / 2;
        int best = -1;
        for (int i = 1; i < len; ++i) {
            const char c = text[i];
            if (c != ' ' && c != '-' && c != '/') continue;
            if (best < 0 || std::abs(i - half) < std::abs(best - half)) best = i;
        }
        if (best > 0 && best < len - 1) {
            upper = text.substr(0, best);
            lower = text.substr(best + 1);
            y += 5;
        }
    }
    const int col = highlight ? 80 : 43;
    if (!upper.empty()) btn_text(col, x, y, upper, 9999, 100, justify);
    if (!lower.empty()) btn_text(col, x, y - 10, lower, 9999, 100, justify);
}

void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help)
{
    const std::size_t len = label.size();
    const std::size_t brace_at = label.rfind('{');
    const std::size_t brace = brace_at == std::string::npos ? len : brace_at;
    const std::size_t bar_at = label.rfind('|');
    const std::size_t bar = bar_at == std::string::npos ? brace : bar_at;

    *left = label.substr(0, bar);
    *right = (bar_at != std::string::npos && bar < brace) ? label.substr(bar + 1, brace - bar - 1)
                                                          : std::string();
    // The character after '{' is a separating blank; a label that ends right
    // after the '{' (server text from the network) has no help at all.
    *help = (brace_at != std::string::npos && brace + 2 <= len) ? label.substr(brace + 2)
                                                                : std::string();
}

int BTN_zap_boxes(int pressed)
{
    const float wh = mnw.wind_h;
    auto box = [&](float x0) {
        btn_close_box(x0, pressed);
        return mnw.clicked && btn_inside(mnw.mouse_x, mnw.mouse_y, x0, wh - 19, x0 + 18, wh - 1);
    };
    if (box(7)) return 1;
    return box(mnw.wind_w - 25) ? 1 : 0;
}

int BTN_tab(int col, int row, int* sel, int value, std::string label)
{
    const float x = 88.0f * col + 53, y = mnw.wind_h - 38 - 32.0f * row;
    const int hit =
        mnw.clicked && btn_inside(mnw.mouse_x, mnw.mouse_y, x - 50, y - 13, x + 40, y + 13);
    if (hit) *sel = value;
    const bool chosen = *sel == value;
    const float r0 = chosen ? 486 : 459;
    btn_atlas_quad(kAtlas, 0, 1, x - 49, y - 13, x + 49, y + 13, 204 / kAtlasSize,
                   r0 / kAtlasSize, 302 / kAtlasSize, (r0 + 26) / kAtlasSize);
    btn_text(chosen ? 41 : 42, x - 40, y - 4, label, 9999, 100, 0);
    return hit;
}

void plot_dir(float x, float y, float* dir, int style)
{
    btn_atlas_quad(kAtlas, 0, 1, x - 28, y - 29, x + 28, y + 29, 178 / kAtlasSize,
                   160 / kAtlasSize, 234 / kAtlasSize, 218 / kAtlasSize);

    // The needle turns clockwise with the direction.
    const double a = -*dir * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
    const float r0 = style ? 272 : 315;
    const float s0 = 156 / kAtlasSize, s1 = 166 / kAtlasSize;
    const float t0 = r0 / kAtlasSize, t1 = (r0 + 42) / kAtlasSize;
    const float local[4][4] = {{-5, -21, s0, t0}, {-5, 21, s0, t1}, {5, 21, s1, t1}, {5, -21, s1, t0}};
    float corners[16];
    for (int i = 0; i < 4; ++i) {
        corners[4 * i] = float(x + local[i][0] * ca - local[i][1] * sa);
        corners[4 * i + 1] = float(y + local[i][0] * sa + local[i][1] * ca);
        corners[4 * i + 2] = local[i][2];
        corners[4 * i + 3] = local[i][3];
    }
    btn_free_quad(kAtlas, 0, 1, corners);
    btn_number(45, x - 14, y - 2, *dir, 3, 0, 102);

    if (mnw.held && std::fabs(mnw.mouse_x - x) <= 30 && std::fabs(mnw.mouse_y - y) <= 30) {
        double deg = std::atan2(mnw.mouse_x - x, mnw.mouse_y - y) * 180.0 / M_PI;
        if (deg < 0) deg += 360;
        *dir = float(deg);
    }
}
