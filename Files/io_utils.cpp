#include "Files/io_utils.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <md5.h>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/xmap.h"
#include "UTL/case-desens.h"

const char* sErrFile = "";
int sErrLine = -1;

namespace {
struct err_msg {
    int code;
    const char* text;
};

const err_msg kErrMsgs[] = {
    {20001, "We were unable to open a zip file. It may be missing or damaged"},
    {20002, "We were unable to read from a zip file. It may be missing or damaged"},
    {20003, "We were unable to create a zip file"},
    {20004, "We were unable to write to a zip file. It may be missing or damaged"},
    {20005, "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source file is probably damaged"},
    {20006, "We could not open a file to read from it"},
    {20007, "We were unable to connct to the network due to an internal reconnect error"},
    {20008, "We wre unable to connect to the network due to a bad state error"},
    {20009, "We could not allocate a connection to the network"},
    {20010, "We could not write the incoming file from the web to disk"},
    {20011, "We could not find the server over the network"},
    {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    {0, nullptr},
};
}  // namespace

std::string error_str(int code)
{
    for (const err_msg* row = kErrMsgs; row->text; ++row)
        if (row->code == code) return row->text;
    char buf[256];
    snprintf(buf, sizeof buf, "Unknown error occurred (%d)", code);
    return buf;
}

int show_make_dir_err(int code) { return (code != 0 && code != EEXIST) ? 1 : 0; }

int show_del_err(int) { return 0; }

// ---------------------------------------------------------------------------
// File and folder operations.

namespace {

constexpr const char kThisFile[] = "Files/io_utils";

int record_failure(int line)
{
    const int err = errno;
    sErrFile = kThisFile;
    sErrLine = line;
    return err;
}

void drop_one_trailing_slash(std::string& path)
{
    if (!path.empty() && path.back() == '/') path.pop_back();
}

// stat of `path`, with its letter case repaired first when that is on.
int stat_repaired(const std::string& path, struct stat& st)
{
    if (!g_case_sensitive) return stat(path.c_str(), &st);
    char buf[strDIM];
    strcpy_bounded(buf, path);
    findPath(buf);
    return stat(buf, &st);
}

unsigned char lower_ascii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

bool starts_with_ignoring_case(const std::string& s, const char* prefix, std::size_t n)
{
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lower_ascii(static_cast<unsigned char>(s[i])) !=
            lower_ascii(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Ascending order ignoring letter case; a proper prefix comes first.
bool before_ignoring_case(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = lower_ascii(static_cast<unsigned char>(a[i]));
        const unsigned char y = lower_ascii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

// The listing's order: for each position i and each earlier j, swap i and j
// when name i comes first. Names equal ignoring case are left in the order
// that pass gives them, which is not a stable one, so it runs literally when
// such names exist; otherwise any sort gives the same ascending result.
void sort_listing(std::vector<std::string>& names, std::vector<int>& kinds)
{
    const std::size_t n = names.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return before_ignoring_case(names[a], names[b]);
    });
    bool ties = false;
    for (std::size_t i = 1; i < n && !ties; ++i)
        ties = !before_ignoring_case(names[order[i - 1]], names[order[i]]);
    if (ties) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (before_ignoring_case(names[i], names[j])) {
                    std::swap(names[i], names[j]);
                    std::swap(kinds[i], kinds[j]);
                }
        return;
    }
    std::vector<std::string> sorted_names;
    std::vector<int> sorted_kinds;
    sorted_names.reserve(n);
    sorted_kinds.reserve(n);
    for (std::size_t i : order) {
        sorted_names.push_back(std::move(names[i]));
        sorted_kinds.push_back(kinds[i]);
    }
    names = std::move(sorted_names);
    kinds = std::move(sorted_kinds);
}

}  // namespace

void strcpy_bounded(char* dst, const std::string& src)
{
    const std::size_t len = std::strlen(src.c_str());
    if (len > static_cast<std::size_t>(strDIM - 1)) {
        __MACIBM_alert(0, "String too long!", src.c_str(), "", "", t_exit, "GenH/hl_string", 136);
        return;
    }
    std::memcpy(dst, src.c_str(), len + 1);
}

int file_exists(std::string path)
{
    struct stat st;
    if (stat_repaired(app_path + path, st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 0 : 1;
}

int dir_exists(std::string path)
{
    std::string full = app_path + path;
    drop_one_trailing_slash(full);
    struct stat st;
    if (stat_repaired(full, st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 1 : 0;
}

int make_folder(const std::string& path)
{
    std::string p = path;
    drop_one_trailing_slash(p);
    if (mkdir(p.c_str(), 0755) != 0) return record_failure(761);
    return 0;
}

int delete_file(std::string path)
{
    std::string full = app_path + path;
    if (full.empty()) return ENOENT;
    if (full.back() == '/') {
        full.pop_back();
        if (rmdir(full.c_str()) != 0) return record_failure(683);
        return 0;
    }
    if (unlink(full.c_str()) != 0) return record_failure(688);
    return 0;
}

int rename_file(const std::string& dir, const std::string& old_name, const std::string& new_name)
{
    if (rename((dir + old_name).c_str(), (dir + new_name).c_str()) != 0) return record_failure(740);
    return 0;
}

int launch_app(const std::string& app, const std::string& arg)
{
    std::string program = app;
    drop_one_trailing_slash(program);
    program = app_path + program;
    xer << "Launching: " << program << " with " << arg << "\n";
    xer.flush();

    const pid_t pid = fork();
    if (pid < 0) return errno;
    if (pid == 0) {
        std::string path_flag = "-path";
        std::string arg_copy = arg;
        char* argv[4] = {program.data(), nullptr, nullptr, nullptr};
        if (!arg.empty()) {
            argv[1] = path_flag.data();
            argv[2] = arg_copy.data();
        }
        execv(program.c_str(), argv);
        _exit(errno);
    }
    MACIBM_finishup(1);
    exit(1);
}

int opensave_takeit(const std::string& dir, const std::string& name, int filter, int& kind)
{
    static const struct {
        const char* ext;
        int kind;
    } kKinds[] = {{".BMP", 2},  {".PNG", 2},  {".ACF", 3},  {".AFL", 4},  {".WPN", 5},
                  {".WAV", 6},  {".OBJ", 7},  {".FDR", 8},  {".SIT", 9},  {".SMO", 10},
                  {".FMS", 11}, {".TRA", 13}, {".CAR", 14}, {".SPA", 15}, {".REG", 16},
                  {".DSF", 17}, {".HGT", 18}, {".TXT", 19}};
    if (name.size() >= 4) {
        const std::string ext = name.substr(name.size() - 4);
        for (const auto& row : kKinds)
            if (starts_with_ignoring_case(ext, row.ext, 4)) {
                kind = row.kind;
                break;
            }
    }

    if (filter == 12) {
        const std::string joined = dir + name;
        // A joined path that would not fit the framework's path buffer is refused.
        if (joined.size() > static_cast<std::size_t>(strDIM - 1)) return 0;
        static const char kPanels[] = "Resources/bitmaps/cockpit/-panels-/";
        if (starts_with_ignoring_case(joined, kPanels, sizeof kPanels - 1 - 3)) return 0;
        if (joined.size() >= 6) {
            const std::string tail = joined.substr(joined.size() - 6);
            for (const char* numbered : {"-1.", "-2.", "-3.", "-4."})
                if (starts_with_ignoring_case(tail, numbered, 3)) return 0;
        }
    }

    if (name.empty() || name[0] == '.') return 0;
    if (kind == 1 || kind == filter || filter == 0) return 1;
    if (filter == 12 && kind == 2) return 1;
    return 0;
}

int opensave_getitems(const std::string& dir, int filter, std::vector<std::string>& names,
                      std::vector<int>& kinds)
{
    names.clear();
    kinds.clear();
    if (filter == 21) {
        cmnd.get_cmds_in_path(dir, names);
        kinds.assign(names.size(), 21);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!names[i].empty() && names[i].back() == '/') {
                names[i].pop_back();
                kinds[i] = 1;
            }
        return static_cast<int>(names.size());
    }
    if (filter == 20) return 0;

    const std::string full = app_path + dir;
    if (full.size() > 1 && full.back() != '/')
        __MACIBM_alert(0, "Working path does not appear to be a directory!",
                       "This is not consistent with my labelling practices!",
                       "I need to end all paths with the directory indicator!", full, t_exit,
                       kThisFile, 907);

    DIR* d = opendir(full.c_str());
    if (d == nullptr) return 0;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        struct stat st;
        if (stat((dir + name).c_str(), &st) != 0) continue;
        int kind = S_ISDIR(st.st_mode) ? 1 : 0;
        if (!opensave_takeit(dir, name, filter, kind)) continue;
        names.push_back(name);
        kinds.push_back(kind);
    }
    closedir(d);

    sort_listing(names, kinds);
    return static_cast<int>(names.size());
}

int make_file_large_address_aware(std::string path)
{
    FILE* f = fopen(path.c_str(), "r+b");
    if (f == nullptr) return errno;
    int result = 0;
    unsigned char dos[64];
    unsigned char pe[24];
    if (fread(dos, 1, sizeof dos, f) != sizeof dos) {
        result = EIO;
    } else if (dos[0] != 'M' || dos[1] != 'Z') {
        result = 20013;
    } else {
        const long offset = static_cast<long>(static_cast<std::uint32_t>(dos[60]) |
                                              static_cast<std::uint32_t>(dos[61]) << 8 |
                                              static_cast<std::uint32_t>(dos[62]) << 16 |
                                              static_cast<std::uint32_t>(dos[63]) << 24);
        if (fseek(f, offset, SEEK_SET) != 0) {
            result = errno;
        } else if (fread(pe, 1, sizeof pe, f) != sizeof pe) {
            result = EIO;
        } else if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
            result = 20014;
        } else {
            pe[22] |= 0x20;
            if (fseek(f, offset, SEEK_SET) != 0)
                result = errno;
            else if (fwrite(pe, 1, sizeof pe, f) != sizeof pe)
                result = EIO;
        }
    }
    if (fclose(f) != 0 && result == 0) result = errno;
    return result;
}

// ---------------------------------------------------------------------------
// File checksums.

void MD5UpdateWide(MD5Context* context, const unsigned char* data, unsigned int length)
{
    while (length > 0) {
        const unsigned int piece = length < 65535u ? length : 65535u;
        MD5Update(context, data, piece);
        data += piece;
        length -= piece;
    }
}

int calc_file_md5(const std::string& path, std::string& out)
{
    xmap_class map(path);
    if (map.begin == nullptr) return 20006;

    MD5_CTX context;
    MD5Init(&context);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(map.begin);
    std::size_t left = static_cast<std::size_t>(map.end - map.begin);
    constexpr std::size_t kStep = 0x40000000;  // files over 4 GiB go in whole-piece steps
    while (left > 0) {
        const std::size_t n = left < kStep ? left : kStep;
        MD5UpdateWide(&context, p, static_cast<unsigned int>(n));
        p += n;
        left -= n;
    }
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &context);

    static const char kHex[] = "0123456789abcdef";
    char text[2 * MD5_DIGEST_LENGTH];
    for (int i = 0; i < MD5_DIGEST_LENGTH; ++i) {
        text[2 * i] = kHex[digest[i] >> 4];
        text[2 * i + 1] = kHex[digest[i] & 15];
    }
    out.assign(text, sizeof text);
    return 0;
}
