// X11 input without a display: arbitrary key, button, motion and window
// events, in any sub-window and menu state, through the event handler, the
// click handler and key translation with bindings.
#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/keys.h"

namespace {

class reader {
public:
    reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool more() const { return p_ < end_; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

const int kWindows[] = {-1, 0, 1, 2, 993, 994, 995, 996, 997, 998, 999, 4242};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<btn_draw_op> ops;  // draw into a log, never into GL
    btn_draw_log = &ops;
    if (menu.size() != static_cast<size_t>(kMenuCount)) MACIBM_clear_menus(1);
    mnw = mnw_class{};
    mnw.screen_w = 1024;
    mnw.screen_h = 768;
    mnw.scale = 1.0f;
    keys.bindings = {{65, 0, 0, 0}, {13, 4, 0, 0}, {188, 1, 0, 0}};

    reader in(data, size);
    MACIBM_startwind(kWindows[in.byte() % std::size(kWindows)]);
    menu[3].parent = -1;
    menu[3].x1 = 0, menu[3].y1 = 740, menu[3].x2 = 60, menu[3].y2 = 768;
    menu[3].items = {{"Open", 7, 0, 0, 700, 100, 739}, {"-", 8, 0, 0, 680, 100, 699}};
    menu[kPopupMenu].items = {{"A", 0, 0, 10, 10, 90, 30}};

    while (in.more()) {
        switch (in.byte() % 6) {
        case 0: {  // a translated key
            const uint32_t base = in.u32(), shifted = in.u32();
            const long type = 2 + in.byte() % 3;
            const long state = in.byte();
            const key_event k = keys_translate(base, shifted, type, state);
            if (!k.ignored) keys.handle_translated(k);
            break;
        }
        case 1: {  // a button
            XEvent e{};
            e.type = (in.byte() & 1) ? ButtonPress : ButtonRelease;
            e.xbutton.button = in.byte() % 8;
            mnw.mouse_x = static_cast<float>(in.u32() % 1200) - 100;
            mnw.mouse_y = static_cast<float>(in.u32() % 900) - 100;
            LIN_handleevt(&e);
            break;
        }
        case 2: {  // a window notification
            XEvent e{};
            e.type = in.byte() % (LASTEvent + 2);
            if (e.type != KeyPress && e.type != KeyRelease) LIN_handleevt(&e);
            break;
        }
        case 3: MACIBM_startwind(kWindows[in.byte() % std::size(kWindows)]); break;
        case 4: mnw.open_menu = (in.byte() & 1) ? kPopupMenu : 3; break;
        case 5: MACIBM_load_mxy(0, static_cast<int>(in.u32() % 2000) - 500,
                                static_cast<int>(in.u32() % 2000) - 500);
            break;
        }
        ops.clear();
    }
    keys.run_repeat_keys();
    btn_draw_log = nullptr;
    return 0;
}
