// Zip extraction of mutated archives into a fresh folder: whatever the
// archive holds, nothing may appear, change or vanish outside that folder.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // FTW_ACTIONRETVAL
#endif
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Files/io_utils.h"

namespace {

std::string scratch_root()
{
    static std::string root = [] {
        const char* base = getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/brx-fuzz-zip-XXXXXX";
        if (!mkdtemp(templ.data())) abort();
        return templ + "/";
    }();
    return root;
}

int remove_entry(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

void remove_tree(const std::string& path)
{
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

int outside_count = 0;

int count_entry(const char* path, const struct stat*, int, struct FTW* ftw)
{
    const std::string p = path;
    if (ftw->level == 1 && p.size() >= 2 && p.compare(p.size() - 2, 2, "/t") == 0)
        return FTW_SKIP_SUBTREE;
    ++outside_count;
    return FTW_CONTINUE;
}

// The entries below `folder`, itself included, that are not in the target "t".
int count_outside(const std::string& folder, std::string& keep_text)
{
    outside_count = 0;
    nftw(folder.c_str(), count_entry, 16, FTW_PHYS | FTW_ACTIONRETVAL);
    std::ifstream in(folder + "outside/keep");
    std::getline(in, keep_text);
    return outside_count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string root = scratch_root() + "run/";
    remove_tree(root);
    mkdir(root.c_str(), 0755);
    mkdir((root + "t").c_str(), 0755);
    mkdir((root + "outside").c_str(), 0755);
    {
        std::ofstream(root + "outside/keep") << "keep";
        std::ofstream zip(root + "a.zip", std::ios::binary);
        zip.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // A link planted in the target that leads outside must not be written through.
    symlink("../outside", (root + "t/out").c_str());

    zip_to_file(root + "a.zip", root + "t/", nullptr, 0);

    std::string keep;
    // root itself, a.zip, outside/ and outside/keep.
    if (count_outside(root, keep) != 4 || keep != "keep") __builtin_trap();
    return 0;
}
