// The BMP reader and the DDS reader, flips and writer.
#include <gtest/gtest.h>
#include <squish.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bmp.h"
#include "TEX/TEX_dds.h"
#include "support/image_util.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using bytes = std::vector<uint8_t>;

struct bmp_out {
    tex_bmp_result result;
    TEX_image_desc desc;
    bytes pixels;
};

bmp_out decode_bmp(const std::string& file, unsigned format, int make_pow2 = 0, int row_pixels = 0,
                   std::size_t capacity = 1 << 16)
{
    bmp_out o{};
    o.pixels.assign(capacity, 0xEE);
    unsigned char* p = o.pixels.data();
    const auto* b = reinterpret_cast<const unsigned char*>(file.data());
    o.result = TEX_decode_bmp(b, b + file.size(), p, format, row_pixels, make_pow2, o.desc, capacity);
    return o;
}

// 3 by 2: bottom row (1,2,3) (4,5,6) (7,8,9) as B,G,R; top row 10 to 18.
const bytes k3x2 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

TEST(BmpDecode, RowStrideAndChannelOrder)
{
    const bmp_out o = decode_bmp(make_bmp(3, 2, k3x2), tex_rgb);
    ASSERT_EQ(o.result, tex_bmp_ok);
    EXPECT_EQ(o.desc.pad, 0);
    EXPECT_EQ(o.desc.width, 3);
    EXPECT_EQ(o.desc.height, 2);
    EXPECT_EQ(bytes(o.pixels.begin(), o.pixels.begin() + 19),
              (bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16, 0xEE}));
}

TEST(BmpDecode, PowerOfTwoAndRowLengthPadding)
{
    bmp_out o = decode_bmp(make_bmp(3, 2, k3x2), tex_rgb, 1);
    EXPECT_EQ(o.desc.pad, 3);
    EXPECT_EQ(bytes(o.pixels.begin(), o.pixels.begin() + 12), (bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
    EXPECT_EQ(bytes(o.pixels.begin() + 21, o.pixels.begin() + 25), (bytes{0, 0, 0, 0xEE}));

    o = decode_bmp(make_bmp(5, 3, bytes(45, 9)), tex_rgba, 1);
    EXPECT_EQ(o.desc.pad, 12);
    for (int i = 3 * 32; i < 4 * 32; ++i) ASSERT_EQ(o.pixels[i], 0) << "fourth row";

    o = decode_bmp(make_bmp(100, 1, bytes(300, 1)), tex_rgba, 0, 2048, 1 << 20);
    EXPECT_EQ(o.desc.pad, 7792);
}

TEST(BmpDecode, MagentaKeyAndAlphaForm)
{
    const bytes px = {255, 0, 255, 255, 1, 255, 10, 20, 31};
    bmp_out o = decode_bmp(make_bmp(3, 1, px), tex_rgba);
    EXPECT_EQ(bytes(o.pixels.begin(), o.pixels.begin() + 12), (bytes{0, 0, 0, 0, 255, 1, 255, 255, 31, 20, 10, 255}));
    o = decode_bmp(make_bmp(3, 1, px), tex_alpha);
    EXPECT_EQ(o.pixels[2], 20);
}

TEST(BmpDecode, EmptyHeightGivesOneZeroedPowerOfTwoRow)
{
    bmp_out o = decode_bmp(make_bmp(2, 0, {}), tex_rgb, 1);
    EXPECT_EQ(o.result, tex_bmp_ok);
    EXPECT_EQ(o.desc.height, 0);
    EXPECT_EQ(bytes(o.pixels.begin(), o.pixels.begin() + 7), (bytes{0, 0, 0, 0, 0, 0, 0xEE}));
}

TEST(BmpDecode, Refusals)
{
    struct row { const char* what; std::string file; int make_pow2; tex_bmp_result want; };
    std::string negative = make_bmp(2, 1, bytes(6, 1));
    negative[21] = '\xFF';  // width -big
    std::string huge = make_bmp(2, 1, bytes(6, 1));
    huge[20] = '\x10';  // width 2 + 0x100000
    const std::string whole = make_bmp(4, 4, bytes(48, 7));
    std::string far_offset = whole;
    far_offset[11] = 1;  // pixel data said to start at 310
    const row rows[] = {
        {"negative width", negative, 0, tex_bmp_refused},
        {"huge width", huge, 0, tex_bmp_refused},
        {"rows past the end", whole.substr(0, whole.size() - 1), 0, tex_bmp_refused},
        {"offset past the end", far_offset, 0, tex_bmp_refused},
        {"too big for the buffer", make_bmp(200, 100, bytes(60000, 1)), 1, tex_bmp_refused},
        {"ends inside its header", whole.substr(0, 29), 0, tex_bmp_bad_depth},
        {"32 bits", make_bmp(1, 1, bytes(3, 0), 32), 0, tex_bmp_bad_depth},
        {"compressed", make_bmp(1, 1, bytes(3, 0), 24, 1), 0, tex_bmp_compressed},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const bmp_out o = decode_bmp(r.file, tex_rgba, r.make_pow2);
        EXPECT_EQ(o.result, r.want);
        EXPECT_EQ(o.pixels[0], 0xEE) << "nothing written";
    }
    EXPECT_EQ(decode_bmp(whole, 0x1909).result, tex_bmp_bad_format);
    EXPECT_EQ(decode_bmp(whole, tex_rgb, 0, 3).result, tex_bmp_refused) << "row length below the width";
}

TEST(BmpFile, AlertsAndCursor)
{
    TempDir dir;
    write_file(dir / "a.bmp", make_bmp(3, 2, k3x2));
    xmap_class map(dir / "a.bmp");
    unsigned char* out = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_bmp("a.bmp", &map, out, tex_rgb, 0, 0, desc), 1);
    EXPECT_EQ(map.cursor, map.begin + 54);
    EXPECT_EQ(out[0], 3);
    free(out);

    write_file(dir / "b.bmp", make_bmp(1, 1, bytes(3, 0), 8));
    auto r = run_in_child([&] {
        xmap_class m(dir / "b.bmp");
        unsigned char* o = nullptr;
        TEX_image_desc d;
        TEX_load_bmp("b.bmp", &m, o, tex_rgb, 0, 0, d);
    }, dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("Wrong bitmap color depth for texture!"), std::string::npos);
}

// ---------------------------------------------------------------------------
// DDS.

int parse(const std::string& file, TEX_image_desc& desc)
{
    const auto* b = reinterpret_cast<const unsigned char*>(file.data());
    const unsigned char* px = nullptr;
    return TEX_parse_dds(b, b + file.size(), px, desc);
}

TEST(DdsRead, HeaderFlags)
{
    struct row { const char* what; uint32_t flags, pf, caps; const char* cc; int ok, format, mips; };
    const row rows[] = {
        {"DXT1", 0x20000, 0x4, 0x400000, "DXT1", 1, tex_dxt1, 1},
        {"DXT1 with alpha flag", 0, 0x5, 0, "DXT1", 1, tex_dxt1, 0},
        {"DXT3", 0, 0x4, 0, "DXT3", 1, tex_dxt3, 0},
        {"DXT5", 0, 0x4, 0, "DXT5", 1, tex_dxt5, 0},
        {"RGB wins over FourCC", 0, 0x44, 0, "DXT5", 1, tex_bgr, 0},
        {"RGB with alpha", 0, 0x41, 0, nullptr, 1, tex_bgra, 0},
        {"unknown FourCC", 0, 0x4, 0, "ATI2", 0, 0, 0},
        {"neither flag", 0, 0, 0, "DXT1", 0, 0, 0},
        {"mip caps without the flag", 0, 0x4, 0x400000, "DXT1", 1, tex_dxt1, 0},
        {"mip flag without the caps", 0x20000, 0x4, 0, "DXT1", 1, tex_dxt1, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::string file = make_dds_header(8, 8, r.flags, r.pf, r.cc, r.caps) + std::string(512, '\0');
        TEX_image_desc desc;
        ASSERT_EQ(parse(file, desc), r.ok);
        if (!r.ok) continue;
        EXPECT_EQ(desc.format, r.format);
        EXPECT_EQ(desc.has_mips, r.mips);
        EXPECT_EQ(desc.width, 8);
        EXPECT_EQ(desc.pad, 0);
    }
}

TEST(DdsRead, RefusesDataPastTheEnd)
{
    TEX_image_desc desc;
    const std::string h = make_dds_header(8, 8, 0x20000, 0x4, "DXT1", 0x400000);
    // 8 by 8 DXT1 with mips: 32 + 8 + 8 + 8 bytes.
    EXPECT_EQ(parse(h + std::string(56, '\0'), desc), 1);
    EXPECT_EQ(parse(h + std::string(55, '\0'), desc), 0);
    EXPECT_EQ(parse(h.substr(0, 127), desc), 0);
    EXPECT_EQ(parse(make_dds_header(0x7FFFFFFF, 0x7FFFFFFF, 0, 0x41, nullptr, 0), desc), 0);
    EXPECT_EQ(parse(make_dds_header(-4, 4, 0, 0x41, nullptr, 0) + std::string(64, '\0'), desc), 0);
    EXPECT_EQ(parse("DDS", desc), 0);
}

TEST(DdsFlip, UncompressedRows)
{
    bytes five = {0, 1, 2, 3, 4};
    nv_flip(tex_alpha, reinterpret_cast<char*>(five.data()), 1, 5, 5);
    EXPECT_EQ(five, (bytes{4, 3, 2, 1, 0}));
    bytes one = {7, 8};
    nv_flip(tex_alpha, reinterpret_cast<char*>(one.data()), 2, 1, 2);
    EXPECT_EQ(one, (bytes{7, 8}));
}

TEST(DdsFlip, Dxt5AlphaRows)
{
    // Index rows 0..3 holding 0, 1, 2, 3 (each row's four 3-bit indices alike).
    auto row_bits = [](uint32_t v) { return v | v << 3 | v << 6 | v << 9; };
    DXT5AlphaBlock b{};
    const uint32_t a = row_bits(0) | row_bits(1) << 12, c = row_bits(2) | row_bits(3) << 12;
    for (int i = 0; i < 3; ++i) {
        b.row[i] = static_cast<uint8_t>(a >> (8 * i));
        b.row[3 + i] = static_cast<uint8_t>(c >> (8 * i));
    }
    nv_flip_dxt5_alpha(&b);
    const uint32_t na = b.row[0] | b.row[1] << 8 | b.row[2] << 16, nc = b.row[3] | b.row[4] << 8 | b.row[5] << 16;
    EXPECT_EQ(na, row_bits(3) | row_bits(2) << 12);
    EXPECT_EQ(nc, row_bits(1) | row_bits(0) << 12);
}

// Flipping compressed data must give the compressed form of the picture
// turned over: checked by decompressing both with libsquish.
TEST(DdsFlip, DxtLevelsTurnOverExactly)
{
    struct row { int format, squish_flags, w, h; };
    const row rows[] = {
        {tex_dxt1, squish::kDxt1, 8, 8}, {tex_dxt3, squish::kDxt3, 8, 12}, {tex_dxt5, squish::kDxt5, 4, 4},
        {tex_dxt5, squish::kDxt5, 8, 2}, {tex_dxt3, squish::kDxt3, 4, 2},  {tex_dxt1, squish::kDxt1, 2, 1},
        {tex_dxt1, squish::kDxt1, 2, 8},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.format) + " " + std::to_string(r.w) + "x" + std::to_string(r.h));
        bytes pic(r.w * r.h * 4);
        for (std::size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<uint8_t>((i * 37 + (i / 4) * 11) & 0xFF);
        bytes blocks(squish::GetStorageRequirements(r.w, r.h, r.squish_flags));
        squish::CompressImage(pic.data(), r.w, r.h, blocks.data(), r.squish_flags);
        bytes before(pic.size()), after(pic.size());
        squish::DecompressImage(before.data(), r.w, r.h, blocks.data(), r.squish_flags);
        TEX_image_desc desc{r.format, r.w, r.h, 0, 0};
        EXPECT_EQ(TEX_bytes_needed_for_image(desc), int(blocks.size()));
        TEX_flip_y(desc, blocks.data());
        squish::DecompressImage(after.data(), r.w, r.h, blocks.data(), r.squish_flags);
        for (int y = 0; y < r.h; ++y)
            EXPECT_EQ(bytes(after.begin() + y * r.w * 4, after.begin() + (y + 1) * r.w * 4),
                      bytes(before.begin() + (r.h - 1 - y) * r.w * 4, before.begin() + (r.h - y) * r.w * 4))
                << "row " << y;
    }
}

// Heights that are not a multiple of 4 leave padding rows in the last block
// row; none of them may move into the picture. Each picture row is black and
// white in a pattern of its own, so a block holding rows of two source blocks
// still compresses exactly and every row shows where it came from.
TEST(DdsFlip, EveryHeightKeepsPaddingOutOfThePicture)
{
    struct fmt { int format, squish_flags; };
    const fmt formats[] = {{tex_dxt1, squish::kDxt1}, {tex_dxt3, squish::kDxt3}, {tex_dxt5, squish::kDxt5}};
    for (const fmt& f : formats)
        for (int w : {8, 6})
            for (int h = 1; h <= 9; ++h) {
                SCOPED_TRACE(std::to_string(f.format) + " " + std::to_string(w) + "x" + std::to_string(h));
                bytes pic(w * h * 4);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        uint8_t* p = &pic[(y * w + x) * 4];
                        const int code = (y + 1) ^ (x < 4 ? 0 : 0xA);
                        p[0] = p[1] = p[2] = (code >> (x % 4)) & 1 ? 255 : 0;
                        p[3] = f.format == tex_dxt1 || ((y * 5 + x) % 3) ? 255 : 0;
                    }
                bytes blocks(squish::GetStorageRequirements(w, h, f.squish_flags));
                squish::CompressImage(pic.data(), w, h, blocks.data(), f.squish_flags);
                bytes before(pic.size()), after(pic.size());
                squish::DecompressImage(before.data(), w, h, blocks.data(), f.squish_flags);
                ASSERT_EQ(before, pic) << "the picture survives compression";
                TEX_image_desc desc{f.format, w, h, 0, 0};
                ASSERT_EQ(TEX_bytes_needed_for_image(desc), int(blocks.size()));
                TEX_flip_y(desc, blocks.data());
                squish::DecompressImage(after.data(), w, h, blocks.data(), f.squish_flags);
                for (int y = 0; y < h; ++y)
                    EXPECT_EQ(bytes(after.begin() + y * w * 4, after.begin() + (y + 1) * w * 4),
                              bytes(pic.begin() + (h - 1 - y) * w * 4, pic.begin() + (h - y) * w * 4))
                        << "row " << y;
            }
}

TEST(DdsWrite, HeaderLevelsAndRoundTrip)
{
    TempDir dir;
    // 4 by 4 RGB: DXT1, three levels of one block each.
    bytes rgb(4 * 4 * 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = &rgb[(y * 4 + x) * 3];
            p[0] = y < 2 ? 255 : 0;  // the lower half (first rows) red
            p[2] = y < 2 ? 0 : 255;  // the upper half blue
        }
    ASSERT_EQ(TEX_save_dds(dir / "a.dds", rgb.data(), {tex_rgb, 4, 4, 0, 0}), 1);
    const std::string file = read_file(dir / "a.dds");
    ASSERT_EQ(file.size(), 128u + 24u);
    EXPECT_EQ(file.substr(84, 4), "DXT1");
    EXPECT_EQ(static_cast<uint8_t>(file[28]), 3);  // level count
    EXPECT_EQ(static_cast<uint8_t>(file[8]), 0x07);
    EXPECT_EQ(static_cast<uint8_t>(file[10]), 0x0A);
    TEX_image_desc desc;
    ASSERT_EQ(parse(file, desc), 1);
    EXPECT_EQ(desc.format, tex_dxt1);
    EXPECT_EQ(desc.has_mips, 1);
    // The file holds the top row first: its first decoded row is blue.
    bytes out(64);
    squish::DecompressImage(out.data(), 4, 4, file.data() + 128, squish::kDxt1);
    EXPECT_GT(out[2], 200);
    EXPECT_LT(out[0], 50);
    EXPECT_GT(out[12 * 4], 200) << "last row red";

    bytes one = {1, 2, 3, 4};
    ASSERT_EQ(TEX_save_dds(dir / "b.dds", one.data(), {tex_rgba, 1, 1, 0, 0}), 1);
    const std::string b = read_file(dir / "b.dds");
    EXPECT_EQ(b.size(), 128u + 16u);
    EXPECT_EQ(b.substr(84, 4), "DXT5");
    EXPECT_EQ(static_cast<uint8_t>(b[28]), 1);
    EXPECT_EQ(TEX_save_dds(dir / "no/such/c.dds", one.data(), {tex_rgba, 1, 1, 0, 0}), 0);
}

}  // namespace
