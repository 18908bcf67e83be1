// The framework's window and GL contexts: the main window with its context,
// the loader contexts of worker threads, and the display size at start-up and
// shut-down.
#pragma once

#include <GL/glx.h>

#include <cstdint>
#include <ostream>
#include <string>

// on 1 at start-up (opens the display), 0 at shut-down (re-applies the
// window size when the screen was smaller than the window).
void MACIBM_setres(int on);

// Creates, names and maps window `slot` (0 the main window) with its GL
// context current on this thread. Ends the process with status 1 and a
// message on standard output when there is no display, visual or context.
int MACIBM_make_context(int slot);
void MACIBM_nuke_context(int slot);

// On the thread that creates a worker: a context sharing objects with the
// main context, or null.
GLXContext MACIBM_make_context_loader();
// On the new worker: makes `ctx` current on a window of its own; 1 on success.
int MACIBM_set_context_loader(GLXContext ctx);

// ---------------------------------------------------------------------------
// Framework start-up (main thread, once, first).

// Brings the framework up to a window showing the start-up screen. Returns
// with everything ready, or ends the process.
void MACIBM_init(int argc, const char* const* argv);
// One frame of the start-up screen: message and progress bar; a null fraction
// advances the bar by a step of its own.
void MACIBM_show_init(const std::string& message, float* fraction);
// The per-language step of start-up; keeps nothing.
void MACIBM_setupforlang();
// The text folder of a language index, empty for an unknown index.
std::string MACIBM_language_folder(int lang);

// Pieces of start-up, exposed for their tests.
// The requested 1024 by 768 window with its GL context, current here.
void MACIBM_open_window();
// The built-in images, the interface colours, the menus and no sub-window
// yet; GL drawing is ready afterwards. Needs scratch_array.
void MACIBM_ready_interface();
// The fixed tables: randrat from seed 1, then the generator seeded from the
// clock (`clock_seed`, advanced by clock_seed % 1000 draws), then the sines
// and cosines of whole degrees.
void MACIBM_fill_tables(uint32_t clock_seed);
// The log's opening lines up to the folder line.
void MACIBM_write_log_header(std::ostream& log);
// The start-up bar's filled share: *fraction, or counter x 0.01 (counting the
// call) when null; kept within 0.02 to 1.
float MACIBM_init_bar_share(const float* fraction, int* counter);

// Sets the interface colours 34 to 47 from the one-texel swatches of the
// widget atlas (512 by 512 RGBA texels, first stored row first).
void MACIBM_colours_from_atlas(const unsigned char* atlas);

// Where the memory line comes from; "/proc/meminfo" unless replaced. The
// processor lines come from UTL_cpuinfo_path.
extern std::string MACIBM_meminfo_path;
