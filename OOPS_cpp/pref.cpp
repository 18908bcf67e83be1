#include "OOPS_cpp/pref.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xmap.h"
#include "UTL/UTL_cmdline.h"
#include "app/utils.h"

pref_class pref;

namespace {

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Flushes a written file to the disk, so that renaming it over the old one
// cannot leave an empty file behind after a crash.
bool sync_file(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void sync_folder_of(const std::string& path)
{
    const int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A preference file that is a symbolic link is written where the link leads,
// so that the link stays.
std::string link_target(const std::string& path)
{
    struct stat st;
    const std::string full = app_path + path;
    if (lstat(full.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = realpath(full.c_str(), nullptr);
    if (!resolved) return path;
    std::string target = resolved;
    free(resolved);
    if (target.compare(0, app_path.size(), app_path) != 0) return path;
    return target.substr(app_path.size());
}

// Removes the temporaries that writers of `full` killed while saving left
// beside it: exactly its name, ".", the writer's process id and ".tmp", as a
// regular file. One whose process still runs is a save under way and stays.
void remove_stale_temporaries(const std::string& full)
{
    const std::string folder = folder_of(full);
    const std::string prefix = full.substr(full.rfind('/') + 1) + ".";
    const std::string suffix = ".tmp";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(suffix))
            continue;
        const std::string digits =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
        // A number past any process id names no running writer.
        const long long pid = digits.size() <= 9 ? std::stoll(digits) : -1;
        if (pid == getpid()) continue;
        if (pid > 0 && (kill(pid_t(pid), 0) == 0 || errno == EPERM)) continue;
        const std::string stale = folder + name;
        struct stat st;
        if (lstat(stale.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        unlink(stale.c_str());
    }
    closedir(dir);
}

// Decimal as the preference file stores it: leading white space, a sign and
// digits up to the first other character; no digits give 0. Out-of-range
// numbers saturate.
int to_int(const std::string& text)
{
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

scan_class::scan_class(const std::string& path, int io_mode) : mode(io_mode)
{
    if (mode == 1) {
        path_ = link_target(path);
        temp_path_ = path_ + "." + std::to_string(getpid()) + ".tmp";
        remove_stale_temporaries(app_path + path_);
        // A failure names the preference file itself, below, not the temporary.
        opened_ = ouf_try_open(temp_path_, 10001, 9001, "no-copyright-string");
        return;
    }

    if (path.empty()) return;  // no file: only the command line is read
    xmap_class map(path);
    static const int versions[] = {9001, 0};
    if (!map.check_file(10001, versions, nullptr, nullptr)) return;

    // A value ends at a CR, LF or NUL, and any run of them (with blanks) sits
    // between two keys: files whose lines end in LF, CR LF or CR alone read alike.
    const char* p = map.cursor;
    const char* const end = map.end;
    while (p < end) {
        while (p < end && is_blank(*p)) ++p;
        const char* const key = p;
        while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
        const char* const key_end = p;
        while (p < end && is_blank(*p)) ++p;
        const char* const value = p;
        while (p < end && !is_line_end(*p)) ++p;
        const char* const value_end = p;
        while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
        values[std::string(key, key_end)] = std::string(value, value_end);
    }
}

scan_class::~scan_class()
{
    if (mode != 1) return;
    const std::string full = app_path + path_;
    const std::string temp = app_path + temp_path_;
    bool ok = opened_ && ouf.is_open();
    ouf.flush();
    ok = ok && ouf.good();
    ouf.close();
    ok = ok && !ouf.fail();
    // The new file keeps the old one's permissions.
    struct stat old;
    if (ok && stat(full.c_str(), &old) == 0) chmod(temp.c_str(), old.st_mode & 07777);
    ok = ok && sync_file(temp) && rename(temp.c_str(), full.c_str()) == 0;
    if (ok) {
        sync_folder_of(full);
        return;
    }
    unlink(temp.c_str());
    ouf_save_alert(full, "OOPS_cpp/pref", __LINE__);
}

int scan_class::fetch_or_get(const std::string& value, std::string& out, const std::string& key)
{
    if (mode == 1) {
        // A line break would end the value early and start another key.
        if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            xer << "Preference " << key << " not saved: its value holds a line break.\n";
            return 0;
        }
        ouf << key << " " << value << "\n";
        return 0;
    }
    const std::string option = "--pref:" + key;
    if (cmdline.has_option(option.c_str())) {
        out = cmdline.get_option(option.c_str());
        return 1;
    }
    const auto it = values.find(key);
    if (it == values.end()) return 0;
    out = it->second;
    return 1;
}

int scan_class::int_io(int* p, const std::string& key)
{
    if (mode == 1) {
        std::string unused;
        fetch_or_get(std::to_string(*p), unused, key);
        return 0;
    }
    std::string text;
    if (!fetch_or_get("", text, key)) return 0;
    *p = to_int(text);
    return 1;
}

void pref_class::IO_set(int which, int io)
{
    // The resolution file's requested sizes survive from call to call.
    static int x_res_req_pln = 0, y_res_req_pln = 0;
    static int x_res_req_wrl = 0, y_res_req_wrl = 0;
    static int x_res_req_all = 0, y_res_req_all = 0;

    std::string path;
    if (which == 10) {
        path = kResPrefPath;
    } else {
        get_OS_abs_path(os_dir_prefs, path);
        if (path.empty()) {
            // Without a home folder the file would land in whatever folder the
            // program was started from; the command line's settings still hold.
            xer << "No home folder (HOME is not set): the preference file is not "
                << (io ? "saved" : "read") << ".\n";
            if (io) return;
        } else {
            path += kPrefFileName;
        }
    }

    scan_class s(path, io);
    if (which == 10) {
        if (io) {
            x_res_req_all = mnw.req_w;
            y_res_req_all = mnw.req_h;
            mnw.prefs_found = 1;
        }
        s.int_io(&x_res_req_pln, "_x_res_req_PLN");
        s.int_io(&y_res_req_pln, "_y_res_req_PLN");
        s.int_io(&x_res_req_wrl, "_x_res_req_WRL");
        s.int_io(&y_res_req_wrl, "_y_res_req_WRL");
        s.int_io(&x_res_req_all, "_x_res_req_ALL");
        s.int_io(&y_res_req_all, "_y_res_req_ALL");
        if (!io) {
            mnw.req_w = x_res_req_all;
            mnw.req_h = y_res_req_all;
        }
        s.int_io(&mnw.col_res_req, "_col_res_req");
        s.int_io(&mnw.set_res, "_set_res");
        s.int_io(&mnw.lang, "_lang");
        s.int_io(&mnw.alias_req, "_alias_req");
        s.int_io(&mnw.keylist_up, "_keylist_up");
        s.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse");
        s.int_io(&mnw.prefs_found, "_prefs_found");
        if (mnw.req_w < 600 || mnw.req_w > 9999) mnw.req_w = 1024;
        if (mnw.req_h < 600 || mnw.req_h > 9999) mnw.req_h = 768;
        return;
    }

    s.int_io(&stg.use_max_cpu, "_use_max_cpu");
    s.int_io(&stg.rename_folder, "_rename_folder");
    s.int_io(&stg.stream_count, "_stream_count");
    s.int_io(&stg.log_actions, "_log_actions");
    s.int_io(&stg.always_ask_dir, "_always_ask_dir");
    // Empty texts are not written; reading always looks for them.
    if (!io || !dest_dir_path.empty()) s.fetch_or_get(dest_dir_path, dest_dir_path, "_dest_dir_path");
    if (!io || !http.proxy_host.empty()) s.fetch_or_get(http.proxy_host, http.proxy_host, "_proxy_host");
    if (!io || !http.proxy_port.empty()) s.fetch_or_get(http.proxy_port, http.proxy_port, "_proxy_port");
    s.int_io(&http.proxy_port_int, "_proxy_port_int");
}
