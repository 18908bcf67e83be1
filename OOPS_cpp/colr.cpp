#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp_state.h"

colr_class colr;

namespace {

const float kPalette[kColourCount][3] = {
    {1, 1, 1}, {1, 0.2f, 0.2f}, {1, 1, 0.2f}, {0.7f, 0.7f, 0.7f}, {0.8f, 0, 0}, {1, 1, 0},
    {0.3f, 0.3f, 0.3f}, {0.2f, 0, 0}, {1, 0.8f, 0.2f}, {0.1f, 0.1f, 0.1f}, {0, 0.8f, 0},
    {0, 0, 0}, {0, 0, 0}, {0, 0.4f, 0}, {0, 0, 0}, {0.4f, 0.4f, 1}, {0, 0, 0}, {0, 0, 0.6f},
    {0.9f, 0.9f, 0.9f}, {0.8f, 0.1f, 0.1f}, {0.9f, 0.9f, 1}, {0.9f, 0.9f, 0.9f},
    {0.1f, 0.1f, 0.1f}, {0, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1},
    {1, 1, 0}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {0.4f, 1, 0.4f}, {1, 0.4f, 0.4f},
    {1, 1, 0.6f}, {0.7f, 0.7f, 1}, {1, 0.5f, 0}, {0.8f, 0.8f, 0.8f}, {0, 1, 0},
    {1, 0.2f, 0.2f}, {1, 1, 0.2f}, {0.4f, 0.4f, 1}, {0.5f, 0.3f, 0}, {0.5f, 0.5f, 0.5f},
    {0, 0.6f, 0}, {0.6f, 0.2f, 0}, {1, 1, 0}, {0.2f, 0.2f, 0.8f}, {1, 0.2f, 1},
    {0.2f, 0.2f, 0.2f}, {0, 0.2f, 0}, {1, 0, 0}, {0.6f, 0.6f, 0}, {0.15f, 0.15f, 0.6f},
    {0.49f, 0.43f, 0.24f}, {0, 0, 0}, {0, 0.1f, 0}, {1, 0, 1}, {0, 1, 1},
    {0.44f, 0.53f, 0.54f}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
    {1, 0, 1}, {0, 0, 0}, {1, 0, 1}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0.5f, 0.5f, 0.4f}, {1, 0.3f, 0},
    {0.5f, 0.5f, 0.4f}, {0.8f, 0.8f, 0.7f}, {0, 0.6f, 0.2f}, {1, 1, 0.9f}, {0, 0, 0},
    {0, 0, 0}, {1, 1, 1},

};

const float roygbv_rgb_loc[6][3] = {{1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0},
                                    {0, 1, 0}, {0, 0, 1}, {0.8f, 0, 0.8f}};

}  // namespace

colr_class::colr_class()
{
    memset(static_cast<void*>(this), 0, sizeof(*this));
    memcpy(rgb, kPalette, sizeof(rgb));
    // 9/11 as a single, used in double precision.
    const double exponent = static_cast<double>(0.8181818f);
    for (int i = 1; i < 256; ++i)
        gamma_table[i] = static_cast<unsigned char>(255.0 * std::pow(i / 255.0, exponent) + 0.5);
}

void colr_class::assign(int index, float r, float g, float b)
{
    rgb[index][0] = r;
    rgb[index][1] = g;
    rgb[index][2] = b;
}

void colr_class::set_lites_for_interface()
{
    for (float& c : rgb[kLightMultiplier])
        if (!(c > 0.75f)) c = 0.75f;
}

void colr_class::set_lit_col(int type)
{
    const float a = ren.lit_level_a;
    const float b = ren.lit_level_b;
    switch (type) {
        case 0:
            for (int k = 0; k < 3; ++k) rgb[48][k] = std::max(a, rgb[kLightMultiplier][k]);
            break;
        case 1: assign(48, a, a, a); break;
        case 2: assign(48, b, b, b); break;
        default: __MACIBM_alert(0, "bad col_type!", "", "", "", t_exit, "OOPS_cpp/colr", 43);
    }
}

void colr_class::spectrum_init(int mode)
{
    if (mode < 0 || mode > 3) return;
    for (int i = 0; i < kSpectrumSize; ++i) {
        const float t = i * 0.001f;
        float* out = spectrum[i];
        if (mode == 0) {
            const int k = t < 0.2f ? 0 : t < 0.4f ? 1 : t < 0.6f ? 2 : t < 0.8f ? 3 : 4;
            const float u = (t - 0.2f * k) * 5.0f;
            for (int c = 0; c < 3; ++c)
                out[c] = (1 - u) * roygbv_rgb_loc[k][c] + u * roygbv_rgb_loc[k + 1][c];
        } else {
            out[0] = out[1] = out[2] = 0;
            out[mode - 1] = t;
        }
    }
}

void colr_class::spectrum_plotscale(float x, float y, float lo, float hi, int decimals)
{
    spectrum_hi = hi;
    spectrum_lo = lo;
    spectrum_range = hi - lo;
    OGL_number(0, x + 4, y + 996, hi, 5, decimals, 100);
    OGL_number(0, x + 4, y - 4, lo, 5, decimals, 100);
    OGL_setstate(1, 0, 3, 5, 9, 11);
    glPointSize(4);
    glBegin(GL_POINTS);
    for (int i = 0; i <= 996; i += 4) {
        const double v = std::clamp(lo + (hi - lo) * 0.001001001 * i,
                                    static_cast<double>(std::min(lo, hi)),
                                    static_cast<double>(std::max(lo, hi)));
        // An empty range (hi == lo) has no position on the scale: entry 0.
        const double pos = (v - lo) / (hi - lo) * 1000.0;
        const int entry = std::isfinite(pos) ? static_cast<int>(std::clamp(pos, 0.0, 999.0)) : 0;
        glColor3fv(spectrum[entry]);
        glVertex2f(x, y + i);
    }
    glEnd();
    glPointSize(1);
}
