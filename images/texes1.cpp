// The installer art sheet, converted at build time from images/art/.
#include "images/builtin_images.h"
#include "images/embed_raw.h"

BRX_EMBED_RAW(t_installer_dat, "t_installer.raw");
