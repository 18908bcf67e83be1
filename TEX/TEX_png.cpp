#include "TEX/TEX_png.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bmp.h"

namespace {

// What the callbacks of one decode or encode share; each call has its own.
struct png_context {
    const char* cursor = nullptr;
    const char* end = nullptr;
    std::string path;
    std::string error;
    int allocations = 0;  // through my_malloc, for tex_png_failing_alloc
};

void my_error(png_structp png, png_const_charp message)
{
    auto* ctx = static_cast<png_context*>(png_get_error_ptr(png));
    ctx->error = message ? message : "";
    png_longjmp(png, 1);
}

void my_warning(png_structp png, png_const_charp message)
{
    auto* ctx = static_cast<png_context*>(png_get_error_ptr(png));
    xer << "PNG warning! " << (message ? message : "") << ", " << ctx->path << "\n";
}

void my_readbuf(png_structp png, png_bytep out, png_size_t length)
{
    auto* ctx = static_cast<png_context*>(png_get_io_ptr(png));
    if (length > static_cast<png_size_t>(ctx->end - ctx->cursor))
        png_error(png, "PNG Read Error, overran end of buffer!");
    memcpy(out, ctx->cursor, length);
    ctx->cursor += length;
}

png_voidp my_malloc(png_structp png, png_alloc_size_t size)
{
    auto* ctx = static_cast<png_context*>(png_get_mem_ptr(png));
    if (ctx && ++ctx->allocations == tex_png_failing_alloc) return nullptr;
    return malloc(size);
}
void my_free(png_structp, png_voidp block) { free(block); }

int bytes_per_pixel(unsigned int format)
{
    return format == tex_rgb ? 3 : format == tex_rgba ? 4 : format == tex_alpha ? 1 : 0;
}

}  // namespace

int tex_png_failing_alloc = 0;

bool TEX_is_png(const char* bytes, std::size_t size)
{
    return bytes && size >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes), 0, 8) == 0;
}

namespace {

// Runs `body` with libpng's error jump set; false when it jumped. The jump
// lands here, so what the caller keeps (the decode's state, its buffers) is
// not a local of the function that called setjmp and keeps its value; the
// frames the jump crosses own nothing.
template <class Body>
[[gnu::noinline]] bool png_guarded(png_structp png, Body&& body)
{
    if (setjmp(png_jmpbuf(png))) return false;
    body();
    return true;
}

// One decode, kept by the caller of png_guarded.
struct png_decode_job {
    unsigned int format;
    int row_pixels, make_pow2, follow_alpha;
    std::size_t capacity;
    unsigned char** data;
    TEX_image_desc* desc;
    unsigned char* allocated = nullptr;
    png_bytep* rows = nullptr;
    tex_png_result result = tex_png_ok;
};

void decode_body(png_structp png, png_infop info, png_decode_job& job)
{
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    png_set_interlace_handling(png);

    double file_gamma = 1.0 / 1.8;
    png_get_gAMA(png, info, &file_gamma);
    png_set_gamma(png, 2.2, file_gamma);

    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE && depth <= 8) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);

    // A tRNS chunk gives the pixels an alpha channel like an alpha colour type.
    const bool has_alpha = (type & PNG_COLOR_MASK_ALPHA) || trns;
    const bool grey = !(type & PNG_COLOR_MASK_COLOR);
    unsigned int format = job.format;
    if (job.follow_alpha) {
        if (!has_alpha && format == tex_rgba) format = tex_rgb;
        if (has_alpha && format == tex_rgb) format = tex_rgba;
    }
    const int bpp = bytes_per_pixel(format);
    if (!bpp) {
        job.result = tex_png_bad_format;
        return;
    }
    if (format == tex_rgba) {
        if (grey) png_set_gray_to_rgb(png);
        if (!has_alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else if (format == tex_rgb) {
        if (grey) png_set_gray_to_rgb(png);
        if (has_alpha) png_set_strip_alpha(png);
    } else {
        if (has_alpha) png_set_strip_alpha(png);
        if (!grey) png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1, -1);
    }
    png_read_update_info(png, info);

    // Sizes are settled before anything is written or allocated.
    if (width > 65536 || height > 65536 || png_get_rowbytes(png, info) != std::size_t(bpp) * width) {
        job.result = tex_png_refused;
        return;
    }
    int64_t pad = job.row_pixels ? int64_t(bpp) * (int64_t(job.row_pixels) - int64_t(width)) : 0;
    const int64_t rows_out = job.make_pow2 ? TEX_pow2_at_least(int(height)) : int64_t(height);
    if (job.make_pow2) pad = int64_t(bpp) * (TEX_pow2_at_least(int(width)) - int64_t(width));
    const int64_t out_row = int64_t(bpp) * width + pad;
    const uint64_t out_size = uint64_t(std::max<int64_t>(out_row, 0)) * uint64_t(rows_out);
    if (pad < 0 || out_size > (*job.data ? job.capacity : kTexMaxAllocBytes)) {
        job.result = tex_png_refused;
        return;
    }

    TEX_image_desc& desc = *job.desc;
    desc.format = static_cast<int32_t>(format);
    desc.width = static_cast<int32_t>(width);
    desc.height = static_cast<int32_t>(height);
    desc.has_mips = 0;
    desc.pad = static_cast<int32_t>(pad);
    unsigned char* out = *job.data;
    if (!out) {
        out = job.allocated = static_cast<unsigned char*>(malloc(out_size ? out_size : 1));
        if (!out) png_error(png, "out of memory");
    }
    if (job.make_pow2 && (pad > 0 || rows_out > int64_t(height))) memset(out, 0, out_size);
    job.rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * std::max<png_uint_32>(height, 1)));
    if (!job.rows) png_error(png, "out of memory");
    for (png_uint_32 i = 0; i < height; ++i) job.rows[i] = out + (height - 1 - i) * out_row;
    png_read_image(png, job.rows);
    *job.data = out;
}

}  // namespace

tex_png_result TEX_decode_png(const char*& cursor, const char* end, unsigned char*& data, unsigned int format,
                              int row_pixels, int make_pow2, int follow_alpha, TEX_image_desc& desc,
                              std::size_t capacity, const std::string& path, std::string* error)
{
    png_context ctx;
    ctx.path = path;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &ctx, my_error, my_warning, &ctx,
                                               my_malloc, my_free);
    if (!png) return tex_png_no_read_struct;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return tex_png_no_info_struct;
    }
    if (!cursor || end - cursor < 8 || !TEX_is_png(cursor, static_cast<std::size_t>(end - cursor))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return cursor && end - cursor >= 8 ? tex_png_bad_signature : tex_png_no_data;
    }
    ctx.cursor = cursor + 8;
    ctx.end = end;
    png_decode_job job{format, row_pixels, make_pow2, follow_alpha, capacity, &data, &desc};
    const bool finished = png_guarded(png, [&] {
        png_set_read_fn(png, &ctx, my_readbuf);
        png_set_sig_bytes(png, 8);
        decode_body(png, info, job);
    });
    if (!finished) {
        job.result = tex_png_corrupt;
        free(job.allocated);
        if (error) *error = ctx.error;
    }
    free(job.rows);
    png_destroy_read_struct(&png, &info, nullptr);
    cursor = ctx.cursor;
    return job.result;
}

int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int format,
                 int row_pixels, int make_pow2, int follow_alpha, TEX_image_desc& desc, std::size_t capacity)
{
    if (!file) return 0;
    std::string error;
    const char* cursor = file->cursor;
    const tex_png_result r = TEX_decode_png(cursor, file->end, data, format, row_pixels, make_pow2, follow_alpha,
                                            desc, capacity, path, &error);
    if (cursor) file->cursor = cursor;
    switch (r) {
    case tex_png_ok: return 1;
    case tex_png_no_read_struct:
        __MACIBM_alert(0, "PING-FILE ERROR!", "!png_ptr", path, "", t_exit, "TEX/TEX_png", 36);
        return 0;
    case tex_png_no_info_struct:
        __MACIBM_alert(0, "PING-FILE ERROR!", "!info_ptr", path, "", t_exit, "TEX/TEX_png", 41);
        return 0;
    case tex_png_bad_signature:
        __MACIBM_alert(0, "PING-FILE ERROR!", "is_png=!png_sig_cmp(png_io_buf,0,8)", path, "", t_exit,
                       "TEX/TEX_png", 55);
        return 0;
    case tex_png_corrupt:
        __MACIBM_alert(0, "PNG error!", error, path, "", t_alert, "TEX/TEX_png", 13);
        __MACIBM_alert(0, "PING-FILE ERROR!", "setjmp(png_ptr->jmpbuf", path, "", t_exit, "TEX/TEX_png", 63);
        return 0;
    case tex_png_bad_format:
        __MACIBM_alert(0, "Illegal bits per pixel", "", "", "", t_exit, "TEX/TEX_png", 124);
        return 0;
    default: return 0;
    }
}

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* data)
{
    const int bpp = bytes_per_pixel(static_cast<unsigned int>(desc.format));
    if (!bpp) {
        __MACIBM_alert(0, "Illegal pixel format for png-write.", path, "", "", t_exit, "TEX/TEX_png", 176);
        return 0;
    }
    const std::string full = app_path + path;
    FILE* file = fopen(full.c_str(), "wb");
    if (!file) return 0;

    png_context ctx;
    ctx.path = path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, my_error, my_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // Rows live out here: the jump from a libpng error crosses the body's frame.
    std::vector<png_bytep> rows;
    const bool finished = png && info && png_guarded(png, [&] {
        png_init_io(png, file);
        png_set_filter(png, 0, PNG_FILTER_NONE);
        png_set_compression_level(png, 9);
        png_set_compression_mem_level(png, 8);
        png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
        png_set_compression_window_bits(png, 15);
        png_set_compression_method(png, 8);
        png_set_compression_buffer_size(png, 8192);
        png_set_gAMA(png, info, 1.0 / 2.2);
        const int type = bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : bpp == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
        png_set_IHDR(png, info, desc.width, desc.height, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        const int64_t row = int64_t(bpp) * desc.width + desc.pad;
        rows.resize(desc.height);
        for (int i = 0; i < desc.height; ++i)
            rows[i] = const_cast<png_bytep>(data + (desc.height - 1 - i) * row);
        png_write_image(png, rows.data());
        png_write_end(png, info);
    });
    if (!finished) {
        if (png && !ctx.error.empty())
            __MACIBM_alert(0, "PNG error!", ctx.error, path, "", t_alert, "TEX/TEX_png", 13);
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return 0;
    }
    png_destroy_write_struct(&png, &info);
    // A file that could not be written whole is no success.
    const bool ok = fflush(file) == 0 && !ferror(file);
    return fclose(file) == 0 && ok ? 1 : 0;
}

int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel)
{
    TEX_image_desc desc;
    desc.format = bytes_per_pixel == 4 ? tex_rgba : tex_rgb;
    desc.width = width;
    desc.height = height;
    return TEX_save_png(path, desc, scratch_array);
}
