#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "Files/io_utils.h"
#include "GenC/PlatformUtils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/pref.h"
#include "app/installer.h"
#include "app/utils.h"

namespace {

// The alert window's button label in the string table.
constexpr int kAlertButtonEntry = 602;

constexpr const char kProductFolder[] = "Brennix";

}  // namespace

std::string remove_last_component(const std::string& path)
{
    if (path.empty()) return path;
    const std::size_t from = (path.size() > 2 && path.back() == '/') ? path.size() - 2 : path.size() - 1;
    const std::size_t slash = path.rfind('/', from);
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

std::string default_dest_path(const std::string& home_folder)
{
    std::string path = home_folder;
    for (int i = 0; i < 10; ++i) path = remove_last_component(path);
    return path + kProductFolder + "/";
}

void end_with_slash(std::string& folder)
{
    if (!folder.empty() && folder.back() != '/') folder += '/';
}

void installer_reset_state()
{
    stg.dir_state = 0;
    stg.target_os = 3;
    stg.phase = 0;
    stg.net_failed = 0;
    stg.install_error = 0;
    stg.server_count = -1;
    stg.server_index = 0;
    stg.file_action = 3;
    stg.file_fraction = 0;
    stg.use_max_cpu = 0;
    stg.rename_folder = 1;
    stg.stream_count = 0;
    stg.always_ask_dir = 0;
    stg.total_download = 0;
    stg.total_install = 0;
}

int path_argument(int argc, const char* const* argv, std::string* folder)
{
    if (argc < 3 || argv[1] == nullptr || argv[2] == nullptr || strcmp(argv[1], "-path") != 0)
        return 0;
    *folder = argv[2];
    end_with_slash(*folder);
    return 1;
}

void installer_start(int argc, const char* const* argv)
{
    static const struct {
        int kind;
        const char* label;
    } folders[] = {
        {os_dir_this_app, "os_dir_this_app\t\t"},
        {os_dir_desktop, "os_dir_desktop\t\t"},
        {os_dir_default_apps, "os_dir_default_apps\t"},
        {os_dir_temp, "os_dir_temp\t\t\t"},
        {os_dir_prefs, "os_dir_prefs\t\t\t"},
    };
    for (const auto& f : folders) {
        std::string path;
        get_OS_abs_path(f.kind, path);
        xer << f.label << "=" << path << "\n";
    }
    xer << "\n";

    std::string home;
    get_OS_abs_path(os_dir_default_apps, home);
    dest_dir_path = default_dest_path(home);
    xer << "dest_dir_path=" << dest_dir_path << "\n";

    get_OS_abs_path(os_dir_temp, temp_path);
    stls.entry[kAlertButtonEntry] = "OK";
    install_name = no_install_name;
    installer_reset_state();

    pref.IO_set(11, 0);
    // A hand-edited file or a "--pref:" option may leave the final "/" out;
    // without it the destination could never be listed as a folder.
    end_with_slash(dest_dir_path);

    std::string folder;
    if (path_argument(argc, argv, &folder))
        dest_dir_path = folder;
    else if (stg.always_ask_dir)
        pick_dest_path();
}

int path_is_to_a_sim()
{
    static const char* const words[4] = {"Airfoils", "Instructions", "Output", "Resources"};
    if (dest_dir_path.empty() || dest_dir_path.back() != '/') return 0;
    const std::string dir = app_path + dest_dir_path;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return 0;

    // Only entries whose names hold one of the words can count, so only
    // those are examined; the rest of a large folder costs one read each.
    bool found[4] = {};
    int count = 0;
    while (count < 4) {
        const dirent* e = readdir(d);
        if (e == nullptr) break;
        const char* name = e->d_name;
        if (name[0] == '\0' || name[0] == '.') continue;
        bool candidate = false;
        for (int w = 0; w < 4; ++w)
            if (!found[w] && strstr(name, words[w])) candidate = true;
        if (!candidate) continue;
        struct stat st;
        if (stat((dir + name).c_str(), &st) != 0) continue;  // links followed
        int kind = S_ISDIR(st.st_mode) ? 1 : 0;
        if (!opensave_takeit(dest_dir_path, name, 0, kind) || kind != 1) continue;
        for (int w = 0; w < 4; ++w)
            if (!found[w] && strstr(name, words[w])) {
                found[w] = true;
                ++count;
            }
    }
    closedir(d);
    return count == 4 ? 1 : 0;
}

void function_key(int) {}
