// The about box's reading of the server list on arbitrary bytes: whatever
// the list holds, an offered installer has a usable host and path, and every
// value kept is within its bound.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "GenC/hl_about.h"

namespace {

bool host_ok(const std::string& h)
{
    if (h.empty() || h.size() > kAboutHostMax) return false;
    for (char c : h)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-'))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The list is read from a file in the current folder (a scratch folder).
    static const char kFile[] = "fuzz_serverlist.txt";
    FILE* f = fopen(kFile, "wb");
    if (!f) return 0;
    if (size) fwrite(data, 1, size, f);
    fclose(f);

    about_check_state s;
    about_read_list(s, kFile);
    if (s.version_str_net.size() > kAboutVersionTextMax) __builtin_trap();
    if (s.ins_state == ins_offered) {
        if (!host_ok(s.installer_server)) __builtin_trap();
        if (s.installer_path.empty() || s.installer_path[0] != '/' ||
            s.installer_path.size() > kAboutPathMax)
            __builtin_trap();
        for (char c : s.installer_path)
            if (static_cast<unsigned char>(c) < 32 || c == 127) __builtin_trap();
    } else if (s.ins_state != ins_message || s.err_msg.empty()) {
        __builtin_trap();
    }
    return 0;
}
