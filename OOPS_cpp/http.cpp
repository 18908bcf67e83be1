#include "OOPS_cpp/http.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"

http_class http;
std::vector<std::string> gProxyExclude;

namespace {

constexpr long kReadChunk = 65536;

// A response whose status line and headers exceed this is refused: the header
// block is buffered whole, and a server must not be able to fill memory with it.
constexpr int64_t kMaxHeaderBytes = 256 * 1024;

constexpr float kInactivityLimit = 30.0f;

constexpr int kLookupFailed = 20011;
constexpr int kNoConnection = 20009;

constexpr std::string_view kLengthHeader = "Content-Length";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blanks(std::string_view s)
{
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// Field names are case-insensitive, in ASCII whatever the locale.
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal Content-Length: digits, optionally surrounded by blanks. Anything
// else (a sign, junk, a value beyond 64 bits) is not a length.
bool parse_content_length(std::string_view text, int64_t* out)
{
    text = trim_blanks(text);
    if (text.empty()) return false;
    int64_t value = 0;
    for (const char c : text) {
        if (!is_digit(c)) return false;
        const int digit = c - '0';
        if (value > (INT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *out = value;
    return true;
}

// "HTTP/x.y NNN", then a blank and a reason phrase that may be empty, or
// nothing at all.
bool is_status_line(std::string_view line)
{
    return line.size() >= 12 && line.substr(0, 5) == "HTTP/" && is_digit(line[9]) &&
           is_digit(line[10]) && is_digit(line[11]) && (line.size() == 12 || line[12] == ' ');
}

// The first CR LF pair in [from, end), or null.
const char* find_crlf(const char* from, const char* end)
{
    while (end - from >= 2) {
        const auto* cr = static_cast<const char*>(memchr(from, '\r', static_cast<size_t>(end - from - 1)));
        if (!cr) return nullptr;
        if (cr[1] == '\n') return cr;
        from = cr + 1;
    }
    return nullptr;
}

// The output files have fixed names in a shared temporary folder: never
// follow a link planted there.
FILE* open_output(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        close(fd);
        errno = err;
    }
    return f;
}

}  // namespace

// ---------------------------------------------------------------------------
// Proxy choice.

bool UseProxy(const char* host, unsigned short)
{
    if (http.proxy_port_int == 0 || http.proxy_host.empty()) return false;
    const std::string_view h(host ? host : "");
    for (const std::string& ending : gProxyExclude) {
        if (ending.size() > h.size()) continue;
        if (h.substr(h.size() - ending.size()) == ending) return false;
    }
    return true;
}

const char* ProxyHost(const char* host, unsigned short port)
{
    return UseProxy(host, port) ? http.proxy_host.c_str() : host;
}

unsigned short ProxyPort(const char* host, unsigned short port)
{
    return UseProxy(host, port) ? static_cast<unsigned short>(http.proxy_port_int) : port;
}

// ---------------------------------------------------------------------------
// One request.

down_class::down_class(const char* server, unsigned short port, const char* path, bool post,
                       const std::map<std::string, std::string>& request_headers,
                       const char* body, int body_len, const char* local)
    : socket(nullptr), headers_done(false), status_code(0), file(nullptr),
      out_path(local ? app_path + local : std::string()), error(0), content_length(-1),
      received(0), last_activity(xtim.act_time)
{
    const std::string host = server ? server : "";
    const bool via_proxy = UseProxy(host.c_str(), port);

    // An empty server name cannot be reached, by proxy or not.
    const unsigned long address =
        host.empty() ? 0
                     : PCSBSocket::LookupAddress(via_proxy ? http.proxy_host.c_str() : host.c_str());
    if (address == 0) {
        const auto* b = reinterpret_cast<const unsigned char*>(&address);
        xer << "Translated server " << host << " to IP addy: " << int(b[0]) << "." << int(b[1])
            << "." << int(b[2]) << "." << int(b[3]) << " and port = " << port << "\n";
        error = kLookupFailed;
        return;
    }

    status_code = -1;
    socket = new PCSBSocket(0, false);
    socket->Connect(address,
                    via_proxy ? static_cast<unsigned short>(http.proxy_port_int) : port);

    std::string text = post ? "POST " : "GET ";
    if (via_proxy) {
        const auto h = request_headers.find("Host");
        text += "http://";
        if (h != request_headers.end()) text += h->second;
    }
    for (const char* c = path ? path : ""; *c; ++c) {
        if (*c == ' ')
            text += "%20";
        else
            text += *c;
    }
    text += " HTTP/1.1\r\n";
    for (const auto& [key, value] : request_headers) text += key + ": " + value + "\r\n";
    if (body) text += "Content-Length: " + std::to_string(body_len) + "\r\n";
    text += "\r\n";
    send_buf.assign(text.begin(), text.end());
    if (body && body_len > 0) send_buf.insert(send_buf.end(), body, body + body_len);
}

down_class::~down_class()
{
    CloseFile();
    delete socket;
}

void down_class::CloseFile()
{
    if (!file) return;
    const int failed = fclose(file);
    file = nullptr;
    if (failed != 0 && error == 0) error = errno ? errno : EIO;
}

bool down_class::IsDone() const
{
    return socket && socket->status == PCSBSocket::status_closed;
}

bool down_class::IsErr() const
{
    return error != 0 || !socket || socket->status == PCSBSocket::status_error;
}

int down_class::GetStat() const
{
    if (!socket) return 0;
    switch (socket->status) {
    case PCSBSocket::status_connecting: return 1;
    case PCSBSocket::status_error: return 2;
    case PCSBSocket::status_closed: return 3;
    default: break;
    }
    if (!send_buf.empty()) return 4;
    return headers_done ? 5 : 6;
}

int down_class::GetOSErr() const
{
    if (error != 0) return error;
    if (socket && socket->GetOSError() != 0) return socket->GetOSError();
    return socket ? 0 : kNoConnection;
}

void down_class::DoProcessing()
{
    if (!socket) return;
    const int st = socket->GetStatus();
    if (st == PCSBSocket::status_closed || st == PCSBSocket::status_error) {
        CloseFile();
        return;
    }
    if (st != PCSBSocket::status_connected) return;

    if (!send_buf.empty()) {
        const long sent = socket->http_WriteData(send_buf.data(), static_cast<long>(send_buf.size()));
        if (sent > 0) send_buf.erase(send_buf.begin(), send_buf.begin() + sent);
    }

    static char readChunk[kReadChunk];
    const long got = socket->ReadData(readChunk, kReadChunk);
    if (got <= 0) return;
    TakeData(readChunk, got);
}

void down_class::TakeData(const char* data, long length)
{
    if (length <= 0) return;
    if (!headers_done && error != 0) return;  // a refused header block: nothing more to parse
    // The common case of a download: body bytes with nothing buffered before
    // them go straight to the file.
    if (headers_done && recv_buf.empty() && file) {
        last_activity = xtim.act_time;
        if (content_length != -1 && received + length >= content_length && socket)
            socket->Disconnect();
        write_body(data, static_cast<size_t>(length));
        return;
    }
    recv_buf.insert(recv_buf.end(), data, data + length);
    if (!headers_done) {
        parse_header_lines();
        if (!headers_done) return;
    }
    take_body();
}

void down_class::parse_header_lines()
{
    if (recv_buf.empty()) return;
    size_t pos = 0;  // start of the first line not yet taken
    const char* buf = recv_buf.data();
    const char* end = buf + recv_buf.size();
    while (!headers_done) {
        const char* start = buf + pos;
        const char* cr = find_crlf(buf + std::max(pos, header_scan), end);
        if (!cr) break;
        const size_t line_len = static_cast<size_t>(cr - start);
        header_bytes += static_cast<int64_t>(line_len) + 2;
        pos += line_len + 2;

        if (line_len == 0) {
            // A blank line ends an interim (1xx) block, or precedes any status
            // line: skip it and read on; it ends the headers of a final one.
            if (status_code < 200) continue;
            if (length_conflict) {
                refuse_response();
                return;
            }
            end_of_headers();
            continue;
        }
        take_header(std::string_view(start, line_len));
    }
    recv_buf.erase(recv_buf.begin(), recv_buf.begin() + static_cast<std::ptrdiff_t>(pos));
    // A line split across receives is not searched again from its start; its
    // last byte may be the CR of a pair.
    header_scan = recv_buf.empty() ? 0 : recv_buf.size() - 1;

    if (!headers_done && header_bytes + static_cast<int64_t>(recv_buf.size()) > kMaxHeaderBytes)
        refuse_response();
}

void down_class::take_header(std::string_view line)
{
    if (is_status_line(line)) {
        status_code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
        status_text.assign(line.substr(std::min<size_t>(13, line.size())));
        // An interim block's lengths say nothing of the final response's body.
        length_seen = length_conflict = false;
        return;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trim_blanks(line.substr(colon + 1));
    if (same_name(name, kLengthHeader)) {
        // Repeats of one length are harmless; lengths that differ leave no
        // way to tell where the body ends.
        int64_t n = 0;
        std::string key = parse_content_length(value, &n) ? std::to_string(n) : std::string(value);
        if (!length_seen) {
            length_seen = true;
            length_value = std::move(key);
        } else if (key != length_value) {
            length_conflict = true;
        }
    }
    headers.emplace(std::string(name), std::string(value));
}

// A header block that cannot be read: nothing of it reaches the file.
void down_class::refuse_response()
{
    error = EBADMSG;
    recv_buf.clear();
    header_scan = 0;
    if (socket) socket->Disconnect();
}

void down_class::end_of_headers()
{
    headers_done = true;
    if (!out_path.empty()) {
        file = open_output(out_path);
        if (!file) error = errno;
    }
    int64_t value = 0;
    if (length_seen && parse_content_length(length_value, &value)) content_length = value;
}

void down_class::take_body()
{
    last_activity = xtim.act_time;
    const auto buffered = static_cast<int64_t>(recv_buf.size());
    if (content_length != -1 && received + buffered >= content_length && socket)
        socket->Disconnect();
    if (!file || recv_buf.empty()) return;
    write_body(recv_buf.data(), recv_buf.size());
    recv_buf.clear();
}

void down_class::write_body(const char* data, size_t length)
{
    last_activity = xtim.act_time;
    received += static_cast<int64_t>(length);
    errno = 0;
    if (fwrite(data, 1, length, file) != length && error == 0) error = errno ? errno : EIO;
}

// ---------------------------------------------------------------------------
// The slots.

int http_class::net_check(int slot_no, std::string server, std::string path,
                          const std::string& local)
{
    if (slot_no < 0 || slot_no > 5) {
        __MACIBM_alert(0, "Too many download objects requested!", "", "", "", t_exit,
                       "OOPS_cpp/http", 232);
        return 2;
    }

    static int inited_any = 0;
    static int soc_inited = 0;
    if (!inited_any) {
        inited_any = 1;
        std::fill(std::begin(slot), std::end(slot), nullptr);
        if (!soc_inited) {
            PCSBSocket::StartupNetworking(!ot_inited);
            ot_inited = 1;
            soc_inited = 1;
        }
    }

    down_class*& req = slot[slot_no];
    if (!req) {
        if (!server.empty() && server.back() == '/') {
            __MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!",
                           "You should not!",
                           "Our convention is that a server name is simply a server name... with "
                           "no slash!",
                           server, t_exit, "OOPS_cpp/http", 247);
            return 2;
        }
        if (path.empty() || path[0] != '/') {
            __MACIBM_alert(0,
                           "net_check error! You do not have a dirchar at the beginning of the "
                           "directory name!",
                           "You should!",
                           "Our convention is that a directory name does start with a slash "
                           "because it must include the hard drive,which is a dir char on unix!",
                           path, t_exit, "OOPS_cpp/http", 248);
            return 2;
        }
        const std::string& build = build_name[0];
        const std::map<std::string, std::string> request_headers = {
            {"Host", server},
            {"User-agent",
             "Installer-LIN/" + build.substr(build.size() >= 4 ? build.size() - 4 : 0)},
            {"Connection", "close"},
        };
        req = new down_class(server.c_str(), 80, path.c_str(), false, request_headers, nullptr, 0,
                             local.c_str());
    }

    req->DoProcessing();
    const bool finished = req->IsDone() || req->IsComplete() || req->IsErr();
    if (!finished) {
        if (double(xtim.act_time) > double(req->last_activity) + kInactivityLimit) {
            delete req;
            req = nullptr;
            return 2;
        }
        return 0;
    }

    // The file must be whole on disk before the transfer counts as done.
    req->CloseFile();
    const bool ok = req->status_code >= 200 && req->status_code <= 299 &&
                    req->content_length == req->received && !req->IsErr();
    if (!ok) {
        xer << "HTTP Error for " << local << "\n"
            << "   server     =" << server << "\n"
            << "   file       =" << path << "\n"
            << "   IsDone     =" << req->IsDone() << "\n"
            << "   IsComplete =" << req->IsComplete() << "\n"
            << "   IsErr      =" << req->IsErr() << "\n"
            << "   GetStat    =" << req->GetStat() << "\n"
            << "   GetOSErr   =" << req->GetOSErr() << "\n"
            << "   response   =" << req->status_text << " (#" << req->status_code << ")\n\n";
        xer.flush();
    }
    delete req;
    req = nullptr;
    return ok ? 1 : 2;
}
