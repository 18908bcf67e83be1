// The preview pane's readers on arbitrary files: the aircraft head and the
// flight-data comment never read past the file, and a short or damaged file
// gives empty texts rather than ending the program.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OOPS_cpp/butn_opensave.h"

namespace {

const std::string& scratch()
{
    static std::string path = [] {
        const char* dir = getenv("TMPDIR");
        std::string p = std::string(dir && *dir ? dir : "/tmp") + "/fuzz_preview_XXXXXX";
        const int fd = mkstemp(p.data());
        if (fd < 0) abort();
        close(fd);
        atexit([] { unlink(scratch().c_str()); });
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = open(scratch().c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return 0;
    const bool whole = write(fd, data, size) == ssize_t(size);
    close(fd);
    if (!whole) return 0;

    unsigned char head[kAircraftHead];
    const int ok = BTN_read_aircraft_head(scratch(), head);
    if (ok && size < 5 + std::size_t(kAircraftHead)) __builtin_trap();
    for (int k = 0; k < 4; ++k)
        if (BTN_aircraft_head_text(head, k).size() > 500) __builtin_trap();
    if (!ok)
        for (unsigned char b : head)
            if (b) __builtin_trap();

    const std::string comment = BTN_read_fdr_comment(scratch());
    if (comment.size() > size || comment.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        __builtin_trap();
    return 0;
}
