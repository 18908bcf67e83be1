// Pictures made by the tests: PNG files written with libpng, 24-bit BMP files
// and DDS headers built byte by byte.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace brx_test {

struct png_spec {
    png_spec(int w = 1, int h = 1, int type = PNG_COLOR_TYPE_RGB, int depth = 8)
        : width(w), height(h), colour_type(type), bit_depth(depth) {}
    int width, height;
    int colour_type;
    int bit_depth;
    double gamma = 1.0 / 2.2;  // 0 writes no gAMA chunk
    std::vector<uint8_t> trns;  // tRNS chunk: palette alphas, or one grey/RGB sample
    std::vector<png_color> palette;
};

// Encodes rows given top row first, each packed as libpng expects for the
// colour type and bit depth.
inline std::string make_png(const png_spec& spec, const std::vector<std::vector<uint8_t>>& rows)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(d), n);
        },
        nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bit_depth, spec.colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (spec.gamma > 0) png_set_gAMA(png, info, spec.gamma);
    if (!spec.palette.empty()) png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.trns.empty()) {
        if (spec.colour_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec.trns.data(), int(spec.trns.size()), nullptr);
        } else {
            png_color_16 c{};
            c.gray = c.red = spec.trns[0];
            c.green = spec.trns.size() > 1 ? spec.trns[1] : 0;
            c.blue = spec.trns.size() > 2 ? spec.trns[2] : 0;
            png_set_tRNS(png, info, nullptr, 0, &c);
        }
    }
    png_write_info(png, info);
    for (const auto& r : rows) png_write_row(png, r.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A 24-bit bitmap; pixels given bottom row first as B, G, R.
inline std::string make_bmp(int width, int height, const std::vector<uint8_t>& bgr, int bits = 24,
                            int compression = 0)
{
    const int stride = (3 * width + 3) & ~3;
    std::string f(54, '\0');
    auto put = [&](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, bits, 2);
    put(30, compression, 4);
    for (int y = 0; y < height; ++y) {
        std::string row(stride, '\0');
        for (int x = 0; x < 3 * width; ++x) row[x] = static_cast<char>(bgr[y * 3 * width + x]);
        f += row;
    }
    return f;
}

// A 128-byte DDS header.
inline std::string make_dds_header(int width, int height, uint32_t flags, uint32_t pf_flags, const char* fourcc,
                                   uint32_t caps)
{
    std::string h(128, '\0');
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>(v >> (8 * i));
    };
    memcpy(h.data(), "DDS ", 4);
    put(4, 124);
    put(8, flags);
    put(12, height);
    put(16, width);
    put(76, 32);
    put(80, pf_flags);
    if (fourcc) memcpy(h.data() + 84, fourcc, 4);
    put(108, caps);
    return h;
}

}  // namespace brx_test
