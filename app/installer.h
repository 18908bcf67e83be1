// The installer application: start-up, the destination, the server list, the
// per-frame driver with its main screen, and the terms and preferences
// windows. The program's entry (app/main.cpp) only wires these to the
// framework, so that the test programs can run them with hooks of their own.
#pragma once

#include <cstddef>
#include <string>

// ---------------------------------------------------------------------------
// Start-up and the destination.

// One step of the default destination: the text less its last path
// component, keeping the "/" before it.
std::string remove_last_component(const std::string& path);
// The home folder ("HOME" and "/"; empty without HOME) less ten components,
// then "Brennix/".
std::string default_dest_path(const std::string& home_folder);
// Appends "/" to a folder path that is not empty and does not end in one.
void end_with_slash(std::string& folder);

// Everything between the framework's start-up and the frame loop: the
// folder lines of the log, the default destination, the start values, the
// preference file and the command line's "-path" (or the folder chooser).
void installer_start(int argc, const char* const* argv);
// The start values of the installer's state.
void installer_reset_state();
// 1 when the arguments hold "-path" and a folder as the first two; the
// folder is then in *folder, with "/" appended when missing.
int path_argument(int argc, const char* const* argv, std::string* folder);

// Asks for the destination with the folder chooser; 1 when one was accepted.
int pick_dest_path();
// 1 when dest_dir_path holds the four folders of an installation.
int path_is_to_a_sim();

// Application hook that nothing calls; the installer has no function keys.
void function_key(int key);

// ---------------------------------------------------------------------------
// Server list.

// Where the maker publishes the server list, below its web host.
inline constexpr const char kServerListPath[] = "/serverlist.txt";
inline constexpr int kServerListVersion = 820;
// Longest value kept from the server list; longer ones are cut.
inline constexpr std::size_t kServerListValueMax = 255;

// Polls the server-list download on slot 0 and reads the list when it has
// arrived; runs while server_count is -1.
void server_list_step();
void read_server_list(const std::string& path);
// 1 when some entry of the list read can be asked for files.
int server_list_names_a_usable_server();

// ---------------------------------------------------------------------------
// Picture buttons and size text.

inline constexpr int kArtTexture = 389;
inline constexpr int kBackgroundTexture = 390;
inline constexpr int kTintColour = 102;

int interface_rect(float x, float y, float u, float v, float w, float h, int hover, int tint);
int interface_icon(float x, float y, int index);
void set_size_str(float kilobytes, std::string* out);

// ---------------------------------------------------------------------------
// Terms of use and preferences.

// The three terms the user accepts, top to bottom.
extern const char* const kEulaLines[3];

int handle_EULA();
// 1 once the terms are accepted in this run.
extern int eula_agreed;
void handle_prefs();
// Proxy port number of a typed port text: -1 unless it is 0 to 65535.
int proxy_port_number(const std::string& text);

// ---------------------------------------------------------------------------
// The frame driver and its main screen.

// One frame of the installer: the body of the framework's APP_update.
void installer_frame();

// The three lines of the lower panel with their colours.
struct panel_lines {
    std::string text[3];
    int col[3] = {46, 46, 46};
};

// What the frame keeps from one call to the next.
struct installer_frame_state {
    std::string net_dir_path_zip, dir_path, dir_path_path;
    bool paths_built = false;
    int wrl_i = 8;
    float totl_inst_rat = 0;
    float tot_down_req = 0, tot_disk_req = 0;
    std::string tot_disk_req_str;
    // The user has been told that no entry of the list can be asked.
    bool told_no_usable_server = false;
};
extern installer_frame_state frame_state;

// Puts everything a run keeps in statics back to a program start: the frame's
// state and the acceptance of the terms.
void installer_reset_run_state();

// The status line of the version frame for the current state.
void status_line(std::string* text, int* col);
// The directory-fetch text for a request on slot 1 (none: no request).
std::string fetch_text(long long content_length, long long received, bool in_flight);
// Lower-panel lines: phase 0, phase 1 (after the ratio is updated) and
// phase 2, then the network-failure lines over any of them.
panel_lines summary_lines();
panel_lines progress_lines();
panel_lines outcome_lines();
void apply_net_failure(panel_lines* lines);
// The smoothing step of the installed fraction, one frame of `period` s.
float next_install_ratio(float ratio, float period, double installed, double total);
// The bar's fill: centre x and width for a ratio (E of the drawing rule).
void bar_fill(float ratio, float* centre_x, float* width);
// A double as a whole number, truncated; 0 for not-a-number, clamped to int.
int whole_number(double value);

// 1 while the frame is nested inside one of its own modal windows.
int installer_frame_nested();
