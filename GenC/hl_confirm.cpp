#include "GenC/hl_confirm.h"

#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_layout.h"

int MACIBM_nuke_alert(std::string message, int third_button)
{
    // With no window to answer in, nothing is confirmed.
    if (!mnw.display || !mnw.xwin[0]) return 3;

    MACIBM_startwind(wind_confirm);
    while (mnw.wind == wind_confirm) {
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        const std::string text = stls.entry[610] + message + " " + stls.entry[611];
        OGL_string(43, 20, mnw.wind_h - 40, text, mnw.wind_w - 40, 100, 0);

        // Buttons 1 and 2 start their labels at x 20, button 3 ends its label
        // 20 pixels from the right edge.
        const std::string& one = stls.entry[607];
        if (BTN_action(20 + OGL_string_width(one) / 2, 60, 0, 0, 1, one, "-")) {
            MACIBM_startwind(wind_main);
            return 1;
        }
        const std::string& two = stls.entry[608];
        if (BTN_action(20 + OGL_string_width(two) / 2, 25, 0, 0, 1, two, "-")) {
            MACIBM_startwind(wind_main);
            return 2;
        }
        const std::string& three = stls.entry[609];
        if (third_button &&
            BTN_action(mnw.wind_w - 20 - OGL_string_width(three) / 2, 25, 0, 0, 1, three, "-")) {
            MACIBM_startwind(wind_main);
            return 3;
        }
        MACIBM_event_proc();
    }
    return 3;
}
