#include <algorithm>

#include "GenC/hl_mnw.h"
#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "app/installer.h"
#include "app/utils.h"

namespace {

bool have_window() { return mnw.display != nullptr && mnw.xwin[0] != 0; }

}  // namespace

int select_alert(std::string path, int is_gone)
{
    if (select_alert_answer) return select_alert_answer(path, is_gone);
    // With no window to ask in, nothing changed by the user is touched.
    if (!have_window()) return 3;

    struct button {
        float x, y, w;
        const char* label;
        int code;
    };
    const button buttons[] = {
        {96, 53, 160, is_gone ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE", 1},
        {96, 28, 160, "KEEP THE OLD FILE", 2},
        {308, 53, 260,
         is_gone ? "DELETE EVERY OLD FILE IN THIS DIRECTORY"
                 : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY",
         4},
        {308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", 5},
        {584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", 3},
    };
    const char* heading = is_gone ? "I am about to DELETE:" : "I am about to install:";
    const char* question =
        is_gone ? "because we no longer use this file, but it appears you have modified it. "
                  "What to do?"
                : "but it appears you have modified this file. What to do?";

    MACIBM_startwind(wind_select);
    while (mnw.wind == wind_select) {
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        const float wrap = mnw.wind_w - 40;
        OGL_string(43, 20, 100, heading, wrap, 100, 0);
        OGL_string(43, 20, 90, path, wrap, 100, 0);
        OGL_string(43, 20, 80, question, wrap, 100, 0);
        for (const button& b : buttons)
            if (BTN_action(b.x, b.y, b.w, 0, 1, b.label, "-")) {
                MACIBM_startwind(wind_main);
                return b.code;
            }
        MACIBM_event_proc();
    }
    return 3;
}

void dir_progress_bar(float lo, float val, float hi, int mode, std::string top_line,
                      std::string bottom_line)
{
    if (!have_window()) return;
    const char* stage = mode == 0   ? "Currently SCANNING the directory text file."
                        : mode == 1 ? "Currently EXAMINING the hard disk."
                                    : "";
    OGL_2dquad(390, 49, 1.0f, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f, 1024, 0, 1, 0, 1,
               5);
    const float x0 = (mnw.screen_w - 512) * 0.5f;
    const float y0 = (mnw.screen_h - 138) * 0.5f;
    BTN_frame2(15, x0 + 20, y0 + 20, 472, 98, "");

    float r = 0.52f;
    if (lo != hi) r = std::clamp(0.04f + 0.96f * (val - lo) / (hi - lo), 0.04f, 1.0f);
    const float left = x0 + 30, right = x0 + 482, fill_end = left + 452 * r;
    BTN_frame1(4, (left + right) / 2 - mnw.wind_x, y0 + 35 - mnw.wind_y, 452, 0);
    BTN_frame1(5, (left + fill_end) / 2 - mnw.wind_x, y0 + 35 - mnw.wind_y, fill_end - left, 0);

    OGL_string(49, x0 + 32, y0 + 100, top_line, 452, 100, 0);
    OGL_string(49, x0 + 32, y0 + 80, stage, 452, 100, 0);
    OGL_string(49, x0 + 32, y0 + 60, bottom_line, 452, 100, 0);
    OGL_sbuff();
}

void set_size_str(float kilobytes, std::string* out)
{
    // Rounded to a float before the comparison, so that a size at the border
    // of megabytes and gigabytes takes the same unit on every build.
    const float megs = round_to_float(double(kilobytes) * double(0.001f));
    if (megs < 1000) {
        flt_to_str(megs, out, 2, 1, 0);
        *out += " Meg";
    } else {
        flt_to_str(round_to_float(double(kilobytes) * double(0.000001f)), out, 2, 1, 0);
        *out += " Gig";
    }
}
