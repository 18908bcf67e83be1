// The program folder and the operating system's folders.
#pragma once

#include <string>
#include <vector>

enum {
    os_dir_this_app = 0,
    os_dir_desktop = 1,
    os_dir_default_apps = 2,
    os_dir_temp = 3,
    os_dir_prefs = 4,
};

void MACIBM_set_app_path(std::string* out);
// Kind 3 is the run's own temporary folder (below), made at the first call.
void get_OS_abs_path(int kind, std::string& out);

// The run's temporary folder: a new folder, mode 0700, made with mkdtemp as
// "brennix-installer.XXXXXX" in $TMPDIR, or in /tmp/ when TMPDIR is unset or
// cannot be used, so that no name in it is shared with another user or run.
// A lock held on its ".lock" file for the whole run tells a live run's folder
// from one that a killed run left; making a folder first removes the user's
// own folders whose runs have ended. When no folder can be made anywhere, a
// fatal alert names the folder and the error. The folder ends in "/".
const std::string& run_temp_folder();
// Makes the run's folder in the first of `bases` (each ending in "/") that
// takes it, or raises that alert.
void open_run_temp_folder(const std::vector<std::string>& bases);
// $TMPDIR when it names a folder this user may write in, then "/tmp/".
std::vector<std::string> temp_base_folders();
// Removes the run's folder with everything in it (the end of the run); a
// later call of run_temp_folder makes a new one.
void remove_run_temp_folder();

// One step of the above, for a folder `base` ending in "/": removes the
// folders that this user's ended runs left there, then makes a new one and
// locks it. 0 with the folder and the lock's descriptor, or an errno value.
int make_run_temp_folder(const std::string& base, std::string* folder, int* lock_fd);
// The folders of this user's runs in `base` that no run holds: each is
// removed with what it holds, never following a link. Any other entry, a
// folder of another user or one that a live run holds stays.
void remove_ended_run_folders(const std::string& base);

// The modal folder chooser (window 998): the user walks the folders from
// `start_dir` ("/" when null) and creates folders; "Select" copies the shown
// folder's path into `out_path` and returns 1, "Cancel" returns 0 and leaves
// it alone. `out_path` must hold strDIM bytes: longer paths are not accepted.
// The first four arguments are not used.
int GetFilePathFromUser(int, const char*, const char*, int, const char* start_dir,
                        char* out_path);

// One call of the chooser, drawn a frame at a time.
class folder_chooser {
public:
    explicit folder_chooser(const char* start_dir);
    // Draws one frame and acts on its input: -1 to go on, 0 for "Cancel", 1
    // for "Select" with the path in `chosen`.
    int frame();

    std::string folder;  // the folder whose sub-folders are listed
    std::string name;    // the text of the name field
    std::vector<std::string> names;
    std::vector<int> kinds;
    int centre = 0, selected = 0;
    std::string chosen;

private:
    int relist();
};
// The drop-down's selected level, kept between calls.
extern int plevel;
