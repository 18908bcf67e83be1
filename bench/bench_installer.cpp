// The installer program itself installing the engine benchmark's release
// (2,000 files, 1 GiB) on a private Xvfb, INSTALL and the terms clicked with
// xdotool, so that its frame rhythm and waits are a user's. Side by side, on
// the same nginx and for both content profiles (deflatable, random):
//   - the engine harness: the same install engine driven without a screen;
//   - the program with its default pause between frames, and with the
//     preference that removes the pause;
//   - four curl processes fetching the same archives, then unzip.
// A preloaded probe records every frame the program draws; the frames of the
// install give the median, 99th percentile and longest frame, with what the
// process did during the longest one.
//   bench_installer [rounds]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "app/utils.h"
#include "bench/common.h"
#include "release_1gib.h"
#include "support/engine_harness.h"
#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

#ifndef BRX_INSTALLER
#define BRX_INSTALLER ""
#endif

namespace {

using namespace brx_test;
using Clock = std::chrono::steady_clock;
using bench::kMiB;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

int sh(const std::string& command)
{
    const int r = std::system(command.c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct FrameRecord {
    int64_t t_ns;
    int64_t received, written;
    int32_t renames, unlinks, connects, mkdirs, lookups, pad;
};

struct FrameStats {
    size_t frames = 0;
    double median_ms = 0, p99_ms = 0, longest_ms = 0;
    std::string longest_doing;
};

// The frames that ended between `from` and `to`, each measured from the end
// of the one before.
FrameStats frame_stats(const std::string& log, Clock::time_point from, Clock::time_point to)
{
    const std::string bytes = read_file(log);
    std::vector<FrameRecord> all(bytes.size() / sizeof(FrameRecord));
    std::memcpy(all.data(), bytes.data(), all.size() * sizeof(FrameRecord));
    const int64_t lo = std::chrono::duration_cast<std::chrono::nanoseconds>(from.time_since_epoch()).count();
    const int64_t hi = std::chrono::duration_cast<std::chrono::nanoseconds>(to.time_since_epoch()).count();
    std::vector<double> ms;
    FrameStats s;
    size_t worst = 0;
    for (size_t i = 1; i < all.size(); ++i) {
        if (all[i].t_ns < lo || all[i].t_ns > hi) continue;
        ms.push_back(double(all[i].t_ns - all[i - 1].t_ns) * 1e-6);
        if (ms.back() > s.longest_ms) {
            s.longest_ms = ms.back();
            worst = i;
        }
    }
    if (ms.empty()) return s;
    s.frames = ms.size();
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    s.median_ms = sorted[sorted.size() / 2];
    s.p99_ms = sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * 0.99))];
    const FrameRecord& a = all[worst - 1];
    const FrameRecord& b = all[worst];
    char text[400];
    snprintf(text, sizeof text,
             "received %.1f MiB, wrote %.1f MiB (unpacked files), %d renames (files committed), %d unlinks "
             "(archives and files deleted), %d connections, %d folders made, %d host lookups",
             double(b.received - a.received) / kMiB, double(b.written - a.written) / kMiB, b.renames - a.renames,
             b.unlinks - a.unlinks, b.connects - a.connects, b.mkdirs - a.mkdirs, b.lookups - a.lookups);
    s.longest_doing = text;
    return s;
}

struct ProgramRun {
    double seconds = 0;
    FrameStats frames;
};

// One install by the program; 0 seconds when it failed.
ProgramRun program_install(const std::string& work, const MakerServers& servers, const XvfbServer& xvfb,
                           bool full_speed, const std::map<std::string, std::string>* check)
{
    ProgramRun run;
    const std::string parent = work + "program-dest/";
    remove_tree(parent);
    mkdir(parent.c_str(), 0755);
    const std::string frame_log = work + "frames.bin";
    sync();
    PrivateTmp ns({work});
    if (!ns.ok()) {
        fprintf(stderr, "no private /tmp: %s\n", ns.error().c_str());
        return run;
    }
    std::vector<std::string> args = {"-path", parent + "Brennix/", "--pref:_proxy_host=127.0.0.1",
                                     "--pref:_proxy_port_int=" + std::to_string(servers.nginx_port())};
    if (full_speed) args.push_back("--pref:_use_max_cpu=1");
    InstallerProcess app(ns, BRX_INSTALLER, work + "program/", work + "home/", xvfb.display(), args,
                         {std::string("LD_PRELOAD=") + BRX_FRAME_PROBE, "BRX_FRAME_LOG=" + frame_log});
    const auto screen = [&] { return shown(CanvasShot::take(xvfb.display())); };
    if (!eventually([&] { return exists(app.in_temp_folder("directory.txt")) && screen() == Shown::main_page; }, 300)) {
        fprintf(stderr, "the program did not get ready\n%s\n", app.log().c_str());
        return run;
    }
    click_canvas(xvfb.display(), 491, 89);  // INSTALL
    if (!eventually([&] { return screen() == Shown::terms; }, 60)) return run;
    const Clock::time_point t0 = Clock::now();
    click_canvas(xvfb.display(), 262 + 429, 234 + 21);  // accept
    // The job's end renames the folder after the version (one file is for
    // Linux only); nothing else is polled while the program works.
    const std::string done = parent + "Brennix 9.00";
    while (!exists(done) && seconds_since(t0) < 1200 && app.running()) usleep(2000);
    const Clock::time_point t1 = Clock::now();
    if (!exists(done)) {
        fprintf(stderr, "the program did not finish the install\n%s\n", app.log().c_str());
        return run;
    }
    run.seconds = std::chrono::duration<double>(t1 - t0).count();
    click_canvas(xvfb.display(), 985, 89);  // QUIT
    app.wait_exit(60);
    run.frames = frame_stats(frame_log, t0, t1);
    if (check && tree_md5s(done + "/") != *check) {
        fprintf(stderr, "the program's install differs from the release\n");
        run.seconds = 0;
    }
    return run;
}

struct Profile {
    double harness = 0, program = 0, program_full = 0, curl = 0;
    FrameStats frames, frames_full;
};

Profile run_profile(const std::string& work, bool random, int rounds, const XvfbServer& xvfb)
{
    Profile best;
    best.harness = best.program = best.program_full = best.curl = 1e9;
    Release release;
    release.servers = {{"mirror.example", "/brennix/", "Mirror"}};
    release.versions = {bench::release_tree(random)};
    release.versions[0][bench::release_path(0)].os = 3;  // so that the job's end renames the folder
    const Clock::time_point built = Clock::now();
    MakerServers servers(work, release);
    printf("  release built and served in %.1f s\n", seconds_since(built));
    fflush(stdout);
    std::map<std::string, std::string> want;
    for (const auto& [path, file] : release.versions[0]) want[path] = md5_of(file.bytes);
    const std::string served = "/brennix/" + release.version_name + "/";

    // The curl lists: four processes, each then unzipping what it fetched.
    std::string curl_lists[4], unzip_lists[4];
    int k = 0;
    for (const auto& [path, file] : release.versions[0]) {
        const std::string zip = work + "curl-zips/" + std::to_string(k) + ".zip";
        std::string url = "http://mirror.example" + served + release.top_folder + "/" + path + ".zip";
        for (size_t at; (at = url.find(' ')) != std::string::npos;) url.replace(at, 1, "%20");
        curl_lists[k % 4] += "url = \"" + url + "\"\noutput = \"" + zip + "\"\n";
        const std::string folder = work + "curl-dest/" + path.substr(0, path.rfind('/'));
        unzip_lists[k % 4] += "unzip -qo " + quoted(zip) + " -d " + quoted(folder) + " && rm " + quoted(zip) + "\n";
        ++k;
    }
    for (int s = 0; s < 4; ++s) {
        write_file(work + "curl" + std::to_string(s) + ".cfg", curl_lists[s]);
        write_file(work + "unzip" + std::to_string(s) + ".sh", unzip_lists[s]);
    }

    for (int r = 0; r < rounds; ++r) {
        // The engine harness, in this process. Every contender starts with
        // the writes of the one before (and of the build) flushed.
        remove_tree(work + "harness-dest/");
        sync();
        mkdir((work + "harness-tmp").c_str(), 0755);
        reset_engine(work + "harness-tmp/", work + "harness-dest/");
        http.proxy_host = "127.0.0.1";
        http.proxy_port = std::to_string(servers.nginx_port());
        http.proxy_port_int = servers.nginx_port();
        install_name = release.version_name;
        stg.server_count = 1;
        server_name[0] = "mirror.example";
        server_path[0] = served;
        stg.rename_folder = 0;
        if (fetch_and_read_directory() != 3) return {};
        Clock::time_point t0 = Clock::now();
        if (press_install() != 1 || run_install(1200) != 1 || stg.install_error) return {};
        const double harness = seconds_since(t0);
        best.harness = std::min(best.harness, harness);
        remove_tree(work + "harness-dest/");

        const ProgramRun normal = program_install(work, servers, xvfb, false, r == 0 ? &want : nullptr);
        if (normal.seconds == 0) return {};
        if (normal.seconds < best.program) {
            best.program = normal.seconds;
            best.frames = normal.frames;
        }
        const ProgramRun full = program_install(work, servers, xvfb, true, nullptr);
        if (full.seconds == 0) return {};
        if (full.seconds < best.program_full) {
            best.program_full = full.seconds;
            best.frames_full = full.frames;
        }
        remove_tree(work + "program-dest/");

        remove_tree(work + "curl-dest/");
        sh("mkdir -p " + quoted(work + "curl-zips"));
        sync();
        t0 = Clock::now();
        std::string pipeline = "mkdir -p";
        for (int set = 0; set < 40; ++set)
            pipeline.append(" ").append(quoted(work + "curl-dest/Resources/set" + std::to_string(set)));
        pipeline += " && ";
        for (int s = 0; s < 4; ++s)
            pipeline += "(curl -s -f -x 127.0.0.1:" + std::to_string(servers.nginx_port()) + " -K " +
                        quoted(work + "curl" + std::to_string(s) + ".cfg") + " && sh " +
                        quoted(work + "unzip" + std::to_string(s) + ".sh") + ") & ";
        if (sh(pipeline + "wait") != 0) return {};
        const double curl = seconds_since(t0);
        best.curl = std::min(best.curl, curl);
        remove_tree(work + "curl-dest/");
        printf("  round %d: harness %.2f s, program %.2f s, full speed %.2f s, curl and unzip %.2f s\n", r,
               harness, normal.seconds, full.seconds, curl);
        fflush(stdout);
    }
    return best;
}

void print_frames(const char* title, const FrameStats& f)
{
    printf("  frames of the install, %s: %zu frames, median %.1f ms, 99th percentile %.1f ms, longest %.1f ms\n",
           title, f.frames, f.median_ms, f.p99_ms, f.longest_ms);
    printf("    the longest frame: %s\n", f.longest_doing.c_str());
}

}  // namespace

int main(int argc, char** argv)
try {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    if (std::string(BRX_INSTALLER).empty() || !exists(BRX_INSTALLER)) {
        fprintf(stderr, "built without the installer program\n");
        return 1;
    }
    const std::string why = private_tmp_unavailable();
    if (!why.empty()) {
        fprintf(stderr, "the program needs a private /tmp: %s\n", why.c_str());
        return 1;
    }
    XvfbServer xvfb("1280x1024x24");
    if (!xvfb.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    const double mib = double(bench::kGiB) / kMiB;
    printf("release: %d files, %.0f MiB; nginx on loopback, asked as the proxy by every client\n",
           bench::kReleaseFiles, mib);
    for (const bool random : {false, true}) {
        printf("== %s content\n", random ? "random (does not deflate)" : "deflatable");
        TempDir work;
        const Profile p = run_profile(work.path(), random, rounds, xvfb);
        if (p.harness == 0 || p.program == 0) {
            fprintf(stderr, "a run failed\n");
            return 1;
        }
        printf("  %-44s %8s %8s %11s %11s\n", "", "seconds", "MiB/s", "/ harness", "/ curl+unzip");
        const auto row = [&](const char* name, double s) {
            printf("  %-44s %8.2f %8.0f %11.3f %11.3f\n", name, s, mib / s, p.harness / s, p.curl / s);
        };
        row("engine harness, no screen", p.harness);
        row("program, INSTALL clicked (default pause)", p.program);
        row("program, INSTALL clicked (full speed)", p.program_full);
        row("four curl processes, then unzip", p.curl);
        printf("  (ratios are speeds: above 1 is faster than the reference)\n");
        print_frames("default pause", p.frames);
        print_frames("full speed", p.frames_full);
    }
    return 0;
} catch (const std::exception& e) {
    return bench::cannot_run(argv[0], e);
}
