// Capability detection over described GLs: flags from the version and the
// extension text, entry-point families, command-line switches, the report and
// the hardware checks.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "OGL/OGL_extensions.h"
#include "support/gl_report.h"

namespace {

std::map<std::pair<GLenum, GLenum>, GLint> g_program_limits;

void APIENTRY fake_get_program(GLenum target, GLenum pname, GLint* value)
{
    auto it = g_program_limits.find({target, pname});
    *value = it == g_program_limits.end() ? 0 : it->second;
}

void APIENTRY fake_entry() {}

struct FakeGL {
    const char* vendor = "Vendor";
    const char* renderer = "Renderer";
    const char* version = "2.1.2 NVIDIA 169.12";
    const char* extensions = "";
    std::set<std::string> missing;  // entry points the GL does not supply
    std::set<std::string> options;  // command-line switches
    std::map<GLenum, int> ints{{GL_MAX_TEXTURE_UNITS_ARB, 4},
                               {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16},
                               {GL_MAX_TEXTURE_COORDS_ARB, 8},
                               {GL_MAX_TEXTURE_SIZE, 4096}};
    float max_aniso = 16.0f;
    const char* glsl = "1.20 NVIDIA via Cg compiler";

    OGL_extensions ext;
    ren_class ren;
    std::ostringstream log;
    std::vector<OGL_gl_alert> alerts;

    void run()
    {
        OGL_gl_probe gl;
        gl.vendor = vendor;
        gl.renderer = renderer;
        gl.version = version;
        gl.extensions = extensions;
        gl.get_proc = [this](const char* name) -> void* {
            if (missing.count(name)) return nullptr;
            if (std::string(name) == "glGetProgramivARB")
                return reinterpret_cast<void*>(&fake_get_program);
            return reinterpret_cast<void*>(&fake_entry);
        };
        gl.get_int = [this](GLenum p) {
            auto it = ints.find(p);
            return it == ints.end() ? 0 : it->second;
        };
        gl.get_float = [this](GLenum p, int index) {
            if (p == GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT) return max_aniso;
            if (p == GL_POINT_SIZE_RANGE) return index == 1 ? 63.375f : 1.0f;
            return 0.0f;
        };
        gl.get_string = [this](GLenum) { return glsl; };
        gl.has_option = [this](const char* name) { return static_cast<int>(options.count(name)); };
        alerts = ext.detect(gl, ren, log);
    }

    std::string line(const std::string& label) const
    {
        const std::string text = log.str();
        const auto at = text.find(label);
        if (at == std::string::npos) return "<missing " + label + ">";
        const auto end = text.find('\n', at);
        return text.substr(at + label.size(), end - at - label.size());
    }
    int count(const std::string& needle) const
    {
        int n = 0;
        const std::string text = log.str();
        for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    }
};

class GlCapabilities : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_program_limits = {
            {{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB}, 4096},
            {{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB}, 4095},
            {{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB}, 4094},
            {{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB}, 4093},
            {{GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB}, 512},
        };
    }
};

TEST(GlVersionNumber, ReadsMajorAndMinorOrTheThreeCharacterTable)
{
    const struct {
        const char* text;
        int v;
    } cases[] = {
        {"1.5", 150},
        {"2.1.2 NVIDIA 169.12", 210},
        {"3.0", 300},
        {"1.4 Mesa 7.0", 140},
        {"OpenGL 2.0", 100},
        {"", 100},
        {nullptr, 100},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
        {"1.", 100},
        {"2.", 100},
        {"99999999999999999999.1", 1073741823},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OGL_version_number(c.text), c.v) << (c.text ? c.text : "null");
}

TEST_F(GlCapabilities, VersionImpliesFlagsButNotTheNamedOnes)
{
    FakeGL gl;
    gl.run();
    const OGL_extensions& e = gl.ext;
    for (int flag : {e.multitexture_avail, e.tex_clamp_avail, e.add_env_avail, e.combine_avail,
                     e.tex_comp_avail, e.vbo_avail, e.pbo_avail, e.automini_avail, e.fsaa_avail,
                     e.sprites_avail, e.depth_tex_avail, e.occlude_avail, e.shad_objs_avail,
                     e.vshader_avail, e.fshader_avail, e.glsl_avail})
        EXPECT_EQ(flag, 1);
    for (int flag : {e.dis_fog_avail, e.vprog_avail, e.fprog_avail, e.aniso_avail, e.gshader_avail,
                     e.framebuf_avail, e.sblend_avail, e.first_gen_shaders})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(e.threaded_avail, 1);
    EXPECT_EQ(gl.line("OpenGL Version   : "), "2.1.2 NVIDIA 169.12 (210)");
    EXPECT_NE(e.glBindBufferARB, nullptr);
    EXPECT_NE(e.glCompressedTexImage2DARB, nullptr);
    EXPECT_EQ(e.glBindFramebufferEXT, nullptr);  // family not looked up
    EXPECT_TRUE(gl.alerts.empty());
}

TEST_F(GlCapabilities, OldVersionNeedsExtensionNamesAndSubstringsMatch)
{
    FakeGL gl;
    gl.version = "1.4 Mesa 7.0";
    gl.extensions = "GL_ARB_multitexture GL_EXT_texture_env_combine3";
    gl.run();
    EXPECT_EQ(gl.ext.automini_avail, 1);
    EXPECT_EQ(gl.ext.depth_tex_avail, 1);
    EXPECT_EQ(gl.ext.vbo_avail, 0);
    EXPECT_EQ(gl.ext.occlude_avail, 0);
    EXPECT_EQ(gl.ext.combine_avail, 1);  // found inside a longer name
    EXPECT_EQ(gl.line("OpenGL Version   : "), "1.4 Mesa 7.0 (140)");
}

TEST_F(GlCapabilities, DisableVboLogsBothLinesAndLoadsNeither)
{
    FakeGL gl;
    gl.options = {"--disable-vbo"};
    gl.run();
    const std::string log = gl.log.str();
    const auto vbo = log.find("VBOs disabled on user's request.\n");
    const auto pbo = log.find(
        "Disabling PBOs because VBOs are not available.  This probably means that VBOs are "
        "disabled for compatibility reasons.\n");
    ASSERT_NE(vbo, std::string::npos);
    ASSERT_NE(pbo, std::string::npos);
    EXPECT_LT(vbo, pbo);
    EXPECT_LT(pbo, log.find("OpenGL Vendor    : "));  // warnings come before the report
    EXPECT_EQ(gl.ext.glBindBufferARB, nullptr);
    EXPECT_EQ(gl.line("vbo_avail        : "), "0");
    EXPECT_EQ(gl.line("pbo_avail        : "), "0");

    FakeGL quiet;
    quiet.options = {"--no_vbos"};
    quiet.run();
    EXPECT_EQ(quiet.count("VBO"), 0);
    EXPECT_NE(quiet.ext.glBindBufferARB, nullptr);  // loaded, then switched off
    EXPECT_EQ(quiet.ext.vbo_avail + quiet.ext.pbo_avail, 0);
}

TEST_F(GlCapabilities, MissingProcsAreAllLoggedAndClearTheFamily)
{
    FakeGL gl;
    gl.extensions = "GL_EXT_framebuffer_object GL_EXT_blend_func_separate";
    gl.missing = {"glGenBuffersARB", "glMapBufferARB", "glBlendEquationSeparateEXT"};
    gl.run();
    EXPECT_EQ(gl.count("WARNING: extension missing proc "), 3);
    EXPECT_EQ(gl.count("WARNING: extension missing proc glGenBuffersARB\n"), 1);
    EXPECT_EQ(gl.ext.vbo_avail, 0);
    EXPECT_NE(gl.ext.glBindBufferARB, nullptr);
    EXPECT_NE(gl.ext.glGetBufferPointervARB, nullptr);  // looked up after the miss
    EXPECT_EQ(gl.ext.sblend_avail, 0);
    EXPECT_EQ(gl.ext.glBlendFuncSeparateEXT, nullptr);
    EXPECT_EQ(gl.ext.framebuf_avail, 1);
}

TEST_F(GlCapabilities, ProgramLimitsAndFirstGenerationShaders)
{
    struct Case {
        GLint fp_instr;
        std::set<std::string> options;
        int fprog, first_gen;
    } cases[] = {
        {4096, {}, 1, 0},
        {64, {}, 1, 1},
        {0, {}, 0, 1},
        {0, {"--use_fprogs"}, 1, 1},
    };
    for (const Case& c : cases) {
        g_program_limits[{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB}] =
            c.fp_instr;
        FakeGL gl;
        gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
        gl.options = c.options;
        gl.run();
        EXPECT_EQ(gl.ext.fprog_avail, c.fprog) << c.fp_instr;
        EXPECT_EQ(gl.ext.first_gen_shaders, c.first_gen) << c.fp_instr;
    }
    g_program_limits[{GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB}] = 64;
    FakeGL gl;
    gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
    gl.run();
    EXPECT_EQ(gl.line("fprog_avail      : "), "1 (64/4095/4094/4093)");
    EXPECT_EQ(gl.line("vprog_avail      : "), "1 (512)");

    FakeGL nvidia;
    nvidia.vendor = "NVIDIA Corporation";
    nvidia.run();
    EXPECT_EQ(nvidia.ext.first_gen_shaders, 1);
    FakeGL nvidia2;
    nvidia2.vendor = "NVIDIA Corporation";
    nvidia2.extensions = "GL_NV_fragment_program2";
    nvidia2.run();
    EXPECT_EQ(nvidia2.ext.first_gen_shaders, 0);
}

TEST_F(GlCapabilities, SwitchesClearOnlyWhatTheyName)
{
    FakeGL gl;
    gl.extensions =
        "GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic";
    gl.options = {"--no_vshaders", "--no_glsl", "--no_aniso_filtering", "--no_threaded_ogl"};
    gl.run();
    EXPECT_EQ(gl.ext.vprog_avail, 0);
    EXPECT_EQ(gl.ext.fprog_avail, 1);  // left as detected
    EXPECT_EQ(gl.ext.glsl_avail, 0);
    EXPECT_EQ(gl.ext.vshader_avail, 1);
    EXPECT_EQ(gl.ext.fshader_avail, 1);
    EXPECT_EQ(gl.ext.aniso_avail, 0);
    EXPECT_EQ(gl.ren.max_aniso, 1.0f);
    EXPECT_EQ(gl.ext.threaded_avail, 0);
    EXPECT_EQ(gl.ren.tex_units, 4);  // not raised to the image units without GLSL
}

TEST_F(GlCapabilities, TextureLimitsAndTheGlslRaise)
{
    FakeGL gl;
    gl.extensions =
        "GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic";
    gl.run();
    EXPECT_EQ(gl.line("max tex units    : "), "4 (16/8)");  // before the raise
    EXPECT_EQ(gl.ren.tex_units, 16);
    EXPECT_EQ(gl.ren.fixed_tex_units, 4);  // state switches stay on fixed-function units
    EXPECT_EQ(gl.line("max iso filtering: "), "16");
    EXPECT_EQ(gl.line("max texture size : "), "4096");
    EXPECT_EQ(gl.line("max point size   : "), "63.375");
    EXPECT_EQ(gl.ext.max_tex_size, 4096);

    FakeGL bare;
    bare.version = "1.1";
    bare.extensions = "GL_ARB_multitexture";
    bare.ints.clear();
    bare.run();
    EXPECT_EQ(bare.ren.tex_units, 1);
    EXPECT_EQ(bare.ren.image_units, 0);
    EXPECT_EQ(bare.ren.tex_coords, 0);
    EXPECT_EQ(bare.line("glsl_avail       : "), "0 (n/a)");

    FakeGL no_glsl_text;
    no_glsl_text.glsl = nullptr;
    no_glsl_text.run();
    EXPECT_EQ(no_glsl_text.line("glsl_avail       : "), "1 (<null string>)");
}

TEST_F(GlCapabilities, ReportHasEveryLabelInOrder)
{
    FakeGL gl;
    gl.run();
    EXPECT_EQ(brx_test::check_gl_report_labels(gl.log.str()), "");
    EXPECT_EQ(gl.count("\n"), 32);
}

TEST_F(GlCapabilities, NullStringsReadAsEmptyText)
{
    FakeGL gl;
    gl.vendor = gl.renderer = gl.version = gl.extensions = nullptr;
    gl.run();
    EXPECT_STREQ(gl.ren.gl_vendor, "");
    EXPECT_STREQ(gl.ren.gl_extensions, "");
    EXPECT_EQ(gl.line("OpenGL Version   : "), " (100)");
    ASSERT_EQ(gl.alerts.size(), 1u);  // GL "1.0" without multitexturing
}

TEST_F(GlCapabilities, HardwareAndSoftwareRendererChecks)
{
    const std::string multitex =
        "Your graphics hardware cannot support Brennix. Brennix requires a graphics card with "
        "16 MB of VRAM and multitexturing.";
    struct Case {
        const char* vendor;
        const char* renderer;
        const char* version;
        bool force;
        std::vector<std::pair<int, std::string>> alerts;  // kind, first line
    } cases[] = {
        {"V", "R", "1.1", false, {}},
        {"V", "R", "1.0", false, {{2, multitex}}},
        {"ATI Technologies Inc.",
         "R",
         "2.0",
         false,
         {{2, "ATI hardware is not supported on Linux."}}},
        {"ATI Technologies Inc", "R", "2.0", false, {}},
        {"ATI Technologies Inc.", "R", "1.0", false, {{2, multitex}}},
        {"V",
         "Mesa GLX Indirect",
         "1.0",
         true,
         {{1, multitex},
          {1,
           "I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
           "installed drivers."}}},
        {"V",
         "generic",
         "2.0",
         false,
         {{1,
           "I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
           "installed drivers."}}},
        {"V", "Mesa DRI Intel(R) 965GM", "2.0", false, {}},
    };
    for (const Case& c : cases) {
        FakeGL gl;
        gl.vendor = c.vendor;
        gl.renderer = c.renderer;
        gl.version = c.version;
        if (c.force) gl.options = {"--force_run"};
        gl.run();
        ASSERT_EQ(gl.alerts.size(), c.alerts.size())
            << c.vendor << " " << c.renderer << " " << c.version;
        for (size_t i = 0; i < c.alerts.size(); ++i) {
            EXPECT_EQ(gl.alerts[i].kind, c.alerts[i].first);
            EXPECT_EQ(gl.alerts[i].lines[0], c.alerts[i].second);
        }
    }

    FakeGL fatal;
    fatal.version = "1.0";
    fatal.run();
    ASSERT_EQ(fatal.alerts.size(), 1u);
    EXPECT_EQ(fatal.alerts[0].line, 565);
    EXPECT_EQ(fatal.alerts[0].lines[1], "First, try updating your graphics drivers.");
    EXPECT_EQ(fatal.alerts[0].lines[3], "For tech support, email support@corvath.example");

    FakeGL forced;
    forced.version = "1.0";
    forced.options = {"--force_run"};
    forced.run();
    ASSERT_EQ(forced.alerts.size(), 1u);
    EXPECT_EQ(forced.alerts[0].lines[1],
              "Your system does not meet Brennix's hardware requirements.");
    EXPECT_EQ(forced.alerts[0].lines[3],
              "Go to http://www.corvath.example/ for system requirements and tech support "
              "information.");

    FakeGL soft;
    soft.renderer = "GENERIC";
    soft.run();
    ASSERT_EQ(soft.alerts.size(), 1u);
    EXPECT_EQ(soft.alerts[0].line, 576);
    EXPECT_EQ(soft.alerts[0].lines[3],
              "See www.corvath.example for a list of the currently-compatible 3-D video cards.");
}

TEST_F(GlCapabilities, FreshRecordHasNullSlotsAndOnlyThreadedSet)
{
    OGL_extensions e;
    EXPECT_EQ(e.glBindBufferARB, nullptr);
    EXPECT_EQ(e.glBlendFuncSeparateEXT, nullptr);
    EXPECT_EQ(e.threaded_avail, 1);
    EXPECT_EQ(e.combine_avail, 0);
    EXPECT_EQ(e.max_tex_size, 0);
}

}  // namespace
