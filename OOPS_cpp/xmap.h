// Whole-file, read-only mapping of a file and the framework's file header.
//
// Text files (type 10001) begin with a line "I" (readers also take "A"), then
// a line that starts with the version number, then, where the reader asks for
// one, a keyword line. Binary files (type 10000) begin with the byte 'i' (or
// 'a' for the opposite byte order) and a 4-byte version.
#pragma once

#include <memory>
#include <string>

enum { xmap_type_binary = 10000, xmap_type_text = 10001 };

// The bytes of one whole regular file, read-only: small files are read into
// memory (cheaper than a mapping), larger ones are mapped. An empty file has
// no bytes but a non-null begin.
class file_bytes {
public:
    file_bytes() = default;
    ~file_bytes() { release(); }
    file_bytes(const file_bytes&) = delete;
    file_bytes& operator=(const file_bytes&) = delete;

    enum { not_regular = -1, mapped_null = -2 };
    // Takes over the open descriptor `fd`. 0 when the bytes are there;
    // not_regular (for a folder, a device...) or mapped_null after which the
    // descriptor is kept; EOVERFLOW for a file longer than the address space
    // can hold; else the errno of a failed mapping.
    int load(int fd);
    void release();  // frees the bytes and closes the descriptor

    const char* begin() const { return begin_; }
    const char* end() const { return end_; }
    int fd() const { return fd_; }

private:
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    int fd_ = -1;
    bool mapped_ = false;
    std::unique_ptr<char[]> copied_;
};

// Opens app_path + path read-only as xmap_class does (a fatal alert for a path
// that is not relative to it or has a foreign folder separator, letter case
// repaired when the name is missing); the descriptor, or -1. `opened`, when
// given, receives the full path tried last.
int xmap_open(const std::string& path, std::string* opened = nullptr);

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
    file_bytes bytes_;
};

extern int mapped_files_open;

// Opens the framework output stream `ouf` on app_path + path (the last three
// letters lower-cased) and writes the header; 1 when the stream is good.
int ouf_open(std::string path, int type, int version, std::string notice);
// As ouf_open, but a stream that does not open raises no alert: for a writer
// whose file is not the one the user knows by name.
int ouf_try_open(const std::string& path, int type, int version, const std::string& notice);

// The writer's alert for a file that could not be saved.
void ouf_save_alert(const std::string& full_path, const char* file, int line);
