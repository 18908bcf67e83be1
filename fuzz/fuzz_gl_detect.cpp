// Capability detection over arbitrary GL strings, missing entry points and
// switches: no crash, and the flag dependencies hold.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "OGL/OGL_extensions.h"

namespace {

void APIENTRY fake_get_program(GLenum, GLenum pname, GLint* value)
{
    *value = static_cast<GLint>(pname % 200);
}
void APIENTRY fake_entry() {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Fields: vendor, renderer, version, extensions, missing names, switches.
    std::vector<std::string> field(6);
    std::size_t k = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n' && k + 1 < field.size())
            ++k;
        else
            field[k] += c;
    }
    const std::string& missing = field[4];
    const std::string& switches = field[5];

    OGL_gl_probe gl;
    gl.vendor = field[0].c_str();
    gl.renderer = field[1].c_str();
    gl.version = field[2].c_str();
    gl.extensions = size % 7 == 0 ? nullptr : field[3].c_str();
    gl.get_proc = [&](const char* name) -> void* {
        if (missing.find(name) != std::string::npos) return nullptr;
        if (std::string(name) == "glGetProgramivARB")
            return reinterpret_cast<void*>(&fake_get_program);
        return reinterpret_cast<void*>(&fake_entry);
    };
    gl.get_int = [size](GLenum pname) { return static_cast<int>((pname + size) % 40) - 4; };
    gl.get_float = [](GLenum, int) { return 2.5f; };
    gl.get_string = [&](GLenum) { return size % 3 ? field[0].c_str() : nullptr; };
    gl.has_option = [&](const char* name) {
        return switches.find(name) != std::string::npos ? 1 : 0;
    };

    OGL_extensions ext;
    ren_class r;
    std::ostringstream log;
    ext.detect(gl, r, log);

    if (ext.pbo_avail && !ext.vbo_avail) __builtin_trap();
    if (ext.glsl_avail && !(ext.vshader_avail && ext.fshader_avail)) __builtin_trap();
    if ((ext.vshader_avail || ext.fshader_avail || ext.gshader_avail) && !ext.shad_objs_avail)
        __builtin_trap();
    if (r.fixed_tex_units < 1 || r.fixed_tex_units > r.tex_units) __builtin_trap();
    if (!r.gl_vendor || !r.gl_extensions) __builtin_trap();
    return 0;
}
