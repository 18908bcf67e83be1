// The background picture cut into 512-texel tiles, and screenshots.
#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_state.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_png.h"
#include "TEX/TEX_utils.h"

int back_dx, back_dy;

namespace {

constexpr int kTile = 512;
constexpr int kGrid = 4;  // tiles per side: at most 2048 by 2048 of the picture
constexpr int kFirstTileRef = 423;
constexpr char kBackPicture[] = "Resources/bitmaps/intro.png";

int tile_ref(int row, int column) { return kFirstTileRef + kGrid * row + column; }

}  // namespace

void OGL_make_back_tex()
{
    if (mnw.wind != -1 || !scratch_array) return;

    // The picture, tightly packed RGBA with its bottom row first; one that
    // does not fit the scratch buffer is refused like a missing one.
    std::memset(scratch_array, 0, kScratchArrayBytes);
    unsigned char* pixels = scratch_array;
    TEX_image_desc desc;
    if (!TEX_load_any(kBackPicture, pixels, tex_rgba, 0, 0, desc, kScratchArrayBytes)) {
        __MACIBM_alert(0, "Trying to load a texture that you do not have!",
                       "This smacks of a mis-installed copy of Brennix!",
                       std::string("Please get a new download from ") + kMakerWebSite +
                           " to fix this. The missing file is:",
                       kBackPicture, t_exit, "OOPS_cpp/oglp", __LINE__);
        return;
    }
    back_dx = desc.width;
    back_dy = desc.height;

    // Each tile is cut from a copy while the scratch buffer carries it to the
    // texture manager.
    std::unique_ptr<unsigned char[]> picture(new (std::nothrow) unsigned char[kScratchArrayBytes]);
    if (!picture) return;
    std::memcpy(picture.get(), scratch_array, kScratchArrayBytes);

    OGL_setstate(1, 1, 3, 5, 9, 11);
    const std::size_t picture_row = static_cast<std::size_t>(back_dx) * 4;
    for (int r = 0; r < kGrid; ++r)
        for (int c = 0; c < kGrid; ++c) {
            std::memset(scratch_array, 0, static_cast<std::size_t>(kTile) * kTile * 4);
            const int rows = std::min(back_dy - kTile * r, kTile);
            const int cols = std::min(back_dx - kTile * c, kTile);
            if (rows > 0 && cols > 0)
                for (int i = 0; i < rows; ++i)
                    std::memcpy(scratch_array + static_cast<std::size_t>(i) * kTile * 4,
                                picture.get() + static_cast<std::size_t>(kTile * r + i) * picture_row +
                                    static_cast<std::size_t>(kTile * c) * 4,
                                static_cast<std::size_t>(cols) * 4);
            scratch_dx = scratch_dy = kTile;
            tman.load_texture(tex_fail_fatal, tile_ref(r, c), 0x412, tex_load_now,
                              "scratch_array-t_tex_back (tile)");
        }
}

void OGL_plot_back_tex()
{
    const float sw = static_cast<float>(mnw.screen_w), sh = static_cast<float>(mnw.screen_h);
    const float bw = static_cast<float>(back_dx), bh = static_cast<float>(back_dy);
    float L, R, B, T;
    if (mnw.wind == -1) {
        // Right-aligned when wider than the screen; bottom-aligned while at
        // most 512 pixels taller.
        L = sw < bw ? sw - bw : 0.0f;
        R = sw < bw ? sw : bw;
        T = sh + std::clamp(bh - sh, 0.0f, 512.0f);
        B = T - bh;
        if (bw < sw || bh < sh) OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, sw, sh);
    } else {
        L = mnw.canvas_dx;
        R = bw + mnw.canvas_dx;
        B = 0;
        T = bh;
    }

    OGL_setstate(1, 1, 3, ren.alpha > 0.99f ? 6 : 5, 9, 11);
    OGL_set_colour(0, 1.0f);
    const float cell_w = (R - L) / kGrid, cell_h = (T - B) / kGrid;
    for (int r = 0; r < kGrid; ++r)
        for (int c = 0; c < kGrid; ++c) {
            const float x0 = std::clamp(L + c * cell_w, L, R), x1 = std::clamp(L + (c + 1) * cell_w, L, R);
            const float y0 = std::clamp(B + r * cell_h, B, T), y1 = std::clamp(B + (r + 1) * cell_h, B, T);
            if (!(x1 > 0 && x0 < sw && y1 > 0 && y0 < sh)) continue;
            tman.bind_ref(tile_ref(r, c), 0, 0);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0);
            glVertex2f(x0, y0);
            glTexCoord2f(0, 1);
            glVertex2f(x0, y1);
            glTexCoord2f(1, 1);
            glVertex2f(x1, y1);
            glTexCoord2f(1, 0);
            glVertex2f(x1, y0);
            glEnd();
        }
}

void OGL_screenshot(int save)
{
    static int shot = -1;
    if (!scratch_array) return;

    // At most 2048 by 2048 from the middle of the window, as RGB bytes.
    const int w = std::clamp(mnw.screen_w, 0, 2048);
    const int h = std::clamp(mnw.screen_h, 0, 2048);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(static_cast<GLint>((mnw.screen_w - w) * 0.5), static_cast<GLint>((mnw.screen_h - h) * 0.5),
                 w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
    if (!save) return;

    // The next number not taken by a file already there.
    std::string name;
    do {
        if (shot == INT_MAX) return;
        ++shot;
        name = "screenshot_" + std::to_string(shot) + ".png";
    } while (file_exists(name));
    write_png_to_disk(name, w, h, 3);
}
