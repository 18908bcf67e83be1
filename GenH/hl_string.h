// Text helpers of the shared header.
#pragma once

#include <string>

// The last component found by the latest get_path_with_path.
inline std::string& get_path_with_path_file()
{
    static std::string file;
    return file;
}

// Splits `full` into its folder (ending in "/", or empty) and its last
// component, which is left in get_path_with_path_file(). One trailing "/" of a
// path of three characters or more belongs to the last component.
inline void get_path_with_path(std::string& path, const std::string& full)
{
    std::string& file = get_path_with_path_file();
    const std::size_t n = full.size();
    if (n == 0) {
        file.clear();
        path.clear();
        return;
    }
    std::size_t start = n - 1;
    if (n >= 3 && full[n - 1] == '/') --start;
    const std::size_t slash = full.rfind('/', start);
    if (slash == std::string::npos) {
        file = full;
        path.clear();
    } else {
        std::string folder = full.substr(0, slash + 1);
        file = full.substr(slash + 1);
        path = std::move(folder);
    }
}
