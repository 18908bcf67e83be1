#include "canvas_fixture.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_state.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "images/builtin_images.h"

namespace brx_test {

void CanvasTest::SetUpTestSuite()
{
    if (mnw.glx_ctx[0]) return;
    mnw.screen_w = mnw.req_w = 1024;
    mnw.screen_h = mnw.req_h = 768;
    mnw.alias_req = 0;
    MACIBM_make_context(0);
    if (!scratch_array) scratch_array = scratch_array_aligned();
    mnw.tex_res = 5;
    for (int d = 0; d <= 360; ++d) {
        lookup_sin[d] = static_cast<float>(std::sin(d * M_PI / 180.0));
        lookup_cos[d] = static_cast<float>(std::cos(d * M_PI / 180.0));
    }
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    ren.tex_units = ren.fixed_tex_units = units > 0 ? units : 1;
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
    recall_ins_texes();  // the placeholder, the installer's images and the widget atlas
}

void CanvasTest::SetUp()
{
    // Another test of the same program may have left its own context current.
    glXMakeCurrent(mnw.display, mnw.xwin[0], mnw.glx_ctx[0]);
    // What the binder and the state switches remember may be of that one.
    TEX_reset_bind();
    OGL_forget_state();
    mnw.wind = 0;
    mnw.wind_x = mnw.wind_y = 0;
    mnw.wind_w = 1024;
    mnw.wind_h = 768;
    ren.alpha = 1.0f;
    colr = colr_class();
    OGL_pix_specs(0);
    OGL_nrml_colors();
    OGL_scissors_end();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

void CanvasTest::TearDown()
{
    ren.alpha = 1.0f;
    colr = colr_class();
    if (atlas_replaced_) {
        load_rgba(388, 512, 512, std::vector<uint8_t>(t_interface_dat, t_interface_dat + kInterfaceBytes));
        atlas_replaced_ = false;
    }
}

rgb CanvasTest::pixel(int x, int y)
{
    const std::vector<uint8_t> p = read_rgb(x, y, 1, 1);
    return {p[0], p[1], p[2]};
}

std::vector<uint8_t> CanvasTest::read_rgb(int x, int y, int w, int h)
{
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

void CanvasTest::load_rgba(int ref, int w, int h, const std::vector<uint8_t>& rgba)
{
    std::memcpy(scratch_array, rgba.data(), rgba.size());
    scratch_dx = w;
    scratch_dy = h;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, ref, 0x502, tex_load_now, "scratch_array:test image"), ref);
    if (ref == 388) atlas_replaced_ = true;
}

rgb CanvasTest::synthetic_cell_colour(int column, int row) { return {column * 12, 40 + row * 40, 200}; }

void CanvasTest::upload_synthetic_atlas()
{
    std::vector<uint8_t> atlas(512 * 512 * 4, 0);
    for (int t = 0; t < 5 * 15; ++t)
        for (int s = 0; s < 21 * 14; ++s) {
            const rgb c = synthetic_cell_colour(s / 14, t / 15);
            uint8_t* p = &atlas[(static_cast<size_t>(t) * 512 + s) * 4];
            p[0] = static_cast<uint8_t>(c[0]);
            p[1] = static_cast<uint8_t>(c[1]);
            p[2] = static_cast<uint8_t>(c[2]);
            p[3] = 255;
        }
    load_rgba(388, 512, 512, atlas);
}

namespace {

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};

}  // namespace

bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& pixels,
                   bool display_gamma)
{
    std::unique_ptr<FILE, file_closer> f(fopen(path.c_str(), "wb"));
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (display_gamma) png_set_gAMA(png, info, 1.0 / 2.2);
    png_write_info(png, info);
    for (int y = h - 1; y >= 0; --y)  // top row first in the file
        png_write_row(png, &pixels[static_cast<size_t>(y) * w * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool read_rgb_png(const std::string& path, int* w, int* h, std::vector<uint8_t>* pixels)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    *w = static_cast<int>(image.width);
    *h = static_cast<int>(image.height);
    pixels->assign(PNG_IMAGE_SIZE(image), 0);
    // A negative row stride stores the file's top row last: bottom first, as GL reads.
    const int stride = -static_cast<int>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, pixels->data(), stride, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

void expect_reference_picture(const std::string& reference, const std::string& seen, int w, int h,
                              const std::vector<uint8_t>& got)
{
    if (const char* update = getenv("BRX_UPDATE_REFERENCE"); update && *update == '1') {
        ASSERT_TRUE(write_rgb_png(reference, w, h, got));
        GTEST_SKIP() << "rewrote " << reference;
    }
    int rw = 0, rh = 0;
    std::vector<uint8_t> want;
    ASSERT_TRUE(read_rgb_png(reference, &rw, &rh, &want))
        << reference << " is missing; run with BRX_UPDATE_REFERENCE=1 to create it";
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);

    // Rasterisers may differ by a step at an edge; a changed drawing differs
    // by far more than that.
    long total = 0;
    int off = 0;
    for (std::size_t p = 0; p < got.size(); p += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs(int(got[p + c]) - int(want[p + c]));
            total += d;
            worst = std::max(worst, d);
        }
        if (worst > 16) ++off;
    }
    const double mean = static_cast<double>(total) / static_cast<double>(got.size());
    EXPECT_LE(off, w * h / 1000) << reference << ": pixels off by more than 16";
    EXPECT_LT(mean, 0.5) << reference << ": mean difference per channel";
    if (::testing::Test::HasFailure()) {
        write_rgb_png(seen, w, h, got);
        ADD_FAILURE() << "the picture drawn is in " << seen;
    }
}

}  // namespace brx_test
