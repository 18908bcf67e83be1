// A program that opens the framework's about box at once, for driving it
// from outside (xdotool) under a private X server.
//
// The about box's files lie below the current folder. Environment:
// BRX_TEST_PROXY_PORT, the port of an HTTP proxy on 127.0.0.1 through which
// the maker's web host is reached. Progress lines go to standard output:
// "ABOUT OPEN"; when the box has been closed, "ABOUT CLOSED", the check's
// state and its message; then "EXIT" at the normal end. A started installer
// ends the program from inside the box instead.
#include <cstdio>
#include <cstdlib>

#include "GenC/hl_about.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"

namespace {

void say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

}  // namespace

// Runs once, in the frame in which the about box closes.
void APP_update() { say("APP UPDATE"); }

void APP_handlemenu(int) {}

int main(int argc, const char** argv)
{
    MACIBM_init(argc, argv);
    stls.entry[602] = "OK";
    if (const char* port = getenv("BRX_TEST_PROXY_PORT")) {
        http.proxy_host = "127.0.0.1";
        http.proxy_port = port;
        http.proxy_port_int = atoi(port);
    }

    say("ABOUT OPEN");
    MACIBM_about();
    const about_check_state& s = about_check();
    say("ABOUT CLOSED " + std::to_string(s.ins_state) + " " + s.err_msg);

    MACIBM_finishup(1);
    say("EXIT");
    return 0;
}
