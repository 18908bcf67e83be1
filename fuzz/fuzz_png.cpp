// The PNG decoder on arbitrary bytes: into a fixed buffer (the texture
// manager's way, power-of-two padding) and into its own allocation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TEX/TEX_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<unsigned char> buffer(1 << 20);
    const char* begin = reinterpret_cast<const char*>(data);
    const unsigned formats[] = {tex_alpha, tex_rgb, tex_rgba};
    const unsigned format = formats[size % 3];

    const char* cursor = begin;
    unsigned char* out = buffer.data();
    TEX_image_desc desc;
    if (TEX_decode_png(cursor, begin + size, out, format, 0, 1, size & 4, desc, buffer.size(), "fuzz", nullptr) ==
        tex_png_ok) {
        if (out != buffer.data()) __builtin_trap();
        if (uint64_t(TEX_bytes_per_pixel(desc.format) * desc.width + desc.pad) *
                uint64_t(TEX_pow2_at_least(desc.height)) > buffer.size())
            __builtin_trap();
    }
    if (cursor < begin || cursor > begin + size) __builtin_trap();

    cursor = begin;
    unsigned char* own = nullptr;
    if (TEX_decode_png(cursor, begin + size, own, format, 0, 0, 1, desc, 0, "fuzz", nullptr) == tex_png_ok &&
        !own)
        __builtin_trap();
    free(own);
    return 0;
}
