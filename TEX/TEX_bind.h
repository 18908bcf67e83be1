// Texture binding with a per-unit cache of the bound texture and the texture
// environment, so a repeated bind issues no GL call.
#pragma once

#include "UTL/UTL_stat.h"

// Units the bind cache covers; a unit outside it (or past the GL's
// fixed-function units) is ignored.
inline constexpr int kBindUnits = 8;

// Environment modes beside the GL's own: 0 modulate, 24 keep the unit's
// environment, 1, 2 and 10 to 23 the combiner recipes.
enum { tex_env_modulate = 0, tex_env_keep = 24 };

void TEX_bind_ref(int ref, int unit, int mode);
void TEX_reset_bind();
void TEX_set_blend_level(int unit, float level);

// "perf/kill_tex": binds the blank placeholder in place of every texture but
// the widget atlas.
extern UTL_stat gKillTex;
