#include "OOPS_cpp/butn_draw.h"

#include <GL/gl.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_state.h"
#include "TEX/TEX_bind.h"

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
    if (btn_draw_log) return;
    OGL_setstate(1, 1, 3, 5, 9, 11);
    OGL_set_colour(col, 1.0f);
    tman.bind_ref(tex, 0, tex_env_modulate);
    glBegin(GL_QUADS);
}

void btn_piece(float left, float bottom, float right, float top, float s0, float t0, float s1,
               float t1)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::piece, run_tex, run_col, 1, {left, bottom, right, top, s0, t0, s1, t1});
        return;
    }
    const float x1 = left + mnw.wind_x, x2 = right + mnw.wind_x;
    const float y1 = bottom + mnw.wind_y, y2 = top + mnw.wind_y;
    glTexCoord2f(s0, t0);
    glVertex2f(x1, y1);
    glTexCoord2f(s0, t1);
    glVertex2f(x1, y2);
    glTexCoord2f(s1, t1);
    glVertex2f(x2, y2);
    glTexCoord2f(s1, t0);
    glVertex2f(x2, y1);
}

void btn_pieces_end()
{
    if (!btn_draw_log) glEnd();
}

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
    OGL_2dquad(tex, col, alpha, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10],
               c[11], c[12], c[13], c[14], c[15], 1, 5);
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
    OGL_string(col, x, y, text, wrap, font, justify);
}

void btn_fillrect(int col, float alpha, float x, float y, float w, float h)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::fillrect, 0, col, alpha, {x, y, w, h});
        return;
    }
    OGL_fillrect(col, alpha, x, y, w, h);
}

void btn_framerect(int col, float alpha, float x, float y, float w, float h)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::framerect, 0, col, alpha, {x, y, w, h});
        return;
    }
    OGL_framerect(col, alpha, x, y, w, h);
}

void btn_line(int col, float alpha, float x1, float y1, float x2, float y2)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::line, 0, col, alpha, {x1, y1, x2, y2});
        return;
    }
    OGL_line(col, alpha, x1, y1, x2, y2);
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
    OGL_number(col, x, y, value, digits, decimals, font);
}

void btn_scissors(float x, float y, float w, float h)
{
    if (btn_draw_log) {
        log_op(btn_draw_op::scissors, 0, 0, 1, {x, y, w, h});
        return;
    }
    OGL_scissors(x, y, w, h);
}

void btn_scissors_end()
{
    if (btn_draw_log) {
        log_op(btn_draw_op::scissors_end, 0, 0, 1, {});
        return;
    }
    OGL_scissors_end();
}

void btn_present()
{
    if (btn_draw_log) {
        log_op(btn_draw_op::present, 0, 0, 1, {});
        return;
    }
    OGL_sbuff();
}

float btn_text_width(const std::string& text) { return OGL_string_width(text); }
