#include "OOPS_cpp/xmap.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "UTL/case-desens.h"

int mapped_files_open = 0;

namespace {

constexpr const char kThisFile[] = "OOPS_cpp/xmap";

// begin of a map that is open on an empty file: not null, nothing mapped.
const char kNoBytes[1] = {0};

// Files up to this size are read into memory: setting up and tearing down a
// mapping costs more than copying so few bytes.
constexpr std::size_t kReadLimit = 64 * 1024;

// Reads up to `length` bytes from the start of the file; the count read.
std::size_t read_whole(int fd, char* out, std::size_t length)
{
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = pread(fd, out + got, length - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == 0 || c == '\r' || c == '\n'; }
bool is_space_or_line_end(char c) { return is_blank(c) || is_line_end(c); }

const char* skip_blanks(const char* p, const char* end)
{
    while (p < end && is_blank(*p)) ++p;
    return p;
}

const char* skip_to_line_end(const char* p, const char* end)
{
    while (p < end && !is_line_end(*p)) ++p;
    return p;
}

const char* skip_line_breaks(const char* p, const char* end)
{
    while (p < end && is_space_or_line_end(*p)) ++p;
    return p;
}

int open_read_only(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }

}  // namespace

xmap_class::xmap_class(const std::string& path_in)
{
    if (!path_in.empty()) retry(path_in);
}

xmap_class::~xmap_class() { release(); }

int file_bytes::load(int fd)
{
    release();
    fd_ = fd;
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return not_regular;
    // On a 32-bit build a file may be longer than the address space: its
    // length must not wrap to a smaller mapping, and end - begin must stay a
    // valid difference.
    if (static_cast<std::uint64_t>(st.st_size) > static_cast<std::uint64_t>(PTRDIFF_MAX))
        return EOVERFLOW;
    const std::size_t length = static_cast<std::size_t>(st.st_size);
    if (length == 0) {
        begin_ = end_ = kNoBytes;
        return 0;
    }
    if (length <= kReadLimit) {
        copied_.reset(new char[length]);
        const std::size_t got = read_whole(fd_, copied_.get(), length);
        begin_ = got ? copied_.get() : kNoBytes;
        end_ = begin_ + got;
        return 0;
    }
    void* bytes = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, 0);
    if (bytes == MAP_FAILED) return errno;
    if (bytes == nullptr) return mapped_null;
    mapped_ = true;
    begin_ = static_cast<const char*>(bytes);
    end_ = begin_ + length;
    return 0;
}

void file_bytes::release()
{
    if (mapped_) munmap(const_cast<char*>(begin_), static_cast<std::size_t>(end_ - begin_));
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    mapped_ = false;
    copied_.reset();
    begin_ = end_ = nullptr;
}

void xmap_class::release()
{
    bytes_.release();
    fd = -1;
    begin = cursor = end = nullptr;
}

int xmap_open(const std::string& path_in, std::string* opened)
{
    if (!app_path.empty() && path_in.find(app_path) != std::string::npos)
        __MACIBM_alert(0, "retry: We are getting a file string that is not Skarvel relative!",
                       "This is illegal! All paths must be Skarvel relative!",
                       "The path in question is:", path_in, t_exit, kThisFile, 122);
    if (path_in.find_first_of("\\:") != std::string::npos)
        __MACIBM_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!",
                       "The path in question is:", path_in, t_exit, kThisFile, 128);

    char full[strDIM];
    strcpy_bounded(full, app_path + path_in);

    // An existing path needs no letter-case repair, so the repair runs only
    // after the first open failed for want of the name.
    int file = open_read_only(full);
    if (file < 0 && g_case_sensitive && (errno == ENOENT || errno == ENOTDIR)) {
        findPath(full);
        file = open_read_only(full);
    }
    if (opened) *opened = full;
    return file;
}

const char* xmap_class::retry(const std::string& path_in)
{
    std::string full;
    const int file = xmap_open(path_in, &full);
    path = path_in;
    release();
    if (file < 0) return nullptr;

    const int err = bytes_.load(file);
    fd = bytes_.fd();
    if (err == file_bytes::not_regular) {
        release();
        return nullptr;
    }
    if (err == file_bytes::mapped_null) {
        __MACIBM_alert(0, "mmap() returned null", "", "", "", t_alert, kThisFile, 226);
        return nullptr;
    }
    if (err != 0) {
        xer << "Mem file error.  Err=" << err << ", file=" << full << "\n";
        if (err == ENOMEM)
            __MACIBM_alert(0, "mmap() out of memory", "", "", "", t_alert, kThisFile, 233);
        return nullptr;
    }
    begin = cursor = bytes_.begin();
    end = bytes_.end();
    return begin;
}

int xmap_class::check_file(int type, const int* versions, const char* keyword,
                           std::string* remainder)
{
    if (type != xmap_type_binary && type != xmap_type_text)
        __MACIBM_alert(0, "Bad check_file type!", path, "", "", t_exit, kThisFile, 12);
    if (begin == nullptr || begin == end) return 0;
    cursor = begin;

    std::uint32_t version = 0;
    if (type == xmap_type_binary) {
        if (*cursor == 'i')
            byte_swap = 0;
        else if (*cursor == 'a')
            byte_swap = 1;
        else
            return 0;
        ++cursor;
        if (cursor < end) {
            unsigned char bytes[4] = {0, 0, 0, 0};
            for (int i = 0; i < 4 && cursor < end; ++i) bytes[i] = static_cast<unsigned char>(*cursor++);
            if (byte_swap) std::swap(bytes[0], bytes[3]), std::swap(bytes[1], bytes[2]);
            version = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                      static_cast<std::uint32_t>(bytes[2]) << 16 |
                      static_cast<std::uint32_t>(bytes[3]) << 24;
        }
    } else {
        const char marker = *cursor;
        cursor = skip_line_breaks(skip_to_line_end(cursor, end), end);
        if (marker != 'A' && marker != 'I') return 0;

        cursor = skip_blanks(cursor, end);
        bool negative = false;
        if (cursor < end && *cursor == '-') {
            negative = true;
            ++cursor;
        } else if (cursor < end && *cursor == '+') {
            ++cursor;
        }
        // No digit test: the value wraps like the framework's reader always did.
        while (cursor < end && !is_space_or_line_end(*cursor))
            version = version * 10u + (static_cast<unsigned char>(*cursor++) - 48u);
        if (negative) version = 0u - version;

        cursor = skip_blanks(cursor, end);
        const char* rest = cursor;
        cursor = skip_to_line_end(cursor, end);
        if (remainder) remainder->assign(rest, static_cast<std::size_t>(cursor - rest));
        cursor = skip_line_breaks(cursor, end);
    }

    const int accepted = static_cast<int>(version);
    if (accepted == 0 || versions == nullptr) return 0;
    const int* v = versions;
    while (*v != 0 && *v != accepted) ++v;
    if (*v == 0) return 0;

    if (keyword) {
        cursor = skip_blanks(cursor, end);
        const std::size_t n = std::strlen(keyword);
        const std::size_t left = static_cast<std::size_t>(end - cursor);
        if (left < n || std::memcmp(cursor, keyword, n) != 0 ||
            (left > n && !is_space_or_line_end(cursor[n])))
            return 0;
        cursor = skip_line_breaks(skip_to_line_end(cursor + n, end), end);
    }
    return accepted;
}

void xmap_class::read_n_rev(void* destination, long count)
{
    if (count < 0 || cursor == nullptr || count > end - cursor) {
        __MACIBM_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, kThisFile, 53);
        return;
    }
    unsigned char* out = static_cast<unsigned char*>(destination);
    std::memcpy(out, cursor, static_cast<std::size_t>(count));
    cursor += count;
    if (byte_swap)
        for (long i = 0; i + 4 <= count; i += 4) {
            std::swap(out[i], out[i + 3]);
            std::swap(out[i + 1], out[i + 2]);
        }
}

void xmap_class::TXT_xer_line()
{
    if (begin == nullptr) return;
    long crs = 0, lfs = 0;
    const char* line_start = begin;
    for (const char* p = begin; p < cursor; ++p) {
        if (*p == '\r') ++crs;
        if (*p == '\n') ++lfs;
        if (*p == '\r' || *p == '\n') line_start = p + 1;
    }
    const char* line_end = cursor;
    while (line_end < end && *line_end != '\r' && *line_end != '\n') ++line_end;
    xer << (1 + std::max(crs, lfs)) << " \"" << std::string(line_start, line_end) << "\"\n";
    xer.flush();
}

int xmap_class::io_file_open(int io, std::string path_in, int* versions, int type)
{
    io_mode = io;
    if (io == 1) return ouf_open(path_in, type, versions ? versions[0] : 0, "no-copyright-string");
    if (io != 0) return 0;
    if (retry(path_in) == nullptr) return 0;
    return check_file(type, versions, nullptr, nullptr) ? 1 : 0;
}

void xmap_class::io_file_close()
{
    if (io_mode == 1) ouf.close();
}

namespace {

// The name ouf_open writes to: app_path + path, its last three letters
// lower-cased, bounded by the framework's path length.
std::string ouf_file_name(const std::string& path)
{
    std::string full = app_path + path;
    if (full.size() > 3)
        for (std::size_t i = full.size() - 3; i < full.size(); ++i)
            if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] + 32);
    char bounded[strDIM];
    strcpy_bounded(bounded, full);
    return bounded;
}

}  // namespace

int ouf_open(std::string path, int type, int version, std::string notice)
{
    if (ouf_try_open(path, type, version, notice)) return 1;
    ouf_save_alert(ouf_file_name(path), "Files/io_utils", 1064);
    return 0;
}

int ouf_try_open(const std::string& path, int type, int version, const std::string& notice)
{
    if (type != xmap_type_binary && type != xmap_type_text)
        __MACIBM_alert(0, "Bad ouf_open type!", path, "", "", t_exit, "Files/io_utils", 1010);

    const std::string bounded = ouf_file_name(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (ouf.is_open()) ouf.close();
        ouf.clear();
        if (type == xmap_type_binary) {
            ouf.open(bounded, std::ios::out | std::ios::binary | std::ios::trunc);
            const std::uint32_t v = static_cast<std::uint32_t>(version);
            const char header[5] = {'i', static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                                    static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
            ouf.write(header, sizeof header);
        } else {
            ouf.open(bounded, std::ios::out | std::ios::trunc);
            ouf << "I\n" << version << " version";
            if (notice != "no-copyright-string") ouf << notice;
            ouf << "\n";
        }
        if (ouf.good()) return 1;
        if (attempt == 0) {
            std::string folder;
            get_path_with_path(folder, bounded);
            make_folder(folder);
        }
    }
    return 0;
}

void ouf_save_alert(const std::string& full_path, const char* file, int line)
{
    __MACIBM_alert(0,
                   "I could not save the file! Could the directory that the file sits in be missing? "
                   "Or flagged as READ-ONLY by the operating system? (Windows machines typically do this).",
                   full_path,
                   "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
                   "Try putting this app in the background and then flag the file as NOT read-only, or "
                   "creating the folder listed in the path above.",
                   t_alert, file, line);
}
