// The drawing calls of the widget set. Every widget, panel, menu and tooltip
// draws through these few functions, so that a log can stand in for GL and the
// geometry can be checked without a display.
#pragma once

#include <string>
#include <vector>

// One drawing request, in the current window's coordinates (before the window
// origin is added).
struct btn_draw_op {
    enum kind_t { piece, quad, text, fillrect, line, number, present, scissors, scissors_end,
                  framerect };
    kind_t kind = piece;
    int tex = 0;     // piece, quad: the texture ref
    int col = 0;     // colour index
    float alpha = 1;  // quad, fillrect, line
    int font = 0;     // text
    int justify = 0;  // text
    float wrap = 0;   // text
    std::string str;  // text
    // piece: left, bottom, right, top, s0, t0, s1, t1
    // quad: x, y, s, t of the four corners in drawing order
    // text: x, y; fillrect, framerect: x, y, w, h; line: x1, y1, x2, y2
    // number: x, y, value, digits, decimals; scissors: x, y, w, h
    std::vector<float> v;
};

// While set, the calls below append to this log and leave GL alone.
extern std::vector<btn_draw_op>* btn_draw_log;

// A run of textured quads that share one state, colour and texture: the pieces
// of a stretched frame (one GL begin and end for the run). The colour takes the
// global alpha of the renderer.
void btn_pieces_begin(int tex, int col);
void btn_piece(float left, float bottom, float right, float top, float s0, float t0, float s1,
               float t1);
void btn_pieces_end();

// One textured quad of the widget atlas, alpha mode 5 and one texture unit:
// corners (x1, y1) bottom-left, (x1, y2) top-left, (x2, y2), (x2, y1), with the
// texture rectangle s0..s1 by t0..t1 laid out the same way.
void btn_atlas_quad(int tex, int col, float alpha, float x1, float y1, float x2, float y2,
                    float s0, float t0, float s1, float t1);
// The same with four free corners, each x, y, s, t (the rotated compass needle).
void btn_free_quad(int tex, int col, float alpha, const float corners[16]);

void btn_text(int col, float x, float y, const std::string& text, float wrap, int font,
              int justify);
void btn_fillrect(int col, float alpha, float x, float y, float w, float h);
void btn_line(int col, float alpha, float x1, float y1, float x2, float y2);
// The outline of a rectangle.
void btn_framerect(int col, float alpha, float x, float y, float w, float h);
void btn_number(int col, float x, float y, float value, int digits, int decimals, int font);
// Limits drawing to the rectangle at (x, y), w by h, until btn_scissors_end.
void btn_scissors(float x, float y, float w, float h);
void btn_scissors_end();
// Presents what has been drawn of the frame so far.
void btn_present();

// Width of a text in the proportional font 100.
float btn_text_width(const std::string& text);
