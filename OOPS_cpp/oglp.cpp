// Canvas mapping, 2D and 3D primitives, text, numbers and the end of a frame.
#include "OOPS_cpp/oglp.h"

#include <GL/gl.h>
#include <GL/glx.h>

#include <cmath>
#include <cstdint>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp_state.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"

namespace {

// Texture reference whose quads OGL_2dquad binds with a combine recipe.
constexpr int kRecipeQuadRef = 414;
constexpr int kRecipeQuadEnv = 17;

void bind_ref(int ref, int env) { tman.bind_ref(ref, 0, env); }

// Truncation towards zero into an int, for GL's integer rectangles; values
// out of range are held at the ends.
GLint to_gl_int(float v)
{
    if (!(v > -2147483520.0f)) return v != v ? 0 : INT32_MIN;
    if (!(v < 2147483520.0f)) return INT32_MAX;
    return static_cast<GLint>(v);
}

// The 2D state: no fog, `units` texture units, no lighting, the alpha mode,
// no depth test or depth writes.
void state_2d(int units, int alpha_mode) { OGL_setstate(1, units, 3, alpha_mode, 9, 11); }

void vertex(float x, float y) { glVertex2f(x + mnw.wind_x, y + mnw.wind_y); }

}  // namespace

// ---------------------------------------------------------------------------
// Colours.

colour_rgba OGL_colour_of(int colour, float alpha)
{
    colour_rgba out{0.0f, 0.0f, 0.0f, alpha * ren.alpha, false};
    if (colour >= 0 && colour < kColourCount) {
        const float* c = colr.rgb[colour];
        out.r = c[0];
        out.g = c[1];
        out.b = c[2];
        if (colour <= 45) {
            const float* lite = colr.rgb[kLightMultiplier];
            out.r *= lite[0];
            out.g *= lite[1];
            out.b *= lite[2];
        }
    }
    out.opaque = out.a > 0.99f;
    return out;
}

void OGL_set_colour(int colour, float alpha)
{
    const colour_rgba c = OGL_colour_of(colour, alpha);
    if (c.opaque) {
        const GLfloat rgb[3] = {c.r, c.g, c.b};
        glColor3fv(rgb);
    } else {
        glColor4f(c.r, c.g, c.b, c.a);
    }
}

// ---------------------------------------------------------------------------
// Canvas mapping.

void OGL_pix_specs(int)
{
    mnw.scale = 1.0f;
    mnw.viewport[0] = 0;
    mnw.viewport[1] = 0;
    mnw.viewport[2] = static_cast<float>(mnw.screen_w);
    mnw.viewport[3] = static_cast<float>(mnw.screen_h);
    mnw.canvas_dy = mnw.screen_h - 768 > 0 ? static_cast<float>(mnw.screen_h - 768) : 0.0f;
    const float dx = (static_cast<float>(mnw.screen_w) / mnw.scale - 1024.0f) * 0.5f;
    mnw.canvas_dx = dx > 0 ? dx : 0.0f;
    if (mnw.wind == -1) mnw.canvas_dx = 0;
    mnw.centre_x = static_cast<float>(mnw.screen_w) * 0.5f;
    mnw.centre_y = 384.0f;
    if (mnw.wind >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
}

void OGL_viewport(int mode, float left, float vx1, float bottom, float vy1, float right, float vx2,
                  float near_dist, float top, float vy2, float far_dist, float zoom,
                  int keep_aspect)
{
    if (mode == 2) {
        left = mnw.viewport[0];
        right = mnw.viewport[2];
        bottom = mnw.viewport[1];
        top = mnw.viewport[3];
        vx1 = vy1 = 0;
        vx2 = static_cast<float>(mnw.screen_w);
        vy2 = static_cast<float>(mnw.screen_h);
    } else if (mode == 3) {
        left *= near_dist;
        right *= near_dist;
        bottom *= near_dist;
        top *= near_dist;
        vx1 *= mnw.scale;
        vy1 *= mnw.scale;
        vx2 *= mnw.scale;
        vy2 *= mnw.scale;
    }
    const float W = vx2 - vx1, H = vy2 - vy1;
    if (keep_aspect) {
        bottom *= H / W;
        top *= H / W;
    }

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (mode == 2) xcam.SetupOrtho(left / zoom, right / zoom, bottom / zoom, top / zoom, -1, 1);
    if (mode == 3)
        xcam.SetupFrustum(left / zoom, right / zoom, bottom / zoom, top / zoom, near_dist,
                          far_dist);
    glViewport(to_gl_int(vx1), to_gl_int(vy1), to_gl_int(W), to_gl_int(H));

    xcam.Identity();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(xcam.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(xcam.model_view);
    xcam.read_back = false;
}

void OGL_screensize(int mode, float vx1, float vy1, float vx2, float vy2)
{
    if (mode == 2) {
        vx1 = vy1 = 0;
        vx2 = static_cast<float>(mnw.screen_w);
        vy2 = static_cast<float>(mnw.screen_h);
    } else if (mode == 3) {
        vx1 *= mnw.scale;
        vy1 *= mnw.scale;
        vx2 *= mnw.scale;
        vy2 *= mnw.scale;
    }
    glViewport(to_gl_int(vx1), to_gl_int(vy1), to_gl_int(vx2 - vx1), to_gl_int(vy2 - vy1));
}

void OGL_scissors(float x, float y, float w, float h)
{
    const float X = x + mnw.wind_x, Y = y + mnw.wind_y;
    const float left = X * mnw.scale, bottom = Y * mnw.scale;
    float width = (X + w) * mnw.scale - left;
    float height = (Y + h) * mnw.scale - bottom;
    if (!(width > 0)) width = 0;
    if (!(height > 0)) height = 0;
    glEnable(GL_SCISSOR_TEST);
    glScissor(to_gl_int(left), to_gl_int(bottom), to_gl_int(width), to_gl_int(height));
}

void OGL_scissors_end() { glDisable(GL_SCISSOR_TEST); }

// ---------------------------------------------------------------------------
// 2D drawing.

namespace {

// A rectangle through (x0, y0), (x0, y1), (x1, y1), (x1, y0) on the canvas,
// filled (GL_QUADS) or outlined (GL_LINE_LOOP).
void rect_2d(GLenum mode, int colour, float alpha, float x0, float y0, float x1, float y1)
{
    state_2d(0, 5);
    OGL_set_colour(colour, alpha);
    glBegin(mode);
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glEnd();
}

}  // namespace

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h)
{
    const float X = x + mnw.wind_x, Y = y + mnw.wind_y;
    rect_2d(GL_QUADS, colour, alpha, X, Y, X + w, Y + h);
}

void OGL_framerect(int colour, float alpha, float x, float y, float w, float h)
{
    // Half a pixel in, so the outline covers whole pixels.
    const float X = mnw.wind_x + x + 0.5f, Y = mnw.wind_y + y + 0.5f;
    rect_2d(GL_LINE_LOOP, colour, alpha, X, Y, X + w, Y + h);
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2)
{
    state_2d(0, 5);
    OGL_set_colour(colour, alpha);
    glBegin(GL_LINES);
    glVertex2f(mnw.wind_x + 0.5f + x1, mnw.wind_y + 0.5f + y1);
    glVertex2f(mnw.wind_x + 0.5f + x2, mnw.wind_y + 0.5f + y2);
    glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha)
{
    rect_2d(GL_QUADS, 12, alpha, x1 + mnw.wind_x, y1 + mnw.wind_y, x2 + mnw.wind_x, y2 + mnw.wind_y);
}

void OGL_2dquad(int tex, int colour, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int tex_units, int alpha_mode)
{
    state_2d(tex_units, alpha_mode);
    if (tex > 0) bind_ref(tex, tex == kRecipeQuadRef ? kRecipeQuadEnv : tex_env_modulate);
    OGL_set_colour(colour, alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(s1, t1);
    vertex(x1, y1);
    glTexCoord2f(s2, t2);
    vertex(x2, y2);
    glTexCoord2f(s3, t3);
    vertex(x3, y3);
    glTexCoord2f(s4, t4);
    vertex(x4, y4);
    glEnd();
}

void OGL_2dquad_d(int tex, int colour, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int alpha_mode)
{
    state_2d(1, alpha_mode);
    if (tex > 0) bind_ref(tex, tex_env_modulate);
    OGL_set_colour(colour, alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(s, t);
    vertex(x, y);
    glTexCoord2f(s, t + dt);
    vertex(x, y + h);
    glTexCoord2f(s + ds, t + dt);
    vertex(x + w, y + h);
    glTexCoord2f(s + ds, t);
    vertex(x + w, y);
    glEnd();
}

void OGL_fillcircle(int colour, float cx, float cy, float r)
{
    if (!(r >= 0) || !std::isfinite(r)) return;
    const float r2 = r * r;
    // Counted rows, so a radius past float's whole-number range still ends.
    const int64_t rows = static_cast<int64_t>(std::floor(2.0 * r)) + 1;
    for (int64_t k = 0; k < rows; ++k) {
        const float dy = -r + static_cast<float>(k);
        const float half = std::sqrt(r2 - dy * dy);
        OGL_line(colour, 1.0f, cx - half, cy + dy, cx + half, cy + dy);
    }
}

void OGL_framecircle(int colour, float cx, float cy, float r)
{
    state_2d(0, 4);
    OGL_set_colour(colour, 1.0f);
    const float X = mnw.wind_x + cx + 0.5f, Y = mnw.wind_y + cy + 0.5f;
    glBegin(GL_LINE_STRIP);
    for (int k = 0; k <= 360; k += 5) glVertex2f(X + r * lookup_sin[k], Y + r * lookup_cos[k]);
    glEnd();
}

void OGL_arc(int colour, float cx, float cy, float r1, float r2, float a1, float a2)
{
    if (!(r1 <= r2) || !std::isfinite(r1) || !std::isfinite(r2)) return;
    if (!(a1 <= a2) || !std::isfinite(a1) || !std::isfinite(a2)) return;
    constexpr float kRad = 0.017453294f;
    const int64_t radii = static_cast<int64_t>(std::floor(static_cast<double>(r2) - r1)) + 1;
    const int64_t steps = static_cast<int64_t>(std::floor(static_cast<double>(a2) - a1)) + 1;
    for (int64_t i = 0; i < radii; ++i) {
        const float r = r1 + static_cast<float>(i);
        float px = cx + r * std::sin(a1 * kRad), py = cy + r * std::cos(a1 * kRad);
        for (int64_t j = 0; j < steps; ++j) {
            const float a = a1 + static_cast<float>(j);
            const float qx = cx + r * std::sin(a * kRad), qy = cy + r * std::cos(a * kRad);
            OGL_line(colour, 1.0f, px, py, qx, qy);
            px = qx;
            py = qy;
        }
    }
}

void OGL_plot_back_col()
{
    OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, static_cast<float>(mnw.screen_w),
                 static_cast<float>(mnw.screen_h));
}

void OGL_spectrum_rgb(float f)
{
    static const float col_r[7] = {0, 1, 1, 1, 0, 0, 0.8f};
    static const float col_g[7] = {0, 0, 0.32f, 1, 1, 0, 0};
    static const float col_b[7] = {0, 0, 0.08f, 0, 0, 1, 0.8f};
    if (f < 0) {
        glColor4f(0, 0, 0, ren.alpha);
        return;
    }
    int i = 0;
    float t;
    if (f >= 1) {
        i = 5;
        t = 1;
    } else {
        for (int k = 1; k <= 5; ++k)
            if (static_cast<float>(k) / 6.0f <= f) i = k;
        t = (f - static_cast<float>(i) / 6.0f) * 6.0f;
    }
    glColor4f(col_r[i] * (1 - t) + col_r[i + 1] * t, col_g[i] * (1 - t) + col_g[i + 1] * t,
              col_b[i] * (1 - t) + col_b[i + 1] * t, ren.alpha);
}

void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }
void OGL_glow_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }
void OGL_printer() {}

// ---------------------------------------------------------------------------
// 3D helpers.

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2)
{
    glVertex3f(x1, y1, z1);
    glVertex3f(x2, y2, z2);
}

namespace {

void quad_normal(const float p1[3], const float p2[3], const float p3[3])
{
    const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
    const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len > 0) {
        glNormal3f(n[0] / len, n[1] / len, n[2] / len);
    } else {
        glNormal3f(0, 1, 0);
    }
}

}  // namespace

void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3])
{
    OGL_3dquad_st(p1, p2, p3, p4, 1, 1, 0, 0);
}

void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3],
                   float s1, float t1, float s2, float t2)
{
    quad_normal(p1, p2, p3);
    glTexCoord2f(s1, t1);
    glVertex3fv(p1);
    glTexCoord2f(s1, t2);
    glVertex3fv(p2);
    glTexCoord2f(s2, t2);
    glVertex3fv(p3);
    glTexCoord2f(s2, t1);
    glVertex3fv(p4);
}

void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1,
              float t2, float angle)
{
    glPushMatrix();
    glTranslatef(x, y, z);
    glRotatef(-angle, 0, 0, 1);
    const float hw = w / 2, hd = d / 2;
    const float edge[5][2] = {{-hw, -hd}, {hw, -hd}, {hw, hd}, {-hw, hd}, {-hw, -hd}};
    const float normal[5][3] = {{0, 0, -1}, {0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i < 5; ++i) {
        const float s = i % 2 == 0 ? s1 : s2;
        glNormal3fv(normal[i]);
        glTexCoord2f(s, t2);
        glVertex3f(edge[i][0], h, edge[i][1]);
        glTexCoord2f(s, t1);
        glVertex3f(edge[i][0], 0, edge[i][1]);
    }
    glEnd();
    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(i < 2 ? s1 : s2, i == 1 || i == 2 ? t2 : t1);
        glVertex3f(edge[i][0], h, edge[i][1]);
    }
    glNormal3f(0, -1, 0);
    for (int i = 3; i >= 0; --i) {
        glTexCoord2f(i < 2 ? s1 : s2, i == 1 || i == 2 ? t2 : t1);
        glVertex3f(edge[i][0], 0, edge[i][1]);
    }
    glEnd();
    glPopMatrix();
}

void OGL_disc(float x, float y, float z, float r)
{
    glPushMatrix();
    glTranslatef(x, y, z);
    // Rings of the profile, (x, radius), from one end cap to the other.
    const float ring[4][2] = {{-r, 0.38f * r}, {-0.38f * r, r}, {0.38f * r, r}, {r, 0.38f * r}};
    auto ring_point = [](float rx, float radius, int deg) {
        glVertex3f(rx, radius * lookup_cos[deg], -radius * lookup_sin[deg]);
    };
    for (int end = 0; end < 2; ++end) {
        const float ex = end == 0 ? ring[0][0] : ring[3][0];
        const float radius = ring[0][1];
        glBegin(GL_TRIANGLE_FAN);
        glNormal3f(end == 0 ? -1.0f : 1.0f, 0, 0);
        glVertex3f(ex, 0, 0);
        for (int k = 0; k <= 12; ++k) ring_point(ex, radius, end == 0 ? 360 - 30 * k : 30 * k);
        glEnd();
    }
    for (int band = 0; band < 3; ++band) {
        glBegin(GL_QUAD_STRIP);
        for (int k = 0; k <= 12; ++k) {
            const int deg = 30 * k;
            glNormal3f(0, lookup_cos[deg], -lookup_sin[deg]);
            ring_point(ring[band][0], ring[band][1], deg);
            ring_point(ring[band + 1][0], ring[band + 1][1], deg);
        }
        glEnd();
    }
    glPopMatrix();
}

void OGL_poly_offset(int n)
{
    if (n != 0) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-10.0f * static_cast<float>(n), -1.0f);
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
    }
}

void OGL_setspec(float v)
{
    const GLfloat spec[4] = {v, v, v, 1};
    glLightfv(GL_LIGHT0, GL_SPECULAR, spec);
    glMaterialfv(GL_FRONT, GL_SPECULAR, spec);
    glMateriali(GL_FRONT, GL_SHININESS, 128);
}

// ---------------------------------------------------------------------------
// Text.

int OGL_strtex(int font, int colour, float* s0, float* t0, float* cell_w, float* cell_h)
{
    state_2d(1, 5);
    OGL_set_colour(colour, 1.0f);
    font_desc f{};
    if (!OGL_font_desc(font, &f)) {
        __MACIBM_alert(0, "String proc with bad charset!", "", "", "", t_exit, "OOPS_cpp/oglp",
                       493);
        return 0;
    }
    bind_ref(f.tex, tex_env_modulate);
    *s0 = f.s0;
    *t0 = f.t0;
    *cell_w = f.cell_w;
    *cell_h = f.cell_h;
    return f.adv;
}

namespace {

void emit_glyph(const glyph_quad& q)
{
    glTexCoord2f(q.u0, q.v0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.u0, q.v1);
    glVertex2f(q.x0, q.y1);
    glTexCoord2f(q.u1, q.v1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.u1, q.v0);
    glVertex2f(q.x1, q.y0);
}

void draw_line(int colour, float x, float y, std::string_view line, int font, int justification)
{
    float s0, t0, cw, ch;
    const int adv = OGL_strtex(font, colour, &s0, &t0, &cw, &ch);
    glBegin(GL_QUADS);
    OGL_layout_line(x, y, line, adv, justification, [&](float px, float py, char c) {
        emit_glyph(OGL_glyph_quad(px, py, s0, t0, cw, ch, c, font));
    });
    glEnd();
}

}  // namespace

void OGL_char(float x, float y, float s0, float t0, float cell_w, float cell_h, int c, int font)
{
    emit_glyph(OGL_glyph_quad(x, y, s0, t0, cell_w, cell_h, static_cast<char>(c), font));
}

void str_one_line(int colour, float x, float y, const std::string& line, int font,
                  int justification)
{
    draw_line(colour, x, y, line, font, justification);
}

float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int font,
                 int justification)
{
    float s0, t0, cw, ch;
    const int adv = OGL_strtex(font, colour, &s0, &t0, &cw, &ch);
    font_desc f{};
    if (!OGL_font_desc(font, &f)) return y;  // reported by OGL_strtex
    return OGL_layout_string(x, y, mnw.wind_x, mnw.wind_y, text, wrap, adv,
                             [&](std::string_view line, float X, float Y) {
                                 draw_line(colour, X, Y, line, font, justification);
                             });
}

void OGL_gray_string(int colour, float x, float y, std::string text)
{
    const float h = OGL_string_width(text) / 2;
    OGL_grayrect(x - h - 2, y - 2, x + h + 2, y + 8, 0.5f);
    OGL_string(colour, x - h, y, text, 9999.0f, font_prop, 0);
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text, int font,
                      int colour)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    float W = 100.0f;
    if (font == font_fixed10) W = 10.0f * static_cast<float>(text.size()) + 7.0f;
    if (font == font_prop) W = OGL_string_width(text) + 7.0f;
    BTN_frame1(9, x, y + 3, W, 0);
    const float L = x - W / 2;
    BTN_util_draw_label(L - 8, y, 0, left, 0);
    BTN_util_draw_label(x + W / 2 + 8, y, 2, right, 0);
    OGL_string(colour, L + 4, y, text, 9999.0f, font, 0);
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int font)
{
    if (font != font_fixed10) {
        OGL_string(colour, x, y, OGL_number_text(value, digits, decimals), 9999.0f, font, 0);
        return;
    }
    float s0, t0, cw, ch;
    const int adv = OGL_strtex(font, colour, &s0, &t0, &cw, &ch);
    const number_glyphs g =
        OGL_number_layout(x, y, mnw.wind_x, mnw.wind_y, value, digits, decimals, adv);
    glBegin(GL_QUADS);
    for (int i = 0; i < g.count; ++i) OGL_char(g.g[i].x, g.y, s0, t0, cw, ch, g.g[i].c, font);
    glEnd();
}

void OGL_sbuff()
{
    glColor4f(1, 1, 1, ren.alpha);
    xtim.profile_chart("sb1", 0);
    if (mnw.display && mnw.xwin[mnw.head]) glXSwapBuffers(mnw.display, mnw.xwin[mnw.head]);
    xtim.profile_chart("sb2", 0);
}
