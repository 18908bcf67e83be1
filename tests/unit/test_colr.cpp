// The colour table: defaults, gamma table, the light multiplier helpers and
// the spectrum.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <memory>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "support/test_util.h"

namespace {

void expect_rgb(const colr_class& c, int index, float r, float g, float b)
{
    EXPECT_FLOAT_EQ(c.rgb[index][0], r) << index;
    EXPECT_FLOAT_EQ(c.rgb[index][1], g) << index;
    EXPECT_FLOAT_EQ(c.rgb[index][2], b) << index;
}

TEST(ColourTable, DefaultsAndGamma)
{
    auto c = std::make_unique<colr_class>();
    expect_rgb(*c, 0, 1, 1, 1);
    expect_rgb(*c, 11, 0, 0, 0);
    expect_rgb(*c, 49, 1, 1, 1);
    expect_rgb(*c, 61, 0.5f, 0.5f, 0.5f);
    expect_rgb(*c, 72, 0.49f, 0.43f, 0.24f);
    expect_rgb(*c, 101, 1, 1, 0.9f);
    expect_rgb(*c, kLightMultiplier, 1, 1, 1);
    for (int i = 34; i <= 48; ++i) expect_rgb(*c, i, 0, 0, 0);  // filled at start-up
    EXPECT_EQ(c->pulse, 0.0f);

    const int low[] = {0, 3, 5, 7, 9, 10, 12, 13};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c->gamma_table[i], low[i]) << i;
    EXPECT_EQ(c->gamma_table[128], 145);
    EXPECT_EQ(c->gamma_table[255], 255);

    // The global table is built the same way.
    expect_rgb(colr, 0, 1, 1, 1);
    EXPECT_EQ(colr.gamma_table[128], 145);
}

TEST(ColourTable, LightsForInterfaceRaiseToThreeQuarters)
{
    auto c = std::make_unique<colr_class>();
    c->assign(kLightMultiplier, 0.5f, 0.9f, NAN);
    c->set_lites_for_interface();
    expect_rgb(*c, kLightMultiplier, 0.75f, 0.9f, 0.75f);
}

TEST(ColourTable, SetLitColTypes)
{
    auto c = std::make_unique<colr_class>();
    const float saved_a = ren.lit_level_a, saved_b = ren.lit_level_b;
    ren.lit_level_a = 0.6f;
    ren.lit_level_b = 0.3f;
    c->assign(kLightMultiplier, 0.5f, 0.9f, 0.6f);
    c->set_lit_col(0);
    expect_rgb(*c, 48, 0.6f, 0.9f, 0.6f);
    c->set_lit_col(1);
    expect_rgb(*c, 48, 0.6f, 0.6f, 0.6f);
    c->set_lit_col(2);
    expect_rgb(*c, 48, 0.3f, 0.3f, 0.3f);
    ren.lit_level_a = saved_a;
    ren.lit_level_b = saved_b;
}

TEST(ColourTable, BadLitColTypeIsFatal)
{
    brx_test::TempDir dir;
    const auto r = brx_test::run_in_child([] { colr.set_lit_col(3); }, dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("bad col_type!"), std::string::npos) << r.out;
}

TEST(ColourTable, SpectrumModes)
{
    auto c = std::make_unique<colr_class>();
    c->spectrum_init(0);
    EXPECT_FLOAT_EQ(c->spectrum[0][0], 1);
    EXPECT_FLOAT_EQ(c->spectrum[0][1], 0);
    EXPECT_NEAR(c->spectrum[100][1], 0.16f, 1e-5);  // halfway red to orange
    EXPECT_NEAR(c->spectrum[500][0], 0.5f, 1e-5);   // halfway yellow to green
    EXPECT_NEAR(c->spectrum[999][0], 0.8f * 0.995f, 1e-4);
    c->spectrum_init(2);
    EXPECT_FLOAT_EQ(c->spectrum[250][1], 0.25f);
    EXPECT_FLOAT_EQ(c->spectrum[250][0], 0);
    c->spectrum_init(7);  // unknown: unchanged
    EXPECT_FLOAT_EQ(c->spectrum[250][1], 0.25f);
}

TEST(WindowState, StartValuesAndSubWindowTable)
{
    mnw_class fresh;
    EXPECT_EQ(fresh.keylist_up, 1);
    EXPECT_EQ(fresh.wind, 0);
    EXPECT_EQ(fresh.display, nullptr);
    EXPECT_EQ(fresh.scale, 0.0f);

    const struct {
        int id, w, h;
        const char* title;
    } sized[] = {{1, 500, 300, "EULA"}, {2, 600, 380, "Prefs"}, {993, 561, 474, "Livery"},
                 {995, 420, 250, ""},   {997, 700, 146, ""},    {998, 561, 474, ""},
                 {999, 330, 474, ""}};
    for (const auto& s : sized) {
        const sub_window_struct* w = MACIBM_sub_window(s.id);
        ASSERT_NE(w, nullptr) << s.id;
        EXPECT_EQ(w->w, s.w);
        EXPECT_EQ(w->h, s.h);
        EXPECT_STREQ(w->title, s.title);
    }
    for (int whole : {0, -1, 3, 992, 1000}) EXPECT_EQ(MACIBM_sub_window(whole), nullptr) << whole;
}

}  // namespace
