#include "GenC/PlatformUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"

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

// ---------------------------------------------------------------------------
// The folder chooser.

int plevel = 0;

namespace {

constexpr const char* kChooserFile = "GenC/PlatformUtils";

// Paths the chooser hands out or lists must fit the framework's path buffers.
bool fits(const std::string& path) { return path.size() <= std::size_t(strDIM - 1); }

void too_long(const std::string& path, int line)
{
    __MACIBM_alert(wind_open, "This folder's path is too long to be used here.",
                   "Paths may hold at most " + std::to_string(strDIM - 1) + " characters.",
                   path.substr(0, 120) + "...", "", t_alert, kChooserFile, line);
}

}  // namespace

folder_chooser::folder_chooser(const char* start_dir) : folder(start_dir ? start_dir : "/")
{
    // The listing and the levels expect a folder path to end in "/".
    if (!folder.empty() && folder.back() != '/') folder += '/';
    centre = selected = relist() / 2;
}

int folder_chooser::relist() { return opensave_getitems(folder, 1, names, kinds); }

int folder_chooser::frame()
{
    btn_fillrect(34, 1, -mnw.wind_x, -mnw.wind_y, float(mnw.screen_w), float(mnw.screen_h));
    BTN_fillwin(1, 21);

    const int count = relist();
    const int picked = BTN_list_and_search(0, 10, 180, 520, 0, &centre, &selected, 0, count - 1,
                                           &name, "File:", BTN_name_from_vector, &names, nullptr,
                                           nullptr, BTN_type_from_vector, &kinds);
    BTN_frame2(15, 10, 300, 520, 120, "");
    BTN_frame1(9, 270, 52, 520, 0);
    if (name.size() > 30) name.resize(30);
    const float w = name.empty() ? 0 : btn_text_width(name);
    btn_line(45, 1, 26 + w, 48, 26 + w, 55);
    btn_text(45, 25, 49, name, 440, 100, 0);

    if (BTN_action(430, 28, 0, 0, 1, "New Folder", "-"))
        mkdir((folder + name).c_str(), 0777);

    path_levels levels;
    BTN_path_levels(folder, long(folder.size()) - 1, nullptr, "/", &levels);
    BTN_draw_levels(levels, 0);
    if (const int at = BTN_level_item(levels, folder); at >= 0) plevel = at;

    if (BTN_textlist(mnw.wind_w * 0.5f, 438, &plevel, levels.items, "")) {
        const int k = levels.item_level[std::size_t(plevel)];
        if (k >= 0) folder = levels.paths[std::size_t(k)];
    } else if ((picked || return_hit) && count > 0 && kinds[std::size_t(selected)] == 1) {
        return_hit = 0;
        const std::string inner = folder + names[std::size_t(selected)] + "/";
        if (fits(inner)) {
            folder = inner;
            selected = relist() / 2;
        } else {
            too_long(inner, __LINE__);
        }
    }

    if (BTN_action(35, 28, 0, 0, 1, "Cancel", "-")) return 0;
    if (BTN_action(510, 28, 0, 0, 1, "Select", "-")) {
        std::size_t from = 0;
        while (from + 1 < folder.size() && folder[from] == '/' && folder[from + 1] == '/') ++from;
        chosen = folder.substr(from);
        if (fits(chosen)) return 1;
        too_long(chosen, __LINE__);
    }
    return -1;
}

int GetFilePathFromUser(int, const char*, const char*, int, const char* start_dir,
                        char* out_path)
{
    app_path = "";
    folder_chooser chooser(start_dir);
    const int back = mnw.wind;
    MACIBM_startwind(wind_open);
    for (;;) {
        if (mnw.wind != wind_open) return 0;
        const int done = chooser.frame();
        if (done == 0) {
            MACIBM_startwind(back);
            return 0;
        }
        if (done == 1) {
            memcpy(out_path, chooser.chosen.c_str(), chooser.chosen.size() + 1);
            MACIBM_startwind(back);
            return 1;
        }
        MACIBM_event_proc();
    }
}
