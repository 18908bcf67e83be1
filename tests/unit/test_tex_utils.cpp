// Image operations: sizes, flips, reduction, loading by content and
// extension, chroma key, compositing and the size limit.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "TEX/TEX_utils.h"
#include "support/image_util.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using bytes = std::vector<uint8_t>;

TEST(TexSizes, BytesNeeded)
{
    struct row { TEX_image_desc d; int want; };
    const row rows[] = {
        {{tex_rgba, 4, 2, 0, 1}, 32 + 8 + 4},
        {{tex_dxt1, 8, 8, 0, 1}, 32 + 8 + 8 + 8},
        {{tex_rgb, 3, 3, 1, 0}, 30},
        {{tex_bgra, 1, 1, 0, 1}, 4},
        {{tex_dxt5, 5, 3, 0, 0}, 2 * 16},
        {{tex_alpha, 2, 2, 2, 1}, 8 + 3},
        {{0, 4, 4, 0, 0}, 0},
    };
    for (const row& r : rows) EXPECT_EQ(TEX_bytes_needed_for_image(r.d), r.want) << r.d.format;
}

TEST(TexDownscale, BoxFilterInPlace)
{
    bytes row = {3, 6, 9};
    TEX_image_desc d{tex_alpha, 3, 1, 0, 0};
    TEX_downscale(d, row.data(), 3, 1);
    EXPECT_EQ(row[0], 4);  // 18 >> 2
    EXPECT_EQ(d.width, 1);

    bytes rgba(4 * 4 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i);
    TEX_image_desc q{tex_rgba, 4, 4, 0, 0};
    TEX_downscale(q, rgba.data(), 2, 2);
    EXPECT_EQ(q.width, 2);
    EXPECT_EQ(q.height, 2);
    // Output pixel (0,0): mean of bytes at pixels 0, 1, 4, 5 channel 0: (0+4+16+20)/4.
    EXPECT_EQ(rgba[0], 10);
    EXPECT_EQ(rgba[4], (8 + 12 + 24 + 28) / 4);
    EXPECT_EQ(rgba[8], (32 + 36 + 48 + 52) / 4);

    // Five columns by two: column 4 is dropped; rows stay in place.
    bytes five = {1, 1, 5, 5, 99, 3, 3, 7, 7, 99};
    TEX_image_desc f{tex_alpha, 5, 2, 0, 0};
    TEX_downscale(f, five.data(), 2, 1);
    EXPECT_EQ(f.width, 2);
    EXPECT_EQ(bytes(five.begin(), five.begin() + 4), (bytes{1, 5, 3, 7}));
}

TEST(TexFlip, RowsWithPaddingTravelWhole)
{
    bytes img = {1, 1, 1, 1, 1, 1, 8, 8, 2, 2, 2, 2, 2, 2, 8, 8, 3, 3, 3, 3, 3, 3, 8, 9};
    TEX_flip_y({tex_rgb, 2, 3, 2, 0}, img.data());
    EXPECT_EQ(img, (bytes{3, 3, 3, 3, 3, 3, 8, 9, 2, 2, 2, 2, 2, 2, 8, 8, 1, 1, 1, 1, 1, 1, 8, 8}));

    // With mips, every level turns: 2 by 2 then 1 by 1.
    bytes chain = {1, 2, 3, 4, 5};
    TEX_flip_y({tex_alpha, 2, 2, 0, 1}, chain.data());
    EXPECT_EQ(chain, (bytes{3, 4, 1, 2, 5}));
}

TEST(TexLoadAny, DecidesByContent)
{
    TempDir dir;
    write_file(dir / "pic.png", make_bmp(2, 1, {1, 2, 3, 4, 5, 6}));  // BMP under a .png name
    write_file(dir / "real.png", make_png({1, 1, PNG_COLOR_TYPE_RGB}, {{7, 8, 9}}));
    write_file(dir / "junk.png", "GIF89a this is no picture of ours");
    TEX_image_desc d;
    unsigned char* out = nullptr;
    ASSERT_EQ(TEX_load_any(dir / "pic.png", out, tex_rgb, 0, 0, d), 1);
    EXPECT_EQ(bytes(out, out + 6), (bytes{3, 2, 1, 6, 5, 4}));
    free(out);
    out = nullptr;
    ASSERT_NE(TEX_load_any(dir / "real.png", out, tex_rgb, 0, 0, d), 0);
    EXPECT_EQ(bytes(out, out + 3), (bytes{7, 8, 9}));
    free(out);
    out = nullptr;
    // Neither BMP nor PNG: a failed load, quietly.
    auto r = run_in_child([&] {
        unsigned char* o = nullptr;
        TEX_image_desc dd;
        printf("%d\n", TEX_load_any(dir / "junk.png", o, tex_rgb, 0, 0, dd));
    }, dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(TEX_load_any(dir / "none.png", out, tex_rgb, 0, 0, d), 0);

    // "BM" but 8 bits: the depth alert, no fall-back to PNG.
    write_file(dir / "deep.bmp", make_bmp(1, 1, {0, 0, 0}, 8));
    r = run_in_child([&] {
        unsigned char* o = nullptr;
        TEX_image_desc dd;
        TEX_load_any(dir / "deep.bmp", o, tex_rgb, 0, 0, dd);
    }, dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("Wrong bitmap color depth"), std::string::npos);

    // Too large for the caller's buffer: refused before writing.
    bytes small(7, 0xEE);
    out = small.data();
    EXPECT_EQ(TEX_load_any(dir / "pic.png", out, tex_rgba, 0, 0, d, small.size()), 0);
    EXPECT_EQ(small[0], 0xEE);
}

TEST(TexLoadAny, ByExtensionTriesDdsPngBmp)
{
    TempDir dir;
    write_file(dir / "sky.bmp", make_bmp(1, 1, {1, 2, 3}));
    TEX_image_desc d;
    unsigned char* out = nullptr;
    ASSERT_EQ(TEX_load_any_ext(dir / "sky.png", out, tex_rgb, 0, 0, d), 1);
    EXPECT_EQ(out[0], 3);
    free(out);
    out = nullptr;
    // The .dds name is decoded by content too: PNG data there wins.
    write_file(dir / "sky.dds", make_png({1, 1, PNG_COLOR_TYPE_RGB}, {{9, 9, 9}}));
    ASSERT_EQ(TEX_load_any_ext(dir / "sky", out, tex_rgb, 0, 0, d), 1);
    EXPECT_EQ(out[0], 9);
    free(out);
    out = nullptr;
    write_file(dir / "a.b.png", make_png({1, 1, PNG_COLOR_TYPE_RGB}, {{5, 5, 5}}));
    ASSERT_EQ(TEX_load_any_ext(dir / "a.b", out, tex_rgb, 0, 0, d), 1);
    free(out);
    EXPECT_EQ(TEX_load_any_ext(dir / "cloud.png", out, tex_rgb, 0, 0, d), 0);
}

TEST(TexChromaKey, Tolerance)
{
    bytes px = {10, 20, 30, 255, 11, 20, 30, 255};
    unsigned char key[3] = {10, 20, 30};
    TEX_chroma_key({tex_rgba, 2, 1, 0, 0}, px.data(), key, 0);
    EXPECT_EQ(px[3], 255);
    TEX_chroma_key({tex_rgba, 2, 1, 0, 0}, px.data(), key, 1);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[7], 255);
    TEX_chroma_key({tex_rgba, -2, -1, 0, 0}, px.data(), key, 99);  // negative sizes: nothing
    EXPECT_EQ(px[7], 255);
}

TEST(TexComposite, SamplesAndBlends)
{
    // Source 2 by 1 RGB: black then white. An empty rectangle draws nothing.
    bytes src = {0, 0, 0, 255, 255, 255};
    bytes dst(3 * 4, 7);
    TEX_composite({tex_rgb, 2, 1, 0, 0}, {tex_rgb, 4, 1, 0, 0}, src.data(), dst.data(), 1, 0, 1, 1);
    EXPECT_EQ(dst, bytes(12, 7));
    TEX_composite({tex_rgb, 2, 1, 0, 0}, {tex_rgb, 4, 1, 0, 0}, src.data(), dst.data(), 0, 0, 4, 1);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[3 * 2], 255);
    // An opaque RGBA source over RGBA: alpha adds and clamps.
    bytes s4 = {100, 100, 100, 255};
    bytes d4 = {0, 0, 0, 10};
    TEX_composite({tex_rgba, 1, 1, 0, 0}, {tex_rgba, 1, 1, 0, 0}, s4.data(), d4.data(), 0, 0, 1, 1);
    EXPECT_EQ(d4, (bytes{100, 100, 100, 255}));
}

TEST(TexLimits, CheckDxy)
{
    for (int ok : {1, 3, 2048}) check_dxy(ok, "fine");
    for (int bad : {0, 2049}) {
        auto r = run_in_child([&] { check_dxy(bad, "big.png"); });
        EXPECT_EQ(r.signal, SIGABRT);
        EXPECT_NE(r.out.find("Trying to create a texture either less than 1 or greater than 2048!\n\nbig.png\n\n"
                             "value:\n\n" + std::to_string(bad) + "\n"),
                  std::string::npos)
            << r.out;
    }
    EXPECT_EQ(TEX_pow2_at_least(0), 1);
    EXPECT_EQ(TEX_pow2_at_least(300), 512);
    EXPECT_EQ(TEX_pow2_at_least(512), 512);
}

}  // namespace
