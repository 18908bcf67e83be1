// zip_to_file against "unzip -o -q" on one archive of about 200 MiB of mixed
// entries and on 2,000 small archives, each unpacked into a fresh folder.
// Usage: bench_zip [scratch folder].
#include <zip.h>

#include "Files/io_utils.h"
#include "bench/common.h"

namespace {

struct entry {
    std::string name;
    std::string data;
    unsigned mode;
};

void write_zip(const std::string& path, const std::vector<entry>& entries)
{
    zipFile z = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!z) bench::fail("cannot write " + path, errno ? errno : EIO);
    for (const entry& e : entries) {
        zip_fileinfo info = {};
        info.tmz_date = {6, 5, 4, 3, 1, 2005};
        info.external_fa = static_cast<uLong>(e.mode) << 16;
        const bool ok =
            zipOpenNewFileInZip(z, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION) == ZIP_OK &&
            (e.data.empty() ||
             zipWriteInFileInZip(z, e.data.data(), static_cast<unsigned>(e.data.size())) == ZIP_OK) &&
            zipCloseFileInZip(z) == ZIP_OK;
        if (!ok) bench::fail("cannot write " + path, errno ? errno : EIO);
    }
    if (zipClose(z, nullptr) != ZIP_OK) bench::fail("cannot write " + path, errno ? errno : EIO);
}

// Folders, many small files, some large ones; text and incompressible bytes.
void make_big_archive(const std::string& path)
{
    bench::xorshift r(3);
    std::vector<entry> entries;
    for (int f = 0; f < 20; ++f) {
        const std::string folder = "Resources/part" + std::to_string(f) + "/";
        entries.push_back({folder, "", 040755});
        for (int i = 0; i < 100; ++i) {
            const std::size_t n = 512 + r.next() % (48 * 1024);
            const bool text = r.next() % 2;
            entries.push_back({folder + "f" + std::to_string(i) + (text ? ".txt" : ".bin"),
                               text ? bench::text_bytes(r, n) : bench::random_bytes(r, n), 0100644});
        }
        entries.push_back({folder + "large.dds", bench::random_bytes(r, 6u << 20), 0100644});
        entries.push_back({folder + "large.obj", bench::text_bytes(r, 12u << 20), 0100755});
    }
    entries.insert(entries.begin(), {"Resources/", "", 040755});
    write_zip(path, entries);
}

void make_small_archives(const std::string& dir)
{
    bench::xorshift r(5);
    bench::make_folders(dir);
    for (int a = 0; a < 2000; ++a) {
        std::vector<entry> entries;
        const std::string folder = "Custom/s" + std::to_string(a % 50) + "/";
        entries.push_back({"Custom/", "", 040755});
        entries.push_back({folder, "", 040755});
        const int files = 1 + static_cast<int>(r.next() % 3);
        for (int i = 0; i < files; ++i) {
            const std::size_t n = 256 + r.next() % (24 * 1024);
            entries.push_back({folder + "a" + std::to_string(a) + "_" + std::to_string(i) + ".txt",
                               bench::text_bytes(r, n), 0100644});
        }
        write_zip(dir + "z" + std::to_string(a) + ".zip", entries);
    }
}

double fresh(const std::string& out)
{
    bench::remove_tree(out);
    bench::make_folders(out);
    sync();
    return bench::now_seconds();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dir = bench::work_folder(argc, argv, "brx-bench-zip");
    const std::string big = dir + "big.zip";
    const std::string small = dir + "small/";
    if (!bench::exists(big)) {
        printf("writing %s\n", big.c_str());
        make_big_archive(big);
    }
    if (!bench::exists(small)) {
        printf("writing 2000 archives in %s\n", small.c_str());
        make_small_archives(small);
    }
    struct stat st;
    stat(big.c_str(), &st);
    printf("archive of %.1f MiB\n", static_cast<double>(st.st_size) / (1 << 20));
    bench::time_command("cat '" + big + "' '" + small + "'*.zip >/dev/null");  // warm the cache

    const std::string out = dir + "out/";
    double ours_big = 1e9, unzip_big = 1e9, ours_small = 1e9, unzip_small = 1e9;
    // The two sets run apart, so that removing the large output does not
    // weigh on the small runs; each tool's best of five rounds counts.
    for (int round = 0; round < 5; ++round) {
        const double t0 = fresh(out);
        if (zip_to_file(big, out, nullptr, 0) != 0) return 1;
        ours_big = std::min(ours_big, bench::now_seconds() - t0);
        fresh(out);
        unzip_big = std::min(unzip_big, bench::time_command("unzip -o -q '" + big + "' -d '" + out +
                                                            "' >/dev/null 2>&1"));
    }
    for (int round = 0; round < 5; ++round) {
        const double t0 = fresh(out);
        for (int a = 0; a < 2000; ++a)
            if (zip_to_file(small + "z" + std::to_string(a) + ".zip", out, nullptr, 0) != 0) return 1;
        ours_small = std::min(ours_small, bench::now_seconds() - t0);
        fresh(out);
        unzip_small = std::min(unzip_small, bench::time_command("unzip -o -q '" + small + "*.zip' -d '" +
                                                                out + "' >/dev/null 2>&1"));
    }
    bench::remove_tree(out);
    printf("%-24s zip_to_file %7.3f s   unzip -o -q %7.3f s   zip_to_file / unzip = %.3f\n",
           "one 200 MiB archive", ours_big, unzip_big, ours_big / unzip_big);
    printf("%-24s zip_to_file %7.3f s   unzip -o -q %7.3f s   zip_to_file / unzip = %.3f\n",
           "2,000 small archives", ours_small, unzip_small, ours_small / unzip_small);
    return 0;
}
