#include "support/engine_harness.h"

#include <chrono>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xtim.h"
#include "app/utils.h"

namespace brx_test {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

void set_ready_state()
{
    stg.server_count = 2;
    server_name[0] = server_name[1] = "mirror.example";
    server_path[0] = server_path[1] = "/brennix/Brennix 9.00r1/";
    server_desc[0] = "First mirror";
    server_desc[1] = "Second mirror";
    install_name = "Brennix 9.00r1";
    stg.dir_state = 3;
    stg.total_download = 123456;
    stg.total_install = 234567;
}

void reset_engine(const std::string& temp, const std::string& dest)
{
    for (down_class*& slot : http.slot) {
        delete slot;
        slot = nullptr;
    }
    stg = stg_class();
    stg.target_os = 3;
    stg.rename_folder = 1;
    stg.server_count = -1;
    stg.file_action = 3;
    sim_info.clear();
    deleted_files.clear();
    this_install_has_exes = 0;
    next = next_class();
    temp_path = temp;
    dest_dir_path = dest;
    install_name = no_install_name;
    crnt_file_name.clear();
    crnt_file_path.clear();
    for (int i = 0; i < 10; ++i) server_name[i] = server_path[i] = server_desc[i] = "";
    select_alert_answer = nullptr;
}

int fetch_and_read_directory(double max_seconds)
{
    const Clock::time_point start = Clock::now();
    const int s = stg.server_index;
    for (;;) {
        xtim.xtim_update();
        const int r = http.net_check(1, server_name[s], server_path[s] + "directory.txt.zip",
                                     temp_path + "directory.txt.zip");
        if (r == 1) break;
        if (r == 2 || seconds_since(start) > max_seconds) return 0;
    }
    if (zip_to_file(temp_path + "directory.txt.zip", temp_path, nullptr, 0) != 0) return 0;
    delete_file(temp_path + "directory.txt.zip");
    stg.dir_state = read_directory(temp_path + "directory.txt",
                                   "Scanning directory text file to see if you already have "
                                   "Brennix installed...");
    return stg.dir_state;
}

int press_install()
{
    next.reset_all_streams();
    stg.install_error = 0;
    make_dirs();
    stg.phase = 1;
    const int chosen = choose_files();
    if (!chosen) stg.phase = 0;
    return chosen;
}

int run_install(double max_seconds, long* frames)
{
    const Clock::time_point start = Clock::now();
    long count = 0;
    int result = 0;
    while (result == 0 && seconds_since(start) < max_seconds) {
        xtim.xtim_update();
        ++count;
        const Clock::time_point slice = Clock::now();
        do {
            result = grab_files();
        } while (result == 0 && seconds_since(slice) < 0.010);
    }
    if (result != 0) {
        stg.phase = 2;
        next.reset_all_streams();
    }
    if (frames) *frames = count;
    return result;
}

}  // namespace brx_test
