// The immediate-mode drawing layer on the 1024 by 768 canvas (y upwards):
// canvas mapping, 2D primitives, bitmap-font text, numbers, the end of a
// frame, the background tiles and screenshots. Positions are canvas pixels
// relative to the current window, whose origin every routine adds itself;
// colours are an index into the colour table and an alpha.
#pragma once

#include <string>

#include "OOPS_cpp/oglp_layout.h"

// ---------------------------------------------------------------------------
// Colours.

struct colour_rgba {
    float r, g, b, a;
    bool opaque;  // drawn with glColor3fv (GL alpha 1)
};
// The colour rule: indices up to 45 take the interface light multiplier, the
// alpha is multiplied by the global alpha and counts as opaque above 0.99. An
// index outside the table is black.
colour_rgba OGL_colour_of(int colour, float alpha);
void OGL_set_colour(int colour, float alpha);

// ---------------------------------------------------------------------------
// Canvas mapping.

void OGL_pix_specs(int unused);
void OGL_viewport(int mode, float left, float vx1, float bottom, float vy1, float right, float vx2,
                  float near_dist, float top, float vy2, float far_dist, float zoom,
                  int keep_aspect);
void OGL_screensize(int mode, float vx1, float vy1, float vx2, float vy2);
void OGL_scissors(float x, float y, float w, float h);
void OGL_scissors_end();

// ---------------------------------------------------------------------------
// 2D drawing.

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h);
void OGL_framerect(int colour, float alpha, float x, float y, float w, float h);
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
void OGL_2dquad(int tex, int colour, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int tex_units, int alpha_mode);
void OGL_2dquad_d(int tex, int colour, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int alpha_mode);
void OGL_fillcircle(int colour, float cx, float cy, float r);
void OGL_framecircle(int colour, float cx, float cy, float r);
void OGL_arc(int colour, float cx, float cy, float r1, float r2, float a1, float a2);
void OGL_plot_back_col();
void OGL_spectrum_rgb(float f);
void OGL_nrml_colors();
void OGL_glow_colors();
void OGL_printer();

// ---------------------------------------------------------------------------
// 3D helpers, in the current model-view, inside the caller's glBegin/glEnd
// for the line and quads.

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3]);
void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3],
                   float s1, float t1, float s2, float t2);
void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1,
              float t2, float angle);
void OGL_disc(float x, float y, float z, float r);
void OGL_poly_offset(int n);
void OGL_setspec(float v);

// ---------------------------------------------------------------------------
// Text and numbers (fonts 100, 102 and 103).

// Draws text at window position (x, y); wraps at `wrap` when it lies strictly
// between 0 and 9999; justification 1 centres on x, 2 ends at x. Returns the y
// after the last line (or the y used, when not wrapping).
float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int font,
                 int justification);
// Font 100 text centred on x over a translucent grey box.
void OGL_gray_string(int colour, float x, float y, std::string text);
// Text in a field frame centred on x, the label's left and right parts beside it.
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text, int font,
                      int colour);
// Sets GL state, colour and texture for a font; returns its fixed advance
// (0 for font 100) and its glyph cell in texels. A bad font is fatal.
int OGL_strtex(int font, int colour, float* s0, float* t0, float* cell_w, float* cell_h);
// One line at canvas position (x, y).
void str_one_line(int colour, float x, float y, const std::string& line, int font,
                  int justification);
// One glyph quad; the caller has opened GL_QUADS.
void OGL_char(float x, float y, float s0, float t0, float cell_w, float cell_h, int c, int font);

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int font);
// Ends a frame: colour back to white, buffers swapped.
void OGL_sbuff();

// ---------------------------------------------------------------------------
// Background picture and screenshots.

extern int back_dx, back_dy;
void OGL_make_back_tex();
void OGL_plot_back_tex();
void OGL_screenshot(int save);
