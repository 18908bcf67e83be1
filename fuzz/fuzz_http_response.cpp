// The HTTP response parser on arbitrary bytes, split at arbitrary points: it
// must never read past what it holds, and the split must not change the result.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OOPS_cpp/http.h"

namespace {

const std::string& output_path()
{
    static const std::string path = [] {
        const char* tmp = getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_http_body." +
               std::to_string(getpid());
    }();
    return path;
}

struct Outcome {
    bool headers_done;
    int status_code;
    std::string status_text;
    std::map<std::string, std::string> headers;
    int64_t content_length;
    int64_t received;
    int error;
};

// No server name: no lookup and no socket; the parser is driven directly.
Outcome parse(const uint8_t* data, size_t size, uint32_t seed)
{
    down_class req("", 80, "/", false, {}, nullptr, 0, output_path().c_str());
    req.error = 0;
    size_t at = 0;
    while (at < size) {
        // A cheap generator picks the piece sizes; seed 0 gives one piece.
        size_t piece = size - at;
        if (seed != 0) {
            seed = seed * 1103515245u + 12345u;
            piece = std::min<size_t>(piece, 1 + (seed >> 16) % 97);
        }
        req.TakeData(reinterpret_cast<const char*>(data) + at, static_cast<long>(piece));
        at += piece;
    }
    if (req.received < 0 || req.received > static_cast<int64_t>(size)) __builtin_trap();
    req.CloseFile();
    if (req.headers_done && req.error == 0) {
        struct stat st {};
        if (stat(output_path().c_str(), &st) != 0 || st.st_size != req.received) __builtin_trap();
    }
    return {req.headers_done, req.status_code, req.status_text, req.headers,
            req.content_length, req.received, req.error};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint32_t seed = (uint32_t(data[0]) << 8 | data[1]) | 1u;
    data += 2;
    size -= 2;
    const Outcome whole = parse(data, size, 0);
    const Outcome split = parse(data, size, seed);
    if (whole.headers_done != split.headers_done || whole.status_code != split.status_code ||
        whole.status_text != split.status_text || whole.headers != split.headers ||
        whole.content_length != split.content_length || whole.received != split.received ||
        whole.error != split.error)
        __builtin_trap();
    unlink(output_path().c_str());
    return 0;
}
