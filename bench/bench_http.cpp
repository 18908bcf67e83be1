// Download throughput of the HTTP client from nginx on loopback, against curl
// fetching the same file in the same run.
//   bench_http [rounds]
// Prints MB/s (10^6 bytes per second) and the ratios to curl.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "bench/common.h"
#include "support/http_servers.h"
#include "support/test_util.h"

namespace {

using Clock = std::chrono::steady_clock;
using brx_test::TempDir;

const char kHost[] = "files.example";
constexpr int64_t kMiB = 1024 * 1024;

double seconds_since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void make_file(const std::string& path, int64_t bytes)
{
    std::vector<char> block(8 * kMiB);
    std::mt19937_64 rng(bytes);
    for (size_t i = 0; i + 8 <= block.size(); i += 8) {
        const uint64_t v = rng();
        std::copy_n(reinterpret_cast<const char*>(&v), 8, &block[i]);
    }
    bench::file_writer out(path);
    for (int64_t left = bytes; left > 0; left -= int64_t(block.size()))
        out.write(block.data(), size_t(std::min<int64_t>(left, int64_t(block.size()))));
    out.close();
}

int64_t file_size(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void expect_size(const std::string& path, int64_t bytes)
{
    if (file_size(path) != bytes) {
        fprintf(stderr, "%s: %lld bytes, expected %lld\n", path.c_str(),
                (long long)file_size(path), (long long)bytes);
        exit(1);
    }
}

double curl_rate(unsigned short port, const std::string& out, int64_t bytes)
{
    const std::string cmd = "curl -s -x 127.0.0.1:" + std::to_string(port) + " -o '" + out +
                            "' http://" + kHost + "/big.bin";
    const auto t0 = Clock::now();
    if (system(cmd.c_str()) != 0) {
        fprintf(stderr, "curl failed\n");
        exit(1);
    }
    const double s = seconds_since(t0);
    expect_size(out, bytes);
    unlink(out.c_str());
    return double(bytes) / s / 1e6;
}

double tight_loop_rate(const std::string& out, int64_t bytes)
{
    const auto t0 = Clock::now();
    int r;
    while ((r = http.net_check(2, kHost, "/big.bin", out)) == 0) {
    }
    const double s = seconds_since(t0);
    if (r != 1) {
        fprintf(stderr, "tight loop: result %d\n", r);
        exit(1);
    }
    expect_size(out, bytes);
    unlink(out.c_str());
    return double(bytes) / s / 1e6;
}

// The installer's frame: calls for 10 ms, then a 16 ms wait for the next frame.
double frame_paced_rate(const std::string& dir, int64_t bytes_each)
{
    int result[4] = {0, 0, 0, 0};
    const auto t0 = Clock::now();
    while (std::count(result, result + 4, 0) > 0) {
        const auto slice_end = Clock::now() + std::chrono::milliseconds(10);
        while (Clock::now() < slice_end && std::count(result, result + 4, 0) > 0) {
            for (int s = 0; s < 4; ++s)
                if (!result[s])
                    result[s] = http.net_check(2 + s, kHost, "/part" + std::to_string(s) + ".bin",
                                               dir + std::to_string(s) + ".zip");
        }
        if (std::count(result, result + 4, 0) > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const double s = seconds_since(t0);
    for (int i = 0; i < 4; ++i) {
        const std::string out = dir + std::to_string(i) + ".zip";
        if (result[i] != 1) {
            fprintf(stderr, "frame-paced stream %d: result %d\n", i, result[i]);
            exit(1);
        }
        expect_size(out, bytes_each);
        unlink(out.c_str());
    }
    return double(4 * bytes_each) / s / 1e6;
}

}  // namespace

int main(int argc, char** argv)
try {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    bench::scratch_base();
    TempDir dir;
    const std::string site = dir / "site";
    bench::make_folders(site);
    const int64_t big = 1024 * kMiB, part = 256 * kMiB;
    make_file(site + "/big.bin", big);
    for (int i = 0; i < 4; ++i) make_file(site + "/part" + std::to_string(i) + ".bin", part);

    brx_test::NginxServer nginx(dir.path(), {{kHost, site}});
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = nginx.port();
    http.proxy_port = std::to_string(nginx.port());

    std::vector<double> curl, tight, paced;
    for (int r = 0; r < rounds; ++r) {
        curl.push_back(curl_rate(nginx.port(), dir / "curl.out", big));
        tight.push_back(tight_loop_rate(dir / "tight.out", big));
        paced.push_back(frame_paced_rate(dir.path(), part));
        printf("round %d: curl %.0f MB/s, tight loop %.0f MB/s, frame-paced 4 slots %.0f MB/s\n",
               r + 1, curl.back(), tight.back(), paced.back());
        fflush(stdout);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double c = median(curl), t = median(tight), p = median(paced);
    printf("median of %d rounds, 1 GiB file from nginx on loopback:\n", rounds);
    printf("  curl -s -o            %8.0f MB/s\n", c);
    printf("  one slot, tight loop  %8.0f MB/s  ratio to curl %.2f  (goal >= 0.90)\n", t, t / c);
    printf("  4 slots, frame-paced  %8.0f MB/s  ratio to curl %.2f  (goal >= 125 MB/s)\n", p, p / c);
    return t / c >= 0.9 && p >= 125.0 ? 0 : 1;
} catch (const std::exception& e) {
    return bench::cannot_run(argv[0], e);
}
