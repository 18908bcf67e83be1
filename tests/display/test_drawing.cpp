// The drawing layer on a real GL context under Xvfb: matrices against Mesa's
// own, the canvas mapping, and pixels read back after drawing.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "GenH/hl_types.h"
#include "OGL/MatrixUtils.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "canvas_fixture.h"
#include "support/test_util.h"

namespace {

using brx_test::CanvasTest;
using brx_test::rgb;

// What GL builds on the identity with `gl_call`, read back.
void gl_matrix(const std::function<void()>& gl_call, double out[16])
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gl_call();
    glGetDoublev(GL_MODELVIEW_MATRIX, out);
    glPopMatrix();
}

// Mesa keeps single-precision matrices: compare relative to each element.
void expect_same_matrix(const double ours[16], const double mesa[16], const std::string& what)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(ours[i], mesa[i], 1e-6 * std::max(1.0, std::fabs(mesa[i])))
            << what << " index " << i;
}

using MatrixAgainstMesa = CanvasTest;

TEST_F(MatrixAgainstMesa, ProjectionsRotationsAndLookAt)
{
    double ours[16], mesa[16];
    const double frusta[][6] = {{-1, 1, -1, 1, 1, 10}, {-2, 3, -0.5, 1.5, 0.1, 1000}, {0, 1024, 0, 768, 1, 2}};
    for (const auto& f : frusta) {
        buildFrustumMatrix(ours, f[0], f[1], f[2], f[3], f[4], f[5]);
        gl_matrix([&] { glFrustum(f[0], f[1], f[2], f[3], f[4], f[5]); }, mesa);
        expect_same_matrix(ours, mesa, "frustum");
        buildOrthoMatrix(ours, f[0], f[1], f[2], f[3], -f[4], f[5]);
        gl_matrix([&] { glOrtho(f[0], f[1], f[2], f[3], -f[4], f[5]); }, mesa);
        expect_same_matrix(ours, mesa, "ortho");
    }

    const double rotations[][4] = {{90, 0, 0, 1}, {-30, 0, 0, -5}, {45, 0, 2, 0}, {10, 0, -1, 0},
                                   {75, 3, 0, 0}, {120, -1, 0, 0},  {33, 1, 2, 3}, {-200, -0.3, 0.5, 0.1},
                                   {50, 0, 0, 0}};
    for (const auto& r : rotations) {
        buildRotation(ours, r[0], r[1], r[2], r[3]);
        gl_matrix([&] { glRotated(r[0], r[1], r[2], r[3]); }, mesa);
        expect_same_matrix(ours, mesa, "rotation " + std::to_string(r[0]));
    }

    // Translation and rotation applied in turn, as on GL's current matrix.
    setIdentityMatrix(ours);
    applyRotation(ours, 20, 0, 1, 1);
    applyTranslation(ours, 3, -4, 5);
    applyRotation(ours, -70, 1, 0, 0);
    gl_matrix(
        [] {
            glRotated(20, 0, 1, 1);
            glTranslated(3, -4, 5);
            glRotated(-70, 1, 0, 0);
        },
        mesa);
    expect_same_matrix(ours, mesa, "chain");

    const double persp[][4] = {{90, 1, 1, 3}, {45, 4.0 / 3, 0.5, 500}, {10, 0.5, 2, 20}};
    for (const auto& p : persp) {
        buildPerspectiveMatrix(ours, p[0], p[1], p[2], p[3]);
        gl_matrix([&] { gluPerspective(p[0], p[1], p[2], p[3]); }, mesa);
        expect_same_matrix(ours, mesa, "perspective");
    }

    const double looks[][9] = {{0, 0, 5, 0, 0, 0, 0, 1, 0},
                               {1, 2, 3, -4, 5, -6, 0, 1, 0},
                               {10, 10, 10, 0, 0, 0, 0, 0, 1},
                               {0, 5, 0.01, 0, 0, 0, 0, 3, 0}};
    for (const auto& l : looks) {
        buildLookAtMatrix(ours, l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8]);
        gl_matrix([&] { gluLookAt(l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8]); }, mesa);
        expect_same_matrix(ours, mesa, "look-at");
    }
}

TEST_F(MatrixAgainstMesa, CanvasMappingLoadsTheCamera)
{
    double proj[16], mv[16], ortho[16], id[16];
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    gl_matrix([] { glOrtho(0, 1024, 0, 768, -1, 1); }, ortho);
    setIdentityMatrix(id);
    expect_same_matrix(proj, ortho, "canvas projection");
    expect_same_matrix(mv, id, "canvas model-view");
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 1024);
    EXPECT_EQ(vp[3], 768);
    EXPECT_FALSE(xcam.read_back);
    EXPECT_EQ(mnw.centre_x, 512);
    EXPECT_EQ(mnw.centre_y, 384);
    EXPECT_EQ(mnw.canvas_dx, 0);
    EXPECT_EQ(mnw.canvas_dy, 0);

    // A canvas point projects back to itself, relative to the window.
    mnw.wind_x = 100;
    mnw.wind_y = 50;
    const double p[3] = {300, 200, 0};
    double pix[2];
    xcam.mtr_to_pix(p, pix);
    EXPECT_NEAR(pix[0], 200, 1e-3);
    EXPECT_NEAR(pix[1], 150, 1e-3);

    // With read-back set, direction queries take GL's model-view: turning the
    // world by 90 degrees about y turns the view towards +x.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotated(90, 0, 1, 0);
    xcam.read_back = true;
    double dir[3];
    xcam.CalcDirection(dir);
    EXPECT_NEAR(dir[0], 1, 1e-6);
    EXPECT_NEAR(dir[2], 0, 1e-6);
    EXPECT_FALSE(xcam.read_back);

    // A larger screen moves the canvas up by the whole excess.
    mnw.screen_w = 1280;
    mnw.screen_h = 1024;
    OGL_pix_specs(0);
    EXPECT_EQ(mnw.canvas_dx, 128);
    EXPECT_EQ(mnw.canvas_dy, 256);
    mnw.wind = -1;
    OGL_pix_specs(0);
    EXPECT_EQ(mnw.canvas_dx, 0);
    mnw.screen_w = 1024;
    mnw.screen_h = 768;
}

using Pixels = CanvasTest;

const rgb kBlack = {0, 0, 0};

TEST_F(Pixels, FilledRectangleCoversExactlyItsPixels)
{
    colr.assign(60, 1, 0, 0);
    OGL_fillrect(60, 1.0f, 10, 20, 30, 40);
    EXPECT_EQ(pixel(10, 20), (rgb{255, 0, 0}));
    EXPECT_EQ(pixel(39, 59), (rgb{255, 0, 0}));
    EXPECT_EQ(pixel(9, 20), kBlack);
    EXPECT_EQ(pixel(40, 59), kBlack);
    EXPECT_EQ(pixel(39, 60), kBlack);
    EXPECT_EQ(pixel(10, 19), kBlack);

    // In a sub-window the origin is added.
    mnw.wind_x = 500;
    mnw.wind_y = 300;
    OGL_fillrect(60, 1.0f, 0, 0, 2, 2);
    EXPECT_EQ(pixel(500, 300), (rgb{255, 0, 0}));
    EXPECT_EQ(pixel(502, 300), kBlack);

    // The background colour fills the whole screen whichever window is current.
    colr.assign(34, 0, 0, 1);
    OGL_plot_back_col();
    EXPECT_EQ(pixel(0, 0), (rgb{0, 0, 255}));
    EXPECT_EQ(pixel(1023, 767), (rgb{0, 0, 255}));
}

TEST_F(Pixels, ColourRuleForIndicesBelow46)
{
    colr.assign(104, 0.5f, 0.25f, 1.0f);  // the light multiplier
    colr.assign(45, 1, 1, 1);
    colr.assign(46, 1, 1, 1);
    OGL_fillrect(45, 1.0f, 0, 0, 10, 10);
    OGL_fillrect(46, 1.0f, 20, 0, 10, 10);
    const rgb lit = pixel(5, 5);
    EXPECT_NEAR(lit[0], 128, 1);
    EXPECT_NEAR(lit[1], 64, 1);
    EXPECT_EQ(lit[2], 255);
    EXPECT_EQ(pixel(25, 5), (rgb{255, 255, 255}));

    // Alpha is the given alpha times the global alpha; over black it darkens.
    ren.alpha = 0.5f;
    OGL_fillrect(46, 1.0f, 40, 0, 10, 10);
    EXPECT_NEAR(pixel(45, 5)[0], 128, 1);
    ren.alpha = 1.0f;
    OGL_fillrect(46, 0.25f, 60, 0, 10, 10);
    EXPECT_NEAR(pixel(65, 5)[0], 64, 1);

    const colour_rgba at_limit = OGL_colour_of(46, 0.99f);
    EXPECT_FALSE(at_limit.opaque);
    EXPECT_TRUE(OGL_colour_of(46, 0.991f).opaque);
    const colour_rgba outside = OGL_colour_of(500, 1.0f);  // no read past the table
    EXPECT_EQ(outside.r + outside.g + outside.b, 0.0f);
    EXPECT_EQ(OGL_colour_of(-1, 1.0f).r, 0.0f);
}

TEST_F(Pixels, LinesOutlinesAndCircles)
{
    colr.assign(60, 0, 1, 0);
    mnw.wind_x = 100;
    mnw.wind_y = 100;
    OGL_line(60, 1.0f, 0, 0, 10, 0);  // (100.5, 100.5) to (110.5, 100.5)
    EXPECT_EQ(pixel(100, 100), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(109, 100), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(110, 100), kBlack);
    EXPECT_EQ(pixel(105, 101), kBlack);

    mnw.wind_x = mnw.wind_y = 0;
    OGL_framerect(60, 1.0f, 200, 200, 20, 10);
    EXPECT_EQ(pixel(200, 205), (rgb{0, 255, 0}));  // left edge
    EXPECT_EQ(pixel(220, 205), (rgb{0, 255, 0}));  // right edge
    EXPECT_EQ(pixel(210, 210), (rgb{0, 255, 0}));  // top edge
    EXPECT_EQ(pixel(210, 205), kBlack);            // inside stays empty

    OGL_framecircle(60, 400, 400, 10);  // starts and ends straight up, at (400.5, 410.5)
    EXPECT_EQ(pixel(400, 410), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(410, 400), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(400, 400), kBlack);

    OGL_fillcircle(60, 600, 400, 5);
    EXPECT_EQ(pixel(600, 400), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(600, 404), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(600, 407), kBlack);
    EXPECT_EQ(pixel(595, 395), kBlack);  // a corner of the square is outside

    // Degenerate radii draw nothing and return.
    OGL_fillcircle(60, 800, 400, -1);
    OGL_fillcircle(60, 800, 400, INFINITY);
    OGL_arc(60, 800, 400, 0, INFINITY, 0, 90);
    OGL_arc(60, 800, 400, 5, 4, 0, 90);
    EXPECT_EQ(pixel(800, 400), kBlack);
    OGL_arc(60, 800, 400, 10, 10, 0, 90);  // a quarter from straight up, clockwise
    EXPECT_EQ(pixel(800, 410), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(807, 407), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(790, 400), kBlack);
}

TEST_F(Pixels, ScissorsClipToTheWindowRectangle)
{
    colr.assign(60, 1, 1, 1);
    mnw.wind_x = 100;
    mnw.wind_y = 100;
    OGL_scissors(10, 10, 20, 20);
    OGL_fillrect(60, 1.0f, -100, -100, 1024, 768);
    OGL_scissors_end();
    EXPECT_EQ(pixel(110, 110), (rgb{255, 255, 255}));
    EXPECT_EQ(pixel(129, 129), (rgb{255, 255, 255}));
    EXPECT_EQ(pixel(130, 129), kBlack);
    EXPECT_EQ(pixel(109, 110), kBlack);

    OGL_scissors(0, 0, -5, 20);  // a negative width clips everything
    OGL_fillrect(60, 1.0f, -100, -100, 1024, 768);
    OGL_scissors_end();
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[2], 0);
    EXPECT_EQ(pixel(300, 300), kBlack);
}

TEST_F(Pixels, TexturedQuadsSampleTheirTexture)
{
    // 64 by 64 in quadrants: red, green (bottom), blue, white (top).
    std::vector<uint8_t> quadrants(64 * 64 * 4);
    for (int t = 0; t < 64; ++t)
        for (int s = 0; s < 64; ++s) {
            static const uint8_t kColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            const uint8_t* c = kColours[(t / 32) * 2 + s / 32];
            uint8_t* p = &quadrants[(t * 64 + s) * 4];
            p[0] = c[0];
            p[1] = c[1];
            p[2] = c[2];
            p[3] = 255;
        }
    load_rgba(500, 64, 64, quadrants);
    colr.assign(60, 1, 1, 1);
    OGL_2dquad(500, 60, 1.0f, 100, 100, 0, 0, 100, 164, 0, 1, 164, 164, 1, 1, 164, 100, 1, 0, 1, 5);
    EXPECT_EQ(pixel(110, 110), (rgb{255, 0, 0}));
    EXPECT_EQ(pixel(150, 110), (rgb{0, 255, 0}));
    EXPECT_EQ(pixel(110, 150), (rgb{0, 0, 255}));
    EXPECT_EQ(pixel(150, 150), (rgb{255, 255, 255}));
    EXPECT_EQ(pixel(164, 110), kBlack);

    // Modulated by the colour; the short form takes a corner and sizes.
    colr.assign(61, 1, 1, 0);
    OGL_2dquad_d(500, 61, 1.0f, 300, 100, 0.5f, 0.5f, 32, 32, 0.5f, 0.5f, 5);
    EXPECT_EQ(pixel(316, 116), (rgb{255, 255, 0}));  // white texel, yellow colour

    // Texture 0 binds nothing; with no unit enabled it draws the plain colour.
    OGL_2dquad(0, 61, 1.0f, 400, 100, 0, 0, 400, 110, 0, 1, 410, 110, 1, 1, 410, 100, 1, 0, 0, 5);
    EXPECT_EQ(pixel(405, 105), (rgb{255, 255, 0}));
}

// Checks that the glyph of byte c stands at pen (x, y): a 14 by 15 cell from
// y - 4 upwards, in the colour of its atlas cell.
void expect_glyph(int x, int y, unsigned char c)
{
    const int k = OGL_atlas_cell(c);
    const rgb want = CanvasTest::synthetic_cell_colour(k % 21, k / 21);
    const std::vector<uint8_t> p = [&] {
        std::vector<uint8_t> out(14 * 15 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y - 4, 14, 15, GL_RGB, GL_UNSIGNED_BYTE, out.data());
        return out;
    }();
    for (int i = 0; i < 14 * 15; ++i)
        ASSERT_EQ((rgb{p[i * 3], p[i * 3 + 1], p[i * 3 + 2]}), want)
            << "glyph " << int(c) << " at " << x << "," << y << " pixel " << i;
}

// Checks that pixel (x, y) shows the atlas cell of byte c.
void expect_cell_at(int x, int y, unsigned char c)
{
    const int k = OGL_atlas_cell(c);
    EXPECT_EQ(CanvasTest::pixel(x, y), CanvasTest::synthetic_cell_colour(k % 21, k / 21))
        << "byte " << int(c) << " at " << x << "," << y;
}

using Text = CanvasTest;

TEST_F(Text, Font100DrawsProportionalGlyphCells)
{
    upload_synthetic_atlas();
    colr.assign(60, 1, 1, 1);
    // W and e-acute at (100, 102): pen y 100; W advances 11.
    const float ret = OGL_string(60, 100, 102, "W\xE9", 9999, 100, 0);
    EXPECT_EQ(ret, 102.0f);
    // Later glyphs overlap earlier ones: check the last fully, the first's left part.
    expect_glyph(111, 100, 0xE9);
    expect_cell_at(100, 96, 'W');
    expect_cell_at(110, 110, 'W');
    EXPECT_EQ(pixel(99, 96), kBlack);
    EXPECT_EQ(pixel(100, 95), kBlack);
    EXPECT_EQ(pixel(100, 111), kBlack);

    // Centred and wrapped, in a window.
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.wind_x = 200;
    mnw.wind_y = 300;
    const float next = OGL_string(60, 50, 52, "ab cd", 20, 100, 1);
    EXPECT_EQ(next, 32.0f);  // two lines
    // "ab " is 16 wide, centred on 250: a at 242, b at 248, the space at 255;
    // "cd" is 12 wide: c at 244, d at 249, 10 lower (rows above 350 are line one's only).
    expect_cell_at(242, 355, 'a');
    expect_cell_at(248, 355, 'b');
    expect_cell_at(255, 355, ' ');
    EXPECT_EQ(pixel(241, 355), kBlack);
    expect_cell_at(244, 336, 'c');
    expect_glyph(249, 340, 'd');
}

TEST_F(Text, Font102AndNumbersStandInColumns)
{
    upload_synthetic_atlas();
    colr.assign(60, 1, 1, 1);
    OGL_string(60, 100, 202, "A\"z", 9999, 102, 0);
    expect_glyph(120, 200, 'z');
    expect_cell_at(119, 200, '"');  // the blank cell, still a full advance
    expect_cell_at(100, 200, 'A');

    glClear(GL_COLOR_BUFFER_BIT);
    OGL_number(60, 100, 402, 42, 3, 0, 102);
    expect_glyph(120, 400, '2');
    expect_cell_at(110, 400, '4');
    expect_cell_at(100, 400, '0');
    EXPECT_EQ(pixel(99, 400), kBlack);

    // The point and the sign fall between digit cells.
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_number(60, 100, 402, -3.5f, 3, 1, 102);
    expect_cell_at(91, 400, '-');
    expect_cell_at(100, 400, '0');
    expect_glyph(120, 400, '5');
    expect_cell_at(115, 400, '3');  // the point's cell lies under the later digits

    // Other fonts draw the number's text.
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_number(60, 100, 502, 5, 0, 0, 100);  // "0.05x2"
    expect_cell_at(100, 500, '0');
    expect_cell_at(106, 500, '.');
    expect_cell_at(108, 500, '0');

    // The colour modulates the glyphs.
    glClear(GL_COLOR_BUFFER_BIT);
    colr.assign(61, 0, 1, 0);
    OGL_string(61, 100, 602, "A", 9999, 102, 0);
    const int kA = OGL_atlas_cell('A');
    EXPECT_EQ(pixel(105, 600), (rgb{0, synthetic_cell_colour(kA % 21, kA / 21)[1], 0}));
}

TEST_F(Text, GreyAndBoxedStrings)
{
    upload_synthetic_atlas();
    colr.assign(104, 1, 1, 1);
    colr.assign(12, 1, 1, 1);
    colr.assign(43, 1, 1, 1);
    colr.assign(60, 1, 1, 1);

    // "abc" is 18 wide: a grey box from 489 to 511 at half alpha, the text from 491.
    OGL_gray_string(60, 500, 302, "abc");
    EXPECT_NEAR(pixel(489, 301)[0], 128, 1);
    EXPECT_EQ(pixel(488, 301), kBlack);
    expect_cell_at(491, 300, 'a');

    // Font 102: the box is 37 wide, the text starts 4 inside it (285.5, away
    // from zero 286); the right label starts 8 beyond the box (326.5: 327).
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_boxed_string(300, 202, "Left|Right", "abc", 102, 60);
    expect_cell_at(286, 205, 'a');
    expect_cell_at(306, 205, 'c');
    expect_cell_at(327, 205, 'R');
}

TEST_F(Text, BadFontIsFatalBeforeDrawing)
{
    const brx_test::ChildResult r = brx_test::run_in_child([] {
        OGL_string(60, 10, 10, "text", 9999, 101, 0);
        printf("returned\n");
    });
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.out.find("String proc with bad charset!"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("returned"), std::string::npos);
}

TEST_F(Text, EndOfFrameResetsTheColour)
{
    ren.alpha = 0.5f;
    glColor4f(0.2f, 0.3f, 0.4f, 1);
    OGL_sbuff();
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[1], 1.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(c[3], 0.5f);
}

}  // namespace
