// The second background, converted at build time from images/art/.
#include "images/builtin_images.h"
#include "images/embed_raw.h"

BRX_EMBED_RAW(t_ins_back_2_dat, "t_ins_back_2.raw");
