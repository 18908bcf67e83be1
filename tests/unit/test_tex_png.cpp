// The PNG codec on pictures made with libpng.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_png.h"
#include "support/image_util.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using bytes = std::vector<uint8_t>;

struct decoded {
    tex_png_result result;
    TEX_image_desc desc;
    std::vector<uint8_t> pixels;  // the output buffer, whole
};

decoded decode(const std::string& file, unsigned format, int make_pow2 = 0, int follow_alpha = 0,
               int row_pixels = 0, std::size_t capacity = 1 << 20)
{
    decoded d{};
    d.pixels.assign(capacity, 0xEE);
    unsigned char* out = d.pixels.data();
    const char* cursor = file.data();
    d.result = TEX_decode_png(cursor, file.data() + file.size(), out, format, row_pixels, make_pow2, follow_alpha,
                              d.desc, capacity, "test.png", nullptr);
    return d;
}

TEST(PngDecode, PowerOfTwoPaddingIsZeroedAndRowsAreTurned)
{
    // 3 by 2 RGB: top row red, green, blue; bottom row white, black, grey.
    const std::string png = make_png({3, 2}, {{255, 0, 0, 0, 255, 0, 0, 0, 255}, {255, 255, 255, 0, 0, 0, 9, 9, 9}});
    const decoded d = decode(png, tex_rgb, 1);
    ASSERT_EQ(d.result, tex_png_ok);
    EXPECT_EQ(d.desc.format, tex_rgb);
    EXPECT_EQ(d.desc.width, 3);
    EXPECT_EQ(d.desc.height, 2);
    EXPECT_EQ(d.desc.pad, 3);
    EXPECT_EQ(d.desc.has_mips, 0);
    const bytes bottom(d.pixels.begin(), d.pixels.begin() + 12), top(d.pixels.begin() + 12, d.pixels.begin() + 24);
    EXPECT_EQ(bottom, (bytes{255, 255, 255, 0, 0, 0, 9, 9, 9, 0, 0, 0}));
    EXPECT_EQ(top, (bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(d.pixels[24], 0xEE) << "nothing written past the output";
}

TEST(PngDecode, PowerOfTwoRowsAboveThePictureAreZero)
{
    png_spec spec{5, 3, PNG_COLOR_TYPE_RGB_ALPHA};
    const std::vector<bytes> rows(3, bytes(20, 200));
    const decoded d = decode(make_png(spec, rows), tex_rgba, 1);
    ASSERT_EQ(d.result, tex_png_ok);
    EXPECT_EQ(d.desc.pad, 12);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(d.pixels[y * 32 + x * 4 + c], (y < 3 && x < 5) ? 200 : 0) << x << "," << y;
}

TEST(PngDecode, FormatConversions)
{
    const std::string grey = make_png({2, 1, PNG_COLOR_TYPE_GRAY}, {{77, 200}});
    decoded d = decode(grey, tex_rgba);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 8), (bytes{77, 77, 77, 255, 200, 200, 200, 255}));
    d = decode(grey, tex_alpha);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 2), (bytes{77, 200}));

    // RGBA read as ALPHA: the grey of the colours, the alpha dropped.
    const std::string rgba = make_png({1, 1, PNG_COLOR_TYPE_RGB_ALPHA}, {{100, 100, 100, 7}});
    d = decode(rgba, tex_alpha);
    EXPECT_EQ(d.desc.format, tex_alpha);
    EXPECT_EQ(d.pixels[0], 100);
    EXPECT_EQ(d.pixels[1], 0xEE);

    // 16-bit samples become 8-bit; a 1-bit grey picture gives 0 and 255.
    d = decode(make_png({1, 1, PNG_COLOR_TYPE_RGB, 16}, {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF}}), tex_rgb);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 3), (bytes{0x12, 0xAB, 0xFF}));
    d = decode(make_png({3, 1, PNG_COLOR_TYPE_GRAY, 1}, {{0xA0}}), tex_alpha);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 3), (bytes{255, 0, 255}));
}

TEST(PngDecode, FollowAlphaLetsTheFileDecide)
{
    const std::string rgba = make_png({1, 1, PNG_COLOR_TYPE_RGB_ALPHA}, {{1, 2, 3, 4}});
    const std::string rgb = make_png({1, 1, PNG_COLOR_TYPE_RGB}, {{1, 2, 3}});
    EXPECT_EQ(decode(rgba, tex_rgb, 0, 1).desc.format, tex_rgba);
    EXPECT_EQ(decode(rgb, tex_rgba, 0, 1).desc.format, tex_rgb);
    EXPECT_EQ(decode(rgba, tex_rgb, 0, 0).desc.format, tex_rgb);
    // A tRNS chunk counts as an alpha channel; without follow_alpha the output
    // keeps exactly the wanted bytes per pixel.
    png_spec pal{2, 1, PNG_COLOR_TYPE_PALETTE, 8};
    pal.palette = {{10, 20, 30}, {40, 50, 60}};
    pal.trns = {0, 255};
    const std::string paletted = make_png(pal, {{0, 1}});
    decoded d = decode(paletted, tex_rgb, 0, 1);
    EXPECT_EQ(d.desc.format, tex_rgba);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 8), (bytes{10, 20, 30, 0, 40, 50, 60, 255}));
    d = decode(paletted, tex_rgb);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 7), (bytes{10, 20, 30, 40, 50, 60, 0xEE}));
}

TEST(PngDecode, GammaRule)
{
    png_spec no_gamma{2, 1, PNG_COLOR_TYPE_GRAY};
    no_gamma.gamma = 0;
    decoded d = decode(make_png(no_gamma, {{128, 64}}), tex_alpha);
    EXPECT_EQ(d.pixels[0], 145);
    EXPECT_EQ(d.pixels[1], 82);
    d = decode(make_png({2, 1, PNG_COLOR_TYPE_GRAY}, {{128, 64}}), tex_alpha);
    EXPECT_EQ(d.pixels[0], 128);
    EXPECT_EQ(d.pixels[1], 64);
}

TEST(PngDecode, RowLengthPadding)
{
    const decoded d = decode(make_png({2, 2, PNG_COLOR_TYPE_GRAY}, {{1, 2}, {3, 4}}), tex_alpha, 0, 0, 5);
    EXPECT_EQ(d.desc.pad, 3);
    EXPECT_EQ(bytes(d.pixels.begin(), d.pixels.begin() + 7), (bytes{3, 4, 0xEE, 0xEE, 0xEE, 1, 2}));
}

TEST(PngDecode, Refusals)
{
    const std::string big = make_png({100, 100, PNG_COLOR_TYPE_RGB}, std::vector<bytes>(100, bytes(300, 1)));
    // Too large for the buffer: refused before a byte is written.
    decoded d = decode(big, tex_rgba, 1, 0, 0, 128 * 128 * 4 - 1);
    EXPECT_EQ(d.result, tex_png_refused);
    EXPECT_EQ(d.pixels[0], 0xEE);
    EXPECT_EQ(decode(big, tex_rgba, 1, 0, 0, 128 * 128 * 4).result, tex_png_ok);
    // A row length shorter than the picture.
    EXPECT_EQ(decode(big, tex_rgb, 0, 0, 99).result, tex_png_refused);
    // Truncated data: libpng's error comes back, nothing is read past the end.
    std::string error;
    std::vector<uint8_t> out(100 * 100 * 4);
    unsigned char* p = out.data();
    TEX_image_desc desc;
    const std::string cut = big.substr(0, big.size() / 2);
    const char* cursor = cut.data();
    EXPECT_EQ(TEX_decode_png(cursor, cut.data() + cut.size(), p, tex_rgb, 0, 0, 0, desc, out.size(), "x", &error),
              tex_png_corrupt);
    EXPECT_EQ(error, "PNG Read Error, overran end of buffer!");
    // Not a PNG; too short to tell.
    EXPECT_EQ(decode("GIF89a..........", tex_rgb).result, tex_png_bad_signature);
    EXPECT_EQ(decode(big.substr(0, 7), tex_rgb).result, tex_png_no_data);
    EXPECT_EQ(decode(big, 0x1909).result, tex_png_bad_format);
}

TEST(PngDecode, AllocatesWhenGivenNoBuffer)
{
    const std::string png = make_png({2, 1, PNG_COLOR_TYPE_RGB}, {{1, 2, 3, 4, 5, 6}});
    unsigned char* out = nullptr;
    TEX_image_desc desc;
    const char* cursor = png.data();
    ASSERT_EQ(TEX_decode_png(cursor, png.data() + png.size(), out, tex_rgb, 0, 0, 0, desc, 0, "x", nullptr),
              tex_png_ok);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(bytes(out, out + 6), (bytes{1, 2, 3, 4, 5, 6}));
    free(out);

    // An error in the pixels, after the buffer was allocated: it is freed
    // (the leak checker of the sanitizer tier would see it) and not handed out.
    const std::string big = make_png({100, 100, PNG_COLOR_TYPE_RGB}, std::vector<bytes>(100, bytes(300, 1)));
    const std::string cut = big.substr(0, big.size() / 2);
    out = nullptr;
    cursor = cut.data();
    EXPECT_EQ(TEX_decode_png(cursor, cut.data() + cut.size(), out, tex_rgb, 0, 0, 0, desc, 0, "x", nullptr),
              tex_png_corrupt);
    EXPECT_EQ(out, nullptr);
}

TEST(PngFile, SaveAndLoadRoundTrip)
{
    TempDir dir;
    const bytes rgba = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    for (int format : {tex_rgba, tex_rgb, tex_alpha}) {
        SCOPED_TRACE(format);
        TEX_image_desc desc{format, 3, 2, 0, 0};
        const int bpp = format == tex_rgba ? 4 : format == tex_rgb ? 3 : 1;
        const bytes in(rgba.begin(), rgba.begin() + 6 * bpp);
        ASSERT_EQ(TEX_save_png(dir / "a.png", desc, in.data()), 1);
        xmap_class map(dir / "a.png");
        unsigned char* out = nullptr;
        TEX_image_desc back;
        ASSERT_EQ(TEX_load_png(dir / "a.png", &map, out, format, 0, 0, 0, back), 1);
        EXPECT_EQ(bytes(out, out + in.size()), in);
        EXPECT_EQ(back.width, 3);
        EXPECT_EQ(back.height, 2);
        free(out);
    }
    // Rows with padding are written without it.
    TEX_image_desc padded{tex_alpha, 2, 2, 2, 0};
    const bytes with_pad = {1, 2, 99, 99, 3, 4, 99, 99};
    ASSERT_EQ(TEX_save_png(dir / "p.png", padded, with_pad.data()), 1);
    EXPECT_EQ(decode(read_file(dir / "p.png"), tex_alpha).pixels[1], 2);
    EXPECT_EQ(TEX_save_png(dir / "missing/x.png", padded, with_pad.data()), 0);
}

TEST(PngFile, ScreenshotColourTypes)
{
    TempDir dir;
    scratch_array = scratch_array_aligned();
    EXPECT_EQ(write_png_to_disk(dir / "4.png", 2, 2, 4), 1);
    EXPECT_EQ(write_png_to_disk(dir / "3.png", 2, 2, 3), 1);
    EXPECT_EQ(read_file(dir / "4.png")[25], 6);  // colour type byte of IHDR
    EXPECT_EQ(read_file(dir / "3.png")[25], 2);
}

TEST(PngFile, ShortMapIsQuietAndBadDataIsFatal)
{
    TempDir dir;
    write_file(dir / "short.png", "\x89PNG\r\n\x1a");
    xmap_class map(dir / "short.png");
    unsigned char* out = nullptr;
    TEX_image_desc desc;
    EXPECT_EQ(TEX_load_png("short.png", &map, out, tex_rgb, 0, 0, 0, desc), 0);

    // Loads a file in a child, where a fatal alert may end the process.
    auto load_in_child = [&](const std::string& name) {
        return run_in_child([&] {
            xmap_class m(dir / name);
            unsigned char* o = nullptr;
            TEX_image_desc d;
            TEX_load_png(name, &m, o, tex_rgb, 0, 0, 0, d);
        }, dir.path());
    };
    write_file(dir / "bad.png", "not a png at all");
    auto r = load_in_child("bad.png");
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("PING-FILE ERROR!"), std::string::npos);

    const std::string png = make_png({4, 4, PNG_COLOR_TYPE_RGB}, std::vector<bytes>(4, bytes(12, 5)));
    write_file(dir / "cut.png", png.substr(0, png.size() - 20));
    r = load_in_child("cut.png");
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("PNG error!"), std::string::npos);
    EXPECT_NE(r.out.find("setjmp(png_ptr->jmpbuf"), std::string::npos);
}

// libpng failing to create its read or info structure is its own fatal
// report, not a decoding error.
TEST(PngFile, StructuresThatCannotBeCreatedAreFatal)
{
    TempDir dir;
    write_file(dir / "ok.png", make_png({2, 2, PNG_COLOR_TYPE_RGB}, std::vector<bytes>(2, bytes(6, 5))));
    struct row { int failing_alloc; const char* line; };
    for (const row& r : {row{1, "!png_ptr"}, row{2, "!info_ptr"}}) {
        SCOPED_TRACE(r.line);
        const ChildResult c = run_in_child([&] {
            xmap_class m(dir / "ok.png");
            unsigned char* o = nullptr;
            TEX_image_desc d;
            tex_png_failing_alloc = r.failing_alloc;
            TEX_load_png("ok.png", &m, o, tex_rgb, 0, 0, 0, d);
        }, dir.path());
        EXPECT_EQ(c.signal, SIGABRT);
        EXPECT_NE(c.out.find("PING-FILE ERROR!"), std::string::npos) << c.out;
        EXPECT_NE(c.out.find(r.line), std::string::npos) << c.out;
        EXPECT_NE(c.out.find("ok.png"), std::string::npos) << c.out;
        EXPECT_EQ(c.out.find("PNG error!"), std::string::npos) << c.out;
    }
    // The same file decodes once allocations succeed.
    xmap_class m(dir / "ok.png");
    unsigned char* o = nullptr;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("ok.png", &m, o, tex_rgb, 0, 0, 0, d), 1);
    free(o);
}

}  // namespace
