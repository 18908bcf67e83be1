#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp.h"
#include "app/installer.h"
#include "app/utils.h"

// Each term fits one line of the window's 400-pixel wrap: the lines sit only
// 20 pixels apart, so a wrapped term would run into the next.
const char* const kEulaLines[3] = {
    "Brennix is licensed, not sold: you may install it on the computers you use.",
    "You may not sell or pass on the files that this installer downloads.",
    "Brennix comes as it is, without warranty; Corvath is not liable for damage.",
};

int eula_agreed = 0;

int handle_EULA()
{
    if (eula_agreed) return 1;
    MACIBM_startwind(wind_eula);
    while (mnw.wind == wind_eula) {
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        BTN_subwin(0, 16, -1, 50, -1, -1, "", &wx, &wy);
        static const float ys[3] = {250, 230, 210};
        for (int i = 0; i < 3; ++i) btn_text(46, 20, ys[i], kEulaLines[i], 400, 100, 0);
        if (interface_rect(300, 10, 832, 166, 85, 22, 1, 1)) {
            eula_agreed = 0;
            MACIBM_startwind(wind_main);
        }
        if (interface_rect(400, 10, 918, 166, 59, 22, 1, 1)) {
            eula_agreed = 1;
            MACIBM_startwind(wind_main);
            MACIBM_event_proc();
            continue;
        }
        MACIBM_event_proc();
    }
    return eula_agreed;
}

int proxy_port_number(const std::string& text)
{
    const int port = str_to_int(text);
    return port >= 0 && port <= 65535 ? port : -1;
}

void handle_prefs()
{
    static const char* const labels[5] = {
        "|run at full speed all the time, always totally saturating the CPU... typically leave "
        "this OFF, since the installer does not need that much CPU to download stuff!",
        "|re-name the Skarvel folder to the latest version number when done with the update... "
        "typically leave this ON, so the installer can indicate the proper version number!",
        "|always ask you to pick your Skarvel folder on startup... typically leave this OFF, "
        "since the installer will remember your current Brennix folder after the first use.",
        "|manually set the number of download streams... typically leave this OFF, and the "
        "installer will find the best number of streams for you.",
        "|log installer actions... turn this on to output the installer file downloads and "
        "stuff to the file log.txt.",
    };

    MACIBM_startwind(wind_prefs);
    while (mnw.wind == wind_prefs) {
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        BTN_subwin(0, 13, -1, -1, -1, 70, "Proxy (if you are behind a firewall with a Proxy)", &wx,
                   &wy);
        BTN_subwin(0, 13, -1, 90, -1, -1, "General Preferences", &wx1, &wy1);

        int manual_streams = stg.stream_count != 0 ? 1 : 0;

        --stg.target_os;
        BTN_textlist(200, 310, &stg.target_os, "Macintosh-Windows-Linux",
                     "Operating System to download Brennix for:|(Install and copy the entire "
                     "Brennix folder to another computer if you like)");
        ++stg.target_os;

        BTN_bool(30, 265, &stg.use_max_cpu, labels[0], 0);
        BTN_bool(30, 230, &stg.rename_folder, labels[1], 0);
        BTN_bool(30, 190, &stg.always_ask_dir, labels[2], 0);
        BTN_bool(30, 150, &manual_streams, labels[3], 0);
        BTN_bool(30, 110, &stg.log_actions, labels[4], 0);
        if (!manual_streams)
            stg.stream_count = 0;
        else
            BTN_int_range(400, 150, &stg.stream_count, 1, 1, 4, "");

        BTN_enterstring(85, 40, &http.proxy_host, 65, "-proxy host", 455, 1);
        BTN_enterstring(85, 20, &http.proxy_port, 65, "-proxy port", 455, 1);

        if (!http.proxy_port.empty()) http.proxy_port_int = proxy_port_number(http.proxy_port);
        MACIBM_event_proc();
    }
}
