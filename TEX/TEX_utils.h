// Decoded images: their description, byte sizes, vertical flips (DXT blocks
// included), in-place reduction, loading by content, chroma key, compositing
// and the texture-size limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// GL pixel formats of decoded data (the GL's own values).
enum : int {
    tex_alpha = 0x1906,      // GL_ALPHA, 1 byte per pixel
    tex_rgb = 0x1907,        // GL_RGB
    tex_rgba = 0x1908,       // GL_RGBA
    tex_bgr = 0x80E0,        // GL_BGR
    tex_bgra = 0x80E1,       // GL_BGRA
    tex_dxt1 = 0x83F0,       // GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8-byte blocks
    tex_dxt1a = 0x83F1,      // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
    tex_dxt3 = 0x83F2,       // 16-byte blocks
    tex_dxt5 = 0x83F3,
};

// What every image reader fills and the texture manager consumes.
struct TEX_image_desc {
    int32_t format = 0;    // GL pixel format (above)
    int32_t width = 0;     // of the base level, in pixels
    int32_t height = 0;
    int32_t pad = 0;       // bytes after each row (uncompressed formats)
    int32_t has_mips = 0;  // the whole chain down to 1 by 1 follows the base level
};

// Bytes per pixel of an uncompressed format, 0 for any other.
int TEX_bytes_per_pixel(int format);
bool TEX_is_dxt(int format);

// Byte size of the pixel data, every level included when has_mips is set; 0
// for a format outside the table above. Computed in 64 bits: a description
// read from a file may be huge.
int64_t TEX_bytes_needed_64(const TEX_image_desc& desc);
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);

// Flips every level in place (GL row order from top-down data and back).
void TEX_flip_y(const TEX_image_desc& desc, unsigned char* data);

// Reduces the base level in place by fx across and fy down (each at least 1)
// and updates the description's sizes; format and pad stay.
void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy);

// Loads a BMP (by its "BM" magic) or else a PNG file into `data` (a null
// pointer makes the reader allocate with malloc; the caller frees it). A
// buffer passed in holds `capacity` bytes; an image that does not fit is
// refused. Returns nonzero on success; data that is neither BMP nor PNG, or
// that does not decode, fails quietly.
int TEX_load_any(const std::string& path, unsigned char*& data, unsigned int format, int row_pixels,
                 int follow_alpha, TEX_image_desc& desc, std::size_t capacity = 16u * 1024u * 1024u);
// Tries path with its three-letter extension replaced by .dds, .png and .bmp.
int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned int format, int row_pixels,
                     int follow_alpha, TEX_image_desc& desc, std::size_t capacity = 16u * 1024u * 1024u);

// Clears the alpha of every RGBA pixel within `tolerance` (sum of the channel
// differences, exclusive) of key[0..2].
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, unsigned char* key, int tolerance);

// Draws src bilinearly into the rectangle (x1, y1) to (x2, y2) of dst, in dst
// pixels, blending by the source alpha.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2);

// Fatal alert unless size lies in 1 to 2048.
void check_dxy(int size, std::string name);

// The smallest power of two not below n (1 for n of 1 or less).
int TEX_pow2_at_least(int n);

// Flips of one level and of DXT blocks.
struct DXTColBlock {
    uint16_t col0, col1;
    uint8_t row[4];
};
struct DXT5AlphaBlock {
    uint8_t alpha0, alpha1;
    uint8_t row[6];
};
void nv_flip(int format, char* data, int width, int height, int size);
void nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count);
void nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count);
void nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count);
void nv_flip_dxt5_alpha(DXT5AlphaBlock* block);
void nv_swap(void* a, void* b, int n);
