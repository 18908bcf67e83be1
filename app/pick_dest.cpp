#include <cstring>

#include "GenC/PlatformUtils.h"
#include "GenH/hl_types.h"
#include "app/installer.h"
#include "app/utils.h"

int pick_dest_path()
{
    // The chooser writes at most strDIM bytes; the rest is room to spare.
    char chosen[2048] = {};
    if (!GetFilePathFromUser(2,
                             "Pick a folder to install Brennix to! Be sure to pick your existing "
                             "folder if you already have one!",
                             "This is my Brennix destination", 1, dest_dir_path.c_str(), chosen))
        return 0;
    chosen[sizeof chosen - 1] = '\0';
    dest_dir_path = chosen;
    end_with_slash(dest_dir_path);
    if (path_is_to_a_sim()) return 1;
    dest_dir_path += "Brennix/";
    return 1;
}
