// The real servers of the tests as a user who is not root meets them: found
// where Debian installs them whatever the PATH, and a server that cannot
// start says which, why, on what port and what its log says.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/http_servers.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;

// Debian's PATH for a user: no /usr/sbin, where nginx and HAProxy lie.
constexpr const char* kUserPath = "/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games";

TEST(TestServers, StartWithAUsersPath)
{
    const ScopedEnv path("PATH", kUserPath);
    TempDir dir;
    NginxServer nginx(dir.path(), {});
    TinyProxy tinyproxy(dir.path(), nginx.port());
    HaProxy haproxy(dir.path(), nginx.port());
    EXPECT_NE(nginx.port(), tinyproxy.port());
    EXPECT_NE(nginx.port(), haproxy.port());
    EXPECT_EQ(find_program("brx-no-such-program"), "");
}

TEST(TestServers, OneThatCannotStartSaysWhy)
{
    TempDir dir;
    const std::string log = dir / "server.log";
    const unsigned short port = free_loopback_port();
    const std::string at = "127.0.0.1:" + std::to_string(port);
    struct Case {
        const char* what;
        std::function<std::string()> start;  // the message
        std::vector<std::string> said;
    };
    const auto process_why = [&](std::vector<std::string> argv, int timeout_ms) {
        ServerProcess p;
        return p.start(argv, port, log, timeout_ms) ? std::string("started") : p.why();
    };
    const Case cases[] = {
        {"not installed", [&] { return process_why({"brx-no-such-server"}, 10000); },
         {"brx-no-such-server could not start: it is not installed", "/usr/sbin", "scripts/install-deps"}},
        {"ends at once", [&] { return process_why({"sh", "-c", "echo cannot bind >&2; exit 3"}, 10000); },
         {"sh could not start on " + at + ": it ended with status 3", log, "\n    cannot bind"}},
        {"never listens", [&] { return process_why({"sleep", "30"}, 200); },
         {"sleep could not start on " + at + ": it did not accept connections within 200 ms"}},
        {"a configuration nginx refuses",
         [&] {
             try {
                 NginxServer nginx(dir.path(), {}, "  brx_no_such_directive on;\n");
             } catch (const std::runtime_error& e) {
                 return std::string(e.what());
             }
             return std::string("started");
         },
         {"nginx could not start on 127.0.0.1:", "it ended with status 1", dir / "nginx-error.log",
          "unknown directive \"brx_no_such_directive\""}},
    };
    for (const Case& c : cases) {
        const std::string message = c.start();
        for (const std::string& part : c.said) EXPECT_TRUE(contains(message, part)) << c.what << ": " << message;
    }
}

}  // namespace
