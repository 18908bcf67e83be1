#include "GenC/PlatformUtils.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

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
        out = run_temp_folder();
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
// The run's temporary folder.

namespace {

constexpr const char* kThisFile = "GenC/PlatformUtils";
constexpr char kRunFolderPrefix[] = "brennix-installer.";
constexpr char kRunLock[] = ".lock";
constexpr char kNewRunLock[] = ".lock-new";
// A run locks its folder at once; one without a lock that is older than this
// was left by a run killed while it made it.
constexpr time_t kUnlockedFolderSeconds = 60;

struct run_folder_state {
    std::string path;  // ends in "/"; empty until made
    int lock_fd = -1;
} run_folder;

// The names mkdtemp makes from the prefix: six letters or digits after it.
bool run_folder_name(const char* name)
{
    const std::size_t n = sizeof kRunFolderPrefix - 1;
    if (strncmp(name, kRunFolderPrefix, n) != 0 || strlen(name) != n + 6) return false;
    for (const char* p = name + n; *p; ++p)
        if (!isalnum(static_cast<unsigned char>(*p))) return false;
    return true;
}

std::vector<std::string> run_folders_in(int base_fd)
{
    std::vector<std::string> names;
    folder_names_at(base_fd, &names);
    std::erase_if(names, [](const std::string& name) { return !run_folder_name(name.c_str()); });
    return names;
}

// Removes what a run's open folder holds, its lock last, so that the folder
// stays taken until only the empty folder is left. 0, or the first errno met.
int empty_run_folder(int folder_fd)
{
    int err = empty_folder_at(folder_fd, kRunLock);
    if (unlinkat(folder_fd, kRunLock, 0) != 0 && errno != ENOENT && err == 0) err = errno;
    return err;
}

// Whether the folder `name` of `base_fd` is one of this user's whose run has
// ended; then `lock_fd` holds its lock (or -1 when it has none), so that no
// other run takes it meanwhile.
bool ended_run_folder(int base_fd, const char* name, int* folder_fd, int* lock_fd)
{
    *folder_fd = *lock_fd = -1;
    struct stat st;
    if (fstatat(base_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != geteuid())
        return false;
    const int fd = openat(base_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    // The entry may have been replaced since it was looked at.
    if (fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino ||
        opened.st_uid != geteuid()) {
        close(fd);
        return false;
    }
    const int lock = openat(fd, kRunLock, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    const bool ended = lock >= 0 ? flock(lock, LOCK_EX | LOCK_NB) == 0
                                 : time(nullptr) - opened.st_mtime > kUnlockedFolderSeconds;
    if (!ended) {
        if (lock >= 0) close(lock);
        close(fd);
        return false;
    }
    *folder_fd = fd;
    *lock_fd = lock;
    return true;
}

}  // namespace

void remove_ended_run_folders(const std::string& base)
{
    const int base_fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (base_fd < 0) return;
    for (const std::string& name : run_folders_in(base_fd)) {
        int folder_fd, lock_fd;
        if (!ended_run_folder(base_fd, name.c_str(), &folder_fd, &lock_fd)) continue;
        int err = empty_run_folder(folder_fd);
        if (unlinkat(base_fd, name.c_str(), AT_REMOVEDIR) != 0 && err == 0) err = errno;
        if (lock_fd >= 0) close(lock_fd);
        close(folder_fd);
        if (err == 0)
            xer << "Removed the temporary folder of an earlier run: " << base << name << "\n";
        else
            xer << "Could not remove the temporary folder of an earlier run: " << base << name
                << ": " << error_str(err) << "\n";
    }
    close(base_fd);
}

int make_run_temp_folder(const std::string& base, std::string* folder, int* lock_fd)
{
    remove_ended_run_folders(base);
    std::string name = base + kRunFolderPrefix + "XXXXXX";
    if (!mkdtemp(name.data())) return errno;
    const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        rmdir(name.c_str());
        return err;
    }
    // Locked before it takes its name: another run that looks in meanwhile
    // finds either no lock (a folder being made) or a held one.
    int err = 0;
    const int lock = openat(fd, kNewRunLock, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0 ||
        renameat(fd, kNewRunLock, fd, kRunLock) != 0)
        err = errno;
    if (err != 0) {
        if (lock >= 0) close(lock);
        empty_folder_at(fd);
        close(fd);
        rmdir(name.c_str());
        return err;
    }
    close(fd);
    *folder = name + "/";
    *lock_fd = lock;
    return 0;
}

std::vector<std::string> temp_base_folders()
{
    std::vector<std::string> bases;
    const char* tmpdir = getenv("TMPDIR");
    struct stat st;
    if (tmpdir && tmpdir[0] == '/' && stat(tmpdir, &st) == 0 && S_ISDIR(st.st_mode) &&
        access(tmpdir, W_OK | X_OK) == 0) {
        std::string base = tmpdir;
        if (base.back() != '/') base += '/';
        if (base != "/tmp/") bases.push_back(base);
    }
    bases.push_back("/tmp/");
    return bases;
}

void open_run_temp_folder(const std::vector<std::string>& bases)
{
    int err = ENOENT;
    std::string tried;
    for (const std::string& base : bases) {
        tried = base + kRunFolderPrefix + "XXXXXX";
        err = make_run_temp_folder(base, &run_folder.path, &run_folder.lock_fd);
        if (err == 0) return;
        xer << "Could not make a temporary folder in " << base << ": " << error_str(err) << "\n";
    }
    __MACIBM_alert(wind_main, "I could not make a temporary folder for my downloads.",
                   "Folder: " + tried, "Error: " + error_str(err),
                   "Free some space there or set TMPDIR to a folder of your own, then start me again.",
                   t_exit, kThisFile, __LINE__);
}

const std::string& run_temp_folder()
{
    if (run_folder.path.empty()) open_run_temp_folder(temp_base_folders());
    return run_folder.path;
}

void remove_run_temp_folder()
{
    if (run_folder.path.empty()) return;
    std::string folder = run_folder.path;
    folder.pop_back();
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int err = fd < 0 ? errno : empty_run_folder(fd);
    if (fd >= 0) close(fd);
    if (rmdir(folder.c_str()) != 0 && err == 0) err = errno;
    if (run_folder.lock_fd >= 0) close(run_folder.lock_fd);
    run_folder.lock_fd = -1;
    if (err != 0)
        xer << "Could not remove the temporary folder " << run_folder.path << ": " << error_str(err)
            << "\n";
    run_folder.path.clear();
}

// ---------------------------------------------------------------------------
// The folder chooser.

int plevel = 0;

namespace {

// Paths the chooser hands out or lists must fit the framework's path buffers.
bool fits(const std::string& path) { return path.size() <= std::size_t(strDIM - 1); }

void too_long(const std::string& path, int line)
{
    __MACIBM_alert(wind_open, "This folder's path is too long to be used here.",
                   "Paths may hold at most " + std::to_string(strDIM - 1) + " characters.",
                   path.substr(0, 120) + "...", "", t_alert, kThisFile, line);
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
