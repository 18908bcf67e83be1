// Shared declarations of the framework: constants, the global service objects
// and the string table. Every source file of the framework and the installer
// includes this header.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

// A 32-bit build reads and writes files past 2 GiB and keeps times after 2038
// only with 64-bit offsets and times; every target must be compiled so.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
static_assert(sizeof(time_t) == 8, "build with _TIME_BITS=64");
#endif

// ---------------------------------------------------------------------------
// Constants of the shared header.

inline constexpr const char kBuildName[] = "Brennix 9.00 Beta-17";
// The build's number, the form in which releases are compared.
inline constexpr int kBuildNumber = 90017;
inline constexpr const char kMakerWebHost[] = "www.corvath.example";
inline constexpr const char kMakerWebSite[] = "http://www.corvath.example/";
inline constexpr const char kSupportEmail[] = "support@corvath.example";
inline constexpr const char kInstallerDownloadPage[] = "http://www.corvath.example/download/";

// Paths copied into fixed buffers hold at most this many characters.
inline constexpr int strDIM = 500;

// Alert kinds.
enum { t_lang = 0, t_alert = 1, t_exit = 2 };

// Header statics. Only no_install_name and build_name[0] are read.
inline const std::string afl_path = "Airfoils/";
inline const std::string wpn_path = "Weapons/";
inline const std::string apt_path_def = "LOWI";
inline const std::string acf_path = "Aircraft/";
inline const std::string acf_path_def = acf_path + "General Aviation/Cirrus TheJet/c4.acf";
inline const std::string no_install_name = "Not Yet Scanned";
inline const std::string data_path = "Resources/default data/";
inline const std::string build_name[11] = {
    kBuildName, "South America", "USA",       "Canada",    "Africa", "Europe",
    "Asia",     "Australia",     "West Mars", "East Mars", "Moon"};

// ---------------------------------------------------------------------------
// Classes of other modules whose one instance the shared globals build.

#include "GenC/hl_mnw.h"
#include "OGL/OGL_extensions.h"
#include "OGL/HLCamera.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/xtim.h"
#include "app/stg.h"

// The string table.
class stls_class {
public:
    std::string title;
    std::string entry[1800];
    std::string unused0;
    std::string mouse_help;  // help text of the widget under the mouse
    std::string unused1;
    int unused2 = 0;
    std::string unused3, unused4, unused5;
    int unused6 = 0;
    std::string unused7;
    int unused8 = 0;
    std::string unused_table[400];
};

// ---------------------------------------------------------------------------
// The shared globals, in their construction order (GenH/hl_types.cpp).

extern float wx, wy, wx1, wy1, wx2, wy2, wx3, wy3, wx4, wy4, wx5, wy5;
extern int scratch_dx, scratch_dy;
extern unsigned char* scratch_array;  // 16-byte aligned, 16 MiB
inline constexpr std::size_t kScratchArrayBytes = 16u * 1024u * 1024u;
unsigned char* scratch_array_aligned();  // the aligned start inside the storage
extern int app_done;
extern int ogl_inited;
extern int ot_inited;
extern float lookup_sin[361], lookup_cos[361];
extern float randrat[10000];
extern int is_compile_dl;
extern std::string stl_global;
extern std::string app_path;
extern std::string dvd_path;
extern std::ofstream ouf, xer, cyc, dat;
extern int return_hit, escape_hit, delete_hit;
extern int plot_init_lights;
extern int active_popup_code, select_popup_code, popup_menu_select;
extern stls_class stls;
extern std::vector<menu_struct> menu;
extern mnw_class mnw;
extern ren_class ren;
extern stg_class stg;
extern xcam_class xcam;
extern tman_class tman;
extern xtim_class xtim;

extern float tec_ins_size;
extern int num_units;
extern int g_case_sensitive;
