#include <cstring>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xmap.h"
#include "app/installer.h"
#include "app/utils.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// A cursor over the mapped list that never passes its end.
struct list_reader {
    const char* p;
    const char* end;

    bool at_end() const { return p >= end; }
    void skip_blanks()
    {
        while (p < end && is_blank(*p)) ++p;
    }
    void skip_to_line_end()
    {
        while (p < end && !is_line_end(*p)) ++p;
    }
    void skip_blanks_and_line_ends()
    {
        while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
    }
    // The keyword at the cursor, followed by a blank, a line end or the end
    // of the data; the cursor moves past it only when it matches.
    bool keyword(const char* word)
    {
        const std::size_t n = strlen(word);
        if (static_cast<std::size_t>(end - p) < n || memcmp(p, word, n) != 0) return false;
        if (p + n < end && !is_blank(p[n]) && !is_line_end(p[n])) return false;
        p += n;
        return true;
    }
    // The rest of the line after the blanks that open it, cut to the longest
    // value kept.
    std::string rest_of_line()
    {
        skip_blanks();
        const char* start = p;
        skip_to_line_end();
        const std::size_t n = static_cast<std::size_t>(p - start);
        return std::string(start, n < kServerListValueMax ? n : kServerListValueMax);
    }
};

}  // namespace

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
    list_reader in{map.cursor, map.end};
    in.skip_blanks_and_line_ends();
    while (!in.at_end()) {
        in.skip_blanks();
        if (in.keyword("BETA")) {
            in.skip_to_line_end();
        } else if (in.keyword("FINAL")) {
            install_name = in.rest_of_line();
        } else if (in.keyword("ENDOFLIST")) {
            break;
        } else if (in.keyword("SERVER")) {
            std::string host = in.rest_of_line();
            in.skip_blanks_and_line_ends();
            std::string prefix = in.rest_of_line();
            in.skip_blanks_and_line_ends();
            std::string desc = in.rest_of_line();
            in.skip_blanks_and_line_ends();
            const int n = stg.server_count;
            if (n < 10) {
                server_name[n] = std::move(host);
                server_path[n] = prefix + install_name + "/";
                server_desc[n] = std::move(desc);
                stg.server_count = n + 1;
            }
        } else {
            in.skip_to_line_end();
        }
        in.skip_blanks_and_line_ends();
    }
    pick_server_biased();
}

void server_list_step()
{
    if (stg.server_count != -1) return;
    const int r = http.net_check(0, kMakerWebHost, kServerListPath, temp_path + "serverlist.txt");
    if (r == 1) read_server_list(temp_path + "serverlist.txt");
}
