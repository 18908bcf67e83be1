// The command-line parser on arbitrary arguments, in both its forms.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UTL/UTL_cmdline.h"

namespace {

// Names that end the process are left out: they are served, not parsed.
bool ends_the_run(const std::string& name)
{
    return name == "-h" || name == "--help" || name == "--cmnds";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    // Arguments are the input's lines.
    std::vector<std::string> args = {"Brennix Installer"};
    for (std::size_t at = 0; at <= input.size();) {
        std::size_t nl = input.find('\n', at);
        if (nl == std::string::npos) nl = input.size();
        std::string arg = input.substr(at, nl - at);
        arg.resize(arg.find('\0') == std::string::npos ? arg.size() : arg.find('\0'));
        if (!ends_the_run(arg.substr(0, arg.find('=')))) args.push_back(arg);
        at = nl + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    UTL_cmdline c;
    c.init_unix(static_cast<int>(argv.size()), argv.data());
    if (argv.size() > 1) {
        const std::string& last = args.back();
        const std::size_t eq = last.find('=');
        const std::string name = last.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : last.substr(eq + 1);
        if (!c.has_option(name.c_str()) || c.get_option(name.c_str()) != value) __builtin_trap();
    }

    // The single-string form, unless some word could end the run.
    const std::string line = input.substr(0, input.find('\0'));
    if (line.find("-h") == std::string::npos && line.find("--cmnds") == std::string::npos) {
        UTL_cmdline w;
        w.init_win(line.c_str());
        for (const auto& [name, value] : w.options)
            if (name.empty() || name.find_first_of(" \t\n\v\f\r=") != std::string::npos ||
                value.find_first_of(" \t\n\v\f\r") != std::string::npos)
                __builtin_trap();
    }
    return 0;
}
