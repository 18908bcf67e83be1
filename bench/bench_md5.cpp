// calc_file_md5 against libmd's MD5 over the same bytes already in memory and
// against md5sum, with a warm cache: on two 512 MiB files of the same bytes,
// one written in 4 KiB pieces (as most programs write) and one in 16 MiB
// pieces, whose page-cache layouts differ, and on 20,000 files of 4 to
// 64 KiB. Usage: bench_md5 [scratch folder] (about 1.8 GB of data).
#include <md5.h>

#include "Files/io_utils.h"
#include "bench/common.h"

namespace {

struct set_result {
    double raw = 1e9, ours = 1e9, tool = 1e9;
};

std::string raw_md5(const std::string& bytes)
{
    MD5_CTX c;
    MD5Init(&c);
    MD5Update(&c, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    char text[MD5_DIGEST_STRING_LENGTH];
    MD5End(&c, text);
    return text;
}

set_result measure(const std::vector<std::string>& paths, const std::string& list_file, int rounds)
{
    std::vector<std::string> bytes;
    for (const std::string& p : paths) bytes.push_back(bench::read_file(p));
    set_result r;
    for (int round = 0; round < rounds; ++round) {
        double t0 = bench::now_seconds();
        std::vector<std::string> want;
        want.reserve(bytes.size());
        for (const std::string& b : bytes) want.push_back(raw_md5(b));
        r.raw = std::min(r.raw, bench::now_seconds() - t0);

        t0 = bench::now_seconds();
        std::string out;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const int err = calc_file_md5(paths[i], out);
            if (err != 0 || out != want[i]) {
                fprintf(stderr, "wrong checksum for %s (error %d)\n", paths[i].c_str(), err);
                exit(1);
            }
        }
        r.ours = std::min(r.ours, bench::now_seconds() - t0);

        r.tool = std::min(r.tool, bench::time_command("xargs -0 -a '" + list_file + "' md5sum >/dev/null"));
    }
    return r;
}

void print(const char* name, const set_result& r, double megabytes)
{
    printf("%-22s libmd in memory %7.3f s   calc_file_md5 %7.3f s   md5sum %7.3f s   (%.0f MB/s)\n",
           name, r.raw, r.ours, r.tool, megabytes / r.ours);
    printf("%-22s calc_file_md5 / libmd = %.3f   calc_file_md5 / md5sum = %.3f\n", "", r.ours / r.raw,
           r.ours / r.tool);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dir = bench::work_folder(argc, argv, "brx-bench-md5");
    const std::string small_dir = dir + "small/";
    struct layout {
        const char* name;
        const char* file;
        std::size_t piece;
    };
    const layout layouts[] = {{"512 MiB, 4 KiB writes", "big-4k.bin", 4096},
                              {"512 MiB, 16 MiB writes", "big-16m.bin", 16u << 20}};
    for (const layout& l : layouts) {
        const std::string path = dir + l.file;
        if (bench::exists(path)) continue;
        printf("writing %s\n", path.c_str());
        bench::xorshift rng(7);
        bench::file_writer out(path);
        for (int i = 0; i < 32; ++i) {
            const std::string chunk = bench::random_bytes(rng, 16u << 20);
            for (std::size_t at = 0; at < chunk.size(); at += l.piece)
                out.write(chunk.data() + at, std::min(l.piece, chunk.size() - at));
        }
        out.close();
    }

    bench::xorshift rng(7);
    std::vector<std::string> small;
    std::string list;
    double small_mb = 0;
    if (!bench::exists(small_dir)) printf("writing 20000 files in %s\n", small_dir.c_str());
    bench::make_folders(small_dir);
    bench::xorshift sizes(11);
    for (int i = 0; i < 20000; ++i) {
        const std::string p = small_dir + "f" + std::to_string(i) + ".dat";
        const std::size_t n = 4096 + sizes.next() % (60 * 1024 + 1);
        if (!bench::exists(p)) bench::write_file(p, bench::random_bytes(rng, n));
        small.push_back(p);
        list += p;
        list += '\0';
        small_mb += static_cast<double>(n) / 1e6;
    }
    bench::write_file(dir + "small.list", list);

    const int rounds = 3;
    for (const layout& l : layouts) {
        const std::string path = dir + l.file;
        const std::string list_file = dir + l.file + ".list";
        bench::write_file(list_file, path + std::string(1, '\0'));
        print(l.name, measure({path}, list_file, rounds), 536.870912);
    }
    print("20,000 files 4-64 KiB", measure(small, dir + "small.list", rounds), small_mb);
    return 0;
}
