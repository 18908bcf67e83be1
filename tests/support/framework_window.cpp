#include "support/framework_window.h"

#include "GenC/hl_init.h"
#include "GenH/hl_types.h"

namespace brx_test {

void open_framework_window()
{
    scratch_array = scratch_array_aligned();
    MACIBM_fill_tables(0);
    MACIBM_open_window();
    MACIBM_ready_interface();
}

}  // namespace brx_test
