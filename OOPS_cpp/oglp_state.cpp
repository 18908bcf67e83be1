#include "OOPS_cpp/oglp_state.h"

#include <algorithm>

#include "GenH/hl_types.h"
#include "OGL/OGL_gl_calls.h"

namespace {

struct gl_state_cache {
    bool known = false;
    int fog = 0, tex = 0, lit = 0, blend = 0, alpha_test = 0, depth_test = 0;
    int depth_write = 11;  // the context starts with depth writes off
};

gl_state_cache cache;

// Units the per-unit loops may touch: the bind cache holds eight.
constexpr int kSwitchedUnits = 8;

void set_cap(GLenum cap, bool on) { on ? ogl_gl.Enable(cap) : ogl_gl.Disable(cap); }

}  // namespace

void OGL_forget_state() { cache = gl_state_cache(); }

void OGL_setstate(int fog, int tex_units, int lighting, int alpha_mode, int depth_test,
                  int depth_write)
{
    gl_state_cache& c = cache;
    if (!c.known) {
        c.fog = ogl_gl.IsEnabled(GL_FOG) ? 0 : 1;
        c.tex = ogl_gl.IsEnabled(GL_TEXTURE_2D) ? num_units : 0;
        c.lit = ogl_gl.IsEnabled(GL_LIGHTING) ? 2 : 3;
        c.blend = ogl_gl.IsEnabled(GL_BLEND) ? 1 : 0;
        c.alpha_test = ogl_gl.IsEnabled(GL_ALPHA_TEST) ? 1 : 0;
        c.depth_test = ogl_gl.IsEnabled(GL_DEPTH_TEST) ? 8 : 9;
        c.known = true;
    }

    if (fog != c.fog) set_cap(GL_FOG, fog == 0);

    if (tex_units != c.tex) {
        set_cap(GL_TEXTURE_2D, tex_units > 0);
        // Capped to the fixed-function units: ren.tex_units may count the
        // image units of shaders, where enabling texturing is a GL error.
        const int capped = std::clamp(tex_units, 0, std::max(ren.fixed_tex_units, 1));
        num_units = capped;
        if (c.tex > 1 || capped > 1) {
            for (int k = 0; k < kSwitchedUnits; ++k)
                if (c.tex <= k && k < capped) {
                    ogl_gl.ActiveTextureARB(GL_TEXTURE0_ARB + k);
                    ogl_gl.Enable(GL_TEXTURE_2D);
                }
            for (int k = 0; k < kSwitchedUnits; ++k)
                if (capped <= k && k < c.tex) {
                    ogl_gl.ActiveTextureARB(GL_TEXTURE0_ARB + k);
                    ogl_gl.Disable(GL_TEXTURE_2D);
                }
            ogl_gl.ActiveTextureARB(GL_TEXTURE0_ARB);
        }
        c.tex = capped;
    }

    if (lighting != c.lit) {
        set_cap(GL_LIGHTING, lighting == 2);
        set_cap(GL_LIGHT0, lighting == 2);
    }

    if (alpha_mode >= 4 && alpha_mode <= 7) {
        const int blend = alpha_mode == 5 || alpha_mode == 7;
        const int test = alpha_mode == 6 || alpha_mode == 7;
        if (blend != c.blend) set_cap(GL_BLEND, blend);
        if (test != c.alpha_test) set_cap(GL_ALPHA_TEST, test);
        c.blend = blend;
        c.alpha_test = test;
    }

    if (depth_test != c.depth_test) set_cap(GL_DEPTH_TEST, depth_test == 8);
    if (depth_write != c.depth_write) ogl_gl.DepthMask(depth_write == 10 ? GL_TRUE : GL_FALSE);

    c.fog = fog;
    c.lit = lighting;
    c.depth_test = depth_test;
    c.depth_write = depth_write;
}
