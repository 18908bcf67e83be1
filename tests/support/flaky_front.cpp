#include "support/flaky_front.h"
#include "support/test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "support/script_server.h"

namespace brx_test {
namespace {

using brx_test::send_all;

int connect_loopback(unsigned short port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void reset_and_close(int fd)
{
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd);
}

std::string host_of(const std::string& request)
{
    for (size_t at = request.find("\r\n"); at != std::string::npos; at = request.find("\r\n", at + 2)) {
        if (strncasecmp(request.c_str() + at + 2, "Host:", 5) != 0) continue;
        size_t s = at + 7;
        while (s < request.size() && request[s] == ' ') ++s;
        return request.substr(s, request.find("\r\n", s) - s);
    }
    return "";
}

}  // namespace

FlakyFront::FlakyFront(unsigned short upstream_port, std::string flaky_host)
    : upstream_port_(upstream_port), flaky_host_(std::move(flaky_host))
{
    listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(listen_fd_, 64) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("FlakyFront cannot listen");
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

FlakyFront::~FlakyFront()
{
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
    close(listen_fd_);
    std::lock_guard<std::mutex> lock(mu_);
    for (std::thread& t : workers_) t.join();
}

void FlakyFront::accept_loop()
{
    for (;;) {
        const int fd = accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) {
            if (stopping_) return;
            continue;
        }
        std::lock_guard<std::mutex> lock(mu_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void FlakyFront::serve(int fd)
{
    std::string request;
    char buf[65536];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) {
            if (stopping_) break;
            continue;
        }
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }
    int spoil = 0;  // 1: answer 404; 2: reset halfway through the body
    if (host_of(request) == flaky_host_) {
        const int seen = flaky_seen_++;
        if (seen % 2 == 0) spoil = (seen / 2) % 2 == 0 ? 1 : 2;
    }
    if (spoil == 1) {
        ++spoiled_;
        const std::string answer = http_response(404, "Not Found", "spoiled");
        send_all(fd, answer.data(), answer.size());
        close(fd);
        return;
    }
    const int up = connect_loopback(upstream_port_);
    if (up < 0 || !send_all(up, request.data(), request.size())) {
        if (up >= 0) close(up);
        reset_and_close(fd);
        return;
    }
    std::string head;
    long long body_left = -1;  // bytes to pass before the reset, once known
    for (;;) {
        const ssize_t n = recv(up, buf, sizeof buf, 0);
        if (n <= 0) break;
        size_t pass = static_cast<size_t>(n);
        if (spoil == 2) {
            if (body_left < 0) {
                head.append(buf, pass);
                const size_t end = head.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                const size_t cl = head.find("Content-Length:");
                const long long length = cl == std::string::npos ? 0 : atoll(head.c_str() + cl + 15);
                body_left = length / 2;
                const std::string whole = head;
                const size_t first = std::min<size_t>(whole.size(), end + 4 + size_t(body_left));
                body_left -= static_cast<long long>(first - (end + 4));
                if (!send_all(fd, whole.data(), first)) break;
                if (body_left <= 0) break;
                continue;
            }
            pass = std::min<size_t>(pass, size_t(body_left));
            body_left -= static_cast<long long>(pass);
        }
        if (!send_all(fd, buf, pass)) break;
        if (spoil == 2 && body_left <= 0) break;
    }
    close(up);
    if (spoil == 2) {
        ++spoiled_;
        reset_and_close(fd);
    } else {
        close(fd);
    }
}

}  // namespace brx_test
