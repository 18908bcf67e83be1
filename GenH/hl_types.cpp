// The framework's global objects. They are defined in this one file so that
// their construction order (and the reverse order of destruction) is the order
// written here.
#include "hl_types.h"

#include <cstring>

float wx, wy, wx1, wy1, wx2, wy2, wx3, wy3, wx4, wy4, wx5, wy5;
int scratch_dx, scratch_dy;
static unsigned char scratch_array_storage[kScratchArrayBytes + 15];
unsigned char* scratch_array = nullptr;
int app_done;
int ogl_inited;
int ot_inited;
float lookup_sin[361], lookup_cos[361];
float randrat[10000];
int is_compile_dl;
std::string stl_global;
std::string app_path;
std::string dvd_path;
std::ofstream ouf, xer, cyc, dat;
int return_hit, escape_hit, delete_hit;
int plot_init_lights;
int active_popup_code, select_popup_code, popup_menu_select;
stls_class stls;
std::vector<menu_struct> menu;
mnw_class mnw;
ren_class ren;
stg_class stg;
xcam_class xcam;
tman_class tman;
xtim_class xtim;

float tec_ins_size = 1.0f;
int num_units = 1;
int g_case_sensitive = 1;

unsigned char* scratch_array_aligned()
{
    auto addr = reinterpret_cast<std::uintptr_t>(scratch_array_storage);
    return scratch_array_storage + ((16 - (addr & 15)) & 15);
}
