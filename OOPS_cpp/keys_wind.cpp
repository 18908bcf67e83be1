// The key-binding window's body: every binding as a row button, the selected
// binding's key taken from the next key pressed, its command picked from a
// list of groups and a list of the group's commands.
#include <string>
#include <vector>

#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"

namespace {

constexpr int kRows = 34;
constexpr float kRowGap = 20;
constexpr float kEntryGap = 15;
constexpr float kEntryColumn = 148;
constexpr float kEntryTop = 685, kEntryBottom = 20;
constexpr const char kNoCommand[] = "sim/operation/none";
constexpr const char kHelp[] =
    "Select the key you'd like to program from the list on the left of this screen and hit any "
    "key you like! Then select the group above and the item at right to assign some funtion to "
    "that keypress!";

// A binding may name a command the registry does not hold.
const std::string& command_path(int index)
{
    static const std::string none;
    return index >= 0 && std::size_t(index) < cmnd.paths.size() ? cmnd.paths[std::size_t(index)]
                                                                 : none;
}

const std::string& command_description(int index)
{
    static const std::string none;
    return index >= 0 && std::size_t(index) < cmnd.descriptions.size()
               ? cmnd.descriptions[std::size_t(index)]
               : none;
}

}  // namespace

void keys_class::keys_wind()
{
    static int k_change = -1;
    static int k_cen = 0;

    // The bindings may have been changed elsewhere since the last frame: a
    // selection past their end is dropped and the scroll offset kept within
    // what the list can scroll.
    auto bound = [&] {
        const int count = int(bindings.size());
        if (k_change < -1 || k_change >= count) k_change = -1;
        const int last_top = count > kRows ? count - kRows : 0;
        if (k_cen < 0) k_cen = 0;
        if (k_cen > last_top) k_cen = last_top;
    };
    bound();

    const float H = mnw.wind_h, W = mnw.wind_w;
    BTN_subwin(34, 16, 10, 10, 380, H - 72, "", &wx1, &wy1);
    const float M = wx1 + 20;
    BTN_subwin(34, 13, M, 10, 184, 270, "", &wx2, &wy1);
    BTN_subwin(34, 15, M, wy1, 184, 100, "", &wx2, &wy1);
    BTN_subwin(34, 13, M, wy1, 184, H - 462, "", &wx2, &wy1);
    const float right_column = wx2;
    BTN_subwin(34, 13, right_column, 10, W - 624, H - 72, "", &wx3, &wy1);

    if (k_change != -1) {
        const int selected = bindings[std::size_t(k_change)].cmnd;
        btn_text(47, M + 10, 370, command_path(selected), 174, 100, 0);
        btn_text(47, M + 10, 340, command_description(selected), 174, 100, 0);
    }
    btn_text(43, M + 92, 260, kHelp, 164, 100, 1);

    if (BTN_action(M + 92, 30, -1, 0, 1, "Add New Key Assignment", "-")) {
        bindings.push_back({0, 0, cmnd.get_cmnd_by_name(kNoCommand), 0});
        if (bindings.size() > std::size_t(kRows)) k_cen = int(bindings.size()) - kRows;
    }

    BTN_vert_slider(0, M - 15, 30, 686, 0, int(bindings.size()) - kRows, &k_cen);
    bound();

    for (std::size_t i = 0; i < bindings.size(); ++i) {
        const int r = int(i) - k_cen;
        if (r < 0 || r >= kRows) continue;
        const float y = 689 - kRowGap * r;
        const std::string modifiers = flag_to_str(bindings[i].flags);
        const std::string key = vkey_to_str(bindings[i].vkey);
        const std::string label = modifiers == "<none>" ? key : modifiers + " " + key;
        if (BTN_action(88, y, 140, int(i) == k_change, 1, "-" + label, "-"))
            k_change = int(i) == k_change ? -1 : int(i);
        btn_text(45, 164, y - 4, command_path(bindings[i].cmnd), 9999, 100, 0);

        if (int(i) == k_change && mnw.key_hit) {
            bindings[i].vkey = last_vkey;
            bindings[i].flags = last_flags;
            for (std::size_t j = 0; j < bindings.size(); ++j) {
                if (j == i || bindings[j].vkey != last_vkey || bindings[j].flags != last_flags)
                    continue;
                bindings[j].vkey = 0;
                bindings[j].flags = 0;
            }
        }
    }

    bound();
    if (k_change == -1) return;

    key_binding& chosen = bindings[std::size_t(k_change)];
    std::string P = command_path(chosen.cmnd), G, Q;
    get_path_with_path(G, P);
    get_path_with_path(Q, G);

    std::vector<std::string> entries;
    cmnd.get_cmds_in_path(Q, entries);
    bool group_changed = false;
    for (std::size_t j = 0; j < entries.size(); ++j) {
        int ticked = Q + entries[j] == G ? 1 : 0;
        if (BTN_bool(M + 18, kEntryTop - kEntryGap * float(j), &ticked, "|" + entries[j], 1)) {
            G = Q + entries[j];
            group_changed = true;
        }
    }

    cmnd.get_cmds_in_path(G, entries);
    float x = right_column + 18, y = kEntryTop;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (k > 0) {
            y -= kEntryGap;
            if (y < kEntryBottom) {
                x += kEntryColumn;
                y = kEntryTop;
            }
        }
        int ticked = G + entries[k] == P ? 1 : 0;
        const int hit = BTN_bool(x, y, &ticked, "|-" + entries[k], 1);
        // Picking a group binds its first entry at once.
        if (hit || (k == 0 && group_changed)) {
            P = G + entries[k];
            chosen.cmnd = cmnd.get_cmnd_by_name(P);
        }
    }
}
