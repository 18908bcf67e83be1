#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "support/http_servers.h"
#include "support/script_server.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using Clock = std::chrono::steady_clock;

const char kHost[] = "files.example";  // fictional, reached through the proxy setting
const char kAgent[] = "Installer-LIN/a-17";

std::string ok_response(const std::string& body) { return http_response(200, "OK", body); }

// Log in a scratch folder, a fixed clock, no proxy, idle slots.
class Http : public ::testing::Test {
protected:
    void SetUp() override
    {
        xer.close();
        xer.clear();
        xer.open(dir / "Log.txt");
        xtim.act_time = 1000.0f;
        set_proxy("", 0);
    }
    void TearDown() override
    {
        for (int i = 0; i < 6; ++i) EXPECT_EQ(http.slot[i], nullptr) << "slot " << i << " left busy";
        set_proxy("", 0);
        xer.close();
    }

    static void set_proxy(const std::string& host, int port)
    {
        http.proxy_host = host;
        http.proxy_port = port ? std::to_string(port) : "";
        http.proxy_port_int = port;
    }
    static void use_server(const ScriptServer& s) { set_proxy("127.0.0.1", s.port()); }

    std::string log()
    {
        xer.flush();
        return read_file(dir / "Log.txt");
    }

    // Polls the slot until it answers 1 or 2; -1 after `max_ms` of real time.
    static int fetch(int slot, const std::string& server, const std::string& path,
                     const std::string& local, int max_ms = 20000)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(max_ms);
        for (;;) {
            const int r = http.net_check(slot, server, path, local);
            if (r != 0) return r;
            if (Clock::now() > until) return -1;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    // Polls for `ms` of real time, expecting the slot to keep running.
    static void expect_running_for(int ms, int slot, const std::string& local)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            ASSERT_EQ(http.net_check(slot, kHost, "/f", local), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    static std::string error_block(const std::string& local, const std::string& server,
                                   const std::string& path, int done, int complete, int err,
                                   int stat, int os_err, const std::string& response)
    {
        return "HTTP Error for " + local + "\n   server     =" + server + "\n   file       =" +
               path + "\n   IsDone     =" + std::to_string(done) + "\n   IsComplete =" +
               std::to_string(complete) + "\n   IsErr      =" + std::to_string(err) +
               "\n   GetStat    =" + std::to_string(stat) + "\n   GetOSErr   =" +
               std::to_string(os_err) + "\n   response   =" + response + "\n\n";
    }

    TempDir dir;
};

// ---------------------------------------------------------------------------
// The request on the wire.

TEST_F(Http, RequestThroughProxyIsExact)
{
    ScriptServer server({read_request(), send(ok_response("x"))});
    use_server(server);
    EXPECT_EQ(fetch(3, kHost, "/Brennix 9/a b.zip", dir / "out"), 1);
    EXPECT_EQ(server.received(),
              std::string("GET http://files.example/Brennix%209/a%20b.zip HTTP/1.1\r\n"
                          "Connection: close\r\nHost: files.example\r\nUser-agent: ") +
                  kAgent + "\r\n\r\n");
}

TEST_F(Http, RequestDirectIsExact)
{
    // Direct requests go to port 80: use a loopback address of our own there.
    if (ran_with_own_network()) return;
    const std::string address =
        "127.80." + std::to_string(getpid() % 250 + 1) + "." + std::to_string(getpid() / 250 % 250 + 1);
    std::unique_ptr<ScriptServer> server;
    try {
        server = std::make_unique<ScriptServer>(
            std::vector<ServerStep>{read_request(), send(ok_response("direct"))}, address, 80);
    } catch (const std::exception& e) {
        GTEST_SKIP() << e.what();
    }
    EXPECT_EQ(fetch(0, address, "/serverlist.txt", dir / "serverlist.txt"), 1);
    EXPECT_EQ(server->received(), "GET /serverlist.txt HTTP/1.1\r\nConnection: close\r\nHost: " +
                                      address + "\r\nUser-agent: " + kAgent + "\r\n\r\n");
    EXPECT_EQ(read_file(dir / "serverlist.txt"), "direct");
}

TEST_F(Http, RequestWithBodyAndOwnHeaders)
{
    ScriptServer server({hold_open()});
    down_class req("127.0.0.1", server.port(), "/p q", true,
                   {{"Zed", "1"}, {"Accept", "*/*"}}, "abc", 3, nullptr);
    EXPECT_EQ(std::string(req.send_buf.begin(), req.send_buf.end()),
              "POST /p%20q HTTP/1.1\r\nAccept: */*\r\nZed: 1\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(req.status_code, -1);
    EXPECT_EQ(req.content_length, -1);
    EXPECT_TRUE(req.out_path.empty());
}

// ---------------------------------------------------------------------------
// The response parser, fed directly.

struct ParseCase {
    const char* name;
    std::string response;
    int status_code;
    std::string status_text;
    int64_t content_length;
    bool headers_done;
    std::string body;  // what reaches the file
    int error = 0;     // EBADMSG: the response is refused and no file is made
};

class HttpParse : public Http, public ::testing::WithParamInterface<ParseCase> {};

// Every case gives the same result however the bytes are split.
TEST_P(HttpParse, AnySplitSameResult)
{
    const ParseCase& c = GetParam();
    ScriptServer server({hold_open()});
    std::vector<std::vector<size_t>> splits = {{}, {1}};
    for (size_t cut = 1; cut < c.response.size(); ++cut) splits.push_back({cut});
    std::vector<size_t> every;
    for (size_t cut = 1; cut < c.response.size(); ++cut) every.push_back(cut);
    splits.push_back(every);

    for (const auto& cuts : splits) {
        const std::string local = dir / "body";
        down_class req("127.0.0.1", server.port(), "/", false, {}, nullptr, 0, local.c_str());
        size_t from = 0;
        for (size_t cut : cuts) {
            req.TakeData(c.response.data() + from, long(cut - from));
            from = cut;
        }
        req.TakeData(c.response.data() + from, long(c.response.size() - from));
        req.CloseFile();
        SCOPED_TRACE(std::string(c.name) + ", pieces " + std::to_string(cuts.size() + 1));
        EXPECT_EQ(req.status_code, c.status_code);
        EXPECT_EQ(req.status_text, c.status_text);
        EXPECT_EQ(req.content_length, c.content_length);
        EXPECT_EQ(req.headers_done, c.headers_done);
        if (c.headers_done) {
            EXPECT_EQ(read_file(local), c.body);
            EXPECT_EQ(req.received, int64_t(c.body.size()));
        }
        EXPECT_EQ(req.error, c.error);
        if (c.error) {
            EXPECT_FALSE(exists(local));
        }
        unlink(local.c_str());
    }
}

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

using namespace std::string_literals;
const std::string k100 = "HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpParse,
    ::testing::Values(
        ParseCase{"plain", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "OK", 5, true,
                  "hello"},
        ParseCase{"empty body", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200, "OK", 0,
                  true, ""},
        ParseCase{"beyond the announced length",
                  "HTTP/1.0 200 Fine Thanks\r\nContent-Length: 2\r\n\r\nabcd", 200, "Fine Thanks",
                  2, true, "abcd"},
        ParseCase{"interim then final in one piece",
                  k100 + "HTTP/1.1 206 Partial\r\nContent-Length: 3\r\n\r\nxyz", 206, "Partial", 3,
                  true, "xyz"},
        ParseCase{"no status line: lines and blank ignored",
                  "junk\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz", 200, "OK", 1, true,
                  "z"},
        ParseCase{"empty reason phrase after its blank",
                  "HTTP/1.1 200 \r\nContent-Length: 1\r\n\r\nz", 200, "", 1, true, "z"},
        ParseCase{"no reason phrase and no blank",
                  "HTTP/1.1 204\r\nContent-Length: 0\r\n\r\n", 204, "", 0, true, ""},
        ParseCase{"status code that is no number is no status line",
                  "HTTP/1.1 2x0 OK\r\nHTTP/1.1 2000\r\nContent-Length: 1\r\n\r\nz", -1, "", -1,
                  false, ""},
        ParseCase{"length key in lower case",
                  "HTTP/1.1 200 OK\r\ncontent-length: 6\r\n\r\nlower.", 200, "OK", 6, true,
                  "lower."},
        ParseCase{"length key in upper case",
                  "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 1\r\n\r\nz", 200, "OK", 1, true, "z"},
        ParseCase{"length key in mixed case",
                  "HTTP/1.1 200 OK\r\ncOnTeNt-LeNgTh: 1\r\n\r\nz", 200, "OK", 1, true, "z"},
        ParseCase{"length without a blank after the colon",
                  "HTTP/1.1 200 OK\r\nContent-Length:1\r\n\r\nz", 200, "OK", 1, true, "z"},
        ParseCase{"length after a tab, with trailing blanks",
                  "HTTP/1.1 200 OK\r\nContent-Length:\t 1 \t \r\n\r\nz", 200, "OK", 1, true,
                  "z"},
        ParseCase{"blank before the colon makes another name",
                  "HTTP/1.1 200 OK\r\nContent-Length : 1\r\n\r\nz", 200, "OK", -1, true, "z"},
        ParseCase{"length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\nz",
                  200, "OK", -1, true, "z"},
        ParseCase{"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nz", 200, "OK",
                  -1, true, "z"},
        ParseCase{"length beyond 64 bits",
                  "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nz", 200, "OK",
                  -1, true, "z"},
        ParseCase{"length beyond 32 bits",
                  "HTTP/1.1 200 OK\r\nContent-Length: 6000000000\r\n\r\nz", 200, "OK",
                  6000000000LL, true, "z"},
        ParseCase{"the length twice with one value",
                  "HTTP/1.1 200 OK\r\nContent-Length: 1\r\ncontent-length:01\r\n\r\nz", 200,
                  "OK", 1, true, "z"},
        ParseCase{"two lengths that differ are refused",
                  "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 9\r\n\r\nz", 200, "OK",
                  -1, false, "", EBADMSG},
        ParseCase{"two lengths that differ in other cases are refused",
                  "HTTP/1.1 200 OK\r\ncontent-length: 1\r\nCONTENT-LENGTH: 1x\r\n\r\nz", 200,
                  "OK", -1, false, "", EBADMSG},
        ParseCase{"an interim block's length is not the final one's",
                  "HTTP/1.1 100 Continue\r\nContent-Length: 9\r\n\r\n"
                  "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz",
                  200, "OK", 1, true, "z"},
        ParseCase{"binary and bare line ends in headers",
                  "HTTP/1.1 404 Not Found\r\nX: \0\xff\n\r\r\nContent-Length: 2\r\n\r\n\r\n"s,
                  404, "Not Found", 2, true, "\r\n"}),
    [](const ::testing::TestParamInfo<ParseCase>& info) {
        std::string n;
        for (const char* p = info.param.name; *p; ++p) n += std::isalnum(uint8_t(*p)) ? *p : '_';
        return n;
    });

TEST_F(Http, InterimHeadersKeepTheirValues)
{
    ScriptServer server({hold_open()});
    down_class req("127.0.0.1", server.port(), "/", false, {}, nullptr, 0, nullptr);
    const std::string r = k100 + "HTTP/1.1 200 OK\r\nX-Interim: no\r\nContent-Length: 0\r\n\r\n";
    req.TakeData(r.data(), long(r.size()));
    EXPECT_EQ(req.headers.at("X-Interim"), "yes");
    EXPECT_TRUE(req.IsComplete());
}

TEST_F(Http, OversizedHeaderBlockIsRefused)
{
    ScriptServer server({hold_open()});
    down_class req("127.0.0.1", server.port(), "/", false, {}, nullptr, 0, nullptr);
    const std::string junk(64 * 1024, 'A');  // one line that never ends
    for (int i = 0; i < 8; ++i) req.TakeData(junk.data(), long(junk.size()));
    EXPECT_FALSE(req.headers_done);
    EXPECT_TRUE(req.IsErr());
    EXPECT_EQ(req.GetOSErr(), EBADMSG);
    EXPECT_LE(req.recv_buf.size(), junk.size());
}

TEST_F(Http, BodyWithoutFileStaysBuffered)
{
    ScriptServer server({hold_open()});
    down_class req("127.0.0.1", server.port(), "/", false, {}, nullptr, 0, nullptr);
    const std::string r = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc";
    req.TakeData(r.data(), long(r.size()));
    EXPECT_EQ(std::string(req.recv_buf.begin(), req.recv_buf.end()), "abc");
    EXPECT_EQ(req.received, 0);
}

// ---------------------------------------------------------------------------
// Results of a slot against the scripted server.

TEST_F(Http, ExactLengthIsDone)
{
    const std::string body(200000, 'q');
    ScriptServer server({read_request(), send(ok_response(body))});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/big.zip", dir / "2.zip"), 1);
    EXPECT_EQ(read_file(dir / "2.zip"), body);
    EXPECT_EQ(log(), "");
}

TEST_F(Http, ResponseSplitAtEveryByteWithInterimStatus)
{
    ScriptServer server({read_request(), send_bytewise(k100 + ok_response("split body"), 1)});
    use_server(server);
    EXPECT_EQ(fetch(1, kHost, "/directory.txt.zip", dir / "d.zip"), 1);
    EXPECT_EQ(read_file(dir / "d.zip"), "split body");
}

TEST_F(Http, EmptyBodyIsDone)
{
    ScriptServer server({read_request(), send(ok_response("")), hold_open()});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/empty", dir / "empty"), 1);
    EXPECT_TRUE(exists(dir / "empty"));
    EXPECT_EQ(read_file(dir / "empty"), "");
}

// Complete responses that are no success: the error block, and the body
// stays in the file; a response whose lengths disagree is refused whole.
TEST_F(Http, FailedResponsesLogTheErrorBlock)
{
    struct Case {
        std::string response, body;
        int complete;
        std::string response_line;
        int err = 0, os_err = 0;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", "abcdef", 0, "OK (#200)"},
        {http_response(404, "Not Found", "gone"), "gone", 1, "Not Found (#404)"},
        {http_response(301, "Moved Permanently", "", true, "Location: /x\r\n"), "", 1,
         "Moved Permanently (#301)"},
        {"HTTP/1.1 200 OK\r\ncontent-length: 3\r\nContent-Length: 4\r\n\r\nabcd", "", 0,
         "OK (#200)", 1, EBADMSG},
    };
    for (const Case& c : cases) {
        ScriptServer server({read_request(), send(c.response)});
        use_server(server);
        const std::string local = dir / "out";
        unlink(local.c_str());
        const size_t log_before = log().size();
        EXPECT_EQ(fetch(4, kHost, "/f", local), 2);
        EXPECT_EQ(log().substr(log_before),
                  error_block(local, kHost, "/f", 1, c.complete, c.err, 3, c.os_err, c.response_line));
        EXPECT_EQ(read_file(local), c.body);
    }
}

// Without a length, or with a close before it, the transfer only ends at the
// inactivity limit, silently.
TEST_F(Http, IncompleteTransfersEndAtTheInactivityLimit)
{
    struct Case {
        std::vector<ServerStep> script;
        int64_t body;  // body bytes the client takes in before the silence
    };
    const std::vector<Case> cases = {
        {{read_request(), send(http_response(200, "OK", "no length", false)), hold_open()}, 9},
        {{read_request(), send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"), close_connection()}, 4},
        {{read_request(), send("HTTP/1.1 200 OK\r\n"), hold_open()}, 0},  // headers never end
    };
    for (const Case& c : cases) {
        ScriptServer server(c.script);
        use_server(server);
        const std::string local = dir / "slow";
        ASSERT_EQ(http.net_check(2, kHost, "/f", local), 0);
        // Body data restarts the clock: let all of it arrive before moving time on.
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (http.slot[2] && http.slot[2]->received < c.body && Clock::now() < until)
            ASSERT_EQ(http.net_check(2, kHost, "/f", local), 0);
        ASSERT_NE(http.slot[2], nullptr);
        ASSERT_EQ(http.slot[2]->received, c.body);
        expect_running_for(150, 2, local);
        xtim.act_time += 30.0f;  // exactly at the limit: still waiting
        ASSERT_EQ(http.net_check(2, kHost, "/f", local), 0);
        xtim.act_time += 0.5f;
        EXPECT_EQ(http.net_check(2, kHost, "/f", local), 2);
        EXPECT_EQ(http.slot[2], nullptr);
    }
    EXPECT_EQ(log(), "");
}

// The limit counts from the creation until the headers end, then from the
// last step that received body data.
TEST_F(Http, BodyDataResetsTheInactivityClock)
{
    ScriptServer server({read_request(), pause_ms(100),
                         send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabc"), pause_ms(200),
                         send("def")});
    use_server(server);
    const std::string local = dir / "clock";
    int r = http.net_check(2, kHost, "/f", local);  // created at 1000
    xtim.act_time = 1020.0f;                         // the body starts at 1020
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (r == 0 && Clock::now() < until) {
        r = http.net_check(2, kHost, "/f", local);
        if (http.slot[2] && http.slot[2]->received == 3) xtim.act_time = 1045.0f;
    }
    EXPECT_EQ(r, 1);
    EXPECT_EQ(read_file(local), "abcdef");
}

TEST_F(Http, ResetMidBodyFails)
{
    ScriptServer server({read_request(), send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nab"),
                         pause_ms(50), reset_connection()});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/r", dir / "r"), 2);
    EXPECT_NE(log().find("HTTP Error for " + dir / "r"), std::string::npos);
    EXPECT_NE(log().find("   IsDone     =1\n"), std::string::npos);
}

TEST_F(Http, RefusedConnectionFails)
{
    set_proxy("127.0.0.1", free_loopback_port());
    const std::string local = dir / "refused";
    EXPECT_EQ(fetch(2, kHost, "/x", local), 2);
    EXPECT_EQ(log(), error_block(local, kHost, "/x", 1, 0, 0, 3, 0, " (#-1)"));
    EXPECT_FALSE(exists(local));
}

TEST_F(Http, LookupFailureFailsAtOnce)
{
    const std::string host = std::string(70, 'h') + ".invalid";
    const std::string local = dir / "nohost";
    EXPECT_EQ(http.net_check(1, host, "/x", local), 2);
    EXPECT_EQ(log(), "Translated server " + host + " to IP addy: 0.0.0.0 and port = 80\n" +
                         error_block(local, host, "/x", 0, 0, 1, 0, 20011, " (#0)"));
}

TEST_F(Http, EmptyServerNameFailsLikeAnUnknownHost)
{
    set_proxy("127.0.0.1", free_loopback_port());  // not even the proxy is asked
    const std::string local = dir / "noname";
    EXPECT_EQ(http.net_check(0, "", "/x", local), 2);
    EXPECT_EQ(log(), "Translated server  to IP addy: 0.0.0.0 and port = 80\n" +
                         error_block(local, "", "/x", 0, 0, 1, 0, 20011, " (#0)"));
}

TEST_F(Http, BusySlotIgnoresNewArgumentsAndFreesAfterwards)
{
    ScriptServer first({read_request(), pause_ms(100), send(ok_response("first"))});
    use_server(first);
    ASSERT_EQ(http.net_check(3, kHost, "/one", dir / "one"), 0);
    ScriptServer second({read_request(), send(ok_response("second"))});
    use_server(second);
    EXPECT_EQ(fetch(3, "other.example", "/two", dir / "two"), 1);
    EXPECT_EQ(read_file(dir / "one"), "first");
    EXPECT_FALSE(exists(dir / "two"));
    EXPECT_EQ(second.connections(), 0);

    // Freed: the next call starts the new request.
    EXPECT_EQ(fetch(3, "other.example", "/two", dir / "two"), 1);
    EXPECT_EQ(read_file(dir / "two"), "second");
    EXPECT_NE(second.received().find("GET http://other.example/two "), std::string::npos);
}

TEST_F(Http, FailedSlotStartsAfreshOnTheNextCall)
{
    ScriptServer server({read_request(), send(http_response(500, "Oops", ""))});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/a", dir / "a"), 2);
    EXPECT_EQ(fetch(2, kHost, "/a", dir / "a"), 2);
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(Http, OutputFileProblemsFail)
{
    ScriptServer server({read_request(), send(ok_response("data"))});
    use_server(server);
    // A missing folder.
    EXPECT_EQ(fetch(2, kHost, "/a", dir / "no/such/file"), 2);
    EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(ENOENT) + "\n"), std::string::npos);

    // A link planted at the output name is not followed.
    write_file(dir / "victim", "keep");
    ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "0.zip").c_str()), 0);
    EXPECT_EQ(fetch(2, kHost, "/a", dir / "0.zip"), 2);
    EXPECT_EQ(read_file(dir / "victim"), "keep");
    EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(ELOOP) + "\n"), std::string::npos);
}

TEST_F(Http, DiskFullIsNoSuccess)
{
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    ScriptServer server({read_request(), send(ok_response("data"))});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/a", "/dev/full"), 2);
    EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(ENOSPC) + "\n"), std::string::npos);
}

TEST_F(Http, HeaderFloodFails)
{
    ScriptServer server({read_request(), send("HTTP/1.1 200 OK\r\n"),
                         send(std::string(1 << 20, 'H'))});
    use_server(server);
    EXPECT_EQ(fetch(2, kHost, "/a", dir / "a"), 2);
    EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(EBADMSG) + "\n"), std::string::npos);
}

TEST(HttpProxy, UseProxyNeedsHostAndPortAndHonoursExclusions)
{
    const auto saved = std::make_tuple(http.proxy_host, http.proxy_port_int);
    http.proxy_host = "";
    http.proxy_port_int = 8080;
    EXPECT_FALSE(UseProxy("a.example", 80));
    http.proxy_host = "proxy.example";
    http.proxy_port_int = 0;
    EXPECT_FALSE(UseProxy("a.example", 80));
    EXPECT_STREQ(ProxyHost("a.example", 80), "a.example");
    EXPECT_EQ(ProxyPort("a.example", 80), 80);
    http.proxy_port_int = 65536 + 3128;
    EXPECT_TRUE(UseProxy("a.example", 80));
    EXPECT_STREQ(ProxyHost("a.example", 80), "proxy.example");
    EXPECT_EQ(ProxyPort("a.example", 80), 3128);

    gProxyExclude = {"very.long.ending.example", ".local", "B.example"};
    EXPECT_FALSE(UseProxy("printer.local", 80));
    EXPECT_TRUE(UseProxy("b.example", 80));  // letter case counts
    EXPECT_FALSE(UseProxy("B.example", 80));
    gProxyExclude.clear();
    std::tie(http.proxy_host, http.proxy_port_int) = saved;
}

// Misuse ends the program with its alert.
TEST(HttpMisuse, FatalAlerts)
{
    struct Case {
        int slot;
        std::string server, path, first_line;
    } cases[] = {
        {6, "a.example", "/x", "Too many download objects requested!"},
        {-1, "a.example", "/x", "Too many download objects requested!"},
        {0, "a.example/", "/x", "net_check error! You have a dirchar at the end of the server name!"},
        {0, "a.example", "x", "net_check error! You do not have a dirchar at the beginning of the "
                              "directory name!"},
        {0, "a.example", "", "net_check error! You do not have a dirchar at the beginning of the "
                             "directory name!"},
    };
    for (const Case& c : cases) {
        const ChildResult r = run_in_child([&] { http.net_check(c.slot, c.server, c.path, "/dev/null"); });
        EXPECT_EQ(r.signal, SIGABRT) << c.first_line;
        EXPECT_EQ(r.out.rfind("Skarvel Error:\n" + c.first_line + "\n", 0), 0u) << r.out;
    }
}

// ---------------------------------------------------------------------------
// Real servers.

class HttpRealServers : public Http {
protected:
    void SetUp() override
    {
        Http::SetUp();
        mkdir((dir / "site").c_str(), 0755);
        mkdir((dir / "site/Brennix 9").c_str(), 0755);
        std::mt19937 rng(7);
        content.resize(3 * 1024 * 1024 + 17);
        for (char& ch : content) ch = char(rng());
        write_file(dir / "site/Brennix 9/big file.zip", content);
    }
    std::string content;
    // All four download slots at once, through a proxy on `port`.
    void fetch_four_at_once(unsigned short port)
    {
        set_proxy("127.0.0.1", port);
        int results[4] = {0, 0, 0, 0};
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < until &&
               (!results[0] || !results[1] || !results[2] || !results[3])) {
            for (int s = 0; s < 4; ++s)
                if (!results[s])
                    results[s] = http.net_check(2 + s, kHost, "/Brennix 9/big file.zip",
                                                dir / (std::to_string(s) + ".zip"));
        }
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(results[s], 1) << s;
            EXPECT_TRUE(read_file(dir / (std::to_string(s) + ".zip")) == content) << s;
        }
    }
};

TEST_F(HttpRealServers, NginxThroughTheProxySetting)
{
    NginxServer nginx(dir.path(), {{kHost, dir / "site"}});
    set_proxy("127.0.0.1", nginx.port());
    EXPECT_EQ(fetch(2, kHost, "/Brennix 9/big file.zip", dir / "2.zip"), 1);
    EXPECT_TRUE(read_file(dir / "2.zip") == content);
    EXPECT_EQ(fetch(3, kHost, "/missing.zip", dir / "3.zip"), 2);
    EXPECT_NE(log().find("   response   =Not Found (#404)\n"), std::string::npos);
}

TEST_F(HttpRealServers, TinyproxyInFrontOfNginx)
{
    NginxServer nginx(dir.path(), {{kHost, dir / "site"}});
    TinyProxy proxy(dir.path(), nginx.port());
    fetch_four_at_once(proxy.port());
}

// Header names in lower case.
TEST_F(HttpRealServers, HaproxyInFrontOfNginx)
{
    NginxServer nginx(dir.path(), {{kHost, dir / "site"}});
    HaProxy proxy(dir.path(), nginx.port());
    fetch_four_at_once(proxy.port());
    EXPECT_EQ(fetch(2, kHost, "/missing.zip", dir / "2.zip"), 2);
    EXPECT_NE(log().find("   response   =Not Found (#404)\n"), std::string::npos);
}

}  // namespace
