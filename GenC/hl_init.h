// The framework's window and GL contexts: the main window with its context,
// the loader contexts of worker threads, and the display size at start-up and
// shut-down.
#pragma once

#include <GL/glx.h>

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
