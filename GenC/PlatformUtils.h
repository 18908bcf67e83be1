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
void get_OS_abs_path(int kind, std::string& out);

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
