#include "app/utils.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_math.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xmap.h"
#include "OOPS_cpp/xtim.h"

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
std::string crnt_file_name;
std::string crnt_file_path;
std::string server_name[10];
std::string server_path[10];
std::string server_desc[10];

std::vector<file_history_struct> sim_info;
int this_install_has_exes = 0;
std::set<std::string> deleted_files;
next_class next;
std::function<int(const std::string&, int)> select_alert_answer;

static const char kThisFile[] = "utils";

// ---------------------------------------------------------------------------
// Engine utilities.

int str_to_int(const std::string& text)
{
    if (text.empty()) return -1;
    for (char c : text)
        if ((c < '0' || c > '9') && c != '+' && c != '-') return -1;
    size_t i = 0;
    int sign = 1;
    if (text[0] == '+') {
        i = 1;
    } else if (text[0] == '-') {
        i = 1;
        sign = -1;
    }
    const size_t places = text.size() - i;
    if (places < 1 || places > 9) return -1;
    // Nine places of at most 9 each stay far inside an int.
    int value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c == '+' ? 1 : c == '-' ? -1 : c - '0';
        value = value * 10 + digit;
    }
    return sign * value;
}

int want_this_f(int history, int version, int kind)
{
    const file_version_struct& r = sim_info[history].versions[version];
    if (r.kind != kind) return 0;
    if (r.os == 0 || r.os == stg.target_os) return 1;
    if (r.os == 6 && stg.target_os == 3) return 1;
    return 0;
}

void new_format(std::string path)
{
    __MACIBM_alert(0,
                   "OK I am checking the Corvath Research servers and I am finding file formats "
                   "that are newer than I can understand!",
                   "In other words, you need to get a new installer!",
                   std::string("No problem... grab it at the download section of ") +
                       kMakerWebHost + ".",
                   path, t_alert, kThisFile, 141);
    go_to_URL(kInstallerDownloadPage);
    stg.phase = 2;
    app_done = 1;
}

int path_has_no_file(std::string path) { return (!path.empty() && path.back() == '/') ? 1 : 0; }

void trim_dest_folder(std::string& path)
{
    const size_t slash = path.find('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
}

void make_shortcut() {}

void split_last_component(const std::string& path, std::string& folder, std::string& last)
{
    size_t search_end = path.size();
    if (path.size() > 2 && path.back() == '/') --search_end;
    const size_t slash = search_end == 0 ? std::string::npos : path.rfind('/', search_end - 1);
    if (slash == std::string::npos) {
        folder.clear();
        last = path;
        return;
    }
    folder = path.substr(0, slash + 1);
    last = path.substr(slash + 1);
}

std::string local_path_of(const std::string& listed)
{
    std::string t = listed;
    trim_dest_folder(t);
    return dest_dir_path + t;
}

// 1 when `path` lies inside the folder `root` (both resolved).
static int resolved_inside(const std::string& root, const std::string& path)
{
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

static std::string resolved(const std::string& path)
{
    char* r = realpath(path.c_str(), nullptr);
    if (r == nullptr) return "";
    std::string out = r;
    free(r);
    return out;
}

int listed_path_is_safe(const std::string& listed)
{
    std::string t = listed;
    trim_dest_folder(t);
    // Every component must be a name: no empty one (absolute paths and "//"
    // included) and no way up.
    size_t start = 0;
    for (;;) {
        const size_t slash = t.find('/', start);
        const size_t stop = slash == std::string::npos ? t.size() : slash;
        if (stop == start) return 0;
        if (t.compare(start, stop - start, "..") == 0) return 0;
        if (t.find('\0', start) < stop) return 0;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }

    // The folders on the way: a symbolic link among them must stay inside.
    const std::string full = app_path + dest_dir_path + t;
    const size_t base = app_path.size() + dest_dir_path.size();
    std::string root;
    for (size_t slash = full.find('/', base); slash != std::string::npos;
         slash = full.find('/', slash + 1)) {
        const std::string prefix = full.substr(0, slash);
        struct stat st;
        if (lstat(prefix.c_str(), &st) != 0) break;  // nothing exists further down
        if (S_ISLNK(st.st_mode)) {
            if (root.empty()) root = resolved(app_path + dest_dir_path);
            const std::string target = resolved(prefix);
            if (root.empty() || target.empty() || !resolved_inside(root, target)) return 0;
        } else if (!S_ISDIR(st.st_mode)) {
            break;
        }
    }
    return 1;
}

int folder_name_is_safe(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

int server_is_usable(int i)
{
    if (i < 0 || i >= 10) return 0;
    const std::string& host = server_name[i];
    return !host.empty() && host.back() != '/' && !server_path[i].empty() &&
           server_path[i][0] == '/';
}

void pick_server_biased()
{
    const double u = rand() * (1.0 / 2147483648.0);
    const double p = u == 0 ? 0.0 : std::pow(u, 1.5);
    const double x = p * stg.server_count;
    const int k = static_cast<int>(x);
    stg.server_index = k < 0 ? 0 : std::min(k, stg.server_count - 1);
}

// ---------------------------------------------------------------------------
// The file directory.

namespace {

// The directory text's cursor: keywords must be followed by a blank.
struct dir_reader : text_cursor {
    using text_cursor::text_cursor;

    bool keyword(const char* word) { return text_cursor::keyword(word, true); }
    // Digits are taken as they come, whatever the character; the value wraps.
    int number()
    {
        skip_blanks();
        int sign = 1;
        if (p < end && *p == '-') {
            sign = -1;
            ++p;
        }
        if (p < end && *p == '+') {
            sign = 1;
            ++p;
        }
        uint32_t value = 0;
        while (p < end && !is_blank(*p) && !is_line_end(*p)) {
            value = value * 10u + static_cast<uint32_t>(static_cast<unsigned char>(*p) - 48);
            ++p;
        }
        return static_cast<int>(static_cast<uint32_t>(sign) * value);
    }
};

int clamp_int(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

int read_directory(const std::string& path, std::string top_line)
{
    static long f = 0;  // FILE lines handled in this run; paces the progress frames

    deleted_files.clear();
    stg.total_download = 0;
    stg.total_install = 0;
    sim_info.clear();

    xmap_class map(path);
    if (map.begin == nullptr)
        __MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:",
                       path, "", t_exit, kThisFile, 628);

    static const int versions[] = {840, 900, 0};
    if (map.begin == nullptr ||
        map.check_file(xmap_type_text, versions, "INSTALLER", nullptr) == 0) {
        new_format(path);
        return 2;
    }

    dir_reader in{map.cursor, map.end};
    const double file_bytes = static_cast<double>(map.end - map.begin);
    std::string dir_text;
    bool have_previous = false;
    std::string previous_path;
    while (!in.at_end()) {
        in.skip_blanks();
        if (in.keyword("DIR")) {
            dir_text = in.rest_of_line();
        } else if (in.keyword("FILE")) {
            file_version_struct v;
            v.kind = clamp_int(in.number(), 0, 4);
            v.os = clamp_int(in.number(), 0, 6);
            v.field3 = in.number();
            v.down_size = static_cast<float>(in.number());
            v.disk_size = static_cast<float>(in.number());
            v.sig_want = in.word();
            const std::string name = in.rest_of_line();
            v.path = dir_text + name;

            const bool discarded = name.find("900 red terrain") != std::string::npos ||
                                   name.find("Zizev Ezevi Dezuzude") != std::string::npos;
            if (path_has_no_file(v.path))
                __MACIBM_alert(0,
                               "I am reading the directory text file and found a path that has "
                               "no file!",
                               "This is impossible to download or delete!", "It is:", v.path,
                               t_exit, kThisFile, 659);
            if (!discarded) {
                if (!listed_path_is_safe(v.path))
                    __MACIBM_alert(0,
                                   "I am reading the directory text file and found a path that "
                                   "leads outside the installation folder!",
                                   "This is impossible to download or delete!", "It is:", v.path,
                                   t_exit, kThisFile, 660);
                // The checksum's bounded path copy would end the program on it.
                if ((app_path + local_path_of(v.path)).size() >= static_cast<std::size_t>(strDIM) - 1)
                    __MACIBM_alert(0,
                                   "I am reading the directory text file and found a path that is "
                                   "too long!",
                                   "This is impossible to download or delete!", "It is:", v.path,
                                   t_exit, kThisFile, 661);
                // The file layer takes "\\" and ":" for another system's folder
                // marks and would end the program on them. Only the listed part
                // is the server's: a destination with them is the user's choice,
                // which the file layer refuses naming that folder.
                std::string listed = v.path;
                trim_dest_folder(listed);
                if (listed.find_first_of("\\:") != std::string::npos)
                    __MACIBM_alert(0,
                                   "I am reading the directory text file and found a path with "
                                   "a '\\' or ':' in it!",
                                   "This is impossible to download or delete!", "It is:", v.path,
                                   t_exit, kThisFile, 662);
                if (have_previous && previous_path == v.path) {
                    sim_info.back().versions.push_back(std::move(v));
                } else {
                    previous_path = v.path;
                    sim_info.emplace_back();
                    sim_info.back().versions.push_back(std::move(v));
                }
                have_previous = true;
            }
            in.skip_line();
            in.skip_blanks_and_line_ends();
            if (f++ % 500 == 0)
                dir_progress_bar(0, static_cast<float>(in.p - map.begin),
                                 static_cast<float>(file_bytes), 0, top_line, name);
            continue;
        } else {
            in.skip_line();
        }
        in.skip_blanks_and_line_ends();
    }

    const int count = static_cast<int>(sim_info.size());
    const int step = std::max(1, count / 200);
    double total_download = 0;
    double total_install = 0;
    for (int i = 0; i < count; ++i) {
        file_version_struct& v = sim_info[i].versions.back();
        const std::string local = local_path_of(v.path);
        if (i % step == 0)
            dir_progress_bar(0, static_cast<float>(i), static_cast<float>(count), 1, top_line, local);
        v.sig_have = "NONE";
        calc_file_md5(local, v.sig_have);
        v.have = v.sig_have == v.sig_want ? 1 : 0;
        const int vi = static_cast<int>(sim_info[i].versions.size()) - 1;
        if (v.sig_want != "GONE" && v.have == 0 && want_this_f(i, vi, v.kind)) {
            total_download += v.down_size;
            total_install += v.disk_size;
            if (v.os >= 1 && v.os <= 3) this_install_has_exes = 1;
        }
    }
    stg.total_download = static_cast<float>(total_download);
    stg.total_install = static_cast<float>(total_install);
    return 3;
}

// ---------------------------------------------------------------------------
// Decisions about changed files.

static bool contains(const std::vector<std::string>& list, const std::string& s)
{
    for (const std::string& e : list)
        if (e == s) return true;
    return false;
}

int choose_files()
{
    std::vector<std::string> act_all_dirs;
    std::vector<std::string> keep_all_dirs;
    const int count = static_cast<int>(sim_info.size());
    for (int i = 0; i < count; ++i) {
        std::vector<file_version_struct>& versions = sim_info[i].versions;
        file_version_struct& v = versions.back();
        const auto act = [&v](bool gone) {
            v.to_fetch = gone ? 0 : 1;
            v.to_delete = gone ? 1 : 0;
        };
        const auto leave = [&v] { v.to_fetch = v.to_delete = 0; };

        if (!want_this_f(i, static_cast<int>(versions.size()) - 1, v.kind)) {
            leave();
            continue;
        }
        const std::string local = local_path_of(v.path);
        const bool is_gone = v.sig_want == "GONE";
        if (v.sig_have == "NONE") {
            if (is_gone)
                leave();
            else
                act(false);
            continue;
        }
        if (v.sig_have == v.sig_want) {
            leave();
            continue;
        }
        bool earlier_release = false;
        for (const file_version_struct& old : versions)
            if (old.sig_want == v.sig_have) earlier_release = true;
        if (earlier_release) {
            act(is_gone);
            continue;
        }

        std::string folder, last;
        split_last_component(local, folder, last);
        if (contains(act_all_dirs, folder)) {
            act(is_gone);
            continue;
        }
        if (contains(keep_all_dirs, folder)) {
            leave();
            continue;
        }
        xer << "File: " << local << "  sig_want=" << v.sig_want << "  sig_have=" << v.sig_have
            << "\n";
        switch (select_alert(local, is_gone ? 1 : 0)) {
        case 1: act(is_gone); break;
        case 2: leave(); break;
        case 4:
            act(is_gone);
            act_all_dirs.push_back(folder);
            break;
        case 5:
            leave();
            keep_all_dirs.push_back(folder);
            break;
        default: return 0;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Folder creation.

void make_dir_error(std::string path, int code)
{
    __MACIBM_alert(0,
                   "I am unable to install or update Brennix. An error occurred while creating "
                   "new folders. Make sure you are installing to a directory that you have "
                   "access to!",
                   "Error: " + error_str(code), "Install Location: " + dest_dir_path,
                   "Install Path:" + path, t_alert, kThisFile, 177);
}

// Creates one folder; 0 when it stands afterwards, else the failure's code. A
// file in the folder's place is a failure, not a folder that exists.
static int create_folder(const std::string& path)
{
    const int r = make_folder(path);
    if (r == EEXIST && !dir_exists(path)) return ENOTDIR;
    return show_make_dir_err(r) ? r : 0;
}

void make_dirs()
{
    // Without a destination every folder would land in the working folder.
    if (dest_dir_path.empty()) return;

    // The destination with its ancestors, outermost first.
    {
        const std::string d = dest_dir_path.substr(0, dest_dir_path.size() - 1);
        const size_t first = d.find('/');
        std::vector<std::string> prefixes;
        if (first != std::string::npos)
            for (size_t slash = d.find('/', first + 1); slash != std::string::npos;
                 slash = d.find('/', slash + 1))
                prefixes.push_back(d.substr(0, slash));
        if (!d.empty()) prefixes.push_back(d);
        for (const std::string& p : prefixes)
            if (const int r = create_folder(p)) {
                make_dir_error(p, r);
                break;
            }
    }

    // The folders of the wanted files.
    std::set<std::string> folders;
    const int count = static_cast<int>(sim_info.size());
    for (int i = 0; i < count; ++i) {
        const std::vector<file_version_struct>& versions = sim_info[i].versions;
        const file_version_struct& v = versions.back();
        if (v.sig_want == "GONE") continue;
        if (!want_this_f(i, static_cast<int>(versions.size()) - 1, v.kind)) continue;
        std::string t = v.path;
        trim_dest_folder(t);
        for (size_t slash = t.rfind('/'); slash != std::string::npos && slash > 0;
             slash = t.rfind('/', slash - 1))
            folders.insert(t.substr(0, slash));
    }
    for (const std::string& folder : folders) {
        const std::string full = dest_dir_path + folder;
        int r = listed_path_is_safe("/" + folder + "/x") ? create_folder(full) : ELOOP;
        if (r) {
            make_dir_error(full, r);
            break;
        }
    }

    static const char* const fixed[] = {"Output",          "Output/FMS plans", "Output/logbooks",
                                        "Output/movies",   "Output/situations", "Resources",
                                        "Resources/preferences"};
    for (const char* folder : fixed) {
        const std::string full = dest_dir_path + folder;
        if (const int r = create_folder(full)) make_dir_error(full, r);
    }
}

// ---------------------------------------------------------------------------
// The extraction step.

void extract_and_delete_file(std::string zip, std::string dest)
{
    std::string folder, last;
    split_last_component(dest, folder, last);
    const int r = zip_to_file(zip, folder, nullptr, 0);
    if (r != 0) {
        stg.install_error = 1;
        __MACIBM_alert(0, "The installer cannot extract a file.", "Error: " + error_str(r),
                       "Compressed File: " + zip, "Destination: " + dest, t_alert, kThisFile, 390);
    }
    if (stg.log_actions) xer << "EXPANDING file " << dest << ", with result=" << r << ".\n";
    const int r2 = delete_file(zip);
    if (stg.log_actions) xer << "DELETING  file " << zip << ", with result=" << r2 << ".\n";
}

// ---------------------------------------------------------------------------
// The download scheduler.

static std::string stream_archive(int s) { return temp_path + char('0' + s % 10) + ".zip"; }

void next_class::reset_all_streams()
{
    // A transfer left in a slot would otherwise land in the next job's first
    // request on that slot.
    for (int s = 0; s < 4; ++s) {
        delete http.slot[s + 2];
        http.slot[s + 2] = nullptr;
    }
    // Every stream's archive, whether or not the stream holds a file now: a
    // run that was killed left its archives, and this one may not use as
    // many streams.
    for (int s = 0; s < 4; ++s) delete_file(stream_archive(s));

    next_file = 0;
    for (int s = 0; s < 4; ++s) {
        active[s] = needs_file[s] = s < 2 ? 1 : 0;
        file_index[s] = 0;
    }
    start_time = xtim.act_time;
    kb_in_flight = kb_fetched = kb_installed = 0;
}

// Records the folders above a deleted file, up to the destination folder.
static void record_deleted_folders(const std::string& dest)
{
    std::string f, last;
    split_last_component(dest, f, last);
    while (f.size() > dest_dir_path.size()) {
        deleted_files.insert(f);
        f.pop_back();
        std::string folder;
        split_last_component(f, folder, last);
        f = folder;
    }
}

// Starts or stops one stream after stream s finished a file, by the rate.
static void adjust_stream_count(int s)
{
    const double elapsed = double(xtim.act_time) - double(next.start_time);
    const double rate = (next.kb_fetched + next.kb_in_flight) / (elapsed > 1 ? elapsed : 1.0);
    int wanted = rate <= 50 ? 2 : rate <= 100 ? 4 : rate <= 150 ? 6 : rate <= 200 ? 8 : 9;
    if (stg.stream_count != 0) wanted = clamp_int(stg.stream_count, 1, 4);

    int n = 0;
    for (int t = 0; t < 4; ++t) n += next.active[t];
    if (n < wanted)
        for (int t = 0; t < 4; ++t)
            if (!next.active[t]) {
                next.active[t] = next.needs_file[t] = 1;
                break;
            }
    if (n > wanted) {
        next.active[s] = 0;
        next.needs_file[s] = 0;
    } else {
        next.needs_file[s] = 1;
    }
}

// Each unpacked file is written to a temporary beside its target first; a run
// killed meanwhile left it there. Unpacking writes only into the folders of
// listed files, so those are searched, each once, and no other folder.
static void remove_unzip_leftovers_of_listing()
{
    if (dest_dir_path.empty()) return;
    std::set<std::string> folders = {""};
    for (const file_history_struct& h : sim_info) {
        std::string t = h.versions.back().path;
        trim_dest_folder(t);
        // A folder already taken brought its ancestors with it.
        for (size_t slash = t.rfind('/'); slash != std::string::npos && slash > 0;
             slash = t.rfind('/', slash - 1))
            if (!folders.insert(t.substr(0, slash + 1)).second) break;
    }
    for (const std::string& f : folders)
        if (f.empty() || listed_path_is_safe("/" + f + "x")) remove_unzip_leftovers(dest_dir_path + f);
}

static void end_of_job()
{
    next.job_done = 1;
    // Before the emptied folders go: a left-over would keep one standing.
    remove_unzip_leftovers_of_listing();
    for (auto g = deleted_files.rbegin(); g != deleted_files.rend(); ++g) {
        std::vector<std::string> names;
        std::vector<int> kinds;
        if (opensave_getitems(*g, 0, names, kinds) != 0) continue;
        const int r = delete_file(*g);
        if (stg.log_actions) xer << "cleanup: DELETING  file " << *g << ", with result=" << r << ".\n";
    }
    if (this_install_has_exes && stg.rename_folder) {
        if (!folder_name_is_safe(install_name)) {
            xer << "Not renaming " << dest_dir_path << " to the version name \"" << install_name
                << "\", which is no plain folder name.\n";
            return;
        }
        std::string parent, last;
        split_last_component(dest_dir_path, parent, last);
        if (rename_file(parent, last, install_name) == 0)
            dest_dir_path = parent + install_name + "/";
    }
}

int grab_files()
{
    next.kb_in_flight = 0;
    const int count = static_cast<int>(sim_info.size());
    for (int s = 0; s < 4; ++s) {
        if (!next.active[s]) continue;
        if (next.needs_file[s]) {
            next.file_index[s] = next.next_file;
            next.next_file = clamp_int(next.next_file + 1, 0, count);
        }
        const int i = next.file_index[s];
        if (i < 0 || i >= count) continue;

        file_version_struct& v = sim_info[i].versions.back();
        const std::string& p = v.path;
        const int server = clamp_int(stg.server_index, 0, 9);
        const std::string request = server_path[server] + p + ".zip";
        const std::string dest = local_path_of(p);
        const std::string archive = stream_archive(s);
        next.needs_file[s] = 0;
        crnt_file_path = request;
        crnt_file_name = request.substr(request.rfind('/') + 1);

        if (path_has_no_file(p))
            __MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                           "This is impossible to download or delete!", "It is:", p, t_exit,
                           kThisFile, 461);
        if ((v.to_delete || v.to_fetch) && !listed_path_is_safe(p))
            __MACIBM_alert(0,
                           "I am working through the list and found a path that leads outside "
                           "the installation folder!",
                           "This is impossible to download or delete!", "It is:", p, t_exit,
                           kThisFile, 462);

        bool done = true;
        if (v.to_delete) {
            stg.file_action = 0;
            const int r = delete_file(dest);
            if (stg.log_actions)
                xer << "now we want to nuke a file: DELETING  file " << dest
                    << ", with result=" << r << ".\n";
            record_deleted_folders(dest);
        } else if (v.to_fetch) {
            stg.file_action = 1;
            // With no server to draw from the stream waits.
            // A server that the list names in a form no request can take
            // counts as a failed transfer.
            const int r = stg.server_count > 0 && stg.server_index >= 0 &&
                                  stg.server_index < std::min(stg.server_count, 10)
                              ? (server_is_usable(server)
                                     ? http.net_check(s + 2, server_name[server], request, archive)
                                     : 2)
                              : 0;
            if (r == 0) {
                double fraction = 0;
                int percent = 0;
                if (const down_class* req = http.slot[s + 2]) {
                    fraction = req->content_length < 0
                                   ? -0.01
                                   : req->content_length == 0
                                         ? 0.0
                                         : double(req->received) / double(req->content_length);
                    percent = whole_percent(req->received, req->content_length);
                }
                stg.file_fraction = static_cast<float>(fraction);
                stg.file_percent = percent;
                next.kb_in_flight += fraction * v.down_size;
                done = false;
            } else if (r == 1) {
                stg.file_fraction = 1;
                stg.file_percent = 100;
                stg.net_failed = 0;
                extract_and_delete_file(archive, dest);
                v.have = 1;
                next.kb_fetched += v.down_size;
                next.kb_installed += v.disk_size;
            } else {
                // The same stream retries its own file on a new server; the
                // files already done are not fetched again.
                stg.net_failed = 1;
                if (stg.server_count > 0) pick_server_biased();
                done = false;
            }
        } else {
            stg.file_action = v.have ? 2 : 3;
        }
        if (done) adjust_stream_count(s);
    }

    for (int s = 0; s < 4; ++s)
        if (next.active[s] && next.file_index[s] < count) return stg.install_error;
    end_of_job();
    return 1;
}
