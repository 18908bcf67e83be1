#include "script_server.h"
#include "test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace brx_test {

ServerStep read_request() { return {ServerStep::Kind::read_request, "", 0}; }
ServerStep send(std::string bytes) { return {ServerStep::Kind::send, std::move(bytes), 0}; }
ServerStep send_bytewise(std::string bytes, int gap_ms)
{
    return {ServerStep::Kind::send_bytewise, std::move(bytes), gap_ms};
}
ServerStep pause_ms(int ms) { return {ServerStep::Kind::pause, "", ms}; }
ServerStep close_connection() { return {ServerStep::Kind::close, "", 0}; }
ServerStep reset_connection() { return {ServerStep::Kind::reset, "", 0}; }
ServerStep hold_open() { return {ServerStep::Kind::hold_open, "", 0}; }

std::string http_response(int code, const std::string& reason, const std::string& body,
                          bool with_length, const std::string& extra_headers)
{
    std::string r = "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n";
    if (with_length) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    r += extra_headers;
    r += "\r\n";
    return r + body;
}

ScriptServer::ScriptServer(std::vector<ServerStep> script, const std::string& address,
                           unsigned short port)
    : script_(std::move(script))
{
    if (pipe(wake_) != 0) throw std::runtime_error("pipe failed");
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(address.c_str());
    a.sin_port = htons(port);
    socklen_t len = sizeof a;
    int on = 1;
    if (listen_fd_ >= 0) setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listen_fd_, 64) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

ScriptServer::~ScriptServer()
{
    const char stop = 1;
    (void)!write(wake_[1], &stop, 1);
    acceptor_.join();
    for (auto& w : workers_) w.join();
    close(listen_fd_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string ScriptServer::received(size_t i) const
{
    std::lock_guard<std::mutex> lock(mu_);
    return i < received_.size() ? received_[i] : std::string();
}

bool ScriptServer::wait_readable(int fd, int timeout_ms) const
{
    pollfd p[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int n = poll(p, 2, timeout_ms);
    return !(n > 0 && (p[1].revents & POLLIN));
}

void ScriptServer::accept_loop()
{
    for (;;) {
        if (!wait_readable(listen_fd_, -1)) return;
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        size_t index;
        {
            std::lock_guard<std::mutex> lock(mu_);
            index = received_.size();
            received_.emplace_back();
        }
        ++accepted_;
        workers_.emplace_back([this, fd, index] { serve(fd, index); });
    }
}

void ScriptServer::serve(int fd, size_t index)
{
    // Reads what is there into the record; false at the end of the stream,
    // on an error or when the server stops.
    auto read_some = [&](int timeout_ms) {
        if (!wait_readable(fd, timeout_ms)) return false;
        char buf[4096];
        const ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        if (n == 0) return false;
        std::lock_guard<std::mutex> lock(mu_);
        received_[index].append(buf, static_cast<size_t>(n));
        return true;
    };
    auto record = [&] {
        std::lock_guard<std::mutex> lock(mu_);
        return received_[index];
    };

    // Unread bytes at close would turn the FIN into a reset: read on until
    // the client closes its side.
    auto close_in_order = [&] {
        shutdown(fd, SHUT_WR);
        while (read_some(-1)) {
        }
    };

    bool open = true;
    size_t request_end = 0;  // where the next request's headers start in the record
    for (const ServerStep& step : script_) {
        if (!open) break;
        switch (step.kind) {
        case ServerStep::Kind::read_request:
            for (;;) {
                const std::string r = record();
                const size_t end = r.find("\r\n\r\n", request_end);
                if (end != std::string::npos) {
                    request_end = end + 4;
                    break;
                }
                if (!read_some(-1)) {
                    open = false;
                    break;
                }
            }
            break;
        case ServerStep::Kind::send:
            open = send_all(fd, step.bytes.data(), step.bytes.size());
            break;
        case ServerStep::Kind::send_bytewise:
            for (size_t i = 0; open && i < step.bytes.size(); ++i) {
                open = send_all(fd, &step.bytes[i], 1);
                if (open && step.ms > 0 && !wait_readable(wake_[0], step.ms)) open = false;
            }
            break;
        case ServerStep::Kind::pause: {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.ms);
            while (open) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                // Keep recording what the client sends meanwhile.
                if (!wait_readable(fd, static_cast<int>(left.count()))) open = false;
                else if (!read_some(0)) break;
            }
            break;
        }
        case ServerStep::Kind::close:
            close_in_order();
            open = false;
            break;
        case ServerStep::Kind::reset: {
            linger l{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            open = false;
            break;
        }
        case ServerStep::Kind::hold_open:
            while (read_some(-1)) {
            }
            open = false;
            break;
        }
    }
    if (open) close_in_order();
    close(fd);
}

}  // namespace brx_test
