// Real HTTP servers for interoperability tests and benchmarks, each a child
// process on a free port of 127.0.0.1 with its configuration in a given
// folder, stopped when the object goes away. A server that cannot start
// throws std::runtime_error saying which, why and on what port.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace brx_test {

// A port of 127.0.0.1 that was free a moment ago.
unsigned short free_loopback_port();

class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Runs argv, its output appended to the file `log`, and waits until
    // `port` accepts connections; false when the program is not installed,
    // ended first or took longer than `timeout_ms`, and then why() says which,
    // with the last lines of `log`.
    bool start(const std::vector<std::string>& argv, unsigned short port, const std::string& log,
               int timeout_ms = 10000);
    void stop();
    const std::string& why() const { return why_; }

private:
    pid_t pid_ = -1;
    std::string why_;
};

// A server process listening on a port of 127.0.0.1.
class LoopbackServer {
public:
    virtual ~LoopbackServer() = default;
    unsigned short port() const { return port_; }

protected:
    ServerProcess process_;
    unsigned short port_ = 0;
};

// nginx serving one folder per host name; other hosts get 404.
class NginxServer : public LoopbackServer {
public:
    // `work_dir` ends in "/" and holds the configuration, logs and pid file;
    // `http_conf` adds directives to the http block (a rate limit, say).
    NginxServer(const std::string& work_dir, const std::map<std::string, std::string>& sites,
                const std::string& http_conf = "");
};

// tinyproxy forwarding every request to an upstream on 127.0.0.1, so that no
// host name is ever resolved.
class TinyProxy : public LoopbackServer {
public:
    TinyProxy(const std::string& work_dir, unsigned short upstream_port);
};

// HAProxy in http mode in front of an upstream on 127.0.0.1, with the
// defaults of Debian's package (no logging, no chroot, no daemon). Like the
// proxies of its generation it writes every header name in lower case.
class HaProxy : public LoopbackServer {
public:
    HaProxy(const std::string& work_dir, unsigned short upstream_port);
};

}  // namespace brx_test
