// The framework file header test on arbitrary bytes, held in a buffer of
// exactly their size so that any read past the end is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "OOPS_cpp/xmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    ++data;
    --size;
    std::unique_ptr<char[]> bytes(new char[size ? size : 1]);
    if (size) std::memcpy(bytes.get(), data, size);

    static const char* const kKeywords[] = {nullptr, "SERVERS", "INSTALLER", "I"};
    static const int kVersions[] = {820, 840, 900, 9001, 1, -820, 0};

    xmap_class map("");
    map.begin = map.cursor = bytes.get();
    map.end = bytes.get() + size;
    const int type = (selector & 1) ? xmap_type_binary : xmap_type_text;
    std::string rest;
    const int version = map.check_file(type, kVersions, kKeywords[(selector >> 1) & 3],
                                       (selector & 8) ? &rest : nullptr);
    if (map.cursor < map.begin || map.cursor > map.end) __builtin_trap();
    if (version != 0) {
        bool listed = false;
        for (const int* v = kVersions; *v; ++v) listed |= *v == version;
        if (!listed) __builtin_trap();
        const long left = static_cast<long>(map.end - map.cursor);
        const long count = left < 64 ? left : 64;
        char out[64];
        map.read_n_rev(out, count);
    }
    map.TXT_xer_line();
    map.begin = map.cursor = map.end = nullptr;  // nothing of ours to unmap
    return 0;
}
