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
#include "Thread/hl_thread.h"
#include "UTL/UTL_Debug.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_thread.h"

std::string MACIBM_meminfo_path = "/proc/meminfo";

namespace {

constexpr int kBuildNumber = 90017;

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
