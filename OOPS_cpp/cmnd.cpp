#include "OOPS_cpp/cmnd.h"

#include <set>

const default_command default_commands[] = {
    {"cmnd_nothing", "sim/operation/none", "Do nothing at all!", 3, 0, 0},
};
const int default_command_count = sizeof default_commands / sizeof default_commands[0];

cmnd_class cmnd;

static int fp = 0;

cmnd_class::cmnd_class()
    : names(default_command_count), paths(default_command_count),
      descriptions(default_command_count), types(default_command_count)
{
    for (int i = 0; i < default_command_count; ++i) {
        names[i] = default_commands[i].name;
        paths[i] = default_commands[i].path;
        descriptions[i] = default_commands[i].description;
        types[i] = default_commands[i].type;
    }
}

int cmnd_class::get_cmnd_by_name(const std::string& path) const
{
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == path) return static_cast<int>(i);
    return 0;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const
{
    out.clear();
    const std::size_t len = prefix.size();
    std::set<std::string> level;  // std::string orders by unsigned bytes
    for (const std::string& p : paths) {
        if (p.size() <= len || p.compare(0, len, prefix) != 0) continue;
        const std::size_t slash = p.find('/', len);
        level.insert(slash == std::string::npos ? p.substr(len) : p.substr(len, slash - len + 1));
    }
    out.assign(level.begin(), level.end());
}

int cmnd_class::add_cmd(const std::string& path, const std::string& description)
{
    const int index = static_cast<int>(paths.size());
    names.push_back("DYNAMIC");
    paths.push_back(path);
    descriptions.push_back(description);
    types.push_back(2);
    return index;
}

void set_plane_focus(int value) { fp = value; }
int get_plane_focus() { return fp; }
