#include "UTL/case-desens.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace {

bool same_ignoring_ascii_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
        if (x == 0) return true;
    }
}

}  // namespace

void findPath(char* path)
{
    if (path == nullptr || *path == 0) return;
    struct stat st;
    if (stat(path, &st) == 0) return;

    char* scan = path;
    for (;;) {
        DIR* dir;
        if (scan == path && *scan == '/') {
            dir = opendir("/");
            ++scan;
        } else if (scan == path) {
            dir = opendir(".");
        } else {
            // The folder is everything before the separator that precedes scan.
            char* sep = scan - 1;
            *sep = 0;
            dir = opendir(path);
            *sep = '/';
        }
        if (dir == nullptr) return;

        char* comp_end = std::strchr(scan, '/');
        if (comp_end) *comp_end = 0;
        bool matched = false;
        if (*scan) {
            while (const dirent* e = readdir(dir)) {
                if (same_ignoring_ascii_case(e->d_name, scan)) {
                    std::memcpy(scan, e->d_name, std::strlen(scan));
                    matched = true;
                    break;
                }
            }
        } else {
            matched = true;  // an empty component of a doubled "/"
        }
        closedir(dir);

        if (comp_end == nullptr) return;
        *comp_end = '/';
        if (!matched) return;
        scan = comp_end + 1;
    }
}
