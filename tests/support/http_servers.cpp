#include "http_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "test_util.h"

namespace brx_test {

namespace {

bool port_accepts(unsigned short port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// Another program may take the chosen port between choice and bind: try a few.
template <class Start>
unsigned short start_on_free_port(const ServerProcess& process, Start start)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const unsigned short port = free_loopback_port();
        if (start(port)) return port;
    }
    throw std::runtime_error(process.why());
}

// The last lines of what a log gained past `from` bytes, indented, for a message.
std::string last_lines(const std::string& path, size_t from, size_t count)
{
    const std::string all = read_file(path);
    const std::string text = from < all.size() ? all.substr(from) : "";
    size_t begin = text.size();
    if (begin > 0 && text[begin - 1] == '\n') --begin;
    for (size_t n = 0; n < count && begin > 0; ++n) {
        const size_t nl = text.rfind('\n', begin - 1);
        begin = nl == std::string::npos ? 0 : nl;
    }
    std::string out;
    for (size_t at = begin; at < text.size();) {
        if (text[at] == '\n') ++at;
        const size_t end = std::min(text.find('\n', at), text.size());
        if (end > at) out += "\n    " + text.substr(at, end - at);
        at = end;
    }
    return out.empty() ? " nothing" : out;
}

}  // namespace

unsigned short free_loopback_port()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        close(fd);
        throw std::runtime_error("no free port");
    }
    close(fd);
    return ntohs(a.sin_port);
}

bool ServerProcess::start(const std::vector<std::string>& argv, unsigned short port, const std::string& log,
                          int timeout_ms)
{
    stop();
    const std::string name = argv[0].substr(argv[0].rfind('/') + 1);
    std::vector<std::string> cmd = argv;
    cmd[0] = find_program(argv[0]);
    if (cmd[0].empty()) {
        why_ = name + " could not start: it is not installed (not in PATH, /usr/local/sbin, /usr/sbin or /sbin; "
                      "scripts/install-deps installs it)";
        return false;
    }
    std::vector<char*> args = exec_strings(cmd);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const off_t logged = out >= 0 ? lseek(out, 0, SEEK_END) : 0;
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // a killed test takes its servers with it
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    if (out >= 0) close(out);
    std::string failure = "fork failed";
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (pid_ > 0) {
        if (port_accepts(port)) return true;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure = WIFEXITED(status) ? "it ended with status " + std::to_string(WEXITSTATUS(status))
                                        : "it was ended by signal " + std::to_string(WTERMSIG(status));
        } else if (std::chrono::steady_clock::now() >= until) {
            stop();
            failure = "it did not accept connections within " + std::to_string(timeout_ms) + " ms";
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    why_ = name + " could not start on 127.0.0.1:" + std::to_string(port) + ": " + failure +
           "; what it wrote to " + log + ":" + last_lines(log, static_cast<size_t>(logged), 8);
    return false;
}

void ServerProcess::stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

NginxServer::NginxServer(const std::string& work_dir,
                         const std::map<std::string, std::string>& sites, const std::string& http_conf)
{
    port_ = start_on_free_port(process_, [&](unsigned short port) {
        const std::string listen = "127.0.0.1:" + std::to_string(port);
        std::string conf =
            "daemon off;\nmaster_process off;\nworker_processes 1;\n"
            "pid " + work_dir + "nginx.pid;\n"
            "error_log " + work_dir + "nginx-error.log;\n"
            "events { worker_connections 256; }\n"
            "http {\n"
            "  access_log off;\n  sendfile on;\n  server_tokens off;\n"
            "  client_body_temp_path " + work_dir + "nginx-body;\n"
            "  proxy_temp_path " + work_dir + "nginx-proxy;\n"
            "  fastcgi_temp_path " + work_dir + "nginx-fastcgi;\n"
            "  uwsgi_temp_path " + work_dir + "nginx-uwsgi;\n"
            "  scgi_temp_path " + work_dir + "nginx-scgi;\n" + http_conf +
            "  server { listen " + listen + " default_server; return 404; }\n";
        for (const auto& [host, folder] : sites)
            conf += "  server { listen " + listen + "; server_name " + host + "; root " + folder +
                    "; }\n";
        conf += "}\n";
        write_file(work_dir + "nginx.conf", conf);
        return process_.start({"nginx", "-p", work_dir, "-e", work_dir + "nginx-error.log", "-c",
                               work_dir + "nginx.conf"},
                              port, work_dir + "nginx-error.log");
    });
}

TinyProxy::TinyProxy(const std::string& work_dir, unsigned short upstream_port)
{
    port_ = start_on_free_port(process_, [&](unsigned short port) {
        write_file(work_dir + "tinyproxy.conf",
                   "Port " + std::to_string(port) +
                       "\nListen 127.0.0.1\nTimeout 60\nMaxClients 64\nLogLevel Error\n"
                       "LogFile \"" + work_dir + "tinyproxy.log\"\n"
                       "Upstream http 127.0.0.1:" + std::to_string(upstream_port) + "\n");
        return process_.start({"tinyproxy", "-d", "-c", work_dir + "tinyproxy.conf"}, port,
                              work_dir + "tinyproxy.log");
    });
}

HaProxy::HaProxy(const std::string& work_dir, unsigned short upstream_port)
{
    port_ = start_on_free_port(process_, [&](unsigned short port) {
        std::string conf =
            "defaults\n  mode http\n  timeout connect 5000\n  timeout client 50000\n"
            "  timeout server 50000\n";
        for (const char* code : {"400", "403", "408", "500", "502", "503", "504"})
            conf += std::string("  errorfile ") + code + " /etc/haproxy/errors/" + code + ".http\n";
        conf += "frontend installer\n  bind 127.0.0.1:" + std::to_string(port) +
                "\n  default_backend upstream\n"
                "backend upstream\n  server upstream 127.0.0.1:" + std::to_string(upstream_port) + "\n";
        write_file(work_dir + "haproxy.cfg", conf);
        return process_.start({"haproxy", "-db", "-q", "-f", work_dir + "haproxy.cfg"}, port,
                              work_dir + "haproxy.log");
    });
}

}  // namespace brx_test
