// The GL report of capability detection, as it stands in the log.
#pragma once

#include <sstream>
#include <string>

namespace brx_test {

// Empty when the first 32 lines of `report` start with the report's labels in
// order; else what is wrong.
inline std::string check_gl_report_labels(const std::string& report)
{
    static const char* const labels[] = {
        "OpenGL Vendor    : ", "OpenGL Render    : ", "OpenGL Version   : ",
        "OpenGL Extensions: ", "tex_clamp_avail  : ", "add_env_avail    : ",
        "combine_avail    : ", "dis_fog_avail    : ", "tex_comp_avail   : ",
        "vbo_avail        : ", "pbo_avail        : ", "vprog_avail      : ",
        "fprog_avail      : ", "automini_avail   : ", "aniso_avail      : ",
        "fsaa_avail       : ", "sprites_avail    : ", "depth_tex_avail  : ",
        "occlude_avail    : ", "shad_objs_avail  : ", "vshader_avail    : ",
        "fshader_avail    : ", "gshader_avail    : ", "glsl_avail       : ",
        "framebuf_avail   : ", "sblend_avail     : ", "threaded_avail   : ",
        "first-gen shaders: ", "max tex units    : ", "max iso filtering: ",
        "max texture size : ", "max point size   : "};
    std::istringstream in(report);
    std::string row;
    for (const char* label : labels) {
        if (!std::getline(in, row)) return std::string("report ends before ") + label;
        if (row.rfind(label, 0) != 0) return "expected " + std::string(label) + " in: " + row;
    }
    return "";
}

}  // namespace brx_test
