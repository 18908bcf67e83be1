#include "GenC/hl_alert.h"

#include <cstdio>
#include <cstdlib>

#include "GenH/hl_types.h"
#include "OOPS_cpp/exce.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_memory.h"

static int in_alert = 0;

std::string alert_location(const char* file, int line)
{
    return std::string("(") + (file ? file : "") + " line " + std::to_string(line) + ")";
}

void __MACIBM_alert(int /*return_window*/, std::string line1, std::string line2,
                    std::string line3, std::string line4, int type, const char* file, int line)
{
    // Off the main thread the alert travels to the main thread as a report; a
    // fatal one ends the calling thread inside THREAD_send_exception.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        THREAD_send_exception(exce_class(line1, line2, line3, line4, file, line, type));
        return;
    }

    const std::string location = alert_location(file, line);

    if (cmdline.has_option("--fps_test")) {
        xer << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n" << location << "\n";
        xer.flush();
        if (type == t_exit) exit(1);
        return;
    }

    const int reentered = in_alert;
    in_alert = 1;

    // The console form; stdout is flushed because the fatal end aborts.
    puts("Skarvel Error:");
    printf("%s\n\n%s\n\n%s\n\n%s\n\n", line1.c_str(), line2.c_str(), line3.c_str(), line4.c_str());
    puts("Sorry.");
    fflush(stdout);

    if (reentered || type == t_alert || type == t_exit) {
        dump_mem_stats(
            "This is the dump_mem_stats call from the following code: if(type==t_exit || type == "
            "t_alert || recursive_error)");
        xer << "\n" << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n"
            << location << "\n";
        xer.flush();
    }

    if (reentered || type == t_exit) {
        MACIBM_finishup(0);
        app_done = 1;
        abort();
    }
    in_alert = 0;
}
