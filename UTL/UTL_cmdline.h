// The command line: "--flag" and "--flag=value" options, asked for by name.
#pragma once

#include <map>
#include <string>

class UTL_cmdline {
public:
    void init_unix(int argc, const char** argv);
    void init_win(const char* line);
    void init_common();
    int has_option(const char* name) const;
    std::string get_option(const char* name) const;

    std::map<std::string, std::string> options;

private:
    void add_option(const std::string& name, const std::string& value);
};

extern UTL_cmdline cmdline;
