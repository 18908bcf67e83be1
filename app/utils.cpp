#include "app/utils.h"

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
std::string crnt_file_name;
std::string crnt_file_path;
std::string server_name[10];
std::string server_path[10];
std::string server_desc[10];

int str_to_int(const std::string& text)
{
    if (text.empty()) return -1;
    if (text.find_first_not_of("0123456789+-") != std::string::npos) return -1;
    int sign = 1;
    std::size_t p = 0;
    if (text[0] == '+' || text[0] == '-') {
        sign = text[0] == '-' ? -1 : 1;
        p = 1;
    }
    const std::size_t places = text.size() - p;
    if (places < 1 || places > 9) return -1;
    int sum = 0;
    for (; p < text.size(); ++p) {
        const char c = text[p];
        sum = sum * 10 + (c == '+' ? 1 : c == '-' ? -1 : c - '0');
    }
    return sign * sum;
}
