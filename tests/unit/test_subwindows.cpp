// Sub-windows, the click handler and X11 input events, without a display.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <vector>

#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "hooks/app_hooks.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

class SubWindows : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.scale = 1.0f;
        return_hit = 0;
        active_popup_code = select_popup_code = popup_menu_select = 0;
        MACIBM_clear_menus(1);
        linkey_shft = linkey_ctrl = linkey_optn = 0;
    }
    void TearDown() override
    {
        DrawLogTest::TearDown();
        brx_test::app_handlemenu = nullptr;
    }
    // A press at (x, y) of the current sub-window: the event holds its place
    // in window pixels, y downwards.
    void press_at(float x, float y, unsigned button = Button1)
    {
        XEvent e{};
        e.type = ButtonPress;
        e.xbutton.button = button;
        e.xbutton.x = static_cast<int>(x + mnw.wind_x);
        e.xbutton.y = static_cast<int>(static_cast<float>(mnw.screen_h) - (y + mnw.wind_y));
        LIN_handleevt(&e);
    }
};

TEST_F(SubWindows, SizesTitlesAndCentring)
{
    struct Case {
        int id;
        float w, h, x, y;
        int dialog;
        const char* title;
    } cases[] = {
        {0, 1024, 768, 0, 0, 0, "kept"},          {1, 500, 300, 262, 234, 1, "EULA"},
        {2, 600, 380, 212, 194, 1, "Prefs"},      {993, 561, 474, 232, 147, 1, "Livery"},
        {994, 600, 300, 212, 234, 1, ""},         {995, 420, 250, 302, 259, 1, ""},
        {996, 300, 166, 362, 301, 1, ""},         {997, 700, 146, 162, 311, 1, ""},
        {998, 561, 474, 232, 147, 1, ""},         {999, 330, 474, 347, 147, 1, ""},
        {-1, 1024, 768, 0, 0, 0, "kept"},         {42, 1024, 768, 0, 0, 0, "kept"},
    };
    for (const Case& c : cases) {
        stls.title = "kept";
        mnw.clicked = mnw.held = 1;
        mnw.wheel = 3;
        mnw.open_menu = 7;
        MACIBM_startwind(c.id);
        EXPECT_EQ(mnw.wind, c.id);
        EXPECT_EQ(mnw.wind_copy, c.id);
        EXPECT_EQ(mnw.wind_w, c.w) << c.id;
        EXPECT_EQ(mnw.wind_h, c.h) << c.id;
        EXPECT_EQ(mnw.wind_x, c.x) << c.id;
        EXPECT_EQ(mnw.wind_y, c.y) << c.id;
        EXPECT_EQ(mnw.is_dialog, c.dialog) << c.id;
        EXPECT_EQ(stls.title, c.title) << c.id;
        EXPECT_EQ(mnw.clicked + mnw.held + mnw.wheel, 0) << c.id;
        EXPECT_EQ(mnw.open_menu, -1);
        EXPECT_EQ(menu[kPopupMenu].x1, -1);
        EXPECT_EQ(plot_init_lights, 1);
    }

    // A dialog larger than the window is placed at 0, never below.
    mnw.screen_w = 400;
    mnw.screen_h = 200;
    MACIBM_startwind(wind_prefs);
    EXPECT_EQ(mnw.wind_x, 0);
    EXPECT_EQ(mnw.wind_y, 0);
}

TEST_F(SubWindows, CloseBoxesCloseApplicationDialogs)
{
    struct Case {
        int id;
        float x, y;
        int closes;
    } cases[] = {
        {1, 0, 300, 1},    {1, 25, 280, 1},  {1, 475, 300, 1}, {1, 500, 290, 1},
        {1, 26, 290, 0},   {1, 10, 279, 0},  {1, 250, 150, 0}, {2, 3, 378, 1},
        {995, 0, 250, 0},  {997, 0, 146, 0}, {998, 560, 474, 0},
    };
    for (const Case& c : cases) {
        MACIBM_startwind(c.id);
        return_hit = 1;
        press_at(c.x, c.y);
        EXPECT_EQ(mnw.wind, c.closes ? 0 : c.id) << c.id << " " << c.x << "," << c.y;
        EXPECT_EQ(mnw.clicked, c.closes ? 0 : 1) << c.id;
        EXPECT_EQ(return_hit, c.closes ? 0 : 1) << c.id;
    }

    // Forced (Return): application dialogs only.
    MACIBM_startwind(wind_eula);
    MACIBM_handleclick(1);
    EXPECT_EQ(mnw.wind, wind_main);
    MACIBM_startwind(wind_alert);
    MACIBM_handleclick(1);
    EXPECT_EQ(mnw.wind, wind_alert);
}

TEST_F(SubWindows, MenuTitlesAndEntries)
{
    std::vector<int> chosen;
    brx_test::app_handlemenu = [&](int cmd) { chosen.push_back(cmd); };
    MACIBM_startwind(wind_main);
    menu[0].parent = -1;
    menu[0].x1 = 0, menu[0].y1 = 750, menu[0].x2 = 40, menu[0].y2 = 768;
    menu[1].parent = -1;
    menu[1].x1 = 41, menu[1].y1 = 750, menu[1].x2 = 80, menu[1].y2 = 768;
    menu[0].items.resize(3);
    menu[0].items[0] = {"-", 10, 0, 0, 730, 100, 749};
    menu[0].items[1] = {"=Title", 11, 0, 0, 730, 100, 749};
    menu[0].items[2] = {"Open", 12, 0, 0, 730, 100, 749};

    press_at(10, 760);
    EXPECT_EQ(mnw.open_menu, 0);
    EXPECT_EQ(mnw.clicked, 0);
    press_at(50, 760);  // another title switches
    EXPECT_EQ(mnw.open_menu, 1);
    press_at(50, 760);  // the open title closes
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.clicked, 0);

    press_at(10, 760);
    press_at(50, 740);  // the separator and the title line never fire; "Open" does
    EXPECT_EQ(chosen, std::vector<int>({12}));
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.clicked, 0);

    press_at(10, 760);
    press_at(500, 300);  // elsewhere: the menu closes and the click stays
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.clicked, 1);
}

TEST_F(SubWindows, PopupChoiceAndMiss)
{
    MACIBM_startwind(wind_prefs);
    menu[kPopupMenu].items.resize(2);
    menu[kPopupMenu].items[0] = {"Mac", 0, 0, 10, 100, 60, 111};
    menu[kPopupMenu].items[1] = {"Linux", 0, 0, 10, 88, 60, 99};
    mnw.open_menu = kPopupMenu;
    active_popup_code = 555;
    press_at(30, 90);
    EXPECT_EQ(popup_menu_select, 1);
    EXPECT_EQ(select_popup_code, 555);
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(mnw.clicked, 0);

    select_popup_code = 0;
    mnw.open_menu = kPopupMenu;
    active_popup_code = 555;
    press_at(300, 300);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(select_popup_code, 0);
    EXPECT_EQ(mnw.clicked, 1);
}

TEST_F(SubWindows, ButtonsAndWheel)
{
    MACIBM_startwind(wind_main);
    press_at(5, 5, Button4);
    press_at(5, 5, Button4);
    press_at(5, 5, Button5);
    press_at(5, 5, 6);
    EXPECT_EQ(mnw.wheel, 1);
    EXPECT_EQ(mnw.clicked, 0);

    XEvent e{};
    e.type = ButtonRelease;
    e.xbutton.button = Button4;
    LIN_handleevt(&e);
    EXPECT_EQ(mnw.released, 0);
    EXPECT_EQ(mnw.wheel, 1);
    e.xbutton.button = Button3;
    LIN_handleevt(&e);
    EXPECT_EQ(mnw.released, 1);

    press_at(5, 5, Button2);
    EXPECT_EQ(mnw.clicked, 1);
}

TEST_F(SubWindows, WindowNotifications)
{
    MACIBM_startwind(wind_prefs);
    mnw.clicked = mnw.held = 1;
    mnw.wheel = 2;
    XEvent e{};
    e.type = VisibilityNotify;
    LIN_handleevt(&e);
    EXPECT_EQ(mnw.wind, wind_prefs);
    EXPECT_EQ(mnw.clicked + mnw.held + mnw.wheel, 0);

    e.type = ConfigureNotify;
    LIN_handleevt(&e);
    EXPECT_EQ(have_created_ibm_win, 1);

    e.type = DestroyNotify;
    LIN_handleevt(&e);
    EXPECT_EQ(mnw.wind, wind_main);

    const brx_test::ChildResult r = brx_test::run_in_child([] {
        XEvent odd{};
        odd.type = ClientMessage;  // not the window manager's close request: ignored
        LIN_handleevt(&odd);
        odd.type = MapNotify;
        LIN_handleevt(&odd);
        odd.type = PropertyNotify;
        LIN_handleevt(&odd);
        printf("close=%d\n", mnw.close_requested);
    });
    EXPECT_EQ(r.out,
              "LINUX: X11 threw me something different, and I don't know how to handle it. "
              "Email support@corvath.example with this message and what you were doing. Event "
              "---> 28\n"
              "close=0\n");
}

TEST_F(SubWindows, PointerPositionIsRelativeToTheSubWindow)
{
    MACIBM_startwind(wind_eula);  // origin (262, 234)
    MACIBM_load_mxy(0, 262, 768 - 234);
    EXPECT_EQ(mnw.mouse_x, 0);
    EXPECT_EQ(mnw.mouse_y, 0);
    EXPECT_EQ(mnw.mouse_wind, wind_eula);
    MACIBM_load_mxy(0, 0, 0);
    EXPECT_EQ(mnw.mouse_y, 768 - 234);
    EXPECT_EQ(mnw.mouse_x, -262);

    // A press is placed by its own coordinates, by the same rule, wherever
    // the last motion left the mouse.
    XEvent e{};
    e.type = ButtonPress;
    e.xbutton.button = Button1;
    e.xbutton.x = 262 + 40;
    e.xbutton.y = 768 - 234 - 30;
    LIN_handleevt(&e);
    EXPECT_EQ(mnw.mouse_x, 40);
    EXPECT_EQ(mnw.mouse_y, 30);
    EXPECT_EQ(mnw.mouse_wind, wind_eula);
    EXPECT_EQ(mnw.clicked, 1);
}

}  // namespace
