#include <dirent.h>
#include <sys/stat.h>

#include <time.h>

#include <cstring>
#include <vector>

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
    // Without a home folder, or with a relative one, the product would land in
    // whatever folder the program was started from.
    std::string path = home_folder.starts_with('/') ? home_folder : "/";
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
    stg.file_percent = 0;
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
    xer.flush();  // the folders of this run are on disk from the first frame
}

namespace {

const char* const kSimFolders[4] = {"Airfoils", "Instructions", "Output", "Resources"};

// The names of a folder that hold one of the four words, with the folder's
// identity and time when they were read. The main screen asks every frame;
// a folder unchanged since then holds the same names, so only those few are
// looked at again.
struct sim_candidates {
    std::string dir;
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    std::vector<std::string> names;
    bool valid = false;
};
sim_candidates candidates;

bool holds_a_word(const char* name)
{
    for (const char* w : kSimFolders)
        if (strstr(name, w)) return true;
    return false;
}

}  // namespace

int path_is_to_a_sim()
{
    if (dest_dir_path.empty() || dest_dir_path.back() != '/') return 0;
    const std::string dir = app_path + dest_dir_path;
    struct stat ds;
    if (stat(dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return 0;

    // A change within the last two seconds may share its time stamp with a
    // later one, so such a folder is always read again.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const bool settled = now.tv_sec - ds.st_mtim.tv_sec > 2;
    sim_candidates& c = candidates;
    if (!(c.valid && settled && c.dir == dir && c.dev == ds.st_dev && c.ino == ds.st_ino &&
          c.mtime.tv_sec == ds.st_mtim.tv_sec && c.mtime.tv_nsec == ds.st_mtim.tv_nsec)) {
        DIR* d = opendir(dir.c_str());
        if (d == nullptr) return 0;
        c = sim_candidates{};
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '\0' && e->d_name[0] != '.' && holds_a_word(e->d_name))
                c.names.push_back(e->d_name);
        closedir(d);
        c.dir = dir;
        c.dev = ds.st_dev;
        c.ino = ds.st_ino;
        c.mtime = ds.st_mtim;
        c.valid = settled;
    }

    // Each entry's kind is read anew: a link may point elsewhere by now.
    bool found[4] = {};
    for (const std::string& name : c.names) {
        struct stat st;
        if (stat((dir + name).c_str(), &st) != 0) continue;  // links followed
        int kind = S_ISDIR(st.st_mode) ? 1 : 0;
        if (!opensave_takeit(dest_dir_path, name, 0, kind) || kind != 1) continue;
        for (int w = 0; w < 4; ++w)
            if (name.find(kSimFolders[w]) != std::string::npos) found[w] = true;
    }
    return found[0] && found[1] && found[2] && found[3] ? 1 : 0;
}

void function_key(int) {}
