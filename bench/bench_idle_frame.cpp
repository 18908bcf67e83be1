// An idle frame of the framework (nothing to draw, no input, the maximum-speed
// setting off) on a private Xvfb with Mesa's software renderer, against a bare
// Xlib and GLX loop that waits, clears and swaps the same way, measured in the
// same run:
//   bench_idle_frame [frames]
// Needs Xvfb; valgrind for the second part. Prints the process's CPU use and
// CPU time per frame for both and their ratio; then, under callgrind, the instructions of one frame split into the
// framework's own code, Xlib and the GL driver, and the time of the own share
// (instructions times the main thread's measured time per instruction).
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <string>

#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"
#include "bench/common.h"
#include "images/builtin_images.h"
#include "support/framework_window.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

double seconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct figures {
    double wall = 0, cpu = 0, thread_cpu = 0;  // per frame, seconds
};

template <class Frame>
figures measure(int frames, Frame frame)
{
    for (int i = 0; i < 10; ++i) frame();  // warm up
    const double w0 = seconds(CLOCK_MONOTONIC), c0 = seconds(CLOCK_PROCESS_CPUTIME_ID),
                 t0 = seconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < frames; ++i) frame();
    figures f;
    f.wall = (seconds(CLOCK_MONOTONIC) - w0) / frames;
    f.cpu = (seconds(CLOCK_PROCESS_CPUTIME_ID) - c0) / frames;
    f.thread_cpu = (seconds(CLOCK_THREAD_CPUTIME_ID) - t0) / frames;
    return f;
}

figures framework_frames(int frames)
{
    brx_test::open_framework_window();
    stg.use_max_cpu = 0;
    return measure(frames, [] { MACIBM_event_proc(); });
}

// The least a GL program does per idle frame: wait on the connection, drain
// the events, swap (the framework's idle frame draws nothing either).
figures reference_frames(int frames)
{
    Display* d = XOpenDisplay(nullptr);
    int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1,
                   GLX_BLUE_SIZE, 1, GLX_DEPTH_SIZE, 2, None};
    XVisualInfo* vi = glXChooseVisual(d, DefaultScreen(d), attrs);
    XSetWindowAttributes swa{};
    swa.colormap = XCreateColormap(d, DefaultRootWindow(d), vi->visual, AllocNone);
    swa.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask;
    const Window win = XCreateWindow(d, DefaultRootWindow(d), 0, 0, 1024, 768, 0, vi->depth,
                                     InputOutput, vi->visual, CWColormap | CWEventMask, &swa);
    XMapWindow(d, win);
    GLXContext ctx = glXCreateContext(d, vi, nullptr, True);
    glXMakeCurrent(d, win, ctx);
    return measure(frames, [&] {
        const int fd = ConnectionNumber(d);
        fd_set r;
        FD_ZERO(&r);
        FD_SET(fd, &r);
        timeval tv{0, 16000};
        select(fd + 1, &r, nullptr, nullptr, &tv);
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
        }
        glXSwapBuffers(d, win);
    });
}

// Runs `body` in a child and reads the figures it writes to standard output.
template <class Body>
figures in_child(Body body)
{
    const brx_test::ChildResult r = brx_test::run_in_child([&] {
        const figures f = body();
        printf("%.9f %.9f %.9f\n", f.wall, f.cpu, f.thread_cpu);
    });
    figures f;
    if (sscanf(r.out.c_str(), "%lf %lf %lf", &f.wall, &f.cpu, &f.thread_cpu) != 3) {
        fprintf(stderr, "measurement failed: %s\n", r.out.c_str());
        exit(1);
    }
    return f;
}

void print_figures(const char* name, const figures& f)
{
    printf("%-22s %8.3f ms wall  %8.3f ms CPU  %5.1f %% CPU  %8.3f ms main thread\n", name,
           f.wall * 1e3, f.cpu * 1e3, 100 * f.cpu / f.wall, f.thread_cpu * 1e3);
}

// Instructions of the collected frames by object file, from callgrind_annotate.
std::map<std::string, double> instructions_by_object(const std::string& profile)
{
    std::map<std::string, double> by_object;
    const std::string cmd = "callgrind_annotate --inclusive=no --threshold=100 '" + profile + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return by_object;
    const std::regex line(R"(^\s*([0-9,]+) \([^)]*\)\s+.*\[(.*)\]\s*$)");
    char buf[4096];
    while (fgets(buf, sizeof buf, p)) {
        std::cmatch m;
        if (!std::regex_match(buf, m, line)) continue;
        std::string count = m[1];
        count.erase(std::remove(count.begin(), count.end(), ','), count.end());
        by_object[m[2]] += std::stod(count);
    }
    pclose(p);
    return by_object;
}

}  // namespace

int main(int argc, char** argv)
{
    // Under callgrind: only the frames.
    if (argc == 3 && !strcmp(argv[1], "--frames-only")) {
        brx_test::open_framework_window();
        const int frames = atoi(argv[2]);
        for (int i = 0; i < frames; ++i) MACIBM_event_proc();
        return 0;
    }
    const int frames = argc > 1 ? atoi(argv[1]) : 300;

    brx_test::XvfbServer server("1280x1024x24");
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);

    const figures ours = in_child([&] { return framework_frames(frames); });
    const figures ref = in_child([&] { return reference_frames(frames); });
    printf("idle frames: %d, 16 ms wait each\n", frames);
    print_figures("framework", ours);
    print_figures("bare GLX loop", ref);
    printf("ratio framework/bare: CPU per frame %.2f, main thread %.2f\n", ours.cpu / ref.cpu,
           ours.thread_cpu / ref.thread_cpu);

    if (system("command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null") != 0) {
        printf("callgrind not available: own-code share skipped\n");
        return 0;
    }
    bench::scratch_base();
    brx_test::TempDir dir;
    const std::string profile = dir / "callgrind.out";
    const int profiled = 100;
    const std::string cmd = "valgrind --tool=callgrind --toggle-collect='MACIBM_event_proc()' "
                            "--callgrind-out-file='" + profile + "' '" + argv[0] +
                            "' --frames-only " + std::to_string(profiled) + " >/dev/null 2>&1";
    if (system(cmd.c_str()) != 0) {
        printf("callgrind run failed\n");
        return 1;
    }
    double own = 0, x11 = 0, gl = 0, other = 0;
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) < 0) self[0] = 0;
    for (const auto& [object, ir] : instructions_by_object(profile)) {
        if (object == self)
            own += ir;
        else if (object.find("libX11") != std::string::npos ||
                 object.find("libxcb") != std::string::npos)
            x11 += ir;
        else if (object.find("GL") != std::string::npos || object.find("gallium") != std::string::npos ||
                 object.find("dri") != std::string::npos || object.find("LLVM") != std::string::npos)
            gl += ir;
        else
            other += ir;
    }
    const double total = own + x11 + gl + other;
    if (total <= 0) {
        printf("no instructions collected\n");
        return 1;
    }
    // The main thread's CPU time per frame covers the same code natively.
    const double ns_per_ir = ours.thread_cpu * 1e9 / (total / profiled);
    printf("instructions per frame (main thread, callgrind): framework %.0f, Xlib %.0f, GL "
           "driver %.0f, C library and other %.0f\n",
           own / profiled, x11 / profiled, gl / profiled, other / profiled);
    printf("framework's own code per idle frame: about %.3f ms (%.1f %% of the main thread's "
           "frame time)\n",
           own / profiled * ns_per_ir * 1e-6, 100 * own / total);
    return 0;
}
