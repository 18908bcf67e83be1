#include "OGL/OGL_extensions.h"

#include <GL/glx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ostream>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "UTL/UTL_cmdline.h"

OGL_extensions glExt;

namespace {

// Reads an int the way "%d" does (leading blanks, a sign, digits), saturating
// instead of overflowing on a driver's absurd number. False when no digit.
bool scan_int(const char*& p, long long& out)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool neg = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = std::min(v * 10 + (*p - '0'), 1000000000LL);
    out = neg ? -v : v;
    return true;
}

const char* text_or_empty(const char* s)
{
    return s ? s : "";
}

}  // namespace

int OGL_version_number(const char* version)
{
    const char* s = text_or_empty(version);
    const char* p = s;
    long long major = 0, minor = 0;
    if (scan_int(p, major) && *p == '.' && scan_int(++p, minor)) {
        const long long v = 100 * major + 10 * minor;
        return static_cast<int>(std::clamp(v, static_cast<long long>(INT_MIN / 2),
                                           static_cast<long long>(INT_MAX / 2)));
    }
    static const struct {
        const char* text;
        int v;
    } known[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
                 {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
    for (const auto& k : known)
        if (strncmp(s, k.text, 3) == 0) return k.v;
    return 100;
}

std::vector<OGL_gl_alert> OGL_extensions::detect(const OGL_gl_probe& gl, ren_class& r,
                                                 std::ostream& log)
{
    r.gl_vendor = text_or_empty(gl.vendor);
    r.gl_renderer = text_or_empty(gl.renderer);
    r.gl_version = text_or_empty(gl.version);
    r.gl_extensions = text_or_empty(gl.extensions);

    const int V = OGL_version_number(r.gl_version);
    const auto has = [&](const char* name) { return strstr(r.gl_extensions, name) != nullptr; };
    const auto opt = [&](const char* name) { return gl.has_option && gl.has_option(name); };

    multitexture_avail = V >= 130 || has("GL_ARB_multitexture");
    tex_clamp_avail =
        V >= 120 || has("GL_EXT_texture_edge_clamp") || has("GL_SGIS_texture_edge_clamp");
    add_env_avail = V >= 130 || has("GL_ARB_texture_env_add") || has("GL_EXT_texture_env_add");
    combine_avail =
        V >= 130 || has("GL_ARB_texture_env_combine") || has("GL_EXT_texture_env_combine");
    dis_fog_avail = has("GL_NV_fog_distance");
    tex_comp_avail = V >= 130 || has("GL_ARB_texture_compression");
    vbo_avail = V >= 150 || has("GL_ARB_vertex_buffer_object");
    pbo_avail = V >= 210 || has("GL_ARB_pixel_buffer_object");
    vprog_avail = has("GL_ARB_vertex_program");
    fprog_avail = has("GL_ARB_fragment_program");
    automini_avail = V >= 140 || has("GL_SGIS_generate_mipmap");
    aniso_avail = has("GL_EXT_texture_filter_anisotropic");
    fsaa_avail = V >= 130 || has("GL_ARB_multisample");
    sprites_avail = V >= 200 || has("GL_ARB_point_sprite");
    depth_tex_avail = V >= 140 || has("GL_ARB_depth_texture");
    occlude_avail = V >= 150 || has("GL_ARB_occlusion_query");
    shad_objs_avail = V >= 200 || has("GL_ARB_shader_objects");
    vshader_avail = V >= 200 || has("GL_ARB_vertex_shader");
    fshader_avail = V >= 200 || has("GL_ARB_fragment_shader");
    gshader_avail = has("GL_EXT_geometry_shader4");
    glsl_avail = V >= 200 || has("GL_ARB_shading_language_100");
    framebuf_avail = has("GL_EXT_framebuffer_object");
    sblend_avail = has("GL_EXT_blend_func_separate") && has("GL_EXT_framebuffer_object");

    if (opt("--disable-vbo")) {
        log << "VBOs disabled on user's request.\n";
        vbo_avail = 0;
    }

    if (glsl_avail && strstr(r.gl_vendor, "NVIDIA") && !has("GL_NV_fragment_program2"))
        first_gen_shaders = 1;

    // Every member of a family is looked up even after one is missing, so the
    // log names all of them.
    const auto lookup = [&](const char* name, int& flag) -> void* {
        void* proc = gl.get_proc ? gl.get_proc(name) : nullptr;
        if (!proc) {
            log << "WARNING: extension missing proc " << name << "\n";
            flag = 0;
        }
        return proc;
    };
#define OGL_LOOK_UP(name, type) name = reinterpret_cast<type>(lookup(#name, *flag));
#define OGL_LOOK_UP_FAMILY(family, flag_name) \
    if (flag_name) {                          \
        int* flag = &flag_name;               \
        family(OGL_LOOK_UP)                   \
    }
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_BUFFERS, vbo_avail)
    if (pbo_avail && !vbo_avail) {
        log << "Disabling PBOs because VBOs are not available.  This probably means that VBOs "
               "are disabled for compatibility reasons.\n";
        pbo_avail = 0;
    }
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_PROGRAMS, vprog_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_QUERIES, occlude_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_SHADER_OBJECTS, shad_objs_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_GEOMETRY_SHADER, gshader_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_VERTEX_SHADER, vshader_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_FRAMEBUFFERS, framebuf_avail)
    OGL_LOOK_UP_FAMILY(OGL_ENTRIES_COMPRESSED_TEXTURES, tex_comp_avail)
#undef OGL_LOOK_UP_FAMILY
#undef OGL_LOOK_UP
    if (sblend_avail) {
        glBlendEquationSeparateEXT = reinterpret_cast<PFNGLBLENDEQUATIONSEPARATEEXTPROC>(
            lookup("glBlendEquationSeparateEXT", sblend_avail));
        if (sblend_avail)
            glBlendFuncSeparateEXT = reinterpret_cast<PFNGLBLENDFUNCSEPARATEEXTPROC>(
                lookup("glBlendFuncSeparateEXT", sblend_avail));
    }

    if (!vprog_avail) fprog_avail = 0;
    if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
    if (!(vshader_avail && fshader_avail)) glsl_avail = 0;

    const auto get_int = [&](GLenum pname) { return gl.get_int ? gl.get_int(pname) : 0; };

    // A slot found missing above is null; such a family's flag is 0 already.
    GLint fp_instr = 0, fp_alu = 0, fp_tex = 0, fp_indir = 0, vp_instr = 0;
    if (fprog_avail) {
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB,
                          &fp_instr);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB,
                          &fp_alu);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
                          &fp_tex);
        glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
                          &fp_indir);
        if (fp_instr == 0 && !opt("--use_fprogs")) fprog_avail = 0;
        if (fp_instr < 100) first_gen_shaders = 1;
    }
    if (vprog_avail) {
        glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &vp_instr);
        if (vp_instr == 0 && !opt("--use_vprogs")) vprog_avail = 0;
    }

    int vs_attribs = 0, vs_uniforms = 0, varyings = 0, combined_units = 0, vs_units = 0;
    int fs_uniforms = 0;
    if (vshader_avail) {
        vs_attribs = get_int(GL_MAX_VERTEX_ATTRIBS_ARB);
        vs_uniforms = get_int(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB);
        varyings = get_int(GL_MAX_VARYING_FLOATS_ARB);
        combined_units = get_int(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB);
        vs_units = get_int(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB);
    }
    if (fshader_avail) fs_uniforms = get_int(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB);

    std::string glsl_version = "n/a";
    if (glsl_avail) {
        const char* s = gl.get_string ? gl.get_string(GL_SHADING_LANGUAGE_VERSION_ARB) : nullptr;
        glsl_version = s ? s : "<null string>";
    }

    r.max_aniso = 1.0f;
    r.tex_units = get_int(GL_MAX_TEXTURE_UNITS_ARB);
    r.image_units = fprog_avail ? get_int(GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : r.tex_units;
    r.tex_coords = vprog_avail ? get_int(GL_MAX_TEXTURE_COORDS_ARB) : r.tex_units;
    if (aniso_avail && gl.get_float)
        r.max_aniso = gl.get_float(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 0);
    max_tex_size = get_int(GL_MAX_TEXTURE_SIZE);
    const float max_point = gl.get_float ? gl.get_float(GL_POINT_SIZE_RANGE, 1) : 0.0f;
    if (r.tex_units <= 0) r.tex_units = 1;
    // GL_MAX_TEXTURE_UNITS counts the fixed-function units; the raise below
    // to the image units must not reach the state switches.
    r.fixed_tex_units = std::max(r.tex_units, 1);

    if (opt("--no_vbos")) vbo_avail = pbo_avail = 0;
    if (opt("--no_pbos")) pbo_avail = 0;
    if (opt("--no_sprites")) sprites_avail = 0;
    if (opt("--no_pixel_counters")) occlude_avail = 0;
    if (opt("--no_aniso_filtering")) {
        r.max_aniso = 1.0f;
        aniso_avail = 0;
    }
    if (opt("--no_hw_mipmap")) automini_avail = 0;
    if (opt("--no_vshaders")) vprog_avail = 0;
    if (opt("--no_fshaders")) fprog_avail = 0;
    if (opt("--no_glsl")) glsl_avail = 0;
    if (opt("--no_fbos")) framebuf_avail = 0;
    if (opt("--no_threaded_ogl")) threaded_avail = 0;
    if (opt("--no_sblend")) sblend_avail = 0;

    // The report prints floats in the stream's default form, whatever the
    // log's own notation.
    const auto old_flags = log.flags();
    const auto old_precision = log.precision();
    log.unsetf(std::ios::floatfield);
    log.precision(6);
    log << "OpenGL Vendor    : " << r.gl_vendor << "\n"
        << "OpenGL Render    : " << r.gl_renderer << "\n"
        << "OpenGL Version   : " << r.gl_version << " (" << V << ")\n"
        << "OpenGL Extensions: " << r.gl_extensions << "\n"
        << "tex_clamp_avail  : " << tex_clamp_avail << "\n"
        << "add_env_avail    : " << add_env_avail << "\n"
        << "combine_avail    : " << combine_avail << "\n"
        << "dis_fog_avail    : " << dis_fog_avail << "\n"
        << "tex_comp_avail   : " << tex_comp_avail << "\n"
        << "vbo_avail        : " << vbo_avail << "\n"
        << "pbo_avail        : " << pbo_avail << "\n"
        << "vprog_avail      : " << vprog_avail << " (" << vp_instr << ")\n"
        << "fprog_avail      : " << fprog_avail << " (" << fp_instr << "/" << fp_alu << "/"
        << fp_tex << "/" << fp_indir << ")\n"
        << "automini_avail   : " << automini_avail << "\n"
        << "aniso_avail      : " << aniso_avail << "\n"
        << "fsaa_avail       : " << fsaa_avail << "\n"
        << "sprites_avail    : " << sprites_avail << "\n"
        << "depth_tex_avail  : " << depth_tex_avail << "\n"
        << "occlude_avail    : " << occlude_avail << "\n"
        << "shad_objs_avail  : " << shad_objs_avail << "\n"
        << "vshader_avail    : " << vshader_avail << " (" << vs_attribs << "/" << vs_uniforms << "/"
        << varyings << "/" << combined_units << "/" << vs_units << "/" << fs_uniforms << ")\n"
        << "fshader_avail    : " << fshader_avail << " (" << fs_uniforms << ")\n"
        << "gshader_avail    : " << gshader_avail << "\n"
        << "glsl_avail       : " << glsl_avail << " (" << glsl_version << ")\n"
        << "framebuf_avail   : " << framebuf_avail << "\n"
        << "sblend_avail     : " << sblend_avail << "\n"
        << "threaded_avail   : " << threaded_avail << "\n"
        << "first-gen shaders: " << first_gen_shaders << "\n"
        << "max tex units    : " << r.tex_units << " (" << r.image_units << "/" << r.tex_coords
        << ")\n"
        << "max iso filtering: " << r.max_aniso << "\n"
        << "max texture size : " << max_tex_size << "\n"
        << "max point size   : " << max_point << "\n";
    log.flags(old_flags);
    log.precision(old_precision);

    if (glsl_avail) r.tex_units = std::max(r.tex_units, r.image_units);

    std::vector<OGL_gl_alert> alerts;
    std::string message;
    if (strcmp(r.gl_vendor, "ATI Technologies Inc.") == 0)
        message = "ATI hardware is not supported on Linux.";
    if (!multitexture_avail && V < 110)
        message =
            "Your graphics hardware cannot support Brennix. Brennix requires a graphics card "
            "with 16 MB of VRAM and multitexturing.";
    if (!message.empty()) {
        OGL_gl_alert a;
        a.line = 565;
        a.lines[0] = message;
        if (opt("--force_run")) {
            a.kind = t_alert;
            a.lines[1] = "Your system does not meet Brennix's hardware requirements.";
            a.lines[2] =
                "You have used the force-run command inline option to run Brennix anyway, but "
                "it may crash.";
            a.lines[3] = std::string("Go to ") + kMakerWebSite +
                         " for system requirements and tech support information.";
        } else {
            a.kind = t_exit;
            a.lines[1] = "First, try updating your graphics drivers.";
            a.lines[2] = "If this does not help, check your graphics card specifications.";
            a.lines[3] = std::string("For tech support, email ") + kSupportEmail;
        }
        alerts.push_back(a);
    }

    static const char* const software[] = {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"};
    for (const char* name : software) {
        if (strcmp(r.gl_renderer, name) != 0) continue;
        OGL_gl_alert a;
        a.kind = t_alert;
        a.line = 576;
        a.lines[0] =
            "I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
            "installed drivers.";
        a.lines[1] =
            "I will still let you run the simulator, but the frame rate will NOT allow for a "
            "good simulation.";
        a.lines[2] =
            "For you to fly realistically, you must use Varnholt, or get a 3-D accelerator card "
            "that can handle OpenGL.";
        a.lines[3] = std::string("See ") + kMakerWebHost +
                     " for a list of the currently-compatible 3-D video cards.";
        alerts.push_back(a);
        break;
    }
    return alerts;
}

OGL_gl_probe OGL_current_gl_probe()
{
    OGL_gl_probe gl;
    gl.vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    gl.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    gl.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    gl.extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    gl.get_proc = [](const char* name) {
        return reinterpret_cast<void*>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
    };
    gl.get_int = [](GLenum pname) {
        GLint v[4] = {0, 0, 0, 0};
        glGetIntegerv(pname, v);
        return static_cast<int>(v[0]);
    };
    gl.get_float = [](GLenum pname, int index) {
        GLfloat v[16] = {};
        glGetFloatv(pname, v);
        return v[index & 15];
    };
    gl.get_string = [](GLenum name) { return reinterpret_cast<const char*>(glGetString(name)); };
    gl.has_option = [](const char* name) { return cmdline.has_option(name); };
    return gl;
}

void OGL_extensions::init_extensions()
{
    init_extensions_from(OGL_current_gl_probe());
}

void OGL_extensions::init_extensions_from(const OGL_gl_probe& gl)
{
    const std::vector<OGL_gl_alert> alerts = detect(gl, ren, xer);
    xer.flush();
    for (const OGL_gl_alert& a : alerts)
        __MACIBM_alert(0, a.lines[0], a.lines[1], a.lines[2], a.lines[3], a.kind,
                       "OGL/OGL_extensions", a.line);
}
