// Drives the install engine the way the installer's frame does, with no
// screen: fetches and reads the file directory, then runs the install step by
// step, grab_files called again and again within a 10 ms slice per frame.
#pragma once

#include <string>

namespace brx_test {

// Puts the engine's globals and the installer state back to a program start,
// with `temp` as the temporary folder and `dest` as the destination.
void reset_engine(const std::string& temp, const std::string& dest);

// The state of a run whose server list named two mirrors and whose file
// directory was read: 123456 KB to fetch, 234567 KB to install.
void set_ready_state();

// Fetches server_path[server_index] + "directory.txt.zip" on slot 1, frame by
// frame, unpacks it into temp_path and reads it; the result of read_directory,
// or 0 when the fetch did not finish within `max_seconds`.
int fetch_and_read_directory(double max_seconds = 30);

// Press of the install button: reset, folders, decisions. choose_files' result.
int press_install();

// Runs grab_files frame by frame until it returns nonzero; that result, or 0
// after `max_seconds`. `frames`, when given, receives the number of frames.
int run_install(double max_seconds = 60, long* frames = nullptr);

}  // namespace brx_test
