// The program folder and the operating system's folders.
#pragma once

#include <string>

enum {
    os_dir_this_app = 0,
    os_dir_desktop = 1,
    os_dir_default_apps = 2,
    os_dir_temp = 3,
    os_dir_prefs = 4,
};

void MACIBM_set_app_path(std::string* out);
void get_OS_abs_path(int kind, std::string& out);
