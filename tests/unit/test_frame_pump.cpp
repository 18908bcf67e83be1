// One frame of the pump without a display: flags, first frame, the
// application's hook, menu-bar hover, queued reports and texture failures.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/qtim.h"
#include "Thread/hl_thread.h"
#include "hooks/app_hooks.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::run_in_child;

class FramePump : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.scale = 1.0f;
        MACIBM_clear_menus(1);
        stg.use_max_cpu = 0;
    }
    void TearDown() override
    {
        DrawLogTest::TearDown();
        brx_test::app_update = nullptr;
    }
};

TEST_F(FramePump, WaitPerWindow)
{
    mnw.wind = wind_main;
    EXPECT_EQ(MACIBM_frame_wait_us(), 16000);
    mnw.wind = wind_prefs;
    EXPECT_EQ(MACIBM_frame_wait_us(), 16000);
    mnw.wind = wind_alert;
    EXPECT_EQ(MACIBM_frame_wait_us(), 160000);
    stg.use_max_cpu = 1;
    EXPECT_EQ(MACIBM_frame_wait_us(), 160000);
    mnw.wind = wind_main;
    EXPECT_EQ(MACIBM_frame_wait_us(), 0);
}

TEST_F(FramePump, FirstFrameOpensTheMainPageAndClearsOneFrameFlags)
{
    // The first call of the run opens window 0 from -1; run it in a child so
    // the pump's first-call state stays fresh for other tests.
    auto r = run_in_child([] {
        MACIBM_startwind(-1);
        mnw.open_menu = 5;
        int hook_calls = 0;
        brx_test::app_update = [&] { ++hook_calls; };
        return_hit = escape_hit = delete_hit = 1;
        mnw.clicked = mnw.released = mnw.key_hit = 1;
        mnw.wheel = 2;
        const int frames = xtim.frame_count;
        MACIBM_event_proc();
        printf("wind=%d open_menu=%d hits=%d flags=%d wheel=%d hook=%d frames=%d\n", mnw.wind,
               mnw.open_menu, return_hit + escape_hit + delete_hit,
               mnw.clicked + mnw.released + mnw.key_hit, mnw.wheel, hook_calls,
               xtim.frame_count - frames);

        // Later frames keep the wheel; dialogs do not run the hook.
        mnw.wheel = 2;
        MACIBM_event_proc();
        const int kept = mnw.wheel;
        MACIBM_startwind(wind_eula);
        MACIBM_event_proc();
        MACIBM_startwind(4242);  // outside the table: the hook runs under it
        MACIBM_event_proc();
        printf("wheel=%d hook=%d\n", kept, hook_calls);
    });
    EXPECT_EQ(r.out,
              "wind=0 open_menu=-1 hits=0 flags=0 wheel=0 hook=1 frames=1\n"
              "wheel=2 hook=3\n");
}

// Return or a close box in the frame that also brought keys for a field: the
// field takes them in the window's next pass, and the window closes after it.
TEST_F(FramePump, ACloseWaitsForTheKeysTypedBeforeIt)
{
    const auto r = run_in_child([] {
        MACIBM_startwind(wind_main);
        MACIBM_event_proc();
        int chars[8] = {}, vkeys[8] = {}, flags[8] = {}, ids[8] = {}, count = 0;
        const int field = BTN_focus_id(85, 20);
        auto draw_field = [&] {
            BTN_begin_focus_ring();
            BTN_register_focus(field, chars, vkeys, flags, ids, &count, 8, 0x1F4, 1);
        };
        for (const int force : {1, 0}) {
            MACIBM_startwind(wind_prefs);
            draw_field();
            BTN_dispatch_to_focus('8', '8', 8);
            return_hit = 1;
            mnw.mouse_x = 5;
            mnw.mouse_y = mnw.wind_h - 5;  // the left close box
            mnw.clicked = 1;
            MACIBM_handleclick(force);
            printf("asked: wind=%d return=%d clicked=%d; ", mnw.wind, return_hit, mnw.clicked);
            ids[0] = 0;  // the field's pass takes its key
            count = 0;
            MACIBM_event_proc();
            printf("next frame: wind=%d\n", mnw.wind);
        }
        // With nothing waiting the close is at once.
        MACIBM_startwind(wind_prefs);
        draw_field();
        MACIBM_handleclick(1);
        printf("nothing waiting: wind=%d\n", mnw.wind);
    });
    EXPECT_EQ(r.out,
              "asked: wind=2 return=0 clicked=0; next frame: wind=0\n"
              "asked: wind=2 return=0 clicked=0; next frame: wind=0\n"
              "nothing waiting: wind=0\n");
}

// After the window manager asked to close the window, a dialog's frame waits
// for nothing and makes the main page current without running the frame hook
// inside the dialog's caller; so nested modal loops end one after the other,
// and the main page's frame, which runs the hook, is left to act.
TEST_F(FramePump, ACloseRequestEndsEveryModalLoop)
{
    const auto r = run_in_child([] {
        MACIBM_startwind(wind_main);
        MACIBM_event_proc();
        int hook_calls = 0;
        brx_test::app_update = [&] { ++hook_calls; };
        mnw.close_requested = 1;
        // A dialog's loop that opens a framework dialog, whose loop opens another.
        const auto modal = [](int id, const std::function<void()>& inside) {
            MACIBM_startwind(id);
            const long wait = MACIBM_frame_wait_us();
            int passes = 0;
            while (mnw.wind == id && passes < 5) {
                ++passes;
                inside();
                if (mnw.wind == id) MACIBM_event_proc();
            }
            printf("%d: wait %ld, passes %d; ", id, wait, passes);
        };
        modal(wind_prefs, [&] { modal(wind_alert, [&] { modal(wind_select, [] {}); }); });
        printf("wind=%d hook=%d\n", mnw.wind, hook_calls);
        MACIBM_event_proc();
        printf("main page: wait %ld, hook=%d, close=%d\n", MACIBM_frame_wait_us(), hook_calls,
               mnw.close_requested);
    });
    EXPECT_EQ(r.out,
              "997: wait 0, passes 1; 995: wait 0, passes 1; 2: wait 0, passes 1; wind=0 hook=0\n"
              "main page: wait 16000, hook=1, close=1\n");
}

TEST_F(FramePump, MenuBarHoverSwitchesTheOpenMenu)
{
    // In a child, so that the pump's first-call state stays fresh for other tests.
    const auto r = run_in_child([] {
        MACIBM_startwind(wind_main);
        MACIBM_event_proc();
        menu[2].parent = -1;
        menu[2].x1 = 0, menu[2].y1 = 750, menu[2].x2 = 40, menu[2].y2 = 768;
        menu[3].parent = -1;
        menu[3].x1 = 41, menu[3].y1 = 750, menu[3].x2 = 80, menu[3].y2 = 768;
        mnw.mouse_x = 60;
        mnw.mouse_y = 760;
        MACIBM_event_proc();
        printf("%d ", mnw.open_menu);  // nothing open: hovering opens nothing
        mnw.open_menu = 2;
        MACIBM_event_proc();
        printf("%d\n", mnw.open_menu);
    });
    EXPECT_EQ(r.out, "-1 3\n");
}

TEST_F(FramePump, ReportsAndTextureFailuresShowOnTheMainPageOnly)
{
    auto r = run_in_child([] {
        MACIBM_startwind(wind_main);
        THREAD_init();
        std::thread([] {
            __MACIBM_alert(0, "from", "a", "worker", "", t_alert, "Thread/test", 9);
        }).join();
        tman.instl_load_fail = 1;

        MACIBM_startwind(wind_prefs);
        MACIBM_event_proc();
        printf("-- dialog frame done\n");
        fflush(stdout);
        MACIBM_startwind(wind_main);
        MACIBM_event_proc();
        printf("-- main frame done, fail=%d\n", tman.instl_load_fail);
        fflush(stdout);
        tman.instl_load_fail = 1;  // reported once per run: muted now
        tman.mute_instl_load_fail();
        MACIBM_event_proc();
        printf("-- again\n");
    });
    EXPECT_EQ(r.out,
              "-- dialog frame done\n"
              "Skarvel Error:\nfrom\n\na\n\nworker\n\n\n\nSorry.\n"
              "Skarvel Error:\nSome textures could not be loaded.\n\n"
              "This may be an installation problem.  Run the installer/updater again to get "
              "these missing textures.\n\n"
              "Please see the log.txt file for a detailed list of missing files.\n\n\n\nSorry.\n"
              "-- main frame done, fail=2\n"
              "-- again\n");
}

}  // namespace

namespace {

using MovieStub = brx_test::DrawLogTest;

TEST_F(MovieStub, EveryOperationIsEmptyAndTheNoticeIsDrawn)
{
    EXPECT_EQ(qtim.mov_per_frame(), 0);
    EXPECT_EQ(qtim.mov_add_frame(), 0);
    qtim.mov_toggle(1);
    qtim.stop_thread();
    qtim.draw_record_lgt();
    EXPECT_TRUE(ops.empty());

    MACIBM_startwind(wind_about);
    ops.clear();
    wx1 = wy1 = 0;
    qtim.qtim_wind();
    bool notice = false;
    for (const btn_draw_op& op : ops)
        notice |= op.kind == btn_draw_op::text && op.str == "NO QUICKTIME MOVIES FOR LINUX... SORRY!";
    EXPECT_TRUE(notice);
    EXPECT_EQ(wx1, 600 - 10 + 10);  // the panel's right edge plus 10
    EXPECT_EQ(wy1, 10 + 296 + 10);  // its top edge plus 10
}

}  // namespace
