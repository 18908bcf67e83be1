// Reader of uncompressed 24-bit Windows bitmaps.
#pragma once

#include <cstddef>
#include <string>

#include "TEX/TEX_utils.h"

class xmap_class;

// Outcome of decoding a bitmap held in memory.
enum tex_bmp_result {
    tex_bmp_ok = 1,
    tex_bmp_no_data = 0,
    tex_bmp_bad_format = -1,  // wanted format not GL_ALPHA, GL_RGB or GL_RGBA
    tex_bmp_bad_depth = -2,   // not 24 bits per pixel
    tex_bmp_compressed = -3,
    tex_bmp_refused = -4,     // sizes that do not fit the file or the output buffer
};

// Decodes the bitmap in [begin, end) into `data` (allocated with malloc when
// null; otherwise a buffer of `capacity` bytes). The pixels come out in GL row
// order as `format`; a pure magenta pixel becomes transparent black in RGBA.
tex_bmp_result TEX_decode_bmp(const unsigned char* begin, const unsigned char* end, unsigned char*& data,
                              unsigned int format, int row_pixels, int make_pow2, TEX_image_desc& desc,
                              std::size_t capacity);

// The framework's entry: decodes the mapped file from its read position,
// which advances past the 54-byte header. 1 on success, 0 when the file has no
// data or is refused; a wrong format, depth or compression is a fatal alert.
int TEX_load_bmp(const std::string& name, xmap_class* file, unsigned char*& data, unsigned int format,
                 int row_pixels, int make_pow2, TEX_image_desc& desc,
                 std::size_t capacity = 16u * 1024u * 1024u);

// Largest output a reader allocates for itself.
inline constexpr std::size_t kTexMaxAllocBytes = 256u * 1024u * 1024u;
