// Small helpers shared by the widget files.
#pragma once

// Rounds to the nearest whole number, halves away from zero.
inline float btn_round(float v) { return float(v >= 0 ? int(v + 0.5f) : int(v - 0.5f)); }

// Whether (x, y) lies in the rectangle, edges included.
inline bool btn_inside(float x, float y, float x1, float y1, float x2, float y2)
{
    return x >= x1 && x <= x2 && y >= y1 && y <= y2;
}

// One of the two 18-pixel close boxes at the current window's top, its left
// edge at x0, drawn up or pressed.
void btn_close_box(float x0, int pressed);
