// The levels of a folder path, as the choosers show them: a staircase of
// names and a drop-down of the ancestors.
#include <algorithm>

#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/butn_lists.h"

namespace {

std::string item_text(std::string name)
{
    std::replace(name.begin(), name.end(), '|', '!');
    return name;
}

}  // namespace

void BTN_path_levels(const std::string& folder, long last, const char* root,
                     const std::string& first_prefix, path_levels* out)
{
    out->names.clear();
    out->paths.clear();
    if (root) {
        out->names.push_back(root);
        out->paths.emplace_back();
    }
    const long n = long(folder.size());
    for (long i = 0; i <= last && i < n; ++i) {
        if (i != 0 && folder[std::size_t(i) - 1] != '/') continue;
        const std::size_t end = std::min(folder.find('/', std::size_t(i)), folder.size());
        std::string name = folder.substr(std::size_t(i), end - std::size_t(i));
        out->paths.push_back(folder.substr(0, std::min(end + 1, folder.size())));
        std::replace(name.begin(), name.end(), '-', ' ');
        out->names.push_back(std::move(name));
    }

    // The first level and as many of the deepest as the drop-down holds.
    const int count = int(out->names.size());
    out->items.clear();
    out->item_level.clear();
    for (int k = 0; k < count; ++k) {
        if (k != 0 && k < count - (kDropDownItems - 1)) continue;
        if (k != 0) out->items += '-';
        out->items += item_text(k == 0 ? first_prefix + out->names[0] : out->names[std::size_t(k)]);
        out->item_level.push_back(k);
    }
    if (count == 0) {
        out->items = first_prefix;
        out->item_level.push_back(-1);
    }
}

int BTN_level_item(const path_levels& levels, const std::string& folder)
{
    int found = -1;
    for (std::size_t i = 0; i < levels.item_level.size(); ++i) {
        const int k = levels.item_level[i];
        if (k >= 0 && levels.paths[std::size_t(k)] == folder) found = int(i);
    }
    return found;
}

void BTN_draw_levels(const path_levels& levels, int from)
{
    int d = 1;
    for (std::size_t k = std::size_t(std::max(from, 0)); k < levels.names.size(); ++k, ++d)
        btn_text(47, 20.0f + 10.0f * float(d), 415.0f - 10.0f * float(d), levels.names[k], 9999,
                 100, 0);
}
