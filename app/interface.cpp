#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/colr.h"
#include "app/installer.h"

int interface_rect(float x, float y, float u, float v, float w, float h, int hover, int tint)
{
    colr.assign(kTintColour, 1, 1, 1);
    if (tint == 1) colr.assign(kTintColour, 0.8f, 1.0f, 0.8f);
    if (tint == 2) colr.assign(kTintColour, 1.0f, 0.8f, 0.8f);

    const bool inside = mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y &&
                        mnw.mouse_y <= y + h;
    if (hover && inside) v -= mnw.held ? 2 * (h + 1) : h + 1;

    const float s0 = u / 1024, s1 = (u + w) / 1024;
    const float t0 = v / 1024, t1 = (v + h) / 1024;
    const float corners[16] = {x, y, s0, t0, x, y + h, s0, t1, x + w, y + h, s1, t1, x + w, y, s1, t0};
    btn_free_quad(kArtTexture, kTintColour, 1.0f, corners);

    return mnw.clicked && inside ? 1 : 0;
}

int interface_icon(float x, float y, int index)
{
    const float u = static_cast<float>((index % 8) * 64);
    const float v = static_cast<float>((index / 8) * 64 + 66);
    return interface_rect(x, y, u, v, 64, 64, 0, 0);
}
