// The key-binding window's body: rows, selection, key capture, the group and
// command lists, adding bindings and scrolling, and a selection that the
// bindings no longer hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "support/draw_log.h"

namespace {

constexpr float M = 420;  // the middle column
constexpr float kGroupX = M + 18, kCommandX = 632;
constexpr int kShift = 1, kAlt = 2, kCtrl = 4;

struct entry {
    std::string text;
    float x, y;  // the check box
    bool ticked;
};

class KeysWindow : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        saved_cmnd = cmnd;
        saved_bindings = keys.bindings;
        // The selection and the scroll offset last for the run: a frame with
        // no bindings drops both.
        keys.bindings.clear();
        frame();
    }
    void TearDown() override
    {
        keys.bindings.clear();
        frame();
        cmnd = saved_cmnd;
        keys.bindings = saved_bindings;
        DrawLogTest::TearDown();
    }

    void frame()
    {
        ops.clear();
        keys.keys_wind();
        mnw.clicked = 0;
        mnw.key_hit = 0;
        mnw.mouse_x = mnw.mouse_y = -1000;
    }
    void click_frame(float x, float y)
    {
        click(x, y);
        frame();
    }
    // The row buttons' centres are at (88, 689 - 20r).
    void click_row(int r) { click_frame(88, 689 - 20.0f * r); }
    void press(int vkey, int flags)
    {
        keys.last_vkey = vkey;
        keys.last_flags = flags;
        mnw.key_hit = 1;
        frame();
    }
    void bindings(int n)
    {
        keys.bindings.assign(std::size_t(n), key_binding{});
    }

    std::vector<std::string> texts_at(float x) const
    {
        std::vector<std::string> out;
        for (const auto& op : ops)
            if (op.kind == btn_draw_op::text && op.v[0] == x) out.push_back(op.str);
        return out;
    }
    // The row labels (centred on the buttons) and the rows' command paths.
    std::vector<std::string> row_labels() const
    {
        std::vector<std::string> out;
        for (const auto& op : ops)
            if (op.kind == btn_draw_op::text && op.v[0] == 88 && op.justify == 1)
                out.push_back(op.str);
        return out;
    }
    float text_y(float x, const std::string& text) const
    {
        for (const auto& op : ops)
            if (op.kind == btn_draw_op::text && op.v[0] == x && op.str == text) return op.v[1];
        return -1;
    }
    // The check boxes whose labels start at label_x + 148k.
    std::vector<entry> boxes(float box_x) const
    {
        std::vector<entry> out;
        for (const auto& op : ops) {
            if (op.kind != btn_draw_op::text) continue;
            const float bx = op.v[0] - 12;
            if (bx < box_x || int(bx - box_x) % 148 != 0 || (box_x == kGroupX && bx != box_x))
                continue;
            int quads = 0;
            for (const auto& q : ops)
                if (q.kind == btn_draw_op::quad && q.v[0] == bx - 9 && q.v[1] == op.v[1] - 6) ++quads;
            out.push_back({op.str, bx, op.v[1], quads == 2});
        }
        return out;
    }
    int command(const std::string& path) const { return cmnd.get_cmnd_by_name(path); }

    cmnd_class saved_cmnd;
    std::vector<key_binding> saved_bindings;
};

TEST_F(KeysWindow, NoBindingsThenAddOne)
{
    EXPECT_TRUE(row_labels().empty());
    EXPECT_TRUE(texts_at(164).empty());
    EXPECT_TRUE(texts_at(M + 10).empty());  // no selected command
    EXPECT_TRUE(boxes(kGroupX).empty());
    EXPECT_TRUE(boxes(kCommandX).empty());
    // The scroll bar is a bare track: no arrows and no thumb at x M - 15.
    for (const auto& op : ops)
        if (op.kind == btn_draw_op::quad) {
            EXPECT_NE(op.v[0], M - 15 - 9);
        }
    ASSERT_EQ(texts_at(M + 92).size(), 2u);  // the help text and the button's label
    EXPECT_EQ(texts_at(M + 92)[0].substr(0, 30), "Select the key you'd like to p");
    EXPECT_EQ(texts_at(M + 92)[1], "Add New Key Assignment");

    click_frame(M + 92, 30);
    ASSERT_EQ(keys.bindings.size(), 1u);
    EXPECT_EQ(keys.bindings[0].vkey, 0);
    EXPECT_EQ(keys.bindings[0].flags, 0);
    EXPECT_EQ(keys.bindings[0].cmnd, 0);
    frame();
    EXPECT_EQ(row_labels(), std::vector<std::string>{"<none>"});
    EXPECT_EQ(texts_at(164), std::vector<std::string>{"sim/operation/none"});
    EXPECT_FLOAT_EQ(text_y(164, "sim/operation/none"), 685);
    EXPECT_TRUE(boxes(kCommandX).empty());  // adding selects nothing
}

TEST_F(KeysWindow, SelectingShowsTheCommandAndTheChooser)
{
    keys.keys_io(0);
    click_row(0);
    // The chooser shows in the frame of the click, the command from the next.
    ASSERT_EQ(boxes(kGroupX).size(), 1u);
    frame();
    EXPECT_EQ(texts_at(M + 10),
              (std::vector<std::string>{"sim/operation/none", "Do nothing at all!"}));
    EXPECT_FLOAT_EQ(text_y(M + 10, "sim/operation/none"), 370);
    EXPECT_FLOAT_EQ(text_y(M + 10, "Do nothing at all!"), 340);
    const auto groups = boxes(kGroupX);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].text, "operation/");
    EXPECT_TRUE(groups[0].ticked);
    EXPECT_FLOAT_EQ(groups[0].y, 685);
    const auto commands = boxes(kCommandX);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].text, "none");
    EXPECT_TRUE(commands[0].ticked);

    // A click on the selected row drops the selection, another selects again.
    click_row(0);
    frame();
    EXPECT_TRUE(boxes(kGroupX).empty());
    EXPECT_TRUE(texts_at(M + 10).empty());
    click_row(0);
    EXPECT_EQ(boxes(kGroupX).size(), 1u);
}

TEST_F(KeysWindow, KeysAreCapturedWithTheirModifiers)
{
    struct row {
        int vkey, flags, key_hit;
        const char* label;
    };
    const row table[] = {
        {112, kShift | kCtrl, 1, "SHIFT+CTRL F1"},
        {65, kAlt, 1, "ALT A"},
        {65, 0, 1, "A"},
        {90, kShift, 0, "<none>"},  // a modifier alone sets no key hit
    };
    for (const row& r : table) {
        bindings(3);
        frame();
        click_row(1);
        keys.last_vkey = r.vkey;
        keys.last_flags = r.flags;
        mnw.key_hit = r.key_hit;
        frame();
        frame();
        const auto labels = row_labels();
        ASSERT_EQ(labels.size(), 3u);
        EXPECT_EQ(labels[1], r.label);
        EXPECT_EQ(labels[0], "<none>");
        click_row(1);  // deselect
    }
}

TEST_F(KeysWindow, ASameKeyElsewhereIsCleared)
{
    const int look = cmnd.add_cmd("sim/view/forward", "Look forward");
    keys.bindings = {{112, kCtrl, look, 0}, {112, kShift, look, 0}, {0, 0, 0, 0}};
    frame();
    click_row(2);
    press(112, kCtrl);
    frame();
    EXPECT_EQ(row_labels(), (std::vector<std::string>{"<none>", "SHIFT F1", "CTRL F1"}));
    // The cleared binding keeps its command.
    EXPECT_EQ(keys.bindings[0].cmnd, look);
    EXPECT_EQ(texts_at(164)[0], "sim/view/forward");
}

TEST_F(KeysWindow, AddingPastThirtyFourScrollsToTheNewRow)
{
    bindings(34);
    keys.bindings[0].vkey = 65;
    frame();
    // 34 rows fill the list: the bar is a bare track and clicks on it do nothing.
    click_frame(M - 15, 20);
    ASSERT_EQ(row_labels().size(), 34u);
    EXPECT_EQ(row_labels().front(), "A");

    click_frame(M + 92, 30);
    ASSERT_EQ(keys.bindings.size(), 35u);
    frame();
    const auto labels = row_labels();
    ASSERT_EQ(labels.size(), 34u);
    EXPECT_EQ(labels.front(), "<none>");  // binding 1 is the top row now
    EXPECT_FLOAT_EQ(text_y(164, "sim/operation/none"), 685);
    // The new row at the bottom: row 33.
    int bottom_rows = 0;
    for (const auto& op : ops)
        if (op.kind == btn_draw_op::text && op.v[0] == 164 && op.v[1] == 685 - 20 * 33) ++bottom_rows;
    EXPECT_EQ(bottom_rows, 1);

    // The top arrow scrolls back to the first binding.
    click_frame(M - 15, 695);
    frame();
    EXPECT_EQ(row_labels().front(), "A");
}

TEST_F(KeysWindow, NoKeyReachesARowScrolledOutOfView)
{
    bindings(35);
    frame();
    click_row(0);  // binding 0 selected, then scrolled out with the bottom arrow
    click_frame(M - 15, 20);
    frame();
    ASSERT_EQ(row_labels().size(), 34u);
    press(65, kShift);
    EXPECT_EQ(keys.bindings[0].vkey, 0);
    // Still selected: the chooser shows.
    EXPECT_FALSE(boxes(kGroupX).empty());
}

TEST_F(KeysWindow, GroupsAndCommands)
{
    cmnd.add_cmd("sim/flight/pitch_up", "Pitch up");
    cmnd.add_cmd("sim/flight/pitch_down", "Pitch down");
    cmnd.add_cmd("sim/flight/trim/up", "Trim up");
    cmnd.add_cmd("sim/view/forward", "Look forward");
    keys.keys_io(0);
    frame();
    click_row(0);
    frame();
    auto groups = boxes(kGroupX);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].text, "flight/");
    EXPECT_EQ(groups[1].text, "operation/");
    EXPECT_EQ(groups[2].text, "view/");
    EXPECT_FLOAT_EQ(groups[2].y, 685 - 30);
    EXPECT_TRUE(groups[1].ticked);

    // Picking a group binds its first entry in the same frame.
    click_frame(kGroupX, groups[0].y);
    EXPECT_EQ(keys.bindings[0].cmnd, command("sim/flight/pitch_down"));
    frame();
    auto commands = boxes(kCommandX);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].text, "pitch_down");
    EXPECT_TRUE(commands[0].ticked);
    EXPECT_EQ(commands[1].text, "pitch_up");
    EXPECT_FALSE(commands[1].ticked);
    EXPECT_EQ(commands[2].text, "trim/");
    EXPECT_FLOAT_EQ(commands[1].y, 670);
    EXPECT_TRUE(boxes(kGroupX)[0].ticked);

    click_frame(kCommandX, commands[1].y);
    EXPECT_EQ(keys.bindings[0].cmnd, command("sim/flight/pitch_up"));
    frame();
    EXPECT_EQ(texts_at(M + 10), (std::vector<std::string>{"sim/flight/pitch_up", "Pitch up"}));
    EXPECT_EQ(texts_at(164), std::vector<std::string>{"sim/flight/pitch_up"});

    // A sub-folder names no command: command 0, whose group shows next.
    click_frame(kCommandX, commands[2].y);
    EXPECT_EQ(keys.bindings[0].cmnd, 0);
    frame();
    groups = boxes(kGroupX);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_TRUE(groups[1].ticked);
    EXPECT_FALSE(groups[0].ticked);
}

TEST_F(KeysWindow, CommandsWrapIntoColumnsOfFortyFive)
{
    for (int i = 0; i < 50; ++i) {
        char name[32];
        snprintf(name, sizeof name, "sim/many/c%02d", i);
        cmnd.add_cmd(name, "");
    }
    keys.bindings = {{0, 0, command("sim/many/c00"), 0}};
    frame();
    click_row(0);
    const auto commands = boxes(kCommandX);
    ASSERT_EQ(commands.size(), 50u);
    EXPECT_FLOAT_EQ(commands[44].x, kCommandX);
    EXPECT_FLOAT_EQ(commands[44].y, 685 - 15 * 44);
    EXPECT_FLOAT_EQ(commands[45].x, kCommandX + 148);
    EXPECT_FLOAT_EQ(commands[45].y, 685);
    EXPECT_FLOAT_EQ(commands[49].y, 685 - 15 * 4);
    EXPECT_TRUE(commands[0].ticked);
}

TEST_F(KeysWindow, SelectionPastTheBindingsIsDropped)
{
    bindings(10);
    frame();
    click_row(7);
    keys.keys_io(0);  // the list is reset elsewhere: one binding left
    press(65, kShift);
    EXPECT_EQ(keys.bindings.size(), 1u);
    EXPECT_EQ(keys.bindings[0].vkey, 0);
    EXPECT_TRUE(boxes(kGroupX).empty());
    EXPECT_TRUE(texts_at(M + 10).empty());

    // A binding naming no command of the registry shows an empty path.
    keys.bindings[0].cmnd = 999;
    click_row(0);
    frame();
    EXPECT_EQ(texts_at(164), std::vector<std::string>{""});

    // A scroll offset past a shortened list shows its first binding on top.
    bindings(40);
    click_frame(M + 92, 30);
    keys.bindings.resize(2);
    keys.bindings[0].vkey = 66;
    frame();
    ASSERT_EQ(row_labels().size(), 2u);
    EXPECT_EQ(row_labels()[0], "B");
}

}  // namespace
