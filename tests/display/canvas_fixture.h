// A 1024 by 768 framework window with its GL context on the private X
// server, the canvas mapped as the program maps it, and pixels read back from
// the back buffer.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brx_test {

using rgb = std::array<int, 3>;

class CanvasTest : public ::testing::Test {
public:
    static void SetUpTestSuite();
    void SetUp() override;  // main window current, cleared to black, default colours
    // Puts back what a test may have changed of the start-up state that later
    // tests of the same process (and their children) start from.
    void TearDown() override;

    // One pixel of the back buffer, and a block of them (rows bottom first).
    static rgb pixel(int x, int y);
    static std::vector<uint8_t> read_rgb(int x, int y, int w, int h);

    // An image loaded through the texture manager as `ref`, rows bottom first.
    static void load_rgba(int ref, int w, int h, const std::vector<uint8_t>& rgba);
    // A stand-in widget atlas whose glyph cell (column c, row r) is filled
    // with the colour synthetic_cell_colour(c, r).
    static void upload_synthetic_atlas();
    static rgb synthetic_cell_colour(int column, int row);

private:
    static inline bool atlas_replaced_ = false;
};

// PNG files of 8-bit RGB pixels, rows bottom first as GL reads them. With
// display_gamma the file says it is meant for the display as it is, so the
// texture loader's gamma correction leaves its values unchanged.
bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& pixels,
                   bool display_gamma = false);
bool read_rgb_png(const std::string& path, int* w, int* h, std::vector<uint8_t>* pixels);

// Expects `got` (w by h, as read_rgb_png gives) to match the committed picture
// `reference` within a rasteriser's tolerance; with BRX_UPDATE_REFERENCE=1 it
// rewrites the reference instead. On a mismatch the picture drawn is written
// to `seen` for a look.
void expect_reference_picture(const std::string& reference, const std::string& seen, int w, int h,
                              const std::vector<uint8_t>& got);

}  // namespace brx_test
