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

    brx_test::expect_reference_picture(kReference,
                                       std::string(BRX_BINARY_DIR) + "/reference_scene_seen.png",
                                       kW, kH, got);
}

}  // namespace
