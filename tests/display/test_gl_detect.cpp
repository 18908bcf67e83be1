// Capability detection, the state cache and texture binding against Mesa's
// real GL: the report in the log, the hardware check with an old GL version,
// and a GL error queue that stays clean with 32 image units but 8
// fixed-function ones.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/oglp_state.h"
#include "TEX/TEX_bind.h"
#include "UTL/UTL_cmdline.h"
#include "support/gl_report.h"
#include "support/test_util.h"

namespace {

using brx_test::ChildResult;
using brx_test::run_in_child;

// Opens the window and its context with the log at `log_path`.
void open_window_with_log(const std::string& log_path)
{
    xer.open(log_path);
    mnw.req_w = 1024;
    mnw.req_h = 768;
    mnw.col_res_req = 32;
    MACIBM_setres(1);
    MACIBM_make_context(0);
}

TEST(GlDetection, ReportsMesaAndKeepsFixedFunctionUnitsApart)
{
    brx_test::TempDir dir;
    const std::string log = dir / "Log.txt";
    const ChildResult r = run_in_child(
        [&] {
            open_window_with_log(log);
            glExt.init_extensions();
            xer.close();
            printf("tex_units=%d fixed=%d glsl=%d threaded=%d combine=%d\n", ren.tex_units,
                   ren.fixed_tex_units, glExt.glsl_avail, glExt.threaded_avail,
                   glExt.combine_avail);
        },
        dir.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "tex_units=32 fixed=8 glsl=1 threaded=1 combine=1")) << r.out;

    const std::string text = brx_test::read_file(log);
    EXPECT_EQ(brx_test::check_gl_report_labels(text), "") << text;
    EXPECT_TRUE(brx_test::contains(text, "OpenGL Render    : llvmpipe")) << text;
    EXPECT_TRUE(brx_test::contains(text, "max tex units    : 8 (32/")) << text;
    EXPECT_TRUE(brx_test::contains(text, "glsl_avail       : 1 (")) << text;
    EXPECT_TRUE(brx_test::contains(text, "threaded_avail   : 1\n"));
}

TEST(GlDetection, StateSwitchesLeaveTheErrorQueueClean)
{
    const ChildResult r = run_in_child([] {
        open_window_with_log("/dev/null");
        glExt.init_extensions();
        GLuint tex[3];
        glGenTextures(3, tex);
        for (GLuint t : tex) {
            glBindTexture(GL_TEXTURE_2D, t);
            const unsigned char texel[4] = {255, 255, 255, 255};
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        printf("before=0x%x\n", glGetError());

        // More units than fixed-function GL has, then back.
        OGL_setstate(1, 0, 3, 4, 9, 11);
        OGL_setstate(1, 40, 3, 5, 9, 11);
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        printf("units=%d active0=%d error=0x%x\n", num_units, active == GL_TEXTURE0, glGetError());
        OGL_setstate(0, 1, 2, 7, 8, 10);
        OGL_setstate(1, 1, 3, 5, 9, 11);
        printf("back error=0x%x tex2d_unit1=%d\n", glGetError(), [] {
            glActiveTexture(GL_TEXTURE1);
            const int on = glIsEnabled(GL_TEXTURE_2D);
            glActiveTexture(GL_TEXTURE0);
            return on;
        }());

        // Every combiner recipe on every cached unit, and units past them.
        const int recipes[] = {1, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
        int unit = 0;
        for (int mode : recipes) {
            TEX_bind_ref(static_cast<int>(tex[unit % 3]), unit, mode);
            unit = (unit + 1) % 8;
        }
        TEX_bind_ref(static_cast<int>(tex[0]), 12, 0);
        TEX_bind_ref(static_cast<int>(tex[0]), 31, 17);
        TEX_set_blend_level(20, 0.5f);
        TEX_set_blend_level(3, 0.5f);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        printf("recipes error=0x%x active0=%d\n", glGetError(), active == GL_TEXTURE0);

        GLint func = 0;
        TEX_bind_ref(static_cast<int>(tex[1]), 0, 18);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &func);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        printf("unit0 interpolate=%d bound=%d\n", func == GL_INTERPOLATE,
               bound == static_cast<GLint>(tex[1]));
        gKillTex.value = 1;
        TEX_bind_ref(static_cast<int>(tex[2]), 0, 18);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        printf("kill_tex bound=%d\n", bound);
    });
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "before=0x0")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "units=8 active0=1 error=0x0")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "back error=0x0 tex2d_unit1=0")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "recipes error=0x0 active0=1")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "unit0 interpolate=1 bound=1")) << r.out;
    EXPECT_TRUE(brx_test::contains(r.out, "kill_tex bound=925")) << r.out;
}

// Mesa at GL 1.0 still lists GL_ARB_multitexture (it cannot be withdrawn), so
// the probe of the real GL has that name taken out of its extension text.
void detect_old_gl_without_multitexture()
{
    OGL_gl_probe gl = OGL_current_gl_probe();
    static std::string extensions;
    extensions = gl.extensions ? gl.extensions : "";
    const std::string name = "GL_ARB_multitexture";
    for (auto at = extensions.find(name); at != std::string::npos; at = extensions.find(name))
        extensions.erase(at, name.size());
    gl.extensions = extensions.c_str();
    glExt.init_extensions_from(gl);
    printf("RETURNED\n");
}

TEST(GlDetection, OldGlVersionFailsTheHardwareCheck)
{
    // Mesa reads the version override once per process.
    if (brx_test::ran_in_fresh_process()) return;
    brx_test::ScopedEnv version("MESA_GL_VERSION_OVERRIDE", "1.0");
    brx_test::TempDir dir;
    const std::string log = dir / "Log.txt";

    const ChildResult fatal = run_in_child(
        [&] {
            open_window_with_log(log);
            detect_old_gl_without_multitexture();
        },
        dir.path());
    EXPECT_EQ(fatal.signal, SIGABRT) << fatal.out;
    EXPECT_TRUE(brx_test::contains(fatal.out,
                    "Your graphics hardware cannot support Brennix. Brennix requires a "
                    "graphics card with 16 MB of VRAM and multitexturing."))
        << fatal.out;
    EXPECT_TRUE(brx_test::contains(fatal.out, "First, try updating your graphics drivers."));
    EXPECT_FALSE(brx_test::contains(fatal.out, "RETURNED"));
    const std::string text = brx_test::read_file(log);
    EXPECT_TRUE(brx_test::contains(text, "OpenGL Version   : 1.0 Mesa")) << text;
    EXPECT_TRUE(brx_test::contains(text, " (100)\n"));
    EXPECT_TRUE(brx_test::contains(text, "(OGL/OGL_extensions line 565)")) << text;

    const ChildResult forced = run_in_child(
        [&] {
            cmdline.options["--force_run"] = "";
            open_window_with_log(log);
            detect_old_gl_without_multitexture();
        },
        dir.path());
    EXPECT_EQ(forced.exit_code, 0) << forced.out;
    EXPECT_TRUE(brx_test::contains(forced.out, "Your system does not meet Brennix's hardware requirements."));
    EXPECT_TRUE(brx_test::contains(forced.out, "RETURNED"));

    // Unchanged, Mesa's 1.0 still passes: its extension text names multitexturing.
    const ChildResult plain = run_in_child(
        [&] {
            open_window_with_log(log);
            glExt.init_extensions();
            printf("RETURNED\n");
        },
        dir.path());
    EXPECT_EQ(plain.exit_code, 0) << plain.out;
    EXPECT_EQ(plain.out, "RETURNED\n");
}

}  // namespace
