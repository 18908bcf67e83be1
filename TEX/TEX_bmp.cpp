#include "TEX/TEX_bmp.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"

namespace {

// Little-endian header fields; a field that does not lie wholly inside the
// file reads as 0, and so does every field after it.
struct field_reader {
    const unsigned char* pos;
    const unsigned char* end;
    uint32_t take(int bytes)
    {
        if (pos >= end || end - pos < bytes) {
            pos = end;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint32_t(pos[i]) << (8 * i);
        pos += bytes;
        return v;
    }
};

int channels_of(unsigned int format)
{
    return format == tex_rgb ? 3 : format == tex_rgba ? 4 : format == tex_alpha ? 1 : 0;
}

// The header is read from `header` onward, the pixels from begin + offset.
tex_bmp_result decode_bmp(const unsigned char* begin, const unsigned char* header, const unsigned char* end,
                          unsigned char*& data, unsigned int format, int row_pixels, int make_pow2,
                          TEX_image_desc& desc, std::size_t capacity)
{
    if (!begin || begin >= end) return tex_bmp_no_data;
    const int ch = channels_of(format);
    if (!ch) return tex_bmp_bad_format;

    field_reader r{header, end};
    r.take(2);                                     // type
    r.take(4);                                     // file size
    r.take(2);                                     // reserved
    r.take(2);
    const uint32_t offset = r.take(4);
    r.take(4);                                     // information header size
    const int32_t width = static_cast<int32_t>(r.take(4));
    const int32_t height = static_cast<int32_t>(r.take(4));
    r.take(2);                                     // layers
    const uint32_t bits = r.take(2);
    const uint32_t compression = r.take(4);
    if (bits != 24) return tex_bmp_bad_depth;
    if (compression != 0) return tex_bmp_compressed;

    // Sizes are checked before anything is written or allocated.
    if (width < 0 || width > 65536 || height > 65536) return tex_bmp_refused;
    if (row_pixels && !make_pow2 && row_pixels < width) return tex_bmp_refused;
    int64_t pad = row_pixels && !make_pow2 ? int64_t(ch) * (row_pixels - width) : 0;
    const int64_t h2 = make_pow2 ? TEX_pow2_at_least(height) : height;
    if (make_pow2) pad = int64_t(ch) * (TEX_pow2_at_least(width) - width);
    const int64_t out_row = int64_t(ch) * width + pad;
    const int64_t rows = make_pow2 ? h2 : std::max<int64_t>(height, 0);
    const uint64_t out_size = uint64_t(out_row) * uint64_t(rows);
    if (out_size > (data ? capacity : kTexMaxAllocBytes)) return tex_bmp_refused;

    const int64_t stride = (3 * int64_t(width) + 3) & ~int64_t(3);
    const int64_t file_size = end - begin;
    if (height > 0 && width > 0 &&
        int64_t(offset) + (height - 1) * stride + 3 * int64_t(width) > file_size)
        return tex_bmp_refused;

    desc.width = width;
    desc.height = height;
    desc.format = static_cast<int32_t>(format);
    desc.has_mips = 0;
    desc.pad = static_cast<int32_t>(pad);

    if (!data) {
        data = static_cast<unsigned char*>(malloc(out_size ? out_size : 1));
        if (!data) return tex_bmp_refused;
    }
    if (make_pow2 && (pad > 0 || h2 > height)) memset(data, 0, out_size);

    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* src = begin + offset + y * stride;
        unsigned char* out = data + y * out_row;
        for (int32_t x = 0; x < width; ++x, src += 3) {
            const unsigned char b = src[0], g = src[1], rr = src[2];
            if (ch == 3) {
                *out++ = rr;
                *out++ = g;
                *out++ = b;
            } else if (ch == 4) {
                const bool key = b == 255 && g == 0 && rr == 255;
                *out++ = key ? 0 : rr;
                *out++ = key ? 0 : g;
                *out++ = key ? 0 : b;
                *out++ = key ? 0 : 255;
            } else {
                *out++ = static_cast<unsigned char>((b + g + rr) / 3);
            }
        }
    }
    return tex_bmp_ok;
}

}  // namespace

tex_bmp_result TEX_decode_bmp(const unsigned char* begin, const unsigned char* end, unsigned char*& data,
                              unsigned int format, int row_pixels, int make_pow2, TEX_image_desc& desc,
                              std::size_t capacity)
{
    return decode_bmp(begin, begin, end, data, format, row_pixels, make_pow2, desc, capacity);
}

int TEX_load_bmp(const std::string& name, xmap_class* file, unsigned char*& data, unsigned int format,
                 int row_pixels, int make_pow2, TEX_image_desc& desc, std::size_t capacity)
{
    if (!file || !file->begin || !file->cursor) return 0;
    file->byte_swap = 0;
    const auto* end = reinterpret_cast<const unsigned char*>(file->end);
    const auto* header = reinterpret_cast<const unsigned char*>(file->cursor);
    file->cursor += std::min<std::ptrdiff_t>(54, file->end - file->cursor);
    switch (decode_bmp(reinterpret_cast<const unsigned char*>(file->begin), header, end, data, format, row_pixels, make_pow2, desc, capacity)) {
    case tex_bmp_ok: return 1;
    case tex_bmp_bad_format:
        __MACIBM_alert(0, "Illegal desired format for bmp.", name, "", "", t_exit, "TEX/TEX_bmp", 27);
        return 0;
    case tex_bmp_bad_depth:
        __MACIBM_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "", name, t_exit,
                       "TEX/TEX_bmp", 48);
        return 0;
    case tex_bmp_compressed:
        __MACIBM_alert(0, "Bitmap is compressed!", "", "", name, t_exit, "TEX/TEX_bmp", 49);
        return 0;
    default: return 0;
    }
}
