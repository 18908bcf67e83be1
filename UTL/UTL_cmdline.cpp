#include "UTL/UTL_cmdline.h"

#include "GenH/hl_types.h"

UTL_cmdline cmdline;

void UTL_cmdline::add_option(const std::string& name, const std::string& value)
{
    if (options.count(name))
        xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
    options[name] = value;
    xer << "     '" << name;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
}

void UTL_cmdline::init_unix(int argc, const char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos)
            add_option(arg, "");
        else
            add_option(arg.substr(0, eq), arg.substr(eq + 1));
    }
    if (argc > 1) init_common();
}

void UTL_cmdline::init_win(const char*) {}

void UTL_cmdline::init_common() {}

int UTL_cmdline::has_option(const char* name) const { return options.count(name) ? 1 : 0; }

std::string UTL_cmdline::get_option(const char* name) const
{
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
}
