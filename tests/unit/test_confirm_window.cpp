// The confirmation window with no window to show it in.
#include <gtest/gtest.h>

#include "GenC/hl_confirm.h"
#include "GenH/hl_types.h"

namespace {

TEST(ConfirmWindow, WithoutAWindowNothingIsConfirmed)
{
    const mnw_class saved = mnw;
    mnw = mnw_class{};
    mnw.wind = wind_prefs;
    EXPECT_EQ(MACIBM_nuke_alert("Delete?", 1), 3);
    EXPECT_EQ(mnw.wind, wind_prefs);
    mnw = saved;
}

}  // namespace
