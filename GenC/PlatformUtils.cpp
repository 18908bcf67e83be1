#include "GenC/PlatformUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "GenH/hl_types.h"

void MACIBM_set_app_path(std::string* out)
{
    static char link_target[strDIM];
    char link_name[128];
    snprintf(link_name, sizeof link_name, "/proc/%d/exe", static_cast<int>(getpid()));

    const ssize_t got = readlink(link_name, link_target, strDIM - 1);
    if (got == strDIM - 1) {
        printf(
            "WARNING: Brennix is stored too deeply in the file system, so I\n"
            "could not find the path with a simple readlink! I will assume\n"
            "that you are running Brennix from the directory in which it is\n"
            "stored; if you're not, then there will be errors. To get rid of\n"
            "this message, move Brennix someplace where a readlink with a buflen\n"
            "of strDIM-1 can find it. If you don't know what's causing this, email %s.\n",
            kSupportEmail);
        *out = "./";
    } else if (got < 0) {
        printf(
            "WARNING: I could not find myself with a readlink! This might be\n"
            "because /proc isn't mounted. Avoiding entirely the issue of the\n"
            "stupidity of running something like Brennix without /proc mounted,\n"
            "I'll just say that that won't work. I will assume that you are\n"
            "running Brennix from the directory in which it is stored; if\n"
            "you're not, then there will be errors. Of course, it might've been\n"
            "something else, so I'll let perror do some talking for me. If\n"
            "you don't know what's causing this, email %s.\n",
            kSupportEmail);
        fflush(stdout);
        perror("readlink");
        *out = "./";
    } else {
        std::string target(link_target, static_cast<std::size_t>(got));
        *out = target.substr(0, target.rfind('/') + 1);
        if (out->empty()) *out = "./";
    }
    g_case_sensitive = 1;
    app_path.clear();
}

void get_OS_abs_path(int kind, std::string& out)
{
    switch (kind) {
    case os_dir_this_app:
        MACIBM_set_app_path(&out);
        for (char& c : out)
            if (c == '\\' || c == ':') c = '/';
        return;
    case os_dir_temp:
        out = "/tmp/";
        return;
    case os_dir_desktop:
    case os_dir_default_apps:
    case os_dir_prefs: {
        const char* home = getenv("HOME");
        if (!home) return;
        out = std::string(home) + "/";
        if (kind == os_dir_prefs) {
            out += ".brennix/";
            mkdir(out.c_str(), 0777);
        }
        return;
    }
    default:
        return;
    }
}
