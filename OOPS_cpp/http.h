// The HTTP/1.1 downloader: six polled request slots and the proxy settings,
// and the single request that each busy slot holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "UTL/PCSBSocket.h"

// Host-name endings that bypass the proxy. Nothing adds to it in this program.
extern std::vector<std::string> gProxyExclude;

bool UseProxy(const char* host, unsigned short port);
const char* ProxyHost(const char* host, unsigned short port);
unsigned short ProxyPort(const char* host, unsigned short port);

// One GET (or POST) in flight. The constructor looks the host up (the only
// blocking step) and starts a non-blocking connect; DoProcessing advances it.
class down_class {
public:
    down_class(const char* server, unsigned short port, const char* path, bool post,
               const std::map<std::string, std::string>& request_headers, const char* body,
               int body_len, const char* local);
    ~down_class();
    down_class(const down_class&) = delete;
    down_class& operator=(const down_class&) = delete;

    void DoProcessing();

    // Parses received bytes as the response and writes body bytes to the file.
    // DoProcessing feeds it each receive; exposed so the parser can be driven
    // without a socket.
    void TakeData(const char* data, long length);

    // Closes the output file, recording a failed flush or close in `error`.
    void CloseFile();

    bool IsDone() const;
    bool IsComplete() const { return content_length == received; }
    bool IsErr() const;
    int GetStat() const;
    int GetOSErr() const;

    PCSBSocket* socket;
    std::vector<char> send_buf;
    std::vector<char> recv_buf;
    bool headers_done;
    int status_code;
    std::string status_text;
    std::map<std::string, std::string> headers;
    FILE* file;
    std::string out_path;
    int error;
    int64_t content_length;  // -1 until a valid "Content-Length" is seen
    int64_t received;        // body bytes handed to the file
    float last_activity;

private:
    void parse_header_lines();
    void take_header(std::string_view line);
    void end_of_headers();
    void refuse_response();
    void take_body();
    void write_body(const char* data, size_t length);

    int64_t header_bytes = 0;  // header bytes taken so far, bounded
    size_t header_scan = 0;    // bytes of recv_buf known to start no CR LF pair

    // The length headers of the response in progress, in any letter case:
    // the one value they agree on, or a conflict that makes it unreadable.
    bool length_seen = false;
    bool length_conflict = false;
    std::string length_value;
};

class http_class {
public:
    // 0 while running, 1 when `local` holds the whole file, 2 on failure.
    int net_check(int slot, std::string server, std::string path, const std::string& local);

    std::string proxy_host;  // as the user typed it; empty: no proxy
    std::string proxy_port;  // as typed
    int proxy_port_int = 0;  // 0: no proxy
    down_class* slot[6] = {};
};

extern http_class http;
