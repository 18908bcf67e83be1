// The installer's globals shared by the engine and the application.
#pragma once

#include <string>

extern std::string install_name;
extern std::string dest_dir_path;
extern std::string temp_path;
extern std::string crnt_file_name;
extern std::string crnt_file_path;
extern std::string server_name[10];
extern std::string server_path[10];
extern std::string server_desc[10];

// Decimal text to int; -1 for text that is not a number of 1 to 9 places.
int str_to_int(const std::string& text);
