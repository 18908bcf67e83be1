// Text helpers of the shared header.
#pragma once

#include <string>

// The last component found by the latest get_path_with_path.
inline std::string& get_path_with_path_file()
{
    static std::string file;
    return file;
}

// Splits `full` into its folder (ending in "/", or empty) and its last
// component, which is left in get_path_with_path_file(). One trailing "/" of a
// path of three characters or more belongs to the last component.
inline void get_path_with_path(std::string& path, const std::string& full)
{
    std::string& file = get_path_with_path_file();
    const std::size_t n = full.size();
    if (n == 0) {
        file.clear();
        path.clear();
        return;
    }
    std::size_t start = n - 1;
    if (n >= 3 && full[n - 1] == '/') --start;
    const std::size_t slash = full.rfind('/', start);
    if (slash == std::string::npos) {
        file = full;
        path.clear();
    } else {
        std::string folder = full.substr(0, slash + 1);
        file = full.substr(slash + 1);
        path = std::move(folder);
    }
}

// A cursor over text in memory (a mapped file) that never passes its end. A
// blank is a space or a tab; a line ends at CR, LF or NUL, and at the data's end.
struct text_cursor {
    const char* p;
    const char* end;

    text_cursor(const char* begin, const char* stop) : p(begin), end(stop) {}

    static bool is_blank(char c) { return c == ' ' || c == '\t'; }
    static bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

    bool at_end() const { return p >= end; }
    bool at_line_end() const { return p >= end || is_line_end(*p); }
    void skip_blanks()
    {
        while (p < end && is_blank(*p)) ++p;
    }
    void skip_line()
    {
        while (!at_line_end()) ++p;
    }
    void skip_blanks_and_line_ends()
    {
        while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
    }
    // The keyword at the cursor, followed by a blank, or also by a line end or
    // the data's end unless `blank_after` asks for a blank; the cursor moves
    // past it only when it matches.
    bool keyword(const char* word, bool blank_after = false)
    {
        const char* q = p;
        for (; *word; ++word, ++q)
            if (q >= end || *q != *word) return false;
        const bool ends = q < end ? is_blank(*q) || (!blank_after && is_line_end(*q)) : !blank_after;
        if (!ends) return false;
        p = q;
        return true;
    }
    // The word after the blanks at the cursor.
    std::string word()
    {
        skip_blanks();
        const char* s = p;
        while (!at_line_end() && !is_blank(*p)) ++p;
        return std::string(s, p);
    }
    // The rest of the line after the blanks that open it, cut to `max` bytes.
    std::string rest_of_line(std::size_t max = std::string::npos)
    {
        skip_blanks();
        const char* s = p;
        skip_line();
        const std::size_t n = static_cast<std::size_t>(p - s);
        return std::string(s, n < max ? n : max);
    }
};
