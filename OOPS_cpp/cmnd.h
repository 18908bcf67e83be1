// The command registry: named commands that keys can be bound to.
#pragma once

#include <string>
#include <vector>

struct default_command {
    const char* name;
    const char* path;
    const char* description;
    int type;
    int default_key;
    int default_flags;
};

extern const default_command default_commands[];
extern const int default_command_count;

class cmnd_class {
public:
    cmnd_class();

    int get_cmnd_by_name(const std::string& path) const;
    void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const;
    int add_cmd(const std::string& path, const std::string& description);

    void press_one(int) {}
    void release_one(int) {}
    void press_always(int) {}
    void single_press(int) {}

    std::vector<std::string> names;
    std::vector<std::string> paths;
    std::vector<std::string> descriptions;
    std::vector<int> types;
};

extern cmnd_class cmnd;

void set_plane_focus(int value);
int get_plane_focus();
