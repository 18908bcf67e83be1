// The install engine on a release of 2,000 files (1 GiB, 1 KiB to 50 MiB)
// served by nginx on loopback, each measured side by side with a reference:
//   (a) read_directory's scan of a complete destination, against
//       calc_file_md5 alone and md5sum over the same files;
//   (b) a fresh install through grab_files at the frame's rhythm, against
//       four parallel curl processes fetching the same archives, then unzip.
//   bench_engine [rounds] [random]
// The files' bytes deflate to about three quarters; with "random" they do not
// deflate at all (as for already compressed images), so unpacking is copying.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "app/utils.h"
#include "bench/common.h"
#include "release_1gib.h"
#include "support/engine_harness.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using Clock = std::chrono::steady_clock;

using bench::kGiB;
using bench::kKiB;
using bench::kMiB;
constexpr int kFiles = bench::kReleaseFiles;

double seconds_since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool g_random_bytes = false;

void sh_free_mkdir(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0755);
}

int sh(const std::string& command)
{
    const int r = std::system(command.c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out.append("'\\''");
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

}  // namespace

int main(int argc, char** argv)
try {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    g_random_bytes = argc > 2 && std::string(argv[2]) == "random";
    bench::scratch_base();
    TempDir tmp;
    Release release;
    release.servers = {{"mirror.example", "/brennix/", "Mirror"}};
    release.versions.resize(1);
    const std::vector<int64_t> sizes = bench::release_file_sizes();
    int64_t total = 0;
    for (int64_t s : sizes) total += s;
    release.versions[0] = bench::release_tree(g_random_bytes);
    printf("release: %d files, %.1f MiB, %.1f KiB to %.1f MiB\n", kFiles, double(total) / kMiB,
           double(*std::min_element(sizes.begin(), sizes.end())) / kKiB,
           double(*std::max_element(sizes.begin(), sizes.end())) / kMiB);
    const Clock::time_point built = Clock::now();
    build_release(release, tmp / "site/", 8);
    printf("built in %.1f s\n", seconds_since(built));

    NginxServer nginx(tmp / "", {{"mirror.example", tmp / "site"}});
    http.proxy_host = "127.0.0.1";
    http.proxy_port = std::to_string(nginx.port());
    http.proxy_port_int = nginx.port();
    const std::string served = "/brennix/" + release.version_name + "/";
    const auto point_at_server = [&] {
        install_name = release.version_name;
        stg.server_count = 1;
        server_name[0] = "mirror.example";
        server_path[0] = served;
        stg.use_max_cpu = 1;
    };

    // (a) The scan of a complete destination.
    install_tree(release, 0, tmp / "full/");
    std::vector<std::string> locals;
    for (const auto& [path, file] : release.versions[0]) locals.push_back(tmp / "full/" + path);
    {
        std::string list;
        for (const std::string& p : locals) list += p + '\n';
        bench::write_file(tmp / "files.txt", list);
    }
    double best_scan = 1e9, best_md5 = 1e9, best_md5sum = 1e9;
    for (int r = 0; r < rounds; ++r) {
        reset_engine(tmp / "", tmp / "full/");
        point_at_server();
        Clock::time_point t0 = Clock::now();
        if (read_directory(tmp / "site" + served + "directory.txt", "scan") != 3) return 1;
        best_scan = std::min(best_scan, seconds_since(t0));
        if (stg.total_download != 0) {
            fprintf(stderr, "the scan found files to fetch in a complete destination\n");
            return 1;
        }

        t0 = Clock::now();
        std::string md5;
        for (const std::string& p : locals) calc_file_md5(p, md5);
        best_md5 = std::min(best_md5, seconds_since(t0));

        t0 = Clock::now();
        if (sh("tr '\\n' '\\0' < " + quoted(tmp / "files.txt") + " | xargs -0 md5sum > /dev/null") != 0)
            return 1;
        best_md5sum = std::min(best_md5sum, seconds_since(t0));
    }
    printf("(a) scan %.3f s, calc_file_md5 alone %.3f s, md5sum %.3f s\n", best_scan, best_md5,
           best_md5sum);
    printf("    scan / calc_file_md5 = %.3f (goal <= 1.05); scan / md5sum = %.3f\n",
           best_scan / best_md5, best_scan / best_md5sum);
    remove_tree(tmp / "full/");

    // (b) A fresh install against curl and unzip.
    std::string curl_lists[4], unzip_lists[4];
    {
        int k = 0;
        for (const auto& [path, file] : release.versions[0]) {
            const std::string zip = tmp / "curl-zips/" + std::to_string(k) + ".zip";
            const std::string url = "http://mirror.example" + served + release.top_folder + "/" + path + ".zip";
            std::string escaped;
            for (char c : url) {
                if (c == ' ')
                    escaped.append("%20");
                else
                    escaped.push_back(c);
            }
            curl_lists[k % 4] += "url = \"" + escaped + "\"\noutput = \"" + zip + "\"\n";
            const std::string folder = tmp / "curl-dest/" + path.substr(0, path.rfind('/'));
            unzip_lists[k % 4] += "unzip -qo " + quoted(zip) + " -d " + quoted(folder) + " && rm " + quoted(zip) + "\n";
            ++k;
        }
        for (int s = 0; s < 4; ++s) {
            bench::write_file(tmp / "curl" + std::to_string(s) + ".cfg", curl_lists[s]);
            bench::write_file(tmp / "unzip" + std::to_string(s) + ".sh", unzip_lists[s]);
        }
    }
    double best_install = 1e9, best_curl = 1e9, best_unpack = 1e9;
    for (int r = 0; r < rounds; ++r) {
        remove_tree(tmp / "dest/");
        reset_engine(tmp / "", tmp / "dest/");
        point_at_server();
        stg.rename_folder = 0;
        if (fetch_and_read_directory() != 3) return 1;
        Clock::time_point t0 = Clock::now();
        if (press_install() != 1) return 1;
        long frames = 0;
        if (run_install(600, &frames) != 1 || stg.install_error) return 1;
        const double install_s = seconds_since(t0);
        best_install = std::min(best_install, install_s);
        if (r == 0 && tree_md5s(tmp / "dest/").size() != size_t(kFiles)) {
            fprintf(stderr, "the install is not complete\n");
            return 1;
        }
        printf("    install round %d: %.3f s in %ld frames\n", r, install_s, frames);

        remove_tree(tmp / "curl-dest/");
        sh("mkdir -p " + quoted(tmp / "curl-zips"));
        t0 = Clock::now();
        // The folders first, as make_dirs does for the engine.
        std::string pipeline = "mkdir -p";
        for (int set = 0; set < 40; ++set)
            pipeline.append(" ").append(quoted(tmp / "curl-dest/Resources/set" + std::to_string(set)));
        pipeline += " && ";
        for (int s = 0; s < 4; ++s)
            pipeline += "(curl -s -f -x 127.0.0.1:" + std::to_string(nginx.port()) + " -K " +
                        quoted(tmp / "curl" + std::to_string(s) + ".cfg") + " && sh " +
                        quoted(tmp / "unzip" + std::to_string(s) + ".sh") + ") & ";
        if (sh(pipeline + "wait") != 0) return 1;
        best_curl = std::min(best_curl, seconds_since(t0));

        // The floor of an install that unpacks on one thread: unpacking alone.
        remove_tree(tmp / "curl-dest/");
        t0 = Clock::now();
        for (const auto& [path, file] : release.versions[0]) {
            const std::string folder = tmp / "curl-dest/" + path.substr(0, path.rfind('/') + 1);
            sh_free_mkdir(folder);
            if (zip_to_file(tmp / "site" + served + release.top_folder + "/" + path + ".zip",
                            folder, nullptr, 0) != 0)
                return 1;
        }
        best_unpack = std::min(best_unpack, seconds_since(t0));
    }
    const double mib = double(total) / kMiB;
    printf("(b) install %.3f s (%.0f MiB/s), curl and unzip %.3f s (%.0f MiB/s)\n", best_install,
           mib / best_install, best_curl, mib / best_curl);
    printf("    install speed / curl and unzip speed = %.3f (goal >= 0.8)\n", best_curl / best_install);
    printf("    unpacking alone on one thread: %.3f s (%.0f MiB/s)\n", best_unpack, mib / best_unpack);
    return 0;
} catch (const std::exception& e) {
    return bench::cannot_run(argv[0], e);
}
