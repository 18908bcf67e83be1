// Builds what the maker's servers hold for a product: the server list, the
// file directory with the version history of every path (zipped as the
// installer fetches it) and one zip archive per file of the newest version,
// laid out under one folder for a web server to serve.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace brx_test {

struct ReleaseFile {
    std::string bytes;
    int os = 0;  // 0 any, 1 Macintosh, 2 Windows, 3 Linux
    // A large file: `bytes`, then `zeros` zero bytes, then `tail`. It is
    // written sparse and packed by the zip tool, never held in memory.
    uint64_t zeros = 0;
    std::string tail{};
};

// The file's length in bytes.
uint64_t size_of(const ReleaseFile& file);
// Writes the file at `path`, its run of zeros as a hole.
void write_release_file(const std::string& path, const ReleaseFile& file);
// The file's MD5, as 32 lower-case hexadecimal digits.
std::string md5_of(const ReleaseFile& file);
// The MD5 of the file at `path`, computed by the md5sum tool (quick on files
// of gigabytes, also when the test itself runs under an emulator).
std::string md5sum_of(const std::string& path);

// One version of the product tree: paths below the installation folder
// ("Resources/a.dat") and their contents.
using ReleaseTree = std::map<std::string, ReleaseFile>;

struct ReleaseServer {
    std::string host;         // name the web server answers to
    std::string path_prefix;  // "/brennix/": the version name and "/" follow
    std::string description;
};

struct Release {
    std::string version_name = "Brennix 9.00";  // the server list's FINAL value
    std::string top_folder = "Brennix";         // top folder of every listed path
    std::vector<ReleaseTree> versions;          // oldest first; the last is served
    std::vector<ReleaseServer> servers;
};

// The text of "directory.txt": for every path in order, one FILE line per
// version that holds it and a GONE line where a version dropped it.
std::string directory_text(const Release& release);

// Writes the release into `site` (ending in "/"): "serverlist.txt" at its top,
// and below each distinct server path prefix + version name + "/":
// "directory.txt", "directory.txt.zip" and <top folder>/<path>.zip for every
// file of the newest version. `jobs` archives are packed side by side.
void build_release(const Release& release, const std::string& site, int jobs = 4);

// Writes version `index` of the release as an installed tree below `dest`.
void install_tree(const Release& release, size_t index, const std::string& dest);

// The MD5 of every file below `root`, by relative path.
std::map<std::string, std::string> tree_md5s(const std::string& root);

// Writes an archive holding `bytes` as its one entry `name`.
void make_zip(const std::string& zip_path, const std::string& name, const std::string& bytes);

// Writes an archive holding `file` as its one entry `name`.
void make_zip(const std::string& zip_path, const std::string& name, const ReleaseFile& file);

// One entry of an archive: `mode` is a Unix mode with its type bits (0100755
// a program, 040755 a folder named with a final "/", 0120777 a link whose
// target is `bytes`).
struct ZipEntry {
    std::string name;
    std::string bytes;
    unsigned mode = 0100644;
};
// Writes an archive holding the entries in order.
void make_zip(const std::string& zip_path, const std::vector<ZipEntry>& entries);

// The MD5 of bytes, as 32 lower-case hexadecimal digits.
std::string md5_of(const std::string& bytes);

}  // namespace brx_test
