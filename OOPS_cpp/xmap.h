// Whole-file, read-only mapping of a file and the framework's file header.
//
// Text files (type 10001) begin with a line "I" (readers also take "A"), then
// a line that starts with the version number, then, where the reader asks for
// one, a keyword line. Binary files (type 10000) begin with the byte 'i' (or
// 'a' for the opposite byte order) and a 4-byte version.
#pragma once

#include <string>

enum { xmap_type_binary = 10000, xmap_type_text = 10001 };

class xmap_class {
public:
    explicit xmap_class(const std::string& path);
    ~xmap_class();
    xmap_class(const xmap_class&) = delete;
    xmap_class& operator=(const xmap_class&) = delete;

    // Releases the current file and maps app_path + path; returns begin, null
    // when the file cannot be opened or mapped or is not a regular file.
    const char* retry(const std::string& path);

    // Tests the header from begin against `versions` (ended by 0) and, when
    // given, the keyword; returns the accepted version or 0. On success the
    // cursor stands on the first byte of the body.
    int check_file(int type, const int* versions, const char* keyword, std::string* remainder);

    // Copies `count` bytes at the cursor to `destination` and advances; with
    // byte_swap set, each whole 4-byte word is reversed.
    void read_n_rev(void* destination, long count);

    // Writes the number and text of the cursor's line to the log.
    void TXT_xer_line();

    int io_file_open(int io, std::string path, int* versions, int type);
    void io_file_close();

    int byte_swap = 0;
    std::string path;
    int io_mode = 0;
    const char* begin = nullptr;
    const char* cursor = nullptr;
    const char* end = nullptr;
    int fd = -1;  // -1 for none

private:
    void release();
    bool mapped_ = false;  // false for an empty file, which is open with no bytes
};

extern int mapped_files_open;

// Opens the framework output stream `ouf` on app_path + path (the last three
// letters lower-cased) and writes the header; 1 when the stream is good.
int ouf_open(std::string path, int type, int version, std::string notice);
