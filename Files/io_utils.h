// File and folder operations with coded results, and the texts of the codes.
#pragma once

#include <string>

std::string error_str(int code);
int show_make_dir_err(int code);
int show_del_err(int code);
