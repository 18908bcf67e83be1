#include "app/utils.h"

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
std::string crnt_file_name;
std::string crnt_file_path;
std::string server_name[10];
std::string server_path[10];
std::string server_desc[10];
