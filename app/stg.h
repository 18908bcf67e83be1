// The installer's state and settings: one plain record of 32-bit fields.
#pragma once

class stg_class {
public:
    int dir_state = 0;     // 0 not fetched, 1 fetched, 2 not accepted, 3 read and ready
    int target_os = 0;     // 1 Macintosh, 2 Windows, 3 Linux
    int log_actions = 0;
    int phase = 0;         // 0 idle, 1 installing, 2 finished or quit
    int net_failed = 0;
    int install_error = 0;
    int server_count = 0;  // -1 until the server list is read
    int server_index = 0;
    int file_action = 0;   // 0 deleting, 1 downloading, 2 duplicate, 3 browsing
    float file_fraction = 0;
    int file_percent = 0;  // whole percent of the current file's bytes received
    int use_max_cpu = 0;
    int rename_folder = 0;
    int stream_count = 0;  // 0 automatic, 1 to 4 fixed
    int always_ask_dir = 0;
    float total_download = 0;  // kilobytes
    float total_install = 0;   // kilobytes
};
