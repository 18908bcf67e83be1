// Screenshots and the background picture's tiles, on a real GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "GenH/hl_types.h"
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

    brx_test::TempDir dir;
    brx_test::write_file(dir / "screenshot_0.png", "taken");
    brx_test::write_file(dir / "screenshot_1.png", "taken");
    in_folder(dir.path(), [] {
        OGL_screenshot(0);  // reads only
        OGL_screenshot(1);
        OGL_screenshot(1);
    });
    EXPECT_EQ(brx_test::list_tree(dir.path()),
              (std::vector<std::string>{"screenshot_0.png", "screenshot_1.png", "screenshot_2.png",
                                        "screenshot_3.png"}));
    EXPECT_EQ(brx_test::read_file(dir / "screenshot_1.png"), "taken");

    int w = 0, h = 0;
    std::vector<uint8_t> saved;
    ASSERT_TRUE(brx_test::read_rgb_png(dir / "screenshot_2.png", &w, &h, &saved));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_TRUE(saved == drawn) << "the file holds the window upright, pixel for pixel";
}

}  // namespace
