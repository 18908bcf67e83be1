// GL capabilities found at start-up (glExt) and the renderer's limits and
// drawing state (ren).
#pragma once

#include <vector>

class ren_class {
public:
    int tex_units = 0;     // usable fixed-function texture units
    float alpha = 1.0f;    // global alpha multiplier of every drawn colour
    std::vector<int> list_a;
    std::vector<int> list_b;
};

class OGL_extensions {
public:
    int threaded_avail = 1;  // workers may get GL loader contexts
};

extern OGL_extensions glExt;
