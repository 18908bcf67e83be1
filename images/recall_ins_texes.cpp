#include <cstring>

#include "GenH/hl_types.h"
#include "images/builtin_images.h"

void recall_ins_texes()
{
    // The placeholder comes first, so that every later fallback copies or
    // binds a real slot.
    tman.make_placeholder();

    struct image {
        const unsigned char* bytes;
        std::size_t size;
        int ref, dx, dy;
    };
    // The atlas goes last: the scratch buffer holds it afterwards, for the
    // interface colours.
    const image images[] = {
        {t_installer_dat, kInstallerBytes, 389, 1010, 764},
        {t_ins_back_1_dat, kBackBytes, 390, 1024, 768},
        {t_ins_back_2_dat, kBackBytes, 391, 1024, 768},
        {t_interface_dat, kInterfaceBytes, 388, 512, 512},
    };
    for (const image& im : images) {
        scratch_dx = im.dx;
        scratch_dy = im.dy;
        memcpy(scratch_array, im.bytes, im.size);
        tman.load_texture(tex_fail_fatal, im.ref, 0x502, tex_load_now, "scratch_array:hardwired textures");
    }
}
