// Path and file selector fields: a text field and a button that opens the
// folder chooser.
#include <cstring>

#include "GenC/PlatformUtils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_util.h"

namespace {

constexpr const char* kFile = "OOPS_cpp/butn";

void check_args(int open_save, int file_type, const char* form, int line)
{
    if (open_save != wind_open && open_save != wind_save)
        __MACIBM_alert(0, std::string("Bad open_save arg to BTN_select_file_") + form + "!", "",
                       "", "", t_exit, kFile, line);
    if (file_type < 0 || file_type > 21)
        __MACIBM_alert(0, std::string("Bad file_type arg to BTN_select_file_") + form + "!", "",
                       "", "", t_exit, kFile, line + 1);
}

// Copies at most size - 1 characters and the terminating zero.
void copy_back(char* dst, const std::string& src, int size)
{
    if (size < 1) return;
    const std::size_t n = std::min(src.size(), std::size_t(size - 1));
    memcpy(dst, src.data(), n);
    dst[n] = 0;
}

}  // namespace

std::string BTN_last_component(const std::string& path)
{
    const std::size_t n = path.size();
    if (n == 0) return "";
    const std::size_t start = n >= 3 && path[n - 1] == '/' ? n - 2 : n - 1;
    const std::size_t p = path.rfind('/', start);
    return p == std::string::npos ? path : path.substr(p + 1);
}

int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path,
                        int max_len, std::string label, float width, int grab_focus)
{
    check_args(open_save, file_type, "stl", 659);

    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_util_draw_label(x - 32, y, 0, left, 0);
    BTN_util_draw_label(x + 6 + width, y, 2, right, 0);
    btn_atlas_quad(388, 0, 1, x - 30, y - 10, x - 4, y + 16, 208 / 512.0f, 133 / 512.0f,
                   234 / 512.0f, 159 / 512.0f);

    std::string shown = file_type == 20 || file_type == 21 ? *path : BTN_last_component(*path);
    if (BTN_enterstring(x, y, &shown, max_len, "", width, grab_focus)) *path = shown;

    if (!btn_inside(mnw.mouse_x, mnw.mouse_y, x - 28, y - 8, x - 6, y + 12)) return 0;
    stls.mouse_help = help;
    if (!mnw.clicked) return 0;
    char chosen[strDIM];
    if (!GetFilePathFromUser(2, "Please pick an Skarvel to update", "Update", 1, nullptr, chosen))
        return 0;
    *path = chosen;
    return 1;
}

int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int size,
                        std::string label, float width, int grab_focus)
{
    check_args(open_save, file_type, "chr", 697);
    std::string work = path;
    const int result = BTN_select_path_stl(x, y, open_save, file_type, &work, size,
                                           std::move(label), width, grab_focus);
    copy_back(path, work, size);
    return result;
}

int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name,
                        std::string* path, int size, std::string label, float width)
{
    check_args(open_save, file_type, "chr", 712);
    std::string work;
    if (!path->empty()) get_path_with_path(work, *path);
    work += name;
    const int result =
        BTN_select_path_stl(x, y, open_save, file_type, &work, size, std::move(label), width, 1);
    if (result == 1) {
        *path = work;
        copy_back(name, BTN_last_component(work), size);
    }
    return result;
}
