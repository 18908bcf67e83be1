#include "OOPS_cpp/butn_draw.h"

std::vector<btn_draw_op>* btn_draw_log = nullptr;

namespace {

void log_op(btn_draw_op::kind_t kind, int tex, int col, float alpha, std::vector<float> v)
{
    btn_draw_op op;
    op.kind = kind;
    op.tex = tex;
    op.col = col;
    op.alpha = alpha;
    op.v = std::move(v);
    btn_draw_log->push_back(std::move(op));
}

int run_tex = 0, run_col = 0;

}  // namespace

void btn_pieces_begin(int tex, int col)
{
    run_tex = tex;
    run_col = col;
}

void btn_piece(float left, float bottom, float right, float top, float s0, float t0, float s1,
               float t1)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::piece, run_tex, run_col, 1, {left, bottom, right, top, s0, t0, s1, t1});
        return;
    }
}

void btn_pieces_end() {}

void btn_atlas_quad(int tex, int col, float alpha, float x1, float y1, float x2, float y2,
                    float s0, float t0, float s1, float t1)
{
    const float corners[16] = {x1, y1, s0, t0, x1, y2, s0, t1, x2, y2, s1, t1, x2, y1, s1, t0};
    btn_free_quad(tex, col, alpha, corners);
}

void btn_free_quad(int tex, int col, float alpha, const float c[16])
{
    if (btn_draw_log) {
        log_op(btn_draw_op::quad, tex, col, alpha, std::vector<float>(c, c + 16));
        return;
    }
}

void btn_text(int col, float x, float y, const std::string& text, float wrap, int font,
              int justify)
{
    if (btn_draw_log) {
        btn_draw_op op;
        op.kind = btn_draw_op::text;
        op.col = col;
        op.font = font;
        op.justify = justify;
        op.wrap = wrap;
        op.str = text;
        op.v = {x, y};
        btn_draw_log->push_back(std::move(op));
        return;
    }
}

void btn_fillrect(int col, float alpha, float x, float y, float w, float h)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::fillrect, 0, col, alpha, {x, y, w, h});
        return;
    }
}

void btn_line(int col, float alpha, float x1, float y1, float x2, float y2)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::line, 0, col, alpha, {x1, y1, x2, y2});
        return;
    }
}

void btn_number(int col, float x, float y, float value, int digits, int decimals, int font)
{
    if (btn_draw_log) {
        btn_draw_op op;
        op.kind = btn_draw_op::number;
        op.col = col;
        op.font = font;
        op.v = {x, y, value, float(digits), float(decimals)};
        btn_draw_log->push_back(std::move(op));
        return;
    }
}

void btn_present()
{
    if (btn_draw_log) {
        log_op(btn_draw_op::present, 0, 0, 1, {});
        return;
    }
}

float btn_text_width(const std::string& text)
{
    static const auto widths = [] {
        struct table {
            unsigned char w[256] = {};
        } t;
        auto set = [&](int width, const char* chars) {
            for (const char* p = chars; *p; ++p) t.w[static_cast<unsigned char>(*p)] = width;
        };
        set(2, ",.");
        set(3, " '/:;I\\`ijl|\xFB");
        set(4, "!()-J[]frst");
        set(5, "c");
        set(6, "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA");
        set(7, "+<=>BCKRVXYbdghnopqu");
        set(8, "&ADGHNU");
        set(9, "@OQw");
        set(10, "Mm");
        set(11, "%W");
        return t;
    }();
    float w = 0;
    for (unsigned char c : text) w += widths.w[c];
    return w;
}
