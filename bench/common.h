// Helpers of the benchmarks: scratch data, timing, running a reference tool.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace bench {

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
using brx_test::write_file;

inline int remove_one(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }
inline void remove_tree(const std::string& path) { nftw(path.c_str(), remove_one, 32, FTW_DEPTH | FTW_PHYS); }

// The scratch folder of a benchmark: argv[1], else $TMPDIR (or /tmp) + name.
inline std::string work_folder(int argc, char** argv, const char* name)
{
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
    } else {
        const char* base = getenv("TMPDIR");
        dir = std::string(base && *base ? base : "/tmp") + "/" + name;
    }
    if (dir.back() != '/') dir += '/';
    mkdir(dir.c_str(), 0755);
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
