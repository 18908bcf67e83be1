// Screenshots and the background picture's tiles, on a real GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

}  // namespace
