// Brennix Installer: the framework's start-up, the installer's own start-up,
// the frame loop and the orderly end.
#include <cstdlib>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "app/installer.h"
#include "app/utils.h"

void APP_update() { installer_frame(); }

void APP_handlemenu(int) {}

int main(int argc, const char** argv)
{
    MACIBM_init(argc, argv);
    installer_start(argc, argv);
    // Test runs keep their downloads out of the temporary names of real runs.
    if (const char* temp = getenv("BRX_TEST_TEMP_PATH")) {
        temp_path = temp;
        end_with_slash(temp_path);
    }
    while (!app_done) MACIBM_event_proc();
    MACIBM_finishup(1);
    return 0;
}
