// The menus-file reader, the menu drawing and the widget label parser on
// arbitrary bytes. Lines are cut short and counted so that the input stays
// inside the menu table's documented limits, whose breach is a fatal alert.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    mnw.lang = (data[0] & 1) ? 6 : 0;
    mnw.screen_h = 768;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    // At most 250 lines of at most 30 bytes each.
    std::string body;
    std::size_t start = 0;
    for (int lines = 0; lines < 250 && start <= input.size(); ++lines) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        body += input.substr(start, std::min<std::size_t>(end - start, 30));
        body += '\n';
        start = end + 1;
    }

    static std::vector<btn_draw_op> log;
    btn_draw_log = &log;
    MACIBM_clear_menus(1);
    MACIBM_read_menu_lines(body.data(), body.data() + body.size());
    for (int m = 0; m < 4; ++m) {
        log.clear();
        mnw.open_menu = m;
        mnw.mouse_y = 760.0f - 12 * m;
        standard_gui();
    }
    mnw.open_menu = -1;

    std::string left, right, help;
    BTN_expand_label(input, &left, &right, &help);
    // The parts are pieces of the label: a prefix, an inner piece and a suffix.
    if (input.compare(0, left.size(), left) != 0) __builtin_trap();
    if (help.size() > input.size() || input.compare(input.size() - help.size(), help.size(), help) != 0)
        __builtin_trap();
    if (input.find(right) == std::string::npos) __builtin_trap();
    log.clear();
    BTN_util_draw_label(0, 0, data[0] % 3, input, 0);
    std::string glyphs = input;
    char_string_to_int_string(&glyphs);
    return 0;
}
