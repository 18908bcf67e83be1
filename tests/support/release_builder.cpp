#include "support/release_builder.h"

#include <ftw.h>
#include <md5.h>
#include <minizip/zip.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "support/test_util.h"

namespace brx_test {
namespace {

bool send_all_to_file(int fd, const std::string& bytes, off_t at)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done,
                                 at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void make_parents(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0755);
}

long kilobytes(uint64_t bytes) { return static_cast<long>((bytes + 1023) / 1024); }

// Runs a tool with `args` and returns what it wrote to standard output;
// throws unless it exits with status 0.
std::string run_tool(const std::vector<std::string>& args)
{
    // Archives are packed from several threads: the child only calls what is
    // safe after a fork, and no other child inherits this pipe.
    std::vector<std::string> cmd = args;
    cmd[0] = find_program(args[0]);
    if (cmd[0].empty()) throw std::runtime_error(args[0] + " is not installed");
    std::vector<char*> argv = exec_strings(cmd);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " failed on " + args.back());
    return text;
}

}  // namespace

uint64_t size_of(const ReleaseFile& file) { return file.bytes.size() + file.zeros + file.tail.size(); }

void write_release_file(const std::string& path, const ReleaseFile& file)
{
    if (file.zeros == 0 && file.tail.empty()) {
        write_file(path, file.bytes);
        return;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && send_all_to_file(fd, file.bytes, 0) &&
              send_all_to_file(fd, file.tail, static_cast<off_t>(file.bytes.size() + file.zeros)) &&
              ftruncate(fd, static_cast<off_t>(size_of(file))) == 0;
    if (fd >= 0) ok = close(fd) == 0 && ok;
    if (!ok) throw std::runtime_error("cannot write " + path);
}

std::string md5sum_of(const std::string& path)
{
    const std::string line = run_tool({"md5sum", "-b", path});
    if (line.size() < 32) throw std::runtime_error("md5sum gave no digest for " + path);
    return line.substr(0, 32);
}

std::string md5_of(const ReleaseFile& file)
{
    if (file.zeros == 0 && file.tail.empty()) return md5_of(file.bytes);
    // Summing gigabytes takes a while; a release asks for each file's digest
    // more than once.
    static std::mutex lock;
    static std::map<std::string, std::string> known;
    const std::string key = file.bytes + '\0' + std::to_string(file.zeros) + '\0' + file.tail;
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (const auto it = known.find(key); it != known.end()) return it->second;
    }
    TempDir scratch;
    write_release_file(scratch / "f", file);
    const std::string digest = md5sum_of(scratch / "f");
    const std::lock_guard<std::mutex> hold(lock);
    return known[key] = digest;
}

void make_zip(const std::string& zip_path, const std::string& name, const std::string& bytes)
{
    make_zip(zip_path, {ZipEntry{name, bytes}});
}

void make_zip(const std::string& zip_path, const std::string& name, const ReleaseFile& file)
{
    if (file.zeros == 0 && file.tail.empty()) {
        make_zip(zip_path, name, file.bytes);
        return;
    }
    // The zip tool reads the hole quickly and deflates natively.
    make_parents(zip_path);
    TempDir scratch;
    write_release_file(scratch / name, file);
    unlink(zip_path.c_str());
    run_tool({"zip", "-q", "-j", "-X", zip_path, scratch / name});
}

void make_zip(const std::string& zip_path, const std::vector<ZipEntry>& entries)
{
    make_parents(zip_path);
    zipFile zf = zipOpen64(zip_path.c_str(), APPEND_STATUS_CREATE);
    if (zf == nullptr) throw std::runtime_error("cannot create " + zip_path);
    bool ok = true;
    for (const ZipEntry& e : entries) {
        zip_fileinfo info;
        std::memset(&info, 0, sizeof info);
        info.tmz_date.tm_year = 2026;
        info.tmz_date.tm_mday = 1;
        info.external_fa = static_cast<uLong>(e.mode) << 16;
        ok = ok && zipOpenNewFileInZip64(zf, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                         Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) == ZIP_OK;
        for (size_t at = 0; ok && at < e.bytes.size(); at += 1u << 20) {
            const size_t n = std::min<size_t>(e.bytes.size() - at, 1u << 20);
            ok = zipWriteInFileInZip(zf, e.bytes.data() + at, static_cast<unsigned>(n)) == ZIP_OK;
        }
        ok = zipCloseFileInZip(zf) == ZIP_OK && ok;
    }
    ok = zipClose(zf, nullptr) == ZIP_OK && ok;
    if (!ok) throw std::runtime_error("cannot write " + zip_path);
}

namespace {

std::string served_folder(const Release& r, const ReleaseServer& s)
{
    std::string prefix = s.path_prefix;
    while (!prefix.empty() && prefix.front() == '/') prefix.erase(0, 1);
    return prefix + r.version_name + "/";
}

std::string directory_text_with(const Release& release, const std::map<std::string, long>& down_kb)
{
    std::set<std::string> paths;
    for (const ReleaseTree& tree : release.versions)
        for (const auto& [path, file] : tree) paths.insert(path);

    std::string out = "I\n900 version\nINSTALLER\n";
    std::string dir_text;
    for (const std::string& path : paths) {
        const size_t slash = path.rfind('/');
        const std::string dir = release.top_folder + "/" +
                                (slash == std::string::npos ? "" : path.substr(0, slash + 1));
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (dir != dir_text) out += "DIR " + (dir_text = dir) + "\n";
        bool listed = false;
        bool gone = false;
        for (size_t k = 0; k < release.versions.size(); ++k) {
            const auto it = release.versions[k].find(path);
            if (it != release.versions[k].end()) {
                const ReleaseFile& f = it->second;
                const bool newest = k + 1 == release.versions.size();
                const auto kb = down_kb.find(path);
                const long down = newest && kb != down_kb.end() ? kb->second : kilobytes(size_of(f));
                out += "FILE 1 " + std::to_string(f.os) + " 0 " + std::to_string(down) + " " +
                       std::to_string(kilobytes(size_of(f))) + " " + md5_of(f) + " " + name + "\n";
                listed = true;
                gone = false;
            } else if (listed && !gone) {
                const int os = release.versions[k - 1].at(path).os;
                out += "FILE 1 " + std::to_string(os) + " 0 0 0 GONE " + name + "\n";
                gone = true;
            }
        }
    }
    return out;
}

}  // namespace

std::string md5_of(const std::string& bytes)
{
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    uint8_t digest[16];
    MD5Final(digest, &ctx);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string directory_text(const Release& release) { return directory_text_with(release, {}); }

void build_release(const Release& release, const std::string& site, int jobs)
{
    if (release.versions.empty()) throw std::invalid_argument("a release needs a version");
    std::string list = "I\n820 version\nSERVERS\nFINAL " + release.version_name + "\n";
    std::set<std::string> folders;
    for (const ReleaseServer& s : release.servers) {
        list += "SERVER " + s.host + "\n" + s.path_prefix + "\n" + s.description + "\n";
        folders.insert(site + served_folder(release, s));
    }
    list += "ENDOFLIST\n";
    write_file(site + "serverlist.txt", list);

    const ReleaseTree& newest = release.versions.back();
    std::vector<const std::pair<const std::string, ReleaseFile>*> files;
    for (const auto& entry : newest) files.push_back(&entry);
    std::map<std::string, long> down_kb;
    for (const std::string& folder : folders) {
        std::vector<long> sizes(files.size());
        std::atomic<size_t> next{0};
        std::vector<std::thread> workers;
        for (int j = 0; j < std::max(1, jobs); ++j)
            workers.emplace_back([&] {
                for (size_t i; (i = next++) < files.size();) {
                    const std::string& path = files[i]->first;
                    const std::string zip = folder + release.top_folder + "/" + path + ".zip";
                    make_zip(zip, path.substr(path.rfind('/') + 1), files[i]->second);
                    struct stat st;
                    sizes[i] = stat(zip.c_str(), &st) == 0 ? kilobytes(uint64_t(st.st_size)) : 0;
                }
            });
        for (std::thread& t : workers) t.join();
        for (size_t i = 0; i < files.size(); ++i) down_kb[files[i]->first] = sizes[i];
    }
    const std::string text = directory_text_with(release, down_kb);
    for (const std::string& folder : folders) {
        make_parents(folder + "directory.txt");
        write_file(folder + "directory.txt", text);
        make_zip(folder + "directory.txt.zip", "directory.txt", text);
    }
}

void install_tree(const Release& release, size_t index, const std::string& dest)
{
    for (const auto& [path, file] : release.versions.at(index)) {
        make_parents(dest + path);
        write_release_file(dest + path, file);
    }
}

namespace {
thread_local std::map<std::string, std::string>* walk_out = nullptr;
thread_local size_t walk_root_len = 0;
}  // namespace

std::map<std::string, std::string> tree_md5s(const std::string& root)
{
    std::map<std::string, std::string> out;
    walk_out = &out;
    walk_root_len = root.size();
    nftw(
        root.c_str(),
        [](const char* path, const struct stat*, int type, struct FTW*) {
            if (type == FTW_F) (*walk_out)[std::string(path).substr(walk_root_len)] = md5_of(read_file(path));
            return 0;
        },
        16, FTW_PHYS);
    return out;
}

}  // namespace brx_test
