#include "TEX/TEX_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <squish.h>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bmp.h"
#include "TEX/TEX_png.h"

int TEX_bytes_per_pixel(int format)
{
    switch (format) {
    case tex_alpha: return 1;
    case tex_rgb:
    case tex_bgr: return 3;
    case tex_rgba:
    case tex_bgra: return 4;
    default: return 0;
    }
}

bool TEX_is_dxt(int format) { return format >= tex_dxt1 && format <= tex_dxt5; }

int64_t TEX_bytes_needed_64(const TEX_image_desc& desc)
{
    const int bpp = TEX_bytes_per_pixel(desc.format);
    if (!bpp && !TEX_is_dxt(desc.format)) return 0;
    int64_t w = std::max(desc.width, 0), h = std::max(desc.height, 0), total = 0;
    for (;;) {
        if (bpp) {
            total += (bpp * w + desc.pad) * h;
        } else {
            const int64_t block = desc.format == tex_dxt3 || desc.format == tex_dxt5 ? 16 : 8;
            total += ((w + 3) / 4) * ((h + 3) / 4) * block;
        }
        if (!desc.has_mips || (w <= 1 && h <= 1)) break;
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    return total;
}

int TEX_bytes_needed_for_image(const TEX_image_desc& desc)
{
    const int64_t n = TEX_bytes_needed_64(desc);
    return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

int TEX_pow2_at_least(int n)
{
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

// ---------------------------------------------------------------------------
// Flips.

void nv_swap(void* a, void* b, int n)
{
    auto* x = static_cast<unsigned char*>(a);
    auto* y = static_cast<unsigned char*>(b);
    for (int i = 0; i < n; ++i) std::swap(x[i], y[i]);
}

static void swap_bytes(unsigned char* b, int i, int j) { std::swap(b[i], b[j]); }

void nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count)
{
    auto* b = reinterpret_cast<unsigned char*>(blocks);
    for (int i = 0; i < count; ++i, b += 8) {
        swap_bytes(b, 4, 7);
        swap_bytes(b, 5, 6);
    }
}

void nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count)
{
    auto* b = reinterpret_cast<unsigned char*>(blocks);
    for (int i = 0; i < count; ++i, b += 16) {
        nv_swap(b + 0, b + 6, 2);
        nv_swap(b + 2, b + 4, 2);
        swap_bytes(b, 12, 15);
        swap_bytes(b, 13, 14);
    }
}

static uint32_t get24(const uint8_t* p) { return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16); }
static void put24(uint8_t* p, uint32_t v)
{
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
    p[2] = (v >> 16) & 0xFF;
}

void nv_flip_dxt5_alpha(DXT5AlphaBlock* block)
{
    const uint32_t a = get24(block->row), b = get24(block->row + 3);
    put24(block->row, ((b >> 12) & 0xFFF) | ((b & 0xFFF) << 12));
    put24(block->row + 3, ((a >> 12) & 0xFFF) | ((a & 0xFFF) << 12));
}

void nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count)
{
    auto* b = reinterpret_cast<unsigned char*>(blocks);
    for (int i = 0; i < count; ++i, b += 16) {
        nv_flip_dxt5_alpha(reinterpret_cast<DXT5AlphaBlock*>(b));
        swap_bytes(b, 12, 15);
        swap_bytes(b, 13, 14);
    }
}

static int dxt_block_bytes(int format) { return format == tex_dxt3 || format == tex_dxt5 ? 16 : 8; }

// Exchanges pixel rows i and j inside each of count blocks: their colour
// indices and, for DXT3 and DXT5, their alpha. The block's colours stay.
static void swap_rows_in_blocks(int format, unsigned char* b, int count, int i, int j)
{
    const int size = dxt_block_bytes(format);
    for (int k = 0; k < count; ++k, b += size) {
        swap_bytes(b + size - 8, 4 + i, 4 + j);
        if (format == tex_dxt3) nv_swap(b + 2 * i, b + 2 * j, 2);
        if (format == tex_dxt5) {
            uint64_t bits = get24(b + 2) | uint64_t(get24(b + 5)) << 24;
            const uint64_t ri = (bits >> (12 * i)) & 0xFFF, rj = (bits >> (12 * j)) & 0xFFF;
            bits &= ~((uint64_t(0xFFF) << (12 * i)) | (uint64_t(0xFFF) << (12 * j)));
            bits |= ri << (12 * j) | rj << (12 * i);
            put24(b + 2, uint32_t(bits & 0xFFFFFF));
            put24(b + 5, uint32_t(bits >> 24));
        }
    }
}

static int squish_flags(int format)
{
    return format == tex_dxt3 ? squish::kDxt3 : format == tex_dxt5 ? squish::kDxt5 : squish::kDxt1;
}

void nv_flip(int format, char* data, int width, int height, int size)
{
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    if (TEX_bytes_per_pixel(format)) {
        if (height <= 0) return;
        const int row = size / height;
        for (int i = 0; i < height / 2; ++i) nv_swap(bytes + i * row, bytes + (height - 1 - i) * row, row);
        return;
    }
    if (!TEX_is_dxt(format)) {
        __MACIBM_alert(0, "Illegal format!", "", "", "", t_exit, "TEX/TEX_utils", 424);
        return;
    }
    if (width <= 0 || height <= 1) return;
    // Block rows as stored: partial blocks count, so narrow levels and sides
    // that are not multiples of 4 flip with the stride they are stored with.
    const int block = dxt_block_bytes(format);
    const int bx = (width + 3) / 4, by = (height + 3) / 4;
    const int line = bx * block;
    if (by == 1) {
        // One block row: its picture rows turn over inside each block.
        for (int i = 0; i < height / 2; ++i) swap_rows_in_blocks(format, bytes, bx, i, height - 1 - i);
        return;
    }
    if (height % 4) {
        // The picture rows straddle the stored block rows differently once
        // turned, and blocks cannot carry rows of another block's colours:
        // the level is decoded, turned and compressed again.
        if (int64_t(size) < int64_t(by) * line) return;
        const int flags = squish_flags(format);
        const std::size_t row = std::size_t(width) * 4;
        std::vector<unsigned char> pixels(row * height), turned(row * height);
        squish::DecompressImage(pixels.data(), width, height, bytes, flags);
        for (int y = 0; y < height; ++y)
            memcpy(turned.data() + y * row, pixels.data() + (height - 1 - y) * row, row);
        squish::CompressImage(turned.data(), width, height, bytes, flags);
        return;
    }
    auto flip_row = [&](unsigned char* p) {
        auto* blocks = reinterpret_cast<DXTColBlock*>(p);
        if (format == tex_dxt3) nv_flip_blocks_dxtc3(blocks, bx);
        else if (format == tex_dxt5) nv_flip_blocks_dxtc5(blocks, bx);
        else nv_flip_blocks_dxtc1(blocks, bx);
    };
    for (int j = 0; j < by / 2; ++j) {
        unsigned char* a = bytes + j * line;
        unsigned char* b = bytes + (by - 1 - j) * line;
        flip_row(a);
        flip_row(b);
        nv_swap(a, b, line);
    }
    if (by % 2) flip_row(bytes + (by / 2) * line);  // the middle block row turns in place
}

void TEX_flip_y(const TEX_image_desc& desc, unsigned char* data)
{
    TEX_image_desc level = desc;
    level.has_mips = 0;
    for (;;) {
        const int size = TEX_bytes_needed_for_image(level);
        nv_flip(level.format, reinterpret_cast<char*>(data), level.width, level.height, size);
        if (!desc.has_mips || (level.width <= 1 && level.height <= 1)) break;
        data += size;
        if (level.width > 1) level.width /= 2;
        if (level.height > 1) level.height /= 2;
    }
}

// ---------------------------------------------------------------------------
// Reduction.

static int log2_ceil(int f)
{
    int k = 0;
    while ((1 << k) < f) ++k;
    return k;
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy)
{
    fx = std::max(fx, 1);
    fy = std::max(fy, 1);
    const int ch = desc.format == tex_rgba ? 4 : desc.format == tex_rgb ? 3 : 1;
    const int nw = desc.width / fx, nh = desc.height / fy;
    const int64_t src_row = int64_t(ch) * desc.width + desc.pad;
    const int64_t dst_row = int64_t(ch) * nw + desc.pad;
    const int shift = log2_ceil(fx) + log2_ceil(fy);
    for (int j = 0; j < nh; ++j)
        for (int i = 0; i < nw; ++i)
            for (int c = 0; c < ch; ++c) {
                uint32_t sum = 0;
                for (int y = j * fy; y < j * fy + fy; ++y) {
                    const unsigned char* p = data + y * src_row + int64_t(i) * fx * ch + c;
                    for (int x = 0; x < fx; ++x) sum += p[x * ch];
                }
                data[j * dst_row + int64_t(i) * ch + c] = static_cast<unsigned char>(sum >> shift);
            }
    desc.width = nw;
    desc.height = nh;
}

// ---------------------------------------------------------------------------
// Loading by content.

int TEX_load_any(const std::string& path, unsigned char*& data, unsigned int format, int row_pixels,
                 int follow_alpha, TEX_image_desc& desc, std::size_t capacity)
{
    xmap_class map(path);
    if (!map.begin) return 0;
    const std::size_t size = static_cast<std::size_t>(map.end - map.begin);
    if (size >= 2 && map.begin[0] == 'B' && map.begin[1] == 'M') {
        if (TEX_load_bmp(path, &map, data, format, row_pixels, 0, desc, capacity)) return 1;
        map.cursor = map.begin;
    }
    // Data that is neither BMP nor PNG is not this loader's: no alert.
    if (!TEX_is_png(map.begin, size)) return 0;
    return TEX_load_png(path, &map, data, format, row_pixels, 0, follow_alpha, desc, capacity);
}

int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned int format, int row_pixels,
                     int follow_alpha, TEX_image_desc& desc, std::size_t capacity)
{
    std::string stem = path;
    if (stem.size() > 4 && stem[stem.size() - 4] == '.') stem.resize(stem.size() - 4);
    for (const char* ext : {".dds", ".png", ".bmp"})
        if (TEX_load_any(stem + ext, data, format, row_pixels, follow_alpha, desc, capacity)) return 1;
    return 0;
}

// ---------------------------------------------------------------------------
// Chroma key and compositing.

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, unsigned char* key, int tolerance)
{
    const int64_t row = 4 * int64_t(desc.width) + desc.pad;
    for (int y = 0; y < desc.height; ++y)
        for (int x = 0; x < desc.width; ++x) {
            unsigned char* p = data + y * row + 4 * int64_t(x);
            const int d = std::abs(p[0] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[2] - key[2]);
            if (d < tolerance) p[3] = 0;
        }
}

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2)
{
    const int sp = src_desc.format == tex_rgba ? 4 : 3, dp = dst_desc.format == tex_rgba ? 4 : 3;
    const int64_t srow = int64_t(sp) * src_desc.width + src_desc.pad;
    const int64_t drow = int64_t(dp) * dst_desc.width + dst_desc.pad;
    const int cx0 = std::max(int(std::floor(x1)), 0), cx1 = std::min(int(std::ceil(x2)), dst_desc.width);
    const int cy0 = std::max(int(std::floor(y1)), 0), cy1 = std::min(int(std::ceil(y2)), dst_desc.height);
    for (int y = cy0; y < cy1; ++y)
        for (int x = cx0; x < cx1; ++x) {
            const float sx = x1 == x2 ? src_desc.width * 0.5f : (x - x1) * (float(src_desc.width) / (x2 - x1));
            const float sy = y1 == y2 ? src_desc.height * 0.5f : (y - y1) * (float(src_desc.height) / (y2 - y1));
            const int ix = int(std::floor(sx)), iy = int(std::floor(sy));
            const float u = sx - ix, v = sy - iy;
            struct tap { int x, y; float w; } taps[4] = {
                {ix, iy, (1 - u) * (1 - v)}, {ix + 1, iy, u * (1 - v)}, {ix, iy + 1, (1 - u) * v}, {ix + 1, iy + 1, u * v}};
            const unsigned char* px[4] = {};
            for (int k = 0; k < 4; ++k) {
                tap& t = taps[k];
                if (t.x < 0 || t.x >= src_desc.width || t.y < 0 || t.y >= src_desc.height) t.w = 0;
                else px[k] = src + t.y * srow + int64_t(t.x) * sp;
            }
            unsigned char* d = dst + y * drow + int64_t(x) * dp;
            if (sp == 4) {
                if (dp == 4) {
                    float a = d[3];
                    for (int k = 0; k < 4; ++k)
                        if (px[k]) a += taps[k].w * px[k][3];
                    d[3] = static_cast<unsigned char>(std::clamp(int(a), 0, 255));
                }
                for (int k = 0; k < 4; ++k)
                    if (px[k]) taps[k].w *= px[k][3] / 255.0f;
            } else if (dp == 4) {
                const float sum = taps[0].w + taps[1].w + taps[2].w + taps[3].w;
                d[3] = static_cast<unsigned char>(std::clamp(int(255 * sum + d[3]), 0, 255));
            }
            const float keep = 1 - (taps[0].w + taps[1].w + taps[2].w + taps[3].w);
            for (int c = 0; c < 3; ++c) {
                float v2 = d[c] * keep;
                for (int k = 0; k < 4; ++k)
                    if (px[k]) v2 += taps[k].w * px[k][c];
                d[c] = static_cast<unsigned char>(std::clamp(int(v2), 0, 255));
            }
        }
}

void check_dxy(int size, std::string name)
{
    if (size >= 1 && size <= 2048) return;
    char value[32];
    snprintf(value, sizeof value, "%1.0f", double(size));
    stl_global = value;
    __MACIBM_alert(0, "Trying to create a texture either less than 1 or greater than 2048!", name, "value:",
                   stl_global, t_exit, "OOPS_cpp/tman", 129);
}
