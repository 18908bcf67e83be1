// A fixed-function GL simulated behind the GL call table: it records every
// call as text and keeps per-unit enables and texture-environment values, so
// tests see exactly what the state cache and the texture binder issue.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "OGL/OGL_gl_calls.h"

namespace brx_test {

struct FakeGl {
    std::vector<std::string> calls;
    int active_unit = 0;
    int fixed_units = 8;  // units where enabling texturing is allowed
    std::set<GLenum> enabled;                     // capabilities but GL_TEXTURE_2D
    std::set<int> texture_2d;                     // units with GL_TEXTURE_2D on
    std::map<int, GLuint> bound;                  // unit -> texture
    std::map<std::pair<int, GLenum>, float> env;  // (unit, pname) -> value
    int errors = 0;                               // calls a real GL would reject
    GLboolean depth_mask = GL_FALSE;

    // Installs the fake in ogl_gl until the object goes away.
    FakeGl();
    ~FakeGl();
    FakeGl(const FakeGl&) = delete;
    FakeGl& operator=(const FakeGl&) = delete;

    // The calls recorded since the last take, then forgets them.
    std::vector<std::string> take();

private:
    OGL_gl_calls saved_;
};

// Readable name of a GL enum the state calls use ("GL_FOG", "GL_TEXTURE1").
std::string gl_enum_name(GLenum e);

}  // namespace brx_test
