// A test fixture that records the widget set's drawing calls instead of
// drawing, with a fresh window and input state.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"

namespace brx_test {

class DrawLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        btn_draw_log = &ops;
        mnw = mnw_class{};
        mnw.open_menu = -1;
        mnw.screen_w = 1024;
        mnw.screen_h = 768;
        mnw.wind_w = 1024;
        mnw.wind_h = 768;
        stls.mouse_help.clear();
        stls.title.clear();
    }
    void TearDown() override { btn_draw_log = nullptr; }

    std::vector<btn_draw_op> of(btn_draw_op::kind_t kind) const
    {
        std::vector<btn_draw_op> out;
        for (const auto& op : ops)
            if (op.kind == kind) out.push_back(op);
        return out;
    }
    // A mouse press this frame at (x, y).
    void click(float x, float y)
    {
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        mnw.clicked = 1;
    }

    std::vector<btn_draw_op> ops;
};

}  // namespace brx_test
