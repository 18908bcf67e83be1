#include "OOPS_cpp/exce.h"

#include <unistd.h>

#include <cstdio>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"

exce_class::exce_class(std::string m1, std::string m2, std::string m3, std::string m4,
                       const char* file_, int line_, int severity_)
    : msg1(std::move(m1)), msg2(std::move(m2)), msg3(std::move(m3)), msg4(std::move(m4)),
      file(file_), line(line_), severity(severity_)
{
}

exce_class::exce_class() : file("no exception"), line(0), severity(2) {}

void exce_class::Report()
{
    if (!THREAD_is_inited() || THREAD_is_main_thread()) {
        __MACIBM_alert(0, msg1, msg2, msg3, msg4, severity, file, line);
        return;
    }
    // A worker has no window: log the report and end the whole program.
    xer << "EXCEPTION REPORTED FROM THREAD!!  File: " << file << ", line " << line << ".\n";
    xer << msg1 << "\n" << msg2 << "\n" << msg3 << "\n" << msg4 << "\n";
    xer.flush();
    app_done = 1;
    MACIBM_finishup(1);
    // The main thread still runs, so the global objects are left alone rather
    // than destroyed under it; a fatal report must not look like a clean end.
    fflush(nullptr);
    _exit(severity == t_exit ? 1 : 0);
}

void exce_class::LogAndContinue()
{
    xer << "Logging " << (severity == 0 ? "non-fatal" : "fatal")
        << " Exception thrown from file: " << file << ", line " << line << ".\n";
    xer << msg1 << "\n" << msg2 << "\n" << msg3 << "\n" << msg4 << "\n";
    xer.flush();
}
