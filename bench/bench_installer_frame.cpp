// The installer's main screen at rest, ready to install (file directory read)
// on a destination folder of 10,000 entries, whose status line lists the
// folder every frame, on a private Xvfb with Mesa's software renderer:
//   bench_installer_frame [scratch folder] [frames]
// Prints, measured in the same run: the framework's idle frame (nothing
// drawn) against the installer's frame, CPU per frame; the installer's own
// per-frame code with the drawing recorded instead of drawn; and the
// installation test of the status line against the framework's folder
// listing of the same folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <functional>
#include <cstdlib>
#include <string>
#include <vector>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "app/installer.h"
#include "app/utils.h"
#include "common.h"
#include "hooks/app_hooks.h"
#include "support/engine_harness.h"
#include "support/framework_window.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

double cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class Body>
double cpu_per_call(int calls, Body body)
{
    for (int i = 0; i < 10; ++i) body();
    const double c0 = cpu_seconds();
    for (int i = 0; i < calls; ++i) body();
    return (cpu_seconds() - c0) / calls;
}

void ready_state(const std::string& dest)
{
    brx_test::reset_engine(dest, dest);
    installer_reset_run_state();
    brx_test::set_ready_state();
    stg.use_max_cpu = 0;
}

// Figures measured in a child, written as one line.
std::vector<double> in_child(const std::function<std::vector<double>()>& body)
{
    const brx_test::ChildResult r = brx_test::run_in_child([&] {
        for (double v : body()) printf("%.9f ", v);
        printf("\n");
    });
    std::vector<double> out;
    const char* p = r.out.c_str();
    char* end = nullptr;
    for (double v = strtod(p, &end); end != p; v = strtod(p, &end)) {
        out.push_back(v);
        p = end;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dir = bench::work_folder(argc, argv, "bench_installer_frame");
    const int frames = argc > 2 ? atoi(argv[2]) : 300;

    // The destination: an installation's four folders among 10,000 entries.
    const std::string dest = dir + "dest/";
    bench::remove_tree(dest);
    mkdir(dest.c_str(), 0755);
    for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"})
        mkdir((dest + f).c_str(), 0755);
    for (int i = 0; i < 9996; ++i) {
        const std::string name = dest + "entry " + std::to_string(i) + (i % 10 ? ".dat" : "");
        if (i % 10)
            bench::write_file(name, "x");
        else
            mkdir(name.c_str(), 0755);
    }

    // Settled, as an installation is that nobody is changing.
    const timespec old_times[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    utimensat(AT_FDCWD, dest.c_str(), old_times, 0);

    brx_test::XvfbServer server("1280x1024x24");
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);

    const std::vector<double> f = in_child([&] {
        brx_test::open_framework_window();
        ready_state(dest);
        MACIBM_event_proc();
        const double idle = cpu_per_call(frames, [] { MACIBM_event_proc(); });
        brx_test::app_update = installer_frame;
        const double screen = cpu_per_call(frames, [] { MACIBM_event_proc(); });
        brx_test::app_update = nullptr;

        std::vector<btn_draw_op> log;
        btn_draw_log = &log;
        const double own = cpu_per_call(frames, [&] {
            log.clear();
            installer_frame();
        });
        btn_draw_log = nullptr;

        const double test = cpu_per_call(frames, [] { path_is_to_a_sim(); });
        // A folder changed a moment ago is listed whole on every call.
        const double fresh = cpu_per_call(frames, [&] {
            utimensat(AT_FDCWD, dest.c_str(), nullptr, 0);
            path_is_to_a_sim();
        });
        std::vector<std::string> names;
        std::vector<int> kinds;
        const double listing =
            cpu_per_call(frames / 10 + 1, [&] { opensave_getitems(dest_dir_path, 0, names, kinds); });
        return std::vector<double>{idle, screen, own, test, listing,
                                   static_cast<double>(path_is_to_a_sim()), fresh};
    });
    if (f.size() != 7) {
        fprintf(stderr, "measurement failed\n");
        return 1;
    }
    printf("destination of 10,000 entries, %d frames, 16 ms wait each, CPU per frame:\n", frames);
    printf("  framework idle frame            %8.3f ms\n", f[0] * 1e3);
    printf("  installer main screen frame     %8.3f ms  (%.2f x idle)\n", f[1] * 1e3, f[1] / f[0]);
    printf("  installer's own code per frame  %8.3f ms  (drawing recorded, not drawn; goal < 1 ms)\n",
           f[2] * 1e3);
    printf("  installation test per call      %8.3f ms  (is one: %d)\n", f[3] * 1e3, int(f[5]));
    printf("  the same, folder just changed   %8.3f ms  (listed whole)\n", f[6] * 1e3);
    printf("  framework folder listing        %8.3f ms  (%.1f x the test, %.1f x the whole one)\n",
           f[4] * 1e3, f[4] / f[3], f[4] / f[6]);
    bench::remove_tree(dest);
    return 0;
}
