// The BMP reader on arbitrary bytes, into a fixed buffer and into its own
// allocation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TEX/TEX_bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<unsigned char> buffer(1 << 20);
    const unsigned formats[] = {tex_alpha, tex_rgb, tex_rgba};
    const unsigned format = formats[size % 3];
    unsigned char* out = buffer.data();
    TEX_image_desc desc;
    TEX_decode_bmp(data, data + size, out, format, (size & 8) ? 300 : 0, size & 4, desc, buffer.size());

    unsigned char* own = nullptr;
    if (size < (1 << 16)) {
        TEX_decode_bmp(data, data + size, own, format, 0, 0, desc, 0);
        free(own);
    }
    return 0;
}
