// The widget atlas, converted at build time from images/art/.
#include "images/builtin_images.h"
#include "images/embed_raw.h"

BRX_EMBED_RAW(t_interface_dat, "t_interface.raw");
