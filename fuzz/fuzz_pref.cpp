// The preference reader on arbitrary file contents: every line gives at most
// one key, and what was read survives a write and a second read unchanged.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "OOPS_cpp/pref.h"

namespace {

const std::string& home()
{
    static const std::string folder = [] {
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/brx-fuzz-pref-XXXXXX";
        if (!mkdtemp(templ.data())) abort();
        setenv("HOME", templ.c_str(), 1);
        mkdir((templ + "/.brennix").c_str(), 0777);
        return templ + "/.brennix/";
    }();
    return folder;
}

bool has_any(const std::string& s, const char* set, std::size_t set_len)
{
    return s.find_first_of(set, 0, set_len) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string file = home() + kPrefFileName;
    if (FILE* f = fopen(file.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    pref.IO_set(11, 0);

    std::map<std::string, std::string> first;
    {
        scan_class in(file, 0);
        first = in.values;
    }
    for (const auto& [key, value] : first) {
        if (key.empty() || has_any(key, " \t\r\n\0", 5) || has_any(value, "\r\n\0", 3) ||
            value[0] == ' ' || value[0] == '\t')
            __builtin_trap();
    }

    const std::string copy = home() + "copy.prf";
    {
        scan_class out(copy, 1);
        std::string unused;
        for (const auto& [key, value] : first) out.fetch_or_get(value, unused, key);
    }
    scan_class again(copy, 0);
    if (again.values != first) __builtin_trap();
    return 0;
}
