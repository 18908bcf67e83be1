// Tooltips and the mouse cursor, settled once per frame after the widgets.
#pragma once

#include <X11/Xlib.h>

void mouse_help_per_wind(int window);
// An invisible cursor: an empty 1 by 1 mask.
Cursor LIN_create_null_cursor(Display* display, Drawable drawable);
