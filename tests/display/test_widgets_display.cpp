// The widget set drawn for real: pixels read back from the canvas under Xvfb
// with a widget atlas whose every texel tells its own position.
// The test framework comes before the X11 headers, whose None macro it names.
#include "canvas_fixture.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "GenC/hl_cursor.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"

namespace {

using brx_test::rgb;

// Texel (u, v): red u mod 256, green v mod 256, blue 128 for u >= 256 plus 64
// for v >= 256.
rgb texel(int u, int v) { return {u & 255, v & 255, ((u >> 8) << 7) | ((v >> 8) << 6)}; }

class WidgetPixels : public brx_test::CanvasTest {
protected:
    void SetUp() override
    {
        CanvasTest::SetUp();
        std::vector<uint8_t> atlas(512 * 512 * 4);
        for (int v = 0; v < 512; ++v)
            for (int u = 0; u < 512; ++u) {
                const rgb c = texel(u, v);
                uint8_t* p = &atlas[(std::size_t(v) * 512 + u) * 4];
                p[0] = uint8_t(c[0]), p[1] = uint8_t(c[1]), p[2] = uint8_t(c[2]), p[3] = 255;
            }
        load_rgba(388, 512, 512, atlas);
        // Colour 0 and the interface light white, so texels show unchanged.
        colr.assign(0, 1, 1, 1);
        colr.assign(104, 1, 1, 1);
        mnw.open_menu = -1;
        mnw.clicked = 0;
    }

    // Makes sub-window `id` current at (x, y), w by h, as opening it does.
    static void place_window(int id, float x, float y, float w, float h)
    {
        mnw.wind = id;
        mnw.wind_x = x;
        mnw.wind_y = y;
        mnw.wind_w = w;
        mnw.wind_h = h;
    }

    static void expect_texel(int x, int y, int u, int v)
    {
        SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y) + " texel " +
                     std::to_string(u) + "," + std::to_string(v));
        expect_near(pixel(x, y), texel(u, v));
    }
    static void expect_near(const rgb& got, const rgb& want)
    {
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1) << "channel " << i;
    }
};

TEST_F(WidgetPixels, PanelTilesTheAtlasCellAtOneTexelPerPixel)
{
    place_window(1, 50, 40, 500, 300);
    // Type 13 at (100, 100), 200 by 150: drawn from (91, 86), 218 by 168.
    BTN_frame2(13, 100, 100, 200, 150, "");
    const int L = 91 + 50, B = 86 + 40;
    expect_texel(L, B, 203, 358);                 // bottom-left corner
    expect_texel(L + 34, B + 29, 237, 387);       // the corner slice's far texel
    expect_texel(L + 35 + 30 + 4, B + 5, 242, 363);   // second middle tile, bottom row
    expect_texel(L + 35 + 4, B + 30 + 40 + 7, 242, 395);  // middle band repeats upwards
    expect_texel(L + 217, B + 167, 302, 457);     // top-right corner
    EXPECT_EQ(pixel(L - 1, B), (rgb{0, 0, 0}));
    EXPECT_EQ(pixel(L + 218, B + 167), (rgb{0, 0, 0}));
}

TEST_F(WidgetPixels, CloseBoxesSitAtTheWindowsTopCorners)
{
    place_window(2, 212, 194, 600, 380);
    BTN_frame2(11, 300, 10, 20, 20, "");  // the frame's place does not matter
    expect_texel(212 + 7, 194 + 380 - 19, 120, 178);
    expect_texel(212 + 600 - 8, 194 + 380 - 2, 137, 195);
}

TEST_F(WidgetPixels, ButtonFeedbackPresentsThePressedFrame)
{
    // The button at (200, 100), 60 wide: its strip spans 170..230 by 87..113.
    mnw.mouse_x = 200;
    mnw.mouse_y = 100;
    mnw.clicked = 1;
    ASSERT_EQ(BTN_action(200, 100, 60, 0, 1, "", "-"), 1);
    // The presented frame is in the window now: the pressed strip (row 459)
    // at column 10 + 20 of the first middle tile. The window's y runs down.
    glFinish();
    XSync(mnw.display, False);
    XImage* image = XGetImage(mnw.display, mnw.xwin[0], 200, 767 - 90, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    const unsigned long p = XGetPixel(image, 0, 0);
    const rgb shown = {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    XDestroyImage(image);
    expect_near(shown, texel(304 + 30, 459 + 3));

    // Without a click the button is drawn up (row 486) and nothing is shown.
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.clicked = 0;
    EXPECT_EQ(BTN_action(200, 100, 60, 0, 1, "", "-"), 0);
    expect_texel(200, 90, 304 + 30, 486 + 3);
}

TEST_F(WidgetPixels, CheckBoxAndSliderQuads)
{
    int flag = 0;
    BTN_bool(300, 300, &flag, "", 0);  // box 291..309 by 294..312
    expect_texel(291, 294, 139, 178);
    flag = 1;
    BTN_bool(300, 300, &flag, "", 0);
    expect_texel(291, 294, 139, 197);

    int value = 0;
    BTN_vert_slider(0, 500, 100, 300, 0, 100, &value);
    expect_texel(491, 310, 83, 266 + 13);  // the up arrow, above the thumb's top
    expect_texel(491, 290 - 12, 83, 240);      // thumb at the top for lo
}

// ---------------------------------------------------------------------------
// The X cursor: hidden and shown through the real server, without errors.

int x_errors = 0;
int count_error(Display*, XErrorEvent*)
{
    ++x_errors;
    return 0;
}

TEST_F(WidgetPixels, CursorHidesAfterTenStillSecondsAndComesBack)
{
    auto* old = XSetErrorHandler(count_error);
    const Cursor blank = LIN_create_null_cursor(mnw.display, mnw.xwin[0]);
    EXPECT_NE(blank, 0u);
    XFreeCursor(mnw.display, blank);

    mnw.wind = 0;
    mnw.last_active = 0;
    xtim.act_time = 10.5f;
    mnw.cursor_kind = 0;
    mouse_help_per_wind(0);
    EXPECT_EQ(mnw.cursor_kind, 2);
    mnw.last_active = 10.5f;
    mnw.cursor_kind = 0;
    mouse_help_per_wind(0);
    EXPECT_EQ(mnw.cursor_kind, 0);
    // A sprite kind hides the system cursor and draws the sprite instead.
    colr.assign(49, 1, 1, 1);
    mnw.cursor_kind = 14;
    mnw.mouse_x = 600;
    mnw.mouse_y = 400;
    mouse_help_per_wind(0);
    expect_texel(585, 385, 168, 293);
    mnw.cursor_kind = 0;
    mouse_help_per_wind(0);
    XSync(mnw.display, False);
    XSetErrorHandler(old);
    EXPECT_EQ(x_errors, 0);
    xtim.act_time = 0;
}

}  // namespace
