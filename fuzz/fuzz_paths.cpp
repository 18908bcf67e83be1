// Path splitting and command-tree listing on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GenH/hl_string.h"
#include "OOPS_cpp/cmnd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string path_part = input.substr(0, cut);

    std::string folder;
    get_path_with_path(folder, path_part);
    if (folder + get_path_with_path_file() != path_part) __builtin_trap();

    static cmnd_class registry;
    if (registry.paths.size() < 64 && cut != std::string::npos) registry.add_cmd(path_part, "");
    std::vector<std::string> out;
    registry.get_cmds_in_path(cut == std::string::npos ? input : input.substr(cut + 1), out);
    return 0;
}
