// Helpers of the benchmarks: scratch data, timing, running a reference tool.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace bench {

// Ends a benchmark whose set-up failed (a server that cannot start, say) with
// the reason and status 1.
inline int cannot_run(const char* program, const std::exception& e)
{
    fprintf(stderr, "%s: %s\n", program, e.what());
    return 1;
}

inline double now_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A deterministic byte stream.
struct xorshift {
    uint64_t s;
    explicit xorshift(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

inline std::string random_bytes(xorshift& r, std::size_t n)
{
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; i += 8) {
        const uint64_t v = r.next();
        for (std::size_t k = 0; k < 8 && i + k < n; ++k) out[i + k] = static_cast<char>(v >> (8 * k));
    }
    return out;
}

// Text made of words: compresses about three to one.
inline std::string text_bytes(xorshift& r, std::size_t n)
{
    static const char* const words[] = {"runway ", "altitude ", "heading ", "flaps ", "throttle ",
                                        "0.125 ", "gear\n", "texture ", "scenery ", "1013 ",
                                        "north ", "approach ", "-42 ", "vector\n", "airfoil "};
    std::string out;
    out.reserve(n + 16);
    while (out.size() < n) {
        out += words[r.next() % 15];
        if (r.next() % 5 == 0) out += std::to_string(r.next() % 100000);
    }
    out.resize(n);
    return out;
}

using brx_test::exists;
using brx_test::read_file;

// Scratch data that could not be written would make every figure after it
// meaningless: say what failed and stop.
[[noreturn]] inline void fail(const std::string& what, int err)
{
    fprintf(stderr, "bench: %s: %s\n", what.c_str(), strerror(err));
    exit(1);
}

// Creates `path` and every missing parent, or stops.
inline void make_folders(const std::string& path)
{
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        struct stat st;
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            fail("cannot create the folder " + part, errno);
        if (!part.empty() && (stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            fail("cannot create the folder " + part, ENOTDIR);
        if (end == std::string::npos) return;
    }
}

// Writes a file in pieces of a chosen size, checking every write and the close.
class file_writer {
public:
    explicit file_writer(const std::string& path) : path_(path), f_(fopen(path.c_str(), "wb"))
    {
        if (!f_) fail("cannot write " + path_, errno);
        setvbuf(f_, nullptr, _IONBF, 0);  // each write() is one of the caller's pieces
    }
    ~file_writer() { close(); }
    file_writer(const file_writer&) = delete;
    file_writer& operator=(const file_writer&) = delete;
    void write(const char* data, std::size_t n)
    {
        if (n > 0 && fwrite(data, 1, n, f_) != n) fail("cannot write " + path_, errno ? errno : EIO);
    }
    void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }
    void close()
    {
        if (f_ && fclose(f_) != 0) {
            f_ = nullptr;
            fail("cannot write " + path_, errno);
        }
        f_ = nullptr;
    }

private:
    std::string path_;
    FILE* f_;
};

inline void write_file(const std::string& path, const std::string& bytes)
{
    file_writer out(path);
    out.write(bytes);
    out.close();
}

inline int remove_one(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }
inline void remove_tree(const std::string& path) { nftw(path.c_str(), remove_one, 32, FTW_DEPTH | FTW_PHYS); }

// Where scratch data goes: $TMPDIR (or /tmp), created with its parents.
inline std::string scratch_base()
{
    const char* base = getenv("TMPDIR");
    const std::string dir = base && *base ? base : "/tmp";
    make_folders(dir);
    return dir;
}

// The scratch folder of a benchmark: argv[1], else $TMPDIR (or /tmp) + name.
inline std::string work_folder(int argc, char** argv, const char* name)
{
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
    } else {
        dir = scratch_base() + "/" + name;
    }
    if (dir.back() != '/') dir += '/';
    make_folders(dir.substr(0, dir.size() - 1));
    return dir;
}

inline double time_command(const std::string& command)
{
    const double t0 = now_seconds();
    if (std::system(command.c_str()) != 0) {
        fprintf(stderr, "failed: %s\n", command.c_str());
        exit(1);
    }
    return now_seconds() - t0;
}

}  // namespace bench
