#include "Files/io_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

int folder_names_at(int folder_fd, std::vector<std::string>* names)
{
    // A copy of the descriptor is read, so that the caller's stays open.
    const int listing = dup(folder_fd);
    DIR* d = listing < 0 ? nullptr : fdopendir(listing);
    if (d == nullptr) {
        const int err = errno;
        if (listing >= 0) close(listing);
        return err;
    }
    while (const dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names->push_back(e->d_name);
    closedir(d);
    return 0;
}

int empty_folder_at(int folder_fd, const char* keep)
{
    // The names are read first: a folder changed while it is read may list
    // an entry twice or not at all.
    std::vector<std::string> names;
    if (const int err = folder_names_at(folder_fd, &names); err != 0) return err;
    int first = 0;
    for (const std::string& name : names) {
        if (keep != nullptr && name == keep) continue;
        struct stat st;
        int err = 0;
        if (fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            err = errno;
        else if (S_ISDIR(st.st_mode))
            err = remove_folder_at(folder_fd, name.c_str());
        else if (unlinkat(folder_fd, name.c_str(), 0) != 0)
            err = errno;
        if (err != 0 && err != ENOENT && first == 0) first = err;
    }
    return first;
}

int remove_folder_at(int parent_fd, const char* name)
{
    const int fd = openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = empty_folder_at(fd);
    close(fd);
    if (unlinkat(parent_fd, name, AT_REMOVEDIR) != 0 && err == 0) err = errno;
    return err;
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
        if (stat((full + name).c_str(), &st) != 0) continue;
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

namespace {

// Reads exactly `length` bytes from the descriptor's position; false when the
// file ends first or a read fails.
bool read_fully(int fd, unsigned char* to, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = read(fd, to, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Read, not mapped: under virtualisation the first touch of each page of a
// fresh mapping can cost more than hashing it (a file written in small pieces
// summed at half speed, mapped), and a file cut short while mapped raises
// SIGBUS. Reading costs one copy out of the page cache, 5-8 % of the hashing.
constexpr std::size_t kMd5Chunk = 1 << 20;
constexpr std::size_t kMd5Slots = 4;
// From this size on the copy is made on a helper thread while the chunk
// before is hashed; below it the thread would cost more than it hides.
constexpr std::uint64_t kMd5OverlapFrom = std::uint64_t{4} << 20;

std::size_t md5_piece(std::uint64_t size, std::uint64_t at)
{
    return size - at < kMd5Chunk ? static_cast<std::size_t>(size - at) : kMd5Chunk;
}

// Both sum the first `size` bytes of `fd` into `context`; false when the file
// ends first or a read fails.
bool md5_by_reading(int fd, std::uint64_t size, MD5_CTX* context, unsigned char* buffer)
{
    for (std::uint64_t at = 0; at < size; at += kMd5Chunk) {
        const std::size_t n = md5_piece(size, at);
        if (!read_fully(fd, buffer, n)) return false;
        MD5UpdateWide(context, buffer, static_cast<unsigned int>(n));
    }
    return true;
}

bool md5_by_overlapped_reading(int fd, std::uint64_t size, MD5_CTX* context, unsigned char* ring)
{
    const std::uint64_t chunks = (size + kMd5Chunk - 1) / kMd5Chunk;
    std::mutex lock;
    std::condition_variable changed;  // only ever one of the two threads waits
    std::uint64_t filled = 0, hashed = 0;
    bool failed = false, stop = false;

    auto reader = [&] {
        for (std::uint64_t i = 0; i < chunks; ++i) {
            {
                std::unique_lock<std::mutex> held(lock);
                changed.wait(held, [&] { return stop || i - hashed < kMd5Slots; });
                if (stop) return;
            }
            const bool ok = read_fully(fd, ring + (i % kMd5Slots) * kMd5Chunk, md5_piece(size, i * kMd5Chunk));
            {
                std::lock_guard<std::mutex> held(lock);
                if (ok)
                    filled = i + 1;
                else
                    failed = true;
            }
            changed.notify_one();
            if (!ok) return;
        }
    };
    std::thread helper;
    try {
        helper = std::thread(reader);
    } catch (const std::system_error&) {
        return md5_by_reading(fd, size, context, ring);  // nothing read yet
    }

    bool whole = true;
    for (std::uint64_t i = 0; i < chunks; ++i) {
        {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return filled > i || failed; });
            if (filled <= i) {
                whole = false;
                break;
            }
        }
        MD5UpdateWide(context, ring + (i % kMd5Slots) * kMd5Chunk,
                      static_cast<unsigned int>(md5_piece(size, i * kMd5Chunk)));
        {
            std::lock_guard<std::mutex> held(lock);
            hashed = i + 1;
        }
        changed.notify_one();
    }
    {
        std::lock_guard<std::mutex> held(lock);
        stop = true;
    }
    changed.notify_one();
    helper.join();
    return whole;
}

}  // namespace

int calc_file_md5(const std::string& path, std::string& out)
{
    // Buffers per thread, kept between calls: one chunk for small files, the
    // ring of chunks the first time a large one is summed.
    thread_local std::unique_ptr<unsigned char[]> buffer;
    thread_local std::unique_ptr<unsigned char[]> ring;

    const int fd = xmap_open(path);
    if (fd < 0) return 20006;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 20006;
    }
    // The file's length when opened is what is summed; a file cut short
    // meanwhile cannot be read whole.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMd5Chunk) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    MD5_CTX context;
    MD5Init(&context);
    bool whole;
    if (size >= kMd5OverlapFrom) {
        if (!ring) ring.reset(new unsigned char[kMd5Slots * kMd5Chunk]);
        whole = md5_by_overlapped_reading(fd, size, &context, ring.get());
    } else {
        if (!buffer) buffer.reset(new unsigned char[kMd5Chunk]);
        whole = md5_by_reading(fd, size, &context, buffer.get());
    }
    close(fd);
    if (!whole) return 20006;
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

// ---------------------------------------------------------------------------
// Zip extraction and packing.
//
// Entries come from the network. Every entry is placed below the real path
// of the target folder: names that are absolute, climb with "..", or reach
// the disk through a link leading outside are refused, and so are links
// whose target leaves the folder. Files are streamed into a temporary file
// beside their target and renamed over it only when whole and checked.

namespace {

constexpr int kZipNameBytes = 256;        // names of up to 255 bytes
constexpr std::size_t kLinkMax = 4095;    // longest link target taken
constexpr std::size_t kCopyBytes = 256 * 1024;

void record_line(int line)
{
    sErrFile = kThisFile;
    sErrLine = line;
}

bool has_prefix(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Splits a relative path at "/" (empty components of doubled slashes dropped).
std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) out.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

// Why an entry name may not be used, or null when it may.
const char* unsafe_name(const std::string& name)
{
    if (name.empty()) return "empty name";
    if (name.find('\0') != std::string::npos) return "NUL in name";
    if (name[0] == '/') return "absolute name";
    for (const std::string& c : components(name))
        if (c == "..") return "name climbs out with ..";
    return nullptr;
}

int write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Where the entries of one archive go: the real target folder, and the real
// folder of the last entry's parent, which the next entries mostly share.
class unzip_target {
public:
    explicit unzip_target(const std::string& dir) : dir_(dir) {}

    // The real folder that holds `rel` (a name without its trailing "/"),
    // and the last component. 0, an errno value, or EINVAL when the folder
    // lies outside the target.
    int place(const std::string& rel, std::string& real_parent, std::string& leaf)
    {
        if (!have_real_dir_) {
            // An empty folder name is the current folder (the framework root
            // while app_path is empty).
            char* r = realpath(dir_.empty() ? "." : dir_.c_str(), nullptr);
            if (r == nullptr) return errno;
            real_dir_ = r;
            free(r);
            if (real_dir_ == "/") real_dir_.clear();  // joins as "" + "/" + rel
            have_real_dir_ = true;
        }
        const std::size_t slash = rel.rfind('/');
        const std::string parent_rel = slash == std::string::npos ? "" : rel.substr(0, slash);
        leaf = slash == std::string::npos ? rel : rel.substr(slash + 1);
        if (!cache_valid_ || parent_rel != cached_rel_) {
            cache_valid_ = false;
            if (const int err = resolve(parent_rel, cached_real_)) {
                if (err == EINVAL)
                    xer << "Zip entry refused, its folder leads outside the target: " << rel << "\n";
                return err;
            }
            cached_rel_ = parent_rel;
            cache_valid_ = true;
        }
        real_parent = cached_real_;
        return 0;
    }

    // A file or link now stands at `rel`: folders resolved through it may
    // resolve differently.
    void replaced(const std::string& rel)
    {
        if (cache_valid_ && (cached_rel_ == rel || has_prefix(cached_rel_, (rel + "/").c_str())))
            cache_valid_ = false;
    }

    // Whether a link in `real_parent` with `target` stays inside. Leading ".."
    // climb the real folders; a ".." after a named component is refused, as
    // that component may itself be a link.
    bool link_stays_inside(const std::string& real_parent, const char* target) const
    {
        if (target[0] == '/') return false;
        std::size_t depth = components(real_parent.substr(real_dir_.size())).size();
        bool named = false;
        for (const std::string& c : components(target)) {
            if (c == ".") continue;
            if (c != "..") {
                named = true;
                continue;
            }
            if (named || depth == 0) return false;
            --depth;
        }
        return true;
    }

private:
    // The real path of the folder `rel` below the target: components are
    // followed one by one, and a link among them must resolve inside.
    int resolve(const std::string& rel, std::string& real) const
    {
        real = real_dir_;
        for (const std::string& c : components(rel)) {
            if (c == ".") continue;
            std::string next = real + "/" + c;
            struct stat st;
            if (lstat(next.c_str(), &st) != 0) return errno;
            if (S_ISLNK(st.st_mode)) {
                char* r = realpath(next.c_str(), nullptr);
                if (r == nullptr) return errno;
                next = r;
                free(r);
                if (!inside(next)) return EINVAL;
            } else if (!S_ISDIR(st.st_mode)) {
                return ENOTDIR;
            }
            real = std::move(next);
        }
        return 0;
    }

    bool inside(const std::string& real) const
    {
        return real == real_dir_ || real_dir_.empty() ||
               (real.size() > real_dir_.size() && has_prefix(real, real_dir_.c_str()) &&
                real[real_dir_.size()] == '/');
    }

    std::string dir_;
    bool have_real_dir_ = false;
    std::string real_dir_;
    bool cache_valid_ = false;
    std::string cached_rel_;
    std::string cached_real_;
};

// Temporaries are named "<prefix><pid>-<n>": a later run tells its own kind
// of left-over by the exact shape and the process that made it by the pid.
const char kFileTempPrefix[] = ".brx-unzip-";
const char kLinkTempPrefix[] = ".brx-link-";

// A name for a temporary file or link in `real_parent`, not yet taken.
std::string temp_name(const std::string& real_parent, const char* prefix)
{
    static unsigned counter = 0;
    return real_parent + "/" + prefix + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// The pid in `name` when it has the exact shape of a temporary with `prefix`,
// else -1.
long long temp_owner(const char* name, const char* prefix)
{
    const std::size_t len = strlen(prefix);
    if (strncmp(name, prefix, len) != 0) return -1;
    const char* p = name + len;
    long long pid = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits == 10) return -1;
        pid = pid * 10 + (*p - '0');
    }
    if (digits == 0 || *p != '-') return -1;
    digits = 0;
    for (++p; *p >= '0' && *p <= '9'; ++p) ++digits;
    return digits > 0 && digits <= 10 && *p == '\0' ? pid : -1;
}

std::string command_name(long long pid)
{
    const int fd = open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    char buf[64];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : "";
}

// Whether `pid` may be another copy of this program, unpacking into the same
// folder right now. This process itself is not: its caller unpacks nothing
// meanwhile. Any other live process of the same command name may be; when
// the names cannot be read, any live process may be.
bool may_be_unpacking(long long pid)
{
    if (pid == static_cast<long long>(getpid())) return false;
    if (pid <= 0 || pid > INT32_MAX) return false;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    static const std::string own = command_name(getpid());
    const std::string other = command_name(pid);
    return own.empty() || other.empty() || other == own;
}

time_t entry_time(const tm_unz& date)
{
    const time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    t.tm_sec = static_cast<int>(date.tm_sec);
    t.tm_min = static_cast<int>(date.tm_min);
    t.tm_hour = static_cast<int>(date.tm_hour);
    t.tm_mday = static_cast<int>(date.tm_mday);
    t.tm_mon = static_cast<int>(date.tm_mon);
    t.tm_year = static_cast<int>(date.tm_year) - 1900;
    t.tm_isdst = -1;
    return mktime(&t);
}

char* copy_buffer()
{
    static thread_local std::unique_ptr<char[]> buffer(new char[kCopyBytes]);
    return buffer.get();
}

// Streams the open current entry into `fd` through a fixed buffer. Ends with
// the entry closed and, when it was read whole, its CRC checked.
int stream_entry(unzFile zip, const unz_file_info64& info, int fd)
{
    char* buf = copy_buffer();
    ZPOS64_T total = 0;
    for (;;) {
        const int n = unzReadCurrentFile(zip, buf, static_cast<unsigned>(kCopyBytes));
        if (n < 0) {
            unzCloseCurrentFile(zip);
            record_line(1493);
            return n;
        }
        if (n == 0) break;
        total += static_cast<ZPOS64_T>(n);
        if (const int err = write_all(fd, buf, static_cast<std::size_t>(n))) {
            unzCloseCurrentFile(zip);
            record_line(1508);
            return err;
        }
    }
    if (total < info.uncompressed_size) {
        unzCloseCurrentFile(zip);
        record_line(1493);
        return 20002;
    }
    if (const int err = unzCloseCurrentFile(zip)) {
        record_line(1495);
        return err;
    }
    return 0;
}

int unzip_file(unzFile zip, const unz_file_info64& info, unzip_target& target,
               const std::string& rel, const std::string& out_path)
{
    std::string real_parent, leaf;
    int result = target.place(rel, real_parent, leaf);
    if (result == 0) result = unzOpenCurrentFile(zip);
    if (result != 0) {
        record_line(1488);
    } else {
        std::string temp;
        int fd = -1;
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temp = temp_name(real_parent, kFileTempPrefix);
            fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            result = errno;
            unzCloseCurrentFile(zip);
            record_line(1500);
        } else {
            result = stream_entry(zip, info, fd);
            int time_result = 0;
            if (result == 0 && info.external_fa != 0) {
                // Archives from other systems store attributes without a Unix
                // mode; such files keep the default permissions.
                const mode_t mode = static_cast<mode_t>(info.external_fa >> 16);
                if (mode != 0) fchmod(fd, mode & 0777);
                const time_t stamp = entry_time(info.tmu_date);
                const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
                time_result = futimens(fd, times);
            }
            if (close(fd) != 0 && result == 0) {
                result = errno;
                record_line(1508);
            }
            if (result == 0 && rename(temp.c_str(), (real_parent + "/" + leaf).c_str()) != 0) {
                result = errno;
                record_line(1500);
            }
            if (result != 0)
                unlink(temp.c_str());
            else
                result = time_result;
            target.replaced(rel);
        }
    }
    if (result != 0)
        xer << "Zip to file failed with error " << result << ". file = " << sErrFile
            << " line = " << sErrLine << ". inFile=" << out_path << ".\n";
    return result;
}

int read_link_target(unzFile zip, const unz_file_info64& info, std::string& text)
{
    if (info.uncompressed_size > kLinkMax) {
        record_line(1451);
        return ENAMETOOLONG;
    }
    if (const int err = unzOpenCurrentFile(zip)) {
        record_line(1448);
        return err;
    }
    char buf[kLinkMax + 1];
    const unsigned size = static_cast<unsigned>(info.uncompressed_size);
    const int n = size ? unzReadCurrentFile(zip, buf, size) : 0;
    if (n < 0 || static_cast<unsigned>(n) < size) {
        unzCloseCurrentFile(zip);
        record_line(1453);
        return n < 0 ? n : 20002;
    }
    if (const int err = unzCloseCurrentFile(zip)) {
        record_line(1455);
        return err;
    }
    text.assign(buf, size);
    return 0;
}

int unzip_symlink(unzFile zip, const unz_file_info64& info, unzip_target& target,
                  const std::string& rel, const std::string& out_path)
{
    std::string real_parent, leaf, link_text;
    int result = target.place(rel, real_parent, leaf);
    if (result != 0) record_line(1448);
    if (result == 0) result = read_link_target(zip, info, link_text);
    if (result == 0 && (link_text.find('\0') != std::string::npos ||
                        !target.link_stays_inside(real_parent, link_text.c_str()))) {
        xer << "Zip entry refused, its link leads outside the target: " << rel << " -> "
            << link_text.c_str() << "\n";
        record_line(1463);
        result = EINVAL;
    }
    if (result == 0) {
        const std::string temp = temp_name(real_parent, kLinkTempPrefix);
        if (symlink(link_text.c_str(), temp.c_str()) != 0 ||
            rename(temp.c_str(), (real_parent + "/" + leaf).c_str()) != 0) {
            unlink(temp.c_str());
            record_line(1463);
            result = -1;
        }
        target.replaced(rel);
    }
    if (result != 0)
        xer << "Zip to symlink failed with error " << result << ". file = " << sErrFile
            << " line = " << sErrLine << ". inFile=" << out_path << ".\n";
    return result;
}

int unzip_folder(unzip_target& target, const std::string& rel)
{
    std::string real_parent, leaf;
    if (const int err = target.place(rel, real_parent, leaf)) return err;
    if (leaf.empty() || leaf == ".") return 0;
    const int err = make_folder(real_parent + "/" + leaf);
    return err == EEXIST ? 0 : err;
}

// The zip reader's file functions over the archive's bytes in memory: no
// system call for its many small seeks and reads.
struct archive_view {
    const char* data;
    ZPOS64_T size;
    ZPOS64_T pos;
};

voidpf ZCALLBACK view_open(voidpf opaque, const void* filename, int)
{
    return filename ? opaque : nullptr;
}

uLong ZCALLBACK view_read(voidpf, voidpf stream, void* buf, uLong size)
{
    archive_view* v = static_cast<archive_view*>(stream);
    const ZPOS64_T left = v->pos < v->size ? v->size - v->pos : 0;
    const uLong n = static_cast<uLong>(std::min<ZPOS64_T>(left, size));
    std::memcpy(buf, v->data + v->pos, n);
    v->pos += n;
    return n;
}

uLong ZCALLBACK view_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK view_tell(voidpf, voidpf stream) { return static_cast<archive_view*>(stream)->pos; }

long ZCALLBACK view_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    archive_view* v = static_cast<archive_view*>(stream);
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = v->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = v->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    if (offset > v->size - std::min(base, v->size)) return -1;
    v->pos = base + offset;
    return 0;
}

int ZCALLBACK view_close(voidpf, voidpf) { return 0; }
int ZCALLBACK view_error(voidpf, voidpf) { return 0; }

// Opens the archive at `path` over its bytes, which `bytes` holds.
unzFile open_archive(const std::string& path, file_bytes& bytes, archive_view& view,
                     zlib_filefunc64_def& funcs)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    const int loaded = bytes.load(fd);
    if (loaded == EOVERFLOW || loaded == ENOMEM) {
        // Too long for the address space (a 32-bit build): read from the file.
        bytes.release();
        return unzOpen64(path.c_str());
    }
    if (loaded != 0) return nullptr;
    view = {bytes.begin(), static_cast<ZPOS64_T>(bytes.end() - bytes.begin()), 0};
    funcs = {view_open, view_read, view_write, view_tell, view_seek, view_close, view_error, &view};
    return unzOpen2_64(path.c_str(), &funcs);
}

void log_zip_failure(int code, const std::string& zip, const std::string& dir)
{
    xer << "Zip to file failed with error err = " << code << ". file = " << sErrFile
        << " line = " << sErrLine << ". zip_file=" << zip << ", out_directory=" << dir << ".\n";
}

}  // namespace

int remove_unzip_leftovers(const std::string& dir)
{
    if (dir.empty()) return 0;
    const std::string full = app_path + dir + (dir.back() == '/' ? "" : "/");
    DIR* d = opendir(full.c_str());
    if (d == nullptr) return 0;
    const int fd = dirfd(d);
    int removed = 0;
    while (const dirent* e = readdir(d)) {
        bool link = false;
        long long pid = temp_owner(e->d_name, kFileTempPrefix);
        if (pid < 0) {
            pid = temp_owner(e->d_name, kLinkTempPrefix);
            link = true;
        }
        if (pid < 0) continue;
        // Only what unpacking makes: a file, or a link, never a folder.
        struct stat st;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (link ? !S_ISLNK(st.st_mode) : !S_ISREG(st.st_mode)) continue;
        if (may_be_unpacking(pid)) continue;
        if (unlinkat(fd, e->d_name, 0) == 0) {
            ++removed;
            xer << "Removed what an interrupted unpacking left: " << full << e->d_name << "\n";
        }
    }
    closedir(d);
    return removed;
}

int zip_to_file(std::string zip, std::string dir, std::string* first_name, int use_name)
{
    zip = app_path + zip;
    dir = app_path + dir;
    // With use_name the first entry takes the name first_name holds now.
    const bool rename_first = use_name && first_name;
    const std::string first_target = rename_first ? *first_name : std::string();

    file_bytes bytes;
    archive_view view;
    zlib_filefunc64_def funcs;
    unzFile archive = open_archive(zip, bytes, view, funcs);
    if (archive == nullptr) {
        xer << "OK I am about to report that I could not open a zip file for extraction!\n"
            << "That incoming file is " << zip << "\n"
            << "In c-form, it is " << zip << "\n"
            << "The size is " << zip.size() << "\n";
        record_line(1686);
        log_zip_failure(20001, zip, dir);
        return 20001;
    }

    unzip_target target(dir);
    int result = 0;
    unzGoToFirstFile(archive);
    for (int index = 0;; ++index) {
        unz_file_info64 info;
        char name[kZipNameBytes];
        int err = unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        if (err != UNZ_OK) {
            xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
        } else if (info.size_filename >= static_cast<uLong>(kZipNameBytes)) {
            xer << "Zip entry refused, its name is " << info.size_filename << " bytes long\n";
            record_line(1725);
            result = ENAMETOOLONG;
            xer << "UNZIP zip_to_file failed with err=" << result << "\n";
            break;
        } else {
            const std::string stored(name, info.size_filename);
            if (index == 0 && first_name) *first_name = stored;
            const std::string entry = (index == 0 && rename_first) ? first_target : stored;
            const bool is_folder = !entry.empty() && entry.back() == '/';
            const std::string out_path = dir + entry;
            int code = 0;
            if (!has_prefix(stored, "__MACOSX")) {
                if (const char* why = unsafe_name(entry)) {
                    xer << "Zip entry refused, " << why << ": " << entry.c_str() << "\n";
                    code = EINVAL;
                } else if (is_folder) {
                    code = unzip_folder(target, entry.substr(0, entry.size() - 1));
                } else if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
                    code = unzip_symlink(archive, info, target, entry, out_path);
                } else {
                    code = unzip_file(archive, info, target, entry, out_path);
                }
            }
            if (code != 0) {
                xer << "UNZIP zip_to_file failed with err=" << code << "\n";
                record_line(1725);
                result = code;
                break;
            }
            err = unzGoToNextFile(archive);
        }
        if (err == UNZ_END_OF_LIST_OF_FILE) break;
        if (err != UNZ_OK) {
            record_line(1736);
            result = err;
            break;
        }
    }
    unzClose(archive);
    if (result != 0) log_zip_failure(result, zip, dir);
    return result;
}

int file_to_zip(std::string src, std::string zip)
{
    src = app_path + src;
    zip = app_path + zip;
    int result = 0;
    xmap_class map("");
    if (map.retry(src) == nullptr) {
        record_line(1276);
        result = 20006;
    } else if (zipFile archive = zipOpen64(zip.c_str(), APPEND_STATUS_CREATE); archive == nullptr) {
        record_line(1282);
        result = 20003;
    } else {
        zip_fileinfo info;
        std::memset(&info, 0, sizeof info);
        struct stat st;
        if (stat(src.c_str(), &st) == 0) {
            struct tm t;
            localtime_r(&st.st_mtime, &t);
            info.tmz_date.tm_sec = static_cast<uInt>(t.tm_sec);
            info.tmz_date.tm_min = static_cast<uInt>(t.tm_min);
            info.tmz_date.tm_hour = static_cast<uInt>(t.tm_hour);
            info.tmz_date.tm_mday = static_cast<uInt>(t.tm_mday);
            info.tmz_date.tm_mon = static_cast<uInt>(t.tm_mon);
            info.tmz_date.tm_year = static_cast<uInt>(t.tm_year + 1900);
            info.external_fa = static_cast<uLong>(st.st_mode) << 16;
        }
        const std::string entry_name = src.substr(src.rfind('/') + 1);
        // Sizes of 4 GiB and more need the zip64 fields.
        const auto size = static_cast<std::uint64_t>(map.end - map.begin);
        result = zipOpenNewFileInZip64(archive, entry_name.c_str(), &info, nullptr, 0, nullptr, 0,
                                       nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION,
                                       size >= 0xffffffffu ? 1 : 0);
        if (result != ZIP_OK) {
            record_line(1311);
        } else {
            const char* p = map.begin;
            while (result == ZIP_OK && p < map.end) {
                const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(map.end - p), 1u << 30);
                result = zipWriteInFileInZip(archive, p, static_cast<unsigned>(n));
                p += n;
            }
            if (result != ZIP_OK) record_line(1313);
            const int closed = zipCloseFileInZip(archive);
            if (result == ZIP_OK && closed != ZIP_OK) {
                result = closed;
                record_line(1315);
            }
        }
        const int closed = zipClose(archive, nullptr);
        if (result == ZIP_OK && closed != ZIP_OK) {
            result = closed;
            record_line(1419);
        }
    }
    if (result != 0)
        xer << "file_to_zip failed with error " << result << ".\nfile = " << sErrFile
            << " line = " << sErrLine << "\n";
    return result;
}
