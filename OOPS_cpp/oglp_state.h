// The cached switch of the fixed-function GL state that every drawing
// routine sets before it emits vertices.
#pragma once

// Codes: fog 0 on, else off; tex_units enabled from unit 0; lighting 2 on,
// else off; alpha_mode 4 none, 5 blend, 6 alpha test, 7 both (others leave
// both as they are); depth_test 8 on, else off; depth_write 10 on, else off.
void OGL_setstate(int fog, int tex_units, int lighting, int alpha_mode, int depth_test,
                  int depth_write);

// Forgets the cached state: the next OGL_setstate asks GL again. For a newly
// made current context.
void OGL_forget_state();
