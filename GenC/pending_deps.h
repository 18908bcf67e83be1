// Stand-ins for drawing and texture-manager calls whose modules have not been
// merged into this branch yet. Removed when they land.
#pragma once

void OGL_sbuff();
void OGL_viewport(int mode, float, float, float, float, float, float, float, float, float, float,
                  float scale, int);
