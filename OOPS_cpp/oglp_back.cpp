// The background picture cut into 512-texel tiles, and screenshots.
#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <string>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"
#include "TEX/TEX_png.h"

int back_dx, back_dy;

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
