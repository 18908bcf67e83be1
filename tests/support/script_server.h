// A scripted HTTP server on an ephemeral port of 127.0.0.1. Every connection
// it accepts runs the same script, step by step, on its own thread, and keeps
// the exact bytes the client sent. Used to show a client's behaviour against
// well-formed, slow, broken and hostile answers.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brx_test {

struct ServerStep {
    enum class Kind { read_request, send, send_bytewise, pause, close, reset, hold_open };
    Kind kind;
    std::string bytes;
    int ms = 0;
};

// Reads until the blank line that ends a request's headers.
ServerStep read_request();
// Sends the bytes in one write.
ServerStep send(std::string bytes);
// Sends one byte per write, `gap_ms` apart.
ServerStep send_bytewise(std::string bytes, int gap_ms = 1);
ServerStep pause_ms(int ms);
// Orderly close: the client reads the end of the stream.
ServerStep close_connection();
// Close with SO_LINGER 0: the client sees a reset.
ServerStep reset_connection();
// Keeps the connection open until the client closes it or the server stops.
ServerStep hold_open();

// "HTTP/1.1 <code> <reason>" with a Content-Length header (unless
// `with_length` is false), the extra header lines given, and the body.
std::string http_response(int code, const std::string& reason, const std::string& body,
                          bool with_length = true, const std::string& extra_headers = "");

class ScriptServer {
public:
    // A script that runs off its end closes the connection in order. The
    // server listens on `address` (a loopback address) and `port` (0: any).
    explicit ScriptServer(std::vector<ServerStep> script, const std::string& address = "127.0.0.1",
                          unsigned short port = 0);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    unsigned short port() const { return port_; }
    int connections() const { return accepted_.load(); }
    // Every byte received on connection `i` so far ("" when there is none).
    std::string received(size_t i = 0) const;

private:
    void accept_loop();
    void serve(int fd, size_t index);
    bool wait_readable(int fd, int timeout_ms) const;  // false when stopping

    std::vector<ServerStep> script_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    unsigned short port_ = 0;
    std::atomic<int> accepted_{0};
    mutable std::mutex mu_;
    std::vector<std::string> received_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace brx_test
