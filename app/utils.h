// The install engine: the file directory and its model, the decisions about
// changed files, folder creation, the download scheduler and the extraction
// step, with the installer's globals that they share with the application.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

extern std::string install_name;
extern std::string dest_dir_path;  // ends in "/"
extern std::string temp_path;      // the run's own temporary folder
extern std::string crnt_file_name;
extern std::string crnt_file_path;
extern std::string server_name[10];
extern std::string server_path[10];
extern std::string server_desc[10];

inline constexpr int install_type = 0;  // network installation
inline constexpr int is_net = 1;
inline constexpr int is_build = 0;

// ---------------------------------------------------------------------------
// The install model.

// One version of one listed file; sizes in kilobytes.
struct file_version_struct {
    int kind = 0;  // 0..4
    int os = 0;    // 0 any, 1 Macintosh, 2 Windows, 3 Linux, 6 Linux as well
    int field3 = 0;
    float down_size = 0;
    float disk_size = 0;
    std::string sig_want;  // MD5, or "GONE" when this version removes the file
    std::string sig_have;  // current version only: "NONE" or the local MD5
    std::string path;      // begins with a top folder that stands for the destination
    int have = 0;
    int to_fetch = 0;
    int to_delete = 0;
};

// Every version of one path, the current one last; never empty.
struct file_history_struct {
    std::vector<file_version_struct> versions;
};

extern std::vector<file_history_struct> sim_info;

// Set once a file to download is meant for one particular operating system.
extern int this_install_has_exes;
// Folders above the files deleted in the current job, for the clean-up.
extern std::set<std::string> deleted_files;

// ---------------------------------------------------------------------------
// Engine utilities.

// Decimal text to int; -1 for text that is not a number of 1 to 9 places.
int str_to_int(const std::string& text);
int want_this_f(int history, int version, int kind);
void new_format(std::string path);
int path_has_no_file(std::string path);
void trim_dest_folder(std::string& path);
void make_shortcut();

// Splits `path` into its folder (keeping the final "/") and its last
// component; one trailing "/" of a path longer than two characters belongs to
// the last component.
void split_last_component(const std::string& path, std::string& folder, std::string& last);

// The place on disk of a listed path: dest_dir_path and the path less its top
// folder.
std::string local_path_of(const std::string& listed);

// 1 when the listed path may be written or deleted: below its top folder it
// is relative, has no empty or ".." component, and no folder on its way is a
// symbolic link that leads out of dest_dir_path.
int listed_path_is_safe(const std::string& listed);

// 1 when `name` may become the destination folder's name.
int folder_name_is_safe(const std::string& name);

// 1 when server i of the list can be asked: a host name without a final "/"
// and a path that begins with "/". The list comes from the network.
int server_is_usable(int i);

// Draws server_index with a bias towards the head of the list.
void pick_server_biased();

// ---------------------------------------------------------------------------
// The phases of an installation.

int read_directory(const std::string& path, std::string top_line);
void dir_progress_bar(float lo, float val, float hi, int mode, std::string top_line,
                      std::string bottom_line);

int choose_files();
// The question about a changed file: 1 act, 2 keep, 3 cancel, 4 act on every
// changed file of its folder, 5 keep every changed file of its folder.
int select_alert(std::string path, int is_gone);
// When set, answers select_alert in place of the window (tests, no screen).
extern std::function<int(const std::string& path, int is_gone)> select_alert_answer;

void make_dirs();
void make_dir_error(std::string path, int code);

void extract_and_delete_file(std::string zip, std::string dest);

// The download scheduler: up to four streams on request slots 2 to 5.
class next_class {
public:
    void reset_all_streams();

    int next_file = 0;
    int job_done = 0;
    int active[4] = {};
    int needs_file[4] = {};
    int file_index[4] = {};
    float start_time = 0;
    double kb_in_flight = 0;
    double kb_fetched = 0;
    double kb_installed = 0;
};

extern next_class next;

int grab_files();
