// The confirmation window (996): one message, two or three buttons.
#pragma once

#include <string>

// Shows `message` between the string-table texts 610 and 611 with the buttons
// labelled by entries 607 and 608, and 609 when `third_button` is nonzero.
// Returns the button pressed (1 to 3), or 3 when the window stopped being
// current by other means; afterwards the main page is current.
int MACIBM_nuke_alert(std::string message, int third_button);
