// PNG codec (libpng): decoding into GL_ALPHA, GL_RGB or GL_RGBA in GL row
// order, with power-of-two or fixed-length padding, and encoding.
#pragma once

#include <cstddef>
#include <string>

#include "TEX/TEX_utils.h"

class xmap_class;

// True when the bytes begin with the PNG signature.
bool TEX_is_png(const char* bytes, std::size_t size);

// Outcome of decoding a PNG held in memory.
enum tex_png_result {
    tex_png_ok = 1,
    tex_png_no_data = 0,       // null, or fewer than 8 bytes
    tex_png_bad_signature = -1,
    tex_png_corrupt = -2,      // libpng reported an error (message given back)
    tex_png_bad_format = -3,   // wanted format not GL_ALPHA, GL_RGB or GL_RGBA
    tex_png_refused = -4,      // the output would not fit the buffer
    tex_png_no_read_struct = -5,  // libpng could not create its structures
    tex_png_no_info_struct = -6,
};

// For tests: when above 0, the decoder's allocation with this number (counted
// from 1 in each decode) fails as if memory had run out; 0 fails none.
extern int tex_png_failing_alloc;

// Decodes from *cursor (advanced past the image data) up to end. `data` is
// filled as TEX_load_png describes; a buffer passed in holds `capacity` bytes.
// `path` only names the image in log lines.
tex_png_result TEX_decode_png(const char*& cursor, const char* end, unsigned char*& data, unsigned int format,
                              int row_pixels, int make_pow2, int follow_alpha, TEX_image_desc& desc,
                              std::size_t capacity, const std::string& path, std::string* error);

// The framework's entry on a mapped file. 1 decoded; 0 when the map holds
// fewer than 8 bytes or the output would not fit. libpng structures that
// cannot be created, a missing signature, a corrupt file or a bad format are
// alerts, as the framework reports them.
int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int format,
                 int row_pixels, int make_pow2, int follow_alpha, TEX_image_desc& desc,
                 std::size_t capacity = 16u * 1024u * 1024u);

// Writes an image (GL row order, desc.pad after each row) as a PNG of
// app_path + path; 1 when the whole file was written.
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* data);

// The first width x height pixels of scratch_array as a PNG (a screenshot).
int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel);
