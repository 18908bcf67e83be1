#include "OOPS_cpp/qtim.h"

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"

qtim_class qtim;

void qtim_class::qtim_wind()
{
    BTN_fillwin(1, 21);
    BTN_subwin(0, 15, -1, -1, -1, 296, "NO QUICKTIME MOVIES FOR LINUX... SORRY!", &wx1, &wy1);
}
