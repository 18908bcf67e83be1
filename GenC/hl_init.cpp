#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"

void MACIBM_finishup(int save)
{
    if (save) THREAD_shutdown();
    xer.close();
}
