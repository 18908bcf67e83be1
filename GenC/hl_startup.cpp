// The framework's start-up sequence and its start-up screen.
#include <sys/time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/xtim.h"
#include "images/builtin_images.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_Debug.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_thread.h"

std::string MACIBM_meminfo_path = "/proc/meminfo";

namespace {

// 0x2FFFF972: the largest rand() value gives 0.9999.
constexpr float kRandScale = 4.656147e-10f;
// 0x3C8EFA36: one unit in the last place above the single nearest pi/180.
constexpr float kDegree = 0.017453294f;

// Copies the lines of a /proc file that begin with one of the keys, each
// piece of at most 511 characters tested by itself; false when unreadable.
bool copy_proc_lines(std::ostream& log, const std::string& path,
                     std::initializer_list<const char*> keys)
{
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return false;
    char line[512];
    while (fgets(line, sizeof line, f)) {
        for (const char* key : keys) {
            if (strncmp(line, key, strlen(key)) == 0) {
                log << line;
                break;
            }
        }
    }
    fclose(f);
    return true;
}

}  // namespace

void MACIBM_fill_tables(uint32_t clock_seed)
{
    srand(1);
    for (float& r : randrat) r = static_cast<float>(rand()) * kRandScale;

    srand(clock_seed);
    for (uint32_t i = 0; i < clock_seed % 1000; ++i) (void)rand();

    for (int i = 0; i <= 360; ++i) {
        const long double a = static_cast<long double>(i) * kDegree;
        lookup_sin[i] = static_cast<float>(sinl(a));
        lookup_cos[i] = static_cast<float>(cosl(a));
    }
}

void MACIBM_write_log_header(std::ostream& log)
{
    log << "log.txt for " << kBuildName << " Installer " << kBuildNumber << " compiled on "
        << __DATE__ << " " << __TIME__ << "\n\n";
    log << "This log file is generated automatically by Corvath Research applications and "
           "contains diagnostics about your graphics hardware, installation, and any error "
           "conditions.\n";
    log << "If you need to contact tech support or file a bug, please send us this file. NOTE: "
           "this file is rewritten every time you start ANY of your Skarvel applications.\n\n";
    if (!copy_proc_lines(log, UTL_cpuinfo_path, {"processor", "model name", "cpu MHz"}))
        log << "Unable to read CPU information.\n";
    if (!copy_proc_lines(log, MACIBM_meminfo_path, {"MemTotal"}))
        log << "Unable to read mem information.\n";
    log << "\nSkarvel folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
    log.flush();
}

float MACIBM_init_bar_share(const float* fraction, int* counter)
{
    float f;
    if (fraction) {
        f = *fraction;
    } else {
        f = static_cast<float>(*counter) * 0.01f;
        ++*counter;
    }
    if (!(f > 0.02f)) f = 0.02f;  // NaN too
    return std::min(f, 1.0f);
}

std::string MACIBM_language_folder(int lang)
{
    static const char* const folders[7] = {"english", "french",    "german", "italian",
                                           "spanish", "portugese", "korean"};
    if (lang < 0 || lang > 6) return "";
    return std::string("text/") + folders[lang] + "/";
}

void MACIBM_setupforlang() { (void)MACIBM_language_folder(mnw.lang); }

void MACIBM_colours_from_atlas(const unsigned char* atlas)
{
    struct swatch {
        int s, t, colour;
    };
    static constexpr swatch swatches[] = {
        {319, 155, 34}, {319, 147, 35}, {319, 139, 36}, {319, 131, 37}, {319, 123, 38},
        {319, 115, 40}, {319, 107, 41}, {319, 99, 42},  {319, 91, 43},  {319, 83, 45},
        {319, 75, 46},  {319, 67, 47},  {395, 115, 44},
    };
    for (const swatch& w : swatches) {
        const unsigned char* texel = atlas + (static_cast<std::size_t>(w.t) * 512 + w.s) * 4;
        colr.assign(w.colour, static_cast<float>(texel[0] / 255.0),
                    static_cast<float>(texel[1] / 255.0), static_cast<float>(texel[2] / 255.0));
    }
    const float* c35 = colr.rgb[35];
    const float* c38 = colr.rgb[38];
    colr.assign(39, (c38[0] + c35[0]) * 0.5f, (c38[1] + c35[1]) * 0.5f, (c38[2] + c35[2]) * 0.5f);
}

namespace {

uint32_t clock_seed()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000u +
                                 static_cast<uint64_t>(now.tv_usec));
}

}  // namespace

void MACIBM_open_window()
{
    mnw.req_w = 1024;
    mnw.req_h = 768;
    mnw.tex_res = 5;
    mnw.col_res_req = 32;
    mnw.alias_req = 0;
    mnw.lang = 0;
    MACIBM_setres(1);
    MACIBM_make_context(0);
    OGL_pix_specs(0);
}

void MACIBM_ready_interface()
{
    recall_ins_texes();
    MACIBM_colours_from_atlas(scratch_array);

    // The frame timer drops the keyboard focus on a mouse press.

    MACIBM_clear_menus(1);
    MACIBM_startwind(-1);
    OGL_pix_specs(0);
    ogl_inited = 1;
}

void MACIBM_init(int argc, const char* const* argv)
{
    UTL_debug_init();
    MACIBM_set_app_path(&app_path);

    std::string log_path;
    get_OS_abs_path(os_dir_this_app, log_path);
    xer.open(log_path + "Log.txt", std::ios::out | std::ios::trunc);
    xer.setf(std::ios::fixed, std::ios::floatfield);

    scratch_array = scratch_array_aligned();
    MACIBM_fill_tables(clock_seed());
    MACIBM_write_log_header(xer);

    cmdline.init_unix(argc, const_cast<const char**>(argv));
    THREAD_init();

    MACIBM_open_window();
    glExt.init_extensions();
    THREAD_make_workers();
    MACIBM_ready_interface();
    MACIBM_setupforlang();

    MACIBM_show_init("Will init plugins.", nullptr);
    MACIBM_show_init("Starting application.", nullptr);
    xer.flush();  // the GL report and the worker count are on disk from here on
}

void MACIBM_show_init(const std::string& message, float* fraction)
{
    static int counter_now = 0;
    if (!plot_init_lights) return;

    // Canvas positions; the drawing calls add the current window's origin.
    const float dx = mnw.canvas_dx;
    const float ox = mnw.wind_x, oy = mnw.wind_y;
    OGL_plot_back_col();
    BTN_frame2(15, dx + 10 - ox, 31 - oy, 320, 200, "");
    OGL_string(49, dx + 22 - ox, 210 - oy, kMakerWebHost, 300, font_prop, 0);

    const float share = MACIBM_init_bar_share(fraction, &counter_now);
    const float left = dx + 8;
    const float end = left + share * 1008;
    BTN_frame1(4, dx + 512 - ox, 15 - oy, 1008, 0);
    BTN_frame1(5, (left + end) / 2 - ox, 15 - oy, end - left, 0);

    OGL_string(61, dx + 22 - ox, 60 - oy, message, 300, font_prop, 0);
    OGL_sbuff();
}
