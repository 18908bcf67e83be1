// A forwarder on 127.0.0.1 that passes HTTP requests to an upstream server
// and spoils some of those for one host name: every second request for it
// fails, alternately with a 404 answer and with a connection reset halfway
// through the upstream's body.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brx_test {

class FlakyFront {
public:
    FlakyFront(unsigned short upstream_port, std::string flaky_host);
    ~FlakyFront();
    FlakyFront(const FlakyFront&) = delete;
    FlakyFront& operator=(const FlakyFront&) = delete;

    unsigned short port() const { return port_; }
    int spoiled() const { return spoiled_.load(); }

private:
    void accept_loop();
    void serve(int fd);

    unsigned short upstream_port_;
    std::string flaky_host_;
    int listen_fd_ = -1;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> flaky_seen_{0};
    std::atomic<int> spoiled_{0};
    std::mutex mu_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace brx_test
