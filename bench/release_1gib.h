// The engine benchmarks' release: 2,000 files, 1 GiB in all, from 1 KiB to
// 50 MiB, below "Resources/set<n>/", with bytes that deflate to about three
// quarters or, for the "random" profile, not at all (as already compressed
// images do).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/release_builder.h"

namespace bench {

constexpr int64_t kKiB = 1024, kMiB = 1024 * kKiB, kGiB = 1024 * kMiB;
constexpr int kReleaseFiles = 2000;

// Bytes that deflate to about three quarters (or not at all), quickly made.
inline std::string release_content(int64_t n, uint64_t seed, bool random)
{
    std::string s(static_cast<size_t>(n), '\0');
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < s.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (size_t k = 0; k < 8 && i + k < s.size(); ++k)
            s[i + k] = static_cast<char>(random ? (x >> (8 * k)) : 0x40 | ((x >> (8 * k)) & 0x3f));
    }
    return s;
}

// Eight files of 50 MiB, one of 1 KiB, the rest spread evenly on a log scale
// from 1 KiB to 2.5 MiB, the last one trimmed so that the sum is 1 GiB.
inline std::vector<int64_t> release_file_sizes()
{
    std::vector<int64_t> sizes(8, 50 * kMiB);
    sizes.push_back(kKiB);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    int64_t sum = 8 * 50 * kMiB + kKiB;
    while (static_cast<int>(sizes.size()) < kReleaseFiles - 1) {
        const int64_t s = static_cast<int64_t>(kKiB * std::pow(2560.0, u(rng)));
        sizes.push_back(s);
        sum += s;
    }
    // Scale the spread part so that the whole comes to 1 GiB.
    const int64_t fixed = 8 * 50 * kMiB + kKiB;
    const double scale = double(kGiB - fixed - kMiB) / double(sum - fixed);
    sum = fixed;
    for (size_t i = 9; i < sizes.size(); ++i) {
        sizes[i] = std::max<int64_t>(kKiB, static_cast<int64_t>(double(sizes[i]) * scale));
        sum += sizes[i];
    }
    sizes.push_back(std::clamp<int64_t>(kGiB - sum, kKiB, 50 * kMiB));
    return sizes;
}

inline std::string release_path(int i)
{
    return "Resources/set" + std::to_string(i % 40) + "/file" + std::to_string(i) + ".dat";
}

// The one version of the release, every file for any operating system.
inline brx_test::ReleaseTree release_tree(bool random)
{
    brx_test::ReleaseTree tree;
    const std::vector<int64_t> sizes = release_file_sizes();
    for (int i = 0; i < kReleaseFiles; ++i)
        tree[release_path(i)] = {release_content(sizes[i], uint64_t(i), random), 0};
    return tree;
}

}  // namespace bench
