// The DDS reader on arbitrary bytes, then the texture manager's use of what it
// accepts: copying every level and turning it over.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "TEX/TEX_dds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    if (!TEX_parse_dds(data, data + size, pixels, desc)) return 0;
    const int64_t bytes = TEX_bytes_needed_64(desc);
    if (pixels < data || bytes > int64_t(data + size - pixels)) __builtin_trap();
    if (bytes > (8 << 20)) return 0;
    std::vector<unsigned char> copy(pixels, pixels + bytes);
    TEX_flip_y(desc, copy.data());
    return 0;
}
