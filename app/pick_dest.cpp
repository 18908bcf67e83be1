#include "GenH/hl_types.h"
#include "app/installer.h"
#include "app/utils.h"

// Interim: the folder chooser is not in the toolkit yet, so every request is
// a Cancel.
int pick_dest_path() { return 0; }
