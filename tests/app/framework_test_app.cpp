// A program that links the framework with a frame hook of its own, for
// driving the framework from outside (xdotool) under a private X server.
//
// Main page (canvas coordinates): button "Dialog" at (200, 600) opens
// sub-window 1 until it is closed; "Worker alert" at (200, 500) raises an
// alert from a thread of its own; "Quit" at (200, 400) ends the program.
// Progress lines go to standard output. Environment: BRX_TEST_CPUINFO and
// BRX_TEST_MEMINFO replace the /proc sources of the log; with
// BRX_TEST_HOLD set the start-up screen stays until a line arrives on
// standard input.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "UTL/UTL_thread.h"

namespace {

std::thread worker;

void say(const char* line)
{
    printf("%s\n", line);
    fflush(stdout);
}

void run_dialog()
{
    MACIBM_startwind(wind_eula);
    say("DIALOG OPEN");
    while (mnw.wind == wind_eula) {
        BTN_fillwin(1, 21);
        if (BTN_action(250, 150, 0, 0, 1, "Inside", "-")) say("DIALOG CLICK");
        MACIBM_event_proc();
    }
    say("DIALOG CLOSED");
}

void raise_from_worker()
{
    if (worker.joinable()) worker.join();
    worker = std::thread([] {
        __MACIBM_alert(wind_main, "Worker alert line one", "Worker alert line two", "", "",
                       t_alert, "tests/app/framework_test_app", 42);
        say("WORKER RAISED");
    });
}

}  // namespace

void APP_update()
{
    static bool ready = false;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (BTN_action(200, 600, 0, 0, 1, "Dialog", "-")) run_dialog();
    if (BTN_action(200, 500, 0, 0, 1, "Worker alert", "-")) raise_from_worker();
    if (BTN_action(200, 400, 0, 0, 1, "Quit", "-")) {
        say("QUIT");
        app_done = 1;
    }
    if (!ready) {
        ready = true;
        say("READY");
    }
}

void APP_handlemenu(int) {}

int main(int argc, const char** argv)
{
    if (const char* path = getenv("BRX_TEST_CPUINFO")) UTL_cpuinfo_path = path;
    if (const char* path = getenv("BRX_TEST_MEMINFO")) MACIBM_meminfo_path = path;

    MACIBM_init(argc, argv);
    stls.entry[602] = "OK";
    say("INIT DONE");
    if (getenv("BRX_TEST_HOLD")) {
        char line[16];
        if (!fgets(line, sizeof line, stdin)) return 1;
    }

    while (!app_done) MACIBM_event_proc();
    if (worker.joinable()) worker.join();
    MACIBM_finishup(1);
    say("EXIT");
    return 0;
}
