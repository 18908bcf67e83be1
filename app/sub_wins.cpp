#include "GenH/hl_types.h"
#include "app/utils.h"

int select_alert(std::string path, int is_gone)
{
    if (select_alert_answer) return select_alert_answer(path, is_gone);
    // With no window to ask in, nothing may be overwritten or deleted.
    if (mnw.display == nullptr) return 3;
    return 3;
}

void dir_progress_bar(float, float, float, int, std::string, std::string)
{
    if (mnw.display == nullptr) return;
}
