#include <cstring>

#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xmap.h"
#include "app/installer.h"
#include "app/utils.h"

void read_server_list(const std::string& path)
{
    xmap_class map(path);
    static const int versions[] = {kServerListVersion, 0};
    if (map.begin == nullptr ||
        map.check_file(xmap_type_text, versions, "SERVERS", nullptr) != kServerListVersion) {
        new_format(path);
        return;
    }

    stg.server_count = 0;
    text_cursor in{map.cursor, map.end};
    in.skip_blanks_and_line_ends();
    while (!in.at_end()) {
        in.skip_blanks();
        if (in.keyword("BETA")) {
            in.skip_line();
        } else if (in.keyword("FINAL")) {
            install_name = in.rest_of_line(kServerListValueMax);
        } else if (in.keyword("ENDOFLIST")) {
            break;
        } else if (in.keyword("SERVER")) {
            std::string host = in.rest_of_line(kServerListValueMax);
            in.skip_blanks_and_line_ends();
            std::string prefix = in.rest_of_line(kServerListValueMax);
            in.skip_blanks_and_line_ends();
            std::string desc = in.rest_of_line(kServerListValueMax);
            in.skip_blanks_and_line_ends();
            const int n = stg.server_count;
            if (n < 10) {
                server_name[n] = std::move(host);
                server_path[n] = prefix + install_name + "/";
                server_desc[n] = std::move(desc);
                stg.server_count = n + 1;
            }
        } else {
            in.skip_line();
        }
        in.skip_blanks_and_line_ends();
    }
    pick_server_biased();
}

int server_list_names_a_usable_server()
{
    const int count = stg.server_count < 10 ? stg.server_count : 10;
    for (int i = 0; i < count; ++i)
        if (server_is_usable(i)) return 1;
    return 0;
}

void server_list_step()
{
    if (stg.server_count != -1) return;
    const int r = http.net_check(0, kMakerWebHost, kServerListPath, temp_path + "serverlist.txt");
    if (r == 1) read_server_list(temp_path + "serverlist.txt");
}
