// The GL state cache and the texture bind cache, against a simulated
// fixed-function GL that records every call.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/oglp_state.h"
#include "TEX/TEX_bind.h"
#include "support/fake_gl_calls.h"

namespace {

using Calls = std::vector<std::string>;

class GlStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ren_tex_units = ren.tex_units;
        saved_fixed = ren.fixed_tex_units;
        saved_combine = glExt.combine_avail;
        // Mesa's shape: 32 image units for shaders, 8 fixed-function units.
        ren.tex_units = 32;
        ren.fixed_tex_units = 8;
        glExt.combine_avail = 1;
        num_units = 1;
        OGL_forget_state();
        TEX_reset_bind();
        gKillTex.value = 0;
    }
    void TearDown() override
    {
        ren.tex_units = saved_ren_tex_units;
        ren.fixed_tex_units = saved_fixed;
        glExt.combine_avail = saved_combine;
        OGL_forget_state();
        TEX_reset_bind();
        gKillTex.value = 0;
        num_units = 1;
    }
    brx_test::FakeGl gl;
    int saved_ren_tex_units = 0, saved_fixed = 0, saved_combine = 0;
};

TEST_F(GlStateTest, FirstCallAsksGlAndIssuesOnlyDifferences)
{
    gl.enabled = {GL_BLEND, GL_DEPTH_TEST};
    OGL_setstate(1, 0, 3, 5, 9, 11);
    EXPECT_EQ(gl.take(),
              (Calls{"IsEnabled GL_FOG", "IsEnabled GL_TEXTURE_2D", "IsEnabled GL_LIGHTING",
                     "IsEnabled GL_BLEND", "IsEnabled GL_ALPHA_TEST", "IsEnabled GL_DEPTH_TEST",
                     "Disable GL_DEPTH_TEST"}));
    OGL_setstate(1, 0, 3, 5, 9, 11);
    EXPECT_TRUE(gl.take().empty());
}

TEST_F(GlStateTest, TextureUnitCounts)
{
    OGL_setstate(1, 0, 3, 4, 9, 11);
    gl.take();

    OGL_setstate(1, 1, 3, 4, 9, 11);
    EXPECT_EQ(gl.take(), (Calls{"Enable GL_TEXTURE_2D"}));
    OGL_setstate(1, 3, 3, 4, 9, 11);
    EXPECT_EQ(gl.take(),
              (Calls{"Enable GL_TEXTURE_2D", "Active GL_TEXTURE1", "Enable GL_TEXTURE_2D",
                     "Active GL_TEXTURE2", "Enable GL_TEXTURE_2D", "Active GL_TEXTURE0"}));
    EXPECT_EQ(num_units, 3);
    OGL_setstate(1, 1, 3, 4, 9, 11);
    EXPECT_EQ(gl.take(),
              (Calls{"Enable GL_TEXTURE_2D", "Active GL_TEXTURE1", "Disable GL_TEXTURE_2D",
                     "Active GL_TEXTURE2", "Disable GL_TEXTURE_2D", "Active GL_TEXTURE0"}));
    OGL_setstate(1, -2, 3, 4, 9, 11);
    EXPECT_EQ(gl.take(), (Calls{"Disable GL_TEXTURE_2D"}));
    EXPECT_EQ(num_units, 0);
    EXPECT_TRUE(gl.texture_2d.empty());
}

TEST_F(GlStateTest, UnitRequestIsCappedToFixedFunctionUnits)
{
    OGL_setstate(1, 0, 3, 4, 9, 11);
    gl.take();
    OGL_setstate(1, 12, 3, 4, 9, 11);
    EXPECT_EQ(num_units, 8);
    EXPECT_EQ(gl.texture_2d.size(), 8u);
    EXPECT_EQ(gl.errors, 0);  // no unit past the fixed-function ones was touched
    gl.take();
    // The same over-large request differs from the capped cache again.
    OGL_setstate(1, 12, 3, 4, 9, 11);
    EXPECT_EQ(gl.take(), (Calls{"Enable GL_TEXTURE_2D", "Active GL_TEXTURE0"}));
    EXPECT_EQ(gl.active_unit, 0);

    // A GL with fewer fixed-function units than image units.
    OGL_setstate(1, 0, 3, 4, 9, 11);
    ren.fixed_tex_units = 4;
    ren.tex_units = 16;
    gl.fixed_units = 4;
    OGL_setstate(1, 6, 3, 4, 9, 11);
    EXPECT_EQ(num_units, 4);
    EXPECT_EQ(gl.texture_2d, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(gl.errors, 0);
}

TEST_F(GlStateTest, AlphaModesFogLightingAndDepth)
{
    OGL_setstate(1, 0, 3, 4, 9, 11);
    gl.take();
    const struct {
        int mode;
        bool blend, test;
    } modes[] = {{5, true, false}, {7, true, true}, {6, false, true}, {4, false, false},
                 {6, false, true}, {1, false, true}};  // 1: unknown, leaves both alone
    for (const auto& m : modes) {
        OGL_setstate(1, 0, 3, m.mode, 9, 11);
        EXPECT_EQ(gl.enabled.count(GL_BLEND) == 1, m.blend) << m.mode;
        EXPECT_EQ(gl.enabled.count(GL_ALPHA_TEST) == 1, m.test) << m.mode;
    }
    gl.take();
    OGL_setstate(1, 0, 3, 6, 9, 11);
    EXPECT_TRUE(gl.take().empty());

    OGL_setstate(0, 0, 2, 6, 8, 10);
    EXPECT_EQ(gl.take(), (Calls{"Enable GL_FOG", "Enable GL_LIGHTING", "Enable GL_LIGHT0",
                                "Enable GL_DEPTH_TEST", "DepthMask true"}));
    OGL_setstate(1, 0, 3, 6, 9, 11);
    EXPECT_EQ(gl.take(), (Calls{"Disable GL_FOG", "Disable GL_LIGHTING", "Disable GL_LIGHT0",
                                "Disable GL_DEPTH_TEST", "DepthMask false"}));
}

TEST_F(GlStateTest, RepeatedBindIssuesNothing)
{
    TEX_bind_ref(388, 0, 0);
    EXPECT_EQ(gl.take(), (Calls{"Bind 388", "TexEnvi GL_TEXTURE_ENV_MODE GL_MODULATE"}));
    TEX_bind_ref(388, 0, 0);
    EXPECT_TRUE(gl.take().empty());

    TEX_bind_ref(389, 1, 0);
    gl.take();
    TEX_bind_ref(389, 1, 0);
    EXPECT_TRUE(gl.take().empty());  // the active unit is not touched either

    TEX_bind_ref(389, 1, GL_REPLACE);
    EXPECT_EQ(gl.take(), (Calls{"Active GL_TEXTURE1", "TexEnvi GL_TEXTURE_ENV_MODE GL_REPLACE",
                                "Active GL_TEXTURE0"}));
    TEX_bind_ref(390, 1, GL_REPLACE);
    EXPECT_EQ(gl.take(), (Calls{"Active GL_TEXTURE1", "Bind 390", "Active GL_TEXTURE0"}));
}

TEST_F(GlStateTest, KeepModeResetAndKillTex)
{
    TEX_bind_ref(389, 1, 17);
    gl.take();
    TEX_bind_ref(389, 1, tex_env_keep);
    EXPECT_EQ(gl.take(), (Calls{"Active GL_TEXTURE1", "Active GL_TEXTURE0"}));
    TEX_bind_ref(389, 1, 17);
    EXPECT_TRUE(gl.take().empty());  // 17 is still what the unit holds

    TEX_reset_bind();
    TEX_bind_ref(389, 1, 17);
    const Calls after_reset = gl.take();
    ASSERT_GE(after_reset.size(), 3u);
    EXPECT_EQ(after_reset[1], "Bind 389");

    gKillTex.value = 1;
    TEX_bind_ref(390, 0, 0);
    EXPECT_EQ(gl.bound[0], 925u);
    TEX_bind_ref(388, 0, 0);
    EXPECT_EQ(gl.bound[0], 388u);
}

TEST_F(GlStateTest, UnitsOutsideTheCacheOrFixedFunctionAreIgnored)
{
    for (int unit : {-1, 8, 9, 31, 1000}) TEX_bind_ref(400, unit, 0);
    ren.fixed_tex_units = 2;
    TEX_bind_ref(400, 2, 0);
    TEX_set_blend_level(2, 0.5f);
    EXPECT_TRUE(gl.take().empty());
    EXPECT_EQ(gl.errors, 0);

    TEX_set_blend_level(1, 0.5f);
    EXPECT_EQ(gl.take(),
              (Calls{"Active GL_TEXTURE1", "TexEnvfv GL_TEXTURE_ENV_COLOR 0.5 0.5 0.5 0.5",
                     "Active GL_TEXTURE0"}));
}

TEST_F(GlStateTest, CombinerRecipes)
{
    TEX_bind_ref(388, 0, 13);
    Calls c = gl.take();
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[1], "TexEnvi GL_TEXTURE_ENV_MODE GL_COMBINE");
    EXPECT_EQ(c[2], "TexEnvfv GL_TEXTURE_ENV_COLOR 1 1 1 1");  // right after the mode
    EXPECT_EQ(c.back().rfind("TexEnvf GL_ALPHA_SCALE", 0), 0u);

    TEX_bind_ref(388, 0, 15);
    c = gl.take();
    EXPECT_EQ(c[0], "TexEnvfv GL_TEXTURE_ENV_COLOR 1 1 1 1");  // before the mode
    EXPECT_EQ(c[1], "TexEnvi GL_TEXTURE_ENV_MODE GL_COMBINE");

    TEX_bind_ref(388, 0, 23);
    c = gl.take();
    EXPECT_EQ(c[0], "TexEnvfv GL_TEXTURE_ENV_COLOR 0 0 0 0");
    for (size_t i = 1; i < c.size(); ++i) EXPECT_EQ(c[i].rfind("TexEnvf ", 0), 0u) << c[i];

    TEX_bind_ref(388, 0, 22);
    c = gl.take();
    for (const std::string& call : c) EXPECT_EQ(call.find("GL_ALPHA_SCALE"), std::string::npos);

    TEX_bind_ref(388, 0, 11);
    EXPECT_EQ((gl.env[{0, GL_ALPHA_SCALE}]), 4.0f);
    EXPECT_EQ((gl.env[{0, GL_COMBINE_ALPHA}]), static_cast<float>(GL_SUBTRACT));
    gl.take();

    // Without combiner support the recipe number goes to GL as the mode.
    glExt.combine_avail = 0;
    TEX_bind_ref(388, 0, 18);
    EXPECT_EQ(gl.take(), (Calls{"TexEnvi GL_TEXTURE_ENV_MODE 0x12"}));
    TEX_bind_ref(388, 0, 18);
    EXPECT_TRUE(gl.take().empty());
}

}  // namespace
