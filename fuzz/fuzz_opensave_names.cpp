// The file dialogs' handling of names and paths from the disk or the user:
// the saved name's extension rule, the start folder, the last component,
// and the levels handed to the drop-down, which must never meet its fatal
// checks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_opensave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int type = data[0] % 22;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    // The name, or the name without a dot and three characters, then the
    // type's four-character extension or nothing.
    const std::string saved = BTN_opensave_name(text, type);
    const bool dotted = text.size() > 4 && text[text.size() - 4] == '.';
    const std::size_t stem = dotted ? text.size() - 4 : text.size();
    if (saved.compare(0, stem, text, 0, stem) != 0) __builtin_trap();
    if (saved.size() != stem && saved.size() != stem + 4) __builtin_trap();

    const std::string start = BTN_opensave_start_folder(text, type);
    if (!start.empty() && start.back() != '/') __builtin_trap();
    if (!text.empty() && text.find('/') != std::string::npos && text.compare(0, start.size(), start))
        __builtin_trap();

    const std::string last = BTN_last_component(text);
    if (last.size() > text.size() || text.compare(text.size() - last.size(), last.size(), last))
        __builtin_trap();

    // Both forms of the levels, as the chooser and the dialog build them.
    static std::vector<btn_draw_op> log;
    btn_draw_log = &log;
    mnw.open_menu = -1;
    mnw.screen_h = 768;
    for (int form = 0; form < 2; ++form) {
        path_levels lv;
        if (form == 0)
            BTN_path_levels(text, long(text.size()) - 1, nullptr, "/", &lv);
        else
            BTN_path_levels(text, long(text.size()) - 2, "Skarvel folder", "", &lv);
        if (lv.items.find('|') != std::string::npos) __builtin_trap();
        if (lv.item_level.size() > std::size_t(kDropDownItems)) __builtin_trap();
        for (const int k : lv.item_level)
            if (k >= int(lv.paths.size())) __builtin_trap();
        int sel = BTN_level_item(lv, text);
        log.clear();
        BTN_textlist(280, 438, &sel, lv.items, "");
        if (sel < 0 || sel >= int(lv.item_level.size())) __builtin_trap();
    }
    btn_draw_log = nullptr;
    return 0;
}
