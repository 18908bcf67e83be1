#include "TEX/TEX_bind.h"

#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OGL/OGL_gl_calls.h"

UTL_stat gKillTex("perf/kill_tex", stat_perf, 0.0f);

namespace {

constexpr int kAtlasRef = 388;
constexpr int kBlankRef = 925;

int o_tex[kBindUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
int o_mod[kBindUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};

// Where a recipe sets the constant environment colour.
enum env_colour { no_colour, white_before_mode, white_after_mode, black_first_all_float };

struct combine_args {
    GLenum func;
    int count;
    GLenum source[3];
    GLenum operand[3];
};

struct combine_recipe {
    int mode;
    combine_args rgb;
    combine_args alpha;
    float alpha_scale;  // 0: left alone
    env_colour colour;
};

constexpr GLenum PREV = GL_PREVIOUS, TEX = GL_TEXTURE, CONST = GL_CONSTANT,
                 PRIM = GL_PRIMARY_COLOR;
constexpr GLenum COL = GL_SRC_COLOR, ALP = GL_SRC_ALPHA, INV = GL_ONE_MINUS_SRC_ALPHA;

const combine_recipe kRecipes[] = {
    {1, {GL_ADD, 2, {PREV, TEX}, {COL, COL}}, {GL_REPLACE, 1, {PREV}, {ALP}}, 1, no_colour},
    {2, {GL_ADD, 2, {PREV, TEX}, {COL, COL}}, {GL_ADD, 2, {PREV, TEX}, {ALP, ALP}}, 1, no_colour},
    {10, {GL_MODULATE, 2, {PREV, TEX}, {COL, COL}}, {GL_REPLACE, 1, {TEX}, {ALP}}, 1, no_colour},
    {11, {GL_REPLACE, 1, {PREV}, {COL}}, {GL_SUBTRACT, 2, {TEX, PREV}, {ALP, ALP}}, 4, no_colour},
    {12, {GL_REPLACE, 1, {PREV}, {COL}}, {GL_MODULATE, 2, {PREV, TEX}, {INV, ALP}}, 1, no_colour},
    {13, {GL_MODULATE, 2, {PREV, PREV}, {COL, INV}}, {GL_REPLACE, 1, {CONST}, {ALP}}, 1,
     white_after_mode},
    {14, {GL_REPLACE, 1, {PREV}, {COL}}, {GL_REPLACE, 1, {PREV}, {ALP}}, 1, no_colour},
    {15, {GL_REPLACE, 1, {PREV}, {COL}}, {GL_REPLACE, 1, {CONST}, {ALP}}, 1, white_before_mode},
    {16, {GL_MODULATE, 2, {PREV, TEX}, {COL, COL}}, {GL_REPLACE, 1, {CONST}, {ALP}}, 1,
     white_before_mode},
    {17, {GL_REPLACE, 1, {TEX}, {ALP}}, {GL_REPLACE, 1, {CONST}, {ALP}}, 1, white_before_mode},
    {18, {GL_INTERPOLATE, 3, {TEX, PREV, TEX}, {COL, COL, ALP}}, {GL_REPLACE, 1, {PREV}, {ALP}},
     1, no_colour},
    {19, {GL_INTERPOLATE, 3, {TEX, PREV, PREV}, {COL, COL, ALP}}, {GL_REPLACE, 1, {PREV}, {ALP}},
     1, no_colour},
    {20, {GL_MODULATE, 2, {PREV, TEX}, {COL, ALP}}, {GL_REPLACE, 1, {PREV}, {ALP}}, 1, no_colour},
    {21, {GL_INTERPOLATE, 3, {TEX, PREV, CONST}, {COL, COL, COL}},
     {GL_INTERPOLATE, 3, {TEX, PREV, CONST}, {ALP, ALP, ALP}}, 1, no_colour},
    {22, {GL_MODULATE, 2, {PREV, PRIM}, {COL, COL}}, {GL_REPLACE, 1, {PREV}, {ALP}}, 0, no_colour},
    {23, {GL_INTERPOLATE, 3, {PRIM, CONST, TEX}, {COL, COL, COL}}, {GL_REPLACE, 1, {TEX}, {ALP}},
     1, black_first_all_float},
};

const combine_recipe* find_recipe(int mode)
{
    for (const combine_recipe& r : kRecipes)
        if (r.mode == mode) return &r;
    return nullptr;
}

void issue_recipe(const combine_recipe& r)
{
    static const GLfloat white[4] = {1, 1, 1, 1};
    static const GLfloat black[4] = {0, 0, 0, 0};
    const bool all_float = r.colour == black_first_all_float;
    const auto env = [all_float](GLenum pname, GLenum value) {
        if (all_float)
            ogl_gl.TexEnvf(GL_TEXTURE_ENV, pname, static_cast<GLfloat>(value));
        else
            ogl_gl.TexEnvi(GL_TEXTURE_ENV, pname, static_cast<GLint>(value));
    };
    const auto args = [&env](const combine_args& a, GLenum func_name, GLenum source0,
                             GLenum operand0) {
        env(func_name, a.func);
        for (int i = 0; i < a.count; ++i) {
            env(source0 + i, a.source[i]);
            env(operand0 + i, a.operand[i]);
        }
    };

    const auto colour = [](const GLfloat* c) {
        ogl_gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
    };
    if (r.colour == black_first_all_float) colour(black);
    if (r.colour == white_before_mode) colour(white);
    env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    if (r.colour == white_after_mode) colour(white);
    args(r.rgb, GL_COMBINE_RGB, GL_SOURCE0_RGB, GL_OPERAND0_RGB);
    args(r.alpha, GL_COMBINE_ALPHA, GL_SOURCE0_ALPHA, GL_OPERAND0_ALPHA);
    if (r.alpha_scale != 0) ogl_gl.TexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, r.alpha_scale);
}

// A unit that the caches and fixed-function GL both have.
bool unit_usable(int unit)
{
    return unit >= 0 && unit < kBindUnits && unit < ren.fixed_tex_units;
}

}  // namespace

void TEX_bind_ref(int ref, int unit, int mode)
{
    if (mode == tex_env_modulate) mode = GL_MODULATE;
    if (gKillTex.value != 0.0f && ref != kAtlasRef) ref = kBlankRef;
    if (!unit_usable(unit)) return;
    if (ref == o_tex[unit] && mode == o_mod[unit]) return;

    if (unit > 0) ogl_gl.ActiveTextureARB(GL_TEXTURE0 + unit);
    if (ref != o_tex[unit]) {
        ogl_gl.BindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
        o_tex[unit] = ref;
    }
    if (mode != tex_env_keep && mode != o_mod[unit]) {
        o_mod[unit] = mode;
        const combine_recipe* recipe = glExt.combine_avail ? find_recipe(mode) : nullptr;
        if (recipe)
            issue_recipe(*recipe);
        else
            ogl_gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    }
    if (unit > 0) ogl_gl.ActiveTextureARB(GL_TEXTURE0);
}

void TEX_reset_bind()
{
    for (int u = 0; u < kBindUnits; ++u) o_tex[u] = o_mod[u] = -1;
}

void TEX_set_blend_level(int unit, float level)
{
    // Only fixed-function units have a texture environment.
    if (unit >= ren.fixed_tex_units) return;
    const GLfloat colour[4] = {level, level, level, level};
    if (unit > 0) ogl_gl.ActiveTextureARB(GL_TEXTURE0 + unit);
    ogl_gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    if (unit > 0) ogl_gl.ActiveTextureARB(GL_TEXTURE0);
}
