// Screenshots and the background picture's tiles, on a real GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "canvas_fixture.h"
#include "support/test_util.h"

namespace {

using brx_test::CanvasTest;

// Runs the body with the current folder set to `dir`.
template <class Body>
void in_folder(const std::string& dir, Body&& body)
{
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    body();
    ASSERT_EQ(chdir(old), 0);
}

using Screenshot = CanvasTest;

TEST_F(Screenshot, SavesTheWindowUnderTheNextFreeNumber)
{
    colr.assign(60, 1, 0, 0);
    colr.assign(61, 0, 1, 0);
    OGL_fillrect(60, 1.0f, 0, 0, 100, 50);
    OGL_fillrect(61, 1.0f, 900, 700, 124, 68);
    const std::vector<uint8_t> drawn = read_rgb(0, 0, 1024, 768);

    // The counter lives for the whole run: learn where it stands (0 in a
    // fresh run), then take the next numbers on disk.
    brx_test::TempDir first;
    in_folder(first.path(), [] { OGL_screenshot(1); });
    const std::vector<std::string> made = brx_test::list_tree(first.path());
    ASSERT_EQ(made.size(), 1u);
    const int n = std::stoi(made[0].substr(11));
    EXPECT_EQ(made[0], "screenshot_" + std::to_string(n) + ".png");

    auto name = [](int k) { return "screenshot_" + std::to_string(k) + ".png"; };
    brx_test::TempDir dir;
    brx_test::write_file(dir / name(n + 1), "taken");
    brx_test::write_file(dir / name(n + 2), "taken");
    in_folder(dir.path(), [] {
        OGL_screenshot(0);  // reads only
        OGL_screenshot(1);
    });
    std::vector<std::string> want = {name(n + 1), name(n + 2), name(n + 3)};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(brx_test::list_tree(dir.path()), want);
    EXPECT_EQ(brx_test::read_file(dir / name(n + 1)), "taken");

    int w = 0, h = 0;
    std::vector<uint8_t> saved;
    ASSERT_TRUE(brx_test::read_rgb_png(dir / name(n + 3), &w, &h, &saved));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_TRUE(saved == drawn) << "the file holds the window upright, pixel for pixel";
}

// A picture of w by h whose 512-pixel tiles are coloured by tile_colour(row,
// column), as an RGB PNG at Resources/bitmaps/intro.png below `root`.
void write_picture(const std::string& root, int w, int h, brx_test::rgb (*tile_colour)(int, int))
{
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const brx_test::rgb c = tile_colour(y / 512, x / 512);
            for (int k = 0; k < 3; ++k) rgb[(static_cast<size_t>(y) * w + x) * 3 + k] = static_cast<uint8_t>(c[k]);
        }
    ASSERT_EQ(mkdir((root + "Resources").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "Resources/bitmaps").c_str(), 0755), 0);
    ASSERT_TRUE(brx_test::write_rgb_png(root + "Resources/bitmaps/intro.png", w, h, rgb, true));
}

brx_test::rgb tile_colour(int row, int column)
{
    return {40 + 60 * column, 40 + 60 * row, row == 1 && column == 1 ? 255 : 0};
}

using Background = CanvasTest;

TEST_F(Background, TilesCoverTheScreenScaledToThePicture)
{
    brx_test::TempDir dir;
    write_picture(dir.path(), 1024, 768, tile_colour);

    mnw.wind = 0;  // only while no window is current
    back_dx = back_dy = 0;  // as at start-up: another test may have loaded a picture
    in_folder(dir.path(), [] { OGL_make_back_tex(); });
    EXPECT_EQ(back_dx, 0);

    mnw.wind = -1;
    in_folder(dir.path(), [] { OGL_make_back_tex(); });
    EXPECT_EQ(back_dx, 1024);
    EXPECT_EQ(back_dy, 768);
    EXPECT_EQ(tman.ref_dat.at(423).state, tex_state_loaded);
    EXPECT_EQ(tman.ref_dat.at(438).state, tex_state_loaded);

    // Each 256 by 192 cell shows a whole tile: the picture's two by two
    // tiles fill the lower left, the upper half of row 1 and the rest are
    // transparent and leave the cleared screen.
    colr.assign(34, 1, 0, 1);
    OGL_plot_back_tex();
    EXPECT_EQ(pixel(100, 90), tile_colour(0, 0));
    EXPECT_EQ(pixel(300, 90), tile_colour(0, 1));
    EXPECT_EQ(pixel(100, 200), tile_colour(1, 0));  // tile rows 0..255: picture rows 512..767
    EXPECT_EQ(pixel(300, 280), tile_colour(1, 1));
    EXPECT_EQ(pixel(100, 290), (brx_test::rgb{0, 0, 0}));  // past the picture's top
    EXPECT_EQ(pixel(600, 90), (brx_test::rgb{0, 0, 0}));   // no third column
    EXPECT_EQ(pixel(1023, 767), (brx_test::rgb{0, 0, 0})); // no fill: the picture covers the screen
}

TEST_F(Background, WidePicturesAreRightAlignedAndTallOnesCut)
{
    brx_test::TempDir dir;
    write_picture(dir.path(), 1200, 1400, tile_colour);
    mnw.wind = -1;
    in_folder(dir.path(), [] { OGL_make_back_tex(); });
    ASSERT_EQ(back_dx, 1200);
    ASSERT_EQ(back_dy, 1400);

    // L = 1024 - 1200 = -176, cells 300 wide; T = 768 + 512, B = -120, cells 350 high.
    OGL_plot_back_tex();
    EXPECT_EQ(pixel(0, 0), tile_colour(0, 0));
    EXPECT_EQ(pixel(123, 229), tile_colour(0, 0));
    EXPECT_EQ(pixel(125, 229), tile_colour(0, 1));
    EXPECT_EQ(pixel(123, 231), tile_colour(1, 0));

    // With a window current the picture starts at the canvas origin.
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.wind = 0;
    OGL_plot_back_tex();
    EXPECT_EQ(pixel(0, 0), tile_colour(0, 0));
    EXPECT_EQ(pixel(301, 0), tile_colour(0, 1));
}

TEST_F(Background, SmallPictureLeavesTheBackgroundColourAround)
{
    brx_test::TempDir dir;
    write_picture(dir.path(), 600, 400, tile_colour);
    mnw.wind = -1;
    in_folder(dir.path(), [] { OGL_make_back_tex(); });
    colr.assign(34, 1, 0, 1);
    OGL_plot_back_tex();
    // Shorter than the screen: its top meets the screen's top, y 368 to 768,
    // in cells 150 by 100; the fill shows around it and through the empty tiles.
    EXPECT_EQ(pixel(1000, 100), (brx_test::rgb{255, 0, 255}));
    EXPECT_EQ(pixel(10, 10), (brx_test::rgb{255, 0, 255}));
    EXPECT_EQ(pixel(10, 380), tile_colour(0, 0));
    EXPECT_EQ(pixel(160, 380), tile_colour(0, 1));
    EXPECT_EQ(pixel(10, 700), (brx_test::rgb{255, 0, 255}));
}

TEST_F(Background, MissingOrOversizedPictureIsFatal)
{
    brx_test::TempDir missing, oversized;
    // 2100 by 2100 RGBA needs more than the 16 MiB scratch buffer holds.
    write_picture(oversized.path(), 2100, 2100, tile_colour);
    mnw.wind = -1;
    for (const brx_test::TempDir* dir : {&missing, &oversized}) {
        const brx_test::ChildResult r = brx_test::run_in_child([] { OGL_make_back_tex(); }, dir->path());
        EXPECT_NE(r.exit_code, 0);
        EXPECT_NE(r.out.find("Trying to load a texture that you do not have!"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Resources/bitmaps/intro.png"), std::string::npos);
    }
}

}  // namespace
