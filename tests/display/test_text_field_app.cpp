// The text field in a real window: a program with two fields in a settings
// window runs on a private X server and is typed into with xdotool.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "OOPS_cpp/oglp_layout.h"
#include "support/app_driver.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using namespace brx_test;

class FieldWindow {
public:
    explicit FieldWindow(AppProcess& app)
    {
        const std::string line = app.wait_for_prefix("WINDOW ");
        ok = std::sscanf(line.c_str(), "WINDOW %d %d", &x, &y) == 2;
    }
    // Canvas point inside character i of `text` in a field at window (fx, fy).
    float char_x(float fx, const std::string& text, std::size_t i) const
    {
        return float(x) + fx + OGL_string_width(text.substr(0, i)) + OGL_char_width(text[i]) / 2;
    }
    bool ok = false;
    int x = 0, y = 0;
};

TEST(TextFieldApp, TypingClickingAndTheLimitInARealWindow)
{
    XvfbServer server("1280x1024x24");
    ASSERT_TRUE(server.running());
    TempDir dir;
    AppProcess app(BRX_TEXT_FIELD_APP, dir, server.display());
    const std::string& d = server.display();
    FieldWindow win(app);
    ASSERT_TRUE(win.ok) << app.seen();
    ASSERT_TRUE(app.wait_for("READY")) << app.seen();
    CanvasReader screen(d);
    ASSERT_TRUE(screen.ok());

    // Both fields grab: the first drawn has the focus, all its text selected.
    ASSERT_TRUE(xdotool(d, "type --delay 30 proxy"));
    ASSERT_TRUE(app.wait_for("HOST=proxy")) << app.seen();

    // The text is drawn from the field's left, with the caret after it.
    const float fx = float(win.x) + 150, fy = float(win.y) + 300;
    const rgb back = screen.pixel(int(fx) + 180, int(fy) + 4);
    EXPECT_TRUE(eventually([&] {
        const auto [left, right] = screen.extent(int(fx) - 1, int(fx) + 199, int(fy), int(fy) + 7, back);
        return left >= int(fx) - 1 && left <= int(fx) + 2 &&
               std::abs(right - (fx + OGL_string_width("proxy"))) <= 3;
    }));

    // Backspace, the arrows and typing edit at the caret; Home and End jump,
    // Delete takes the character after the caret.
    ASSERT_TRUE(xdotool(d, "key BackSpace Left Left"));
    ASSERT_TRUE(xdotool(d, "type X"));
    ASSERT_TRUE(app.wait_for("HOST=prXox")) << app.seen();
    ASSERT_TRUE(xdotool(d, "key Home"));
    ASSERT_TRUE(xdotool(d, "type '<'"));
    ASSERT_TRUE(app.wait_for("HOST=<prXox")) << app.seen();
    ASSERT_TRUE(xdotool(d, "key End Delete"));
    ASSERT_TRUE(xdotool(d, "type '>'"));
    ASSERT_TRUE(app.wait_for("HOST=<prXox>")) << app.seen();
    ASSERT_TRUE(xdotool(d, "key Home Delete Page_Up Page_Down"));
    ASSERT_TRUE(app.wait_for("HOST=prXox>")) << app.seen();

    // A click puts the caret at the click: inside 'r' is after it.
    ASSERT_TRUE(click_canvas(d, win.char_x(150, "prXox>", 1), fy + 4));
    ASSERT_TRUE(xdotool(d, "type _"));
    ASSERT_TRUE(app.wait_for("HOST=pr_Xox>")) << app.seen();

    // Tab selects all of the port; a full field cuts typing back to its
    // limit in the same frame, so no longer text is ever returned.
    ASSERT_TRUE(xdotool(d, "key Tab"));
    ASSERT_TRUE(xdotool(d, "type --delay 30 8080123"));
    ASSERT_TRUE(app.wait_for("PORT=80801")) << app.seen();
    // A click into the second field takes the focus from the grabbing first.
    ASSERT_TRUE(click_canvas(d, win.char_x(150, "80801", 0), float(win.y) + 274));
    ASSERT_TRUE(xdotool(d, "type 9"));
    ASSERT_TRUE(app.wait_for("PORT=89080")) << app.seen();

    // Return is the window's: it closes it and types nothing.
    ASSERT_TRUE(xdotool(d, "key Return"));
    ASSERT_TRUE(app.wait_for("CLOSED")) << app.seen();
    EXPECT_EQ(app.wait_exit(), 0);
    EXPECT_FALSE(contains(app.seen(), "OVERLONG")) << app.seen();
    EXPECT_FALSE(contains(app.seen(), "\r")) << app.seen();
    EXPECT_FALSE(contains(app.seen(), "PORT=808012")) << app.seen();
}

}  // namespace
