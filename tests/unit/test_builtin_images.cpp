// The built-in images as compiled into the program, and the layout table that
// places every element in them.
#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "images/atlas_layout.h"
#include "images/builtin_images.h"
#include "support/test_util.h"

using namespace brx_art;

namespace {

const unsigned char* atlas_texel(int s, int t) { return t_interface_dat + (std::size_t(t) * kAtlasSize + s) * 4; }

bool overlaps(const atlas_rect& a, const atlas_rect& b)
{
    return a.s < b.s + b.w && b.s < a.s + a.w && a.t < b.t + b.h && b.t < a.t + a.h;
}

TEST(AtlasLayout, EveryRectangleLiesInsideTheAtlas)
{
    for (const atlas_rect& r : kAtlasRects) {
        SCOPED_TRACE(r.name);
        EXPECT_GE(r.s, 0);
        EXPECT_GE(r.t, 0);
        EXPECT_LE(r.s + r.w, kAtlasSize);
        // Menu and title bars are the one documented exception: they read one
        // row past the top, which wraps to a transparent row 0.
        EXPECT_LE(r.t + r.h, kAtlasSize + (r.reads_past_top ? 1 : 0));
    }
    for (const atlas_swatch& sw : kAtlasSwatches) {
        EXPECT_LT(sw.s, kAtlasSize);
        EXPECT_LT(sw.t, kAtlasSize);
    }
}

TEST(AtlasLayout, NoTwoElementsShareTexels)
{
    const std::size_t n = std::size(kAtlasRects);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            EXPECT_FALSE(overlaps(kAtlasRects[i], kAtlasRects[j]))
                << kAtlasRects[i].name << " and " << kAtlasRects[j].name;
    for (const atlas_swatch& sw : kAtlasSwatches)
        for (const atlas_rect& r : kAtlasRects)
            EXPECT_FALSE(overlaps(r, {"swatch", sw.s, sw.t, 1, 1, ak_element})) << r.name << " covers a swatch";
}

TEST(AtlasLayout, GlyphTablesFollowTheCellTable)
{
    struct row { unsigned char c; int cell; int advance; };
    const row rows[] = {
        {' ', 0, 3},  {'0', 1, 6},  {'9', 10, 6},  {'A', 11, 8},   {'a', 12, 6},   {'b', 14, 7},
        {'z', 62, 6}, {'!', 63, 4}, {'@', 64, 9},  {'|', 79, 3},   {'\\', 80, 3},  {';', 83, 3},
        {'<', 84, 7}, {'`', 90, 3}, {0xFB, 91, 3}, {0xE9, 95, 6},  {0xBF, 104, 6}, {'"', 0, 0},
        {'{', 0, 0},  {'~', 0, 0},  {0xE8, 0, 0},  {'W', 55, 11},  {'m', 36, 10},  {'c', 16, 5},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.c));
        EXPECT_EQ(glyph_cell(r.c), r.cell);
        EXPECT_EQ(glyph_advance(r.c), r.advance);
    }
    // e-acute: column 11, row 4 of the cell grid.
    EXPECT_EQ(glyph_cell(0xE9) % kGlyphCols, 11);
    EXPECT_EQ(glyph_cell(0xE9) / kGlyphCols, 4);
}

TEST(BuiltinImages, ArraysHaveTheirDeclaredSizes)
{
    EXPECT_EQ(sizeof(t_interface_dat), 1048576u);
    EXPECT_EQ(sizeof(t_installer_dat), 3086560u);
    EXPECT_EQ(sizeof(t_ins_back_1_dat), 3145728u);
    EXPECT_EQ(sizeof(t_ins_back_2_dat), 3145728u);
}

TEST(BuiltinImages, SwatchesHoldTheInterfaceColours)
{
    for (const atlas_swatch& sw : kAtlasSwatches) {
        const unsigned char* p = atlas_texel(sw.s, sw.t);
        EXPECT_EQ(p[0], sw.r) << sw.colour_index;
        EXPECT_EQ(p[1], sw.g) << sw.colour_index;
        EXPECT_EQ(p[2], sw.b) << sw.colour_index;
        EXPECT_EQ(p[3], 255) << sw.colour_index;
    }
}

// Relative luminance and contrast ratio of opaque sRGB texels.
double luminance(const unsigned char* p)
{
    auto lin = [](unsigned char v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
}
double contrast(const unsigned char* a, const unsigned char* b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The drop-down list writes its chosen item in colour 38 on its frame, and
// its arrow must stand out from the arrow box.
TEST(BuiltinImages, DropDownFieldShowsItsItemText)
{
    const atlas_swatch* white = nullptr;
    for (const atlas_swatch& sw : kAtlasSwatches)
        if (sw.colour_index == 38) white = &sw;
    ASSERT_NE(white, nullptr);
    const unsigned char* text = atlas_texel(white->s, white->t);
    const atlas_rect* frame = nullptr;
    for (const atlas_rect& r : kAtlasRects)
        if (std::string(r.name) == "frame1 style 10 drop-down") frame = &r;
    ASSERT_NE(frame, nullptr);
    // The rows the item's text covers, across the repeated middle and the
    // field left of the arrow box.
    for (int t = 6; t <= 17; ++t)
        for (int s = 2; s < frame->w - 22; ++s) {
            const unsigned char* p = atlas_texel(frame->s + s, frame->t + t);
            ASSERT_EQ(p[3], 255) << s << "," << t;
            EXPECT_GE(contrast(p, text), 4.5) << "field texel " << s << "," << t;
        }
    const unsigned char* arrow = atlas_texel(frame->s + frame->w - 12, frame->t + 13);
    const unsigned char* box = atlas_texel(frame->s + frame->w - 5, frame->t + 12);
    EXPECT_GE(contrast(arrow, box), 4.5);
}

TEST(BuiltinImages, BackgroundsAreOpaque)
{
    for (const unsigned char* img : {t_ins_back_1_dat, t_ins_back_2_dat})
        for (std::size_t i = 3; i < kBackBytes; i += 4) ASSERT_EQ(img[i], 255) << i;
}

// Transparent texels carry no colour, so filtering never bleeds a stray hue.
TEST(BuiltinImages, TransparentTexelsAreBlack)
{
    auto check = [](const unsigned char* img, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; i += 4) {
            if (img[i + 3] == 0) {
                ASSERT_EQ(img[i] | img[i + 1] | img[i + 2], 0) << i;
            }
        }
    };
    check(t_interface_dat, kInterfaceBytes);
    check(t_installer_dat, kInstallerBytes);
}

// Every glyph stays inside the columns its advance gives it, and each
// character with a glyph shows some ink.
TEST(BuiltinImages, GlyphsFitTheirAdvance)
{
    for (int c = 1; c < 256; ++c) {
        const int k = glyph_cell(static_cast<unsigned char>(c));
        if (k == 0) continue;
        const int adv = glyph_advance(static_cast<unsigned char>(c));
        const int cs = (k % kGlyphCols) * kGlyphW, ct = (k / kGlyphCols) * kGlyphH;
        int ink = 0;
        for (int t = 0; t < kGlyphH; ++t)
            for (int s = 0; s < kGlyphW; ++s) {
                const int a = atlas_texel(cs + s, ct + t)[3];
                if (a == 0) continue;
                ++ink;
                EXPECT_LT(s, adv) << "byte " << c << " has ink in column " << s;
            }
        EXPECT_GT(ink, 0) << "byte " << c;
    }
    for (int t = 0; t < kGlyphH; ++t)
        for (int s = 0; s < kGlyphW; ++s) EXPECT_EQ(atlas_texel(s, t)[3], 0) << "blank cell";
}

TEST(BuiltinImages, ArtSheetDrawsOnlyItsRegions)
{
    // Everything drawn lies in rows 0 to 257; the label strips hold three
    // looks of every label.
    for (std::size_t i = std::size_t(kArtDrawnRows) * kArtRowTexels * 4; i < kInstallerBytes; i += 4)
        ASSERT_EQ(t_installer_dat[i + 3], 0) << "texel " << i / 4;
    auto alpha = [](int s, int t) { return t_installer_dat[(std::size_t(t) * kArtRowTexels + s) * 4 + 3]; };
    for (const art_label& l : kArtLabels)
        for (int state = 0; state < 3; ++state) {
            const int t = kLabelNormalT - state * kLabelStep + kLabelH / 2;
            EXPECT_GT(alpha(l.s + l.w / 2, t), 0) << l.text << " state " << state;
        }
    for (int n = kGlobeFirst; n < kGlobeFirst + kGlobeFrames; ++n) {
        const art_rect cell = art_icon(n);
        EXPECT_EQ(alpha(cell.s + 32, cell.t + 32), 255) << "globe frame " << n;
    }
    EXPECT_GT(alpha(kArtPanel.s + kArtPanel.w / 2, kArtPanel.t + kArtPanel.h / 2), 0);
}

std::vector<unsigned char> png_pixels(const std::string& path)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return {};
    img.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return {};
    return px;
}

// The generator remakes the committed art exactly, so the sources, the
// generator and the layout table cannot drift apart.
TEST(BuiltinImages, GeneratorRemakesTheCommittedArt)
{
    const std::string tool = std::string(BRX_BINARY_DIR) + "/make_art";
    if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "make_art is not built here";
    brx_test::TempDir dir;
    ASSERT_EQ(system((tool + " " + dir.path()).c_str()), 0);
    for (const char* name : {"t_interface.png", "t_installer.png", "t_ins_back_1.png", "t_ins_back_2.png"}) {
        const auto made = png_pixels(dir / name);
        const auto committed = png_pixels(std::string(BRX_SOURCE_DIR) + "/images/art/" + name);
        ASSERT_FALSE(committed.empty()) << name;
        EXPECT_TRUE(made == committed) << name << " differs from what make_art draws";
    }
}

}  // namespace
