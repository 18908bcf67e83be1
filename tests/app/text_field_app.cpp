// A program with two text fields in a settings window, for driving the field
// from outside (xdotool) under a private X server.
//
// Window 2 (600 by 380, centred) opens at once. In it, both asking to grab
// the focus: a host field at (150, 300), 200 wide, at most 40 characters,
// starting as "old.example", and a port field at (150, 270), 60 wide, at
// most 5 characters, starting as "3128". Standard output: "WINDOW x y" (the
// window's origin on the canvas), "READY", then "HOST=..." and "PORT=..."
// whenever a field's text changes, "OVERLONG" if a field ever returns longer
// than its limit, and "CLOSED" when the window has been closed.
#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"

namespace {

void say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

void report(const char* name, const std::string& text, std::size_t max, std::string* last)
{
    if (text.size() > max) say("OVERLONG");
    if (text != *last) say(std::string(name) + "=" + text);
    *last = text;
}

}  // namespace

void APP_update()
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

void APP_handlemenu(int) {}

int main(int argc, const char** argv)
{
    MACIBM_init(argc, argv);
    stls.entry[602] = "OK";

    std::string host = "old.example", port = "3128";
    std::string shown_host = host, shown_port = port;
    MACIBM_startwind(wind_prefs);
    say("WINDOW " + std::to_string(int(mnw.wind_x)) + " " + std::to_string(int(mnw.wind_y)));
    bool ready = false;
    while (mnw.wind == wind_prefs) {
        BTN_fillwin(1, 21);
        BTN_enterstring(150, 300, &host, 40, "Proxy host:|", 200, 1);
        BTN_enterstring(150, 270, &port, 5, "Proxy port:|", 60, 1);
        report("HOST", host, 40, &shown_host);
        report("PORT", port, 5, &shown_port);
        if (!ready) {
            ready = true;
            say("READY");
        }
        MACIBM_event_proc();
    }
    say("CLOSED");
    MACIBM_finishup(1);
    return 0;
}
