// A fixed scene of frames, text and numbers drawn with the widget atlas,
// compared with a committed picture, so any change to drawing shows up.
// BRX_UPDATE_REFERENCE=1 rewrites the picture after an intended change.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "canvas_fixture.h"
#include "support/test_util.h"

namespace {

using brx_test::CanvasTest;

constexpr int kW = 512, kH = 256;
const std::string kReference = std::string(BRX_SOURCE_DIR) + "/tests/display/data/reference_scene.png";

void draw_scene()
{
    colr.assign(46, 0.15f, 0.2f, 0.3f);
    colr.assign(47, 1, 1, 1);
    colr.assign(48, 1, 0.8f, 0.2f);
    colr.assign(49, 0.4f, 0.9f, 0.5f);
    colr.assign(50, 0.9f, 0.3f, 0.3f);

    OGL_fillrect(46, 1.0f, 0, 0, kW, kH);
    OGL_framerect(47, 1.0f, 10, 10, kW - 20, kH - 20);
    OGL_line(48, 1.0f, 20, 200, 490, 200);
    OGL_string(47, 20, 220, "Brennix Installer: 9.00 Beta-17", 9999, font_prop, 0);
    OGL_string(48, 256, 180, "Centred text, a\xE9\xF1\xBF (100%)", 9999, font_prop, 1);
    OGL_string(49, 490, 160, "Right aligned @ 490", 9999, font_prop, 2);
    const float after = OGL_string(
        47, 20, 140, "A longer sentence that wraps at a width of two hundred pixels, line-by-line.",
        200, font_prop, 0);
    OGL_string(50, 20, after - 4, "Below the wrapped text", 9999, font_prop, 0);
    OGL_string(47, 260, 140, "FIXED font 102: {x}", 9999, font_fixed10, 0);
    OGL_number(49, 260, 120, 1234567, 7, 0, font_fixed10);
    OGL_number(50, 260, 100, -3.5f, 4, 2, font_fixed10);
    OGL_number(48, 380, 100, 12345, 3, 0, font_prop);
    OGL_framecircle(50, 450, 60, 30);
    OGL_fillcircle(49, 380, 50, 12);
    OGL_2dquad(388, 47, 1.0f, 20, 20, 0, 0, 20, 58, 0, 75.0f / 512, 170, 58, 294.0f / 512,
               75.0f / 512, 170, 20, 294.0f / 512, 0, 1, 5);
    OGL_fillrect(50, 0.5f, 180, 20, 60, 30);
}

using ReferencePicture = CanvasTest;

TEST_F(ReferencePicture, SceneMatchesTheCommittedPicture)
{
    draw_scene();  // with the built-in widget atlas
    const std::vector<uint8_t> got = read_rgb(0, 0, kW, kH);

    if (const char* update = getenv("BRX_UPDATE_REFERENCE"); update && *update == '1') {
        ASSERT_TRUE(brx_test::write_rgb_png(kReference, kW, kH, got));
        GTEST_SKIP() << "rewrote " << kReference;
    }

    int w = 0, h = 0;
    std::vector<uint8_t> want;
    ASSERT_TRUE(brx_test::read_rgb_png(kReference, &w, &h, &want))
        << kReference << " is missing; run with BRX_UPDATE_REFERENCE=1 to create it";
    ASSERT_EQ(w, kW);
    ASSERT_EQ(h, kH);

    // Rasterisers may differ by a step at an edge; a changed drawing differs
    // by far more than that.
    long total = 0;
    int off = 0;
    for (std::size_t p = 0; p < got.size(); p += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs(int(got[p + c]) - int(want[p + c]));
            total += d;
            worst = std::max(worst, d);
        }
        if (worst > 16) ++off;
    }
    const double mean = static_cast<double>(total) / static_cast<double>(got.size());
    EXPECT_LE(off, kW * kH / 1000) << "pixels off by more than 16";
    EXPECT_LT(mean, 0.5) << "mean difference per channel";
    if (HasFailure()) {
        const std::string seen = std::string(BRX_BINARY_DIR) + "/reference_scene_seen.png";
        brx_test::write_rgb_png(seen, kW, kH, got);
        ADD_FAILURE() << "the picture drawn is in " << seen;
    }
}

}  // namespace
