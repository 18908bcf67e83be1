#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UTL/PCSBSocket.h"
#include "support/http_servers.h"
#include "support/script_server.h"

namespace {

using namespace brx_test;
using Clock = std::chrono::steady_clock;

const unsigned long kLoopback = inet_addr("127.0.0.1");

// Polls until the socket leaves `from`, for at most thirty seconds.
int status_after(PCSBSocket& s, int from)
{
    const auto until = Clock::now() + std::chrono::seconds(30);
    int st = s.GetStatus();
    while (st == from && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        st = s.GetStatus();
    }
    return st;
}

// Reads until `want` bytes arrived or the socket stops being connected.
std::string read_bytes(PCSBSocket& s, size_t want)
{
    std::string got;
    const auto until = Clock::now() + std::chrono::seconds(30);
    char buf[4096];
    while (got.size() < want && Clock::now() < until) {
        const long n = s.ReadData(buf, sizeof buf);
        if (n < 0 || (n == 0 && s.ReceivedRelease())) break;
        got.append(buf, static_cast<size_t>(n));
        if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

TEST(Socket, LookupAddress)
{
    EXPECT_EQ(PCSBSocket::LookupAddress("127.0.0.1"), kLoopback);
    EXPECT_EQ(PCSBSocket::LookupAddress("10.1.2.3"), inet_addr("10.1.2.3"));
    EXPECT_EQ(PCSBSocket::LookupAddress(""), 0u);
    EXPECT_EQ(PCSBSocket::LookupAddress(nullptr), 0u);
    // A label longer than 63 characters fails inside the resolver library,
    // before any query could be sent.
    EXPECT_EQ(PCSBSocket::LookupAddress((std::string(70, 'x') + ".invalid").c_str()), 0u);
}

TEST(Socket, ListenerAcceptsAndBothSidesTalk)
{
    PCSBSocket listener(0, true);
    ASSERT_EQ(listener.GetStatus(), 1);
    PCSBSocket::ConnectionData own{};
    listener.GetAddresses(&own);
    ASSERT_NE(own.local_port, 0);

    PCSBSocket client(0, false);
    EXPECT_EQ(client.GetStatus(), 1);
    client.Connect(kLoopback, own.local_port);
    EXPECT_EQ(status_after(client, 2), 3);
    EXPECT_EQ(status_after(listener, 1), 2);
    std::unique_ptr<PCSBSocket> peer(listener.Accept());
    ASSERT_TRUE(peer);
    EXPECT_EQ(listener.status, 1);
    EXPECT_EQ(peer->GetStatus(), 3);

    PCSBSocket::ConnectionData c{};
    client.GetAddresses(&c);
    EXPECT_EQ(c.remote_addr, kLoopback);
    EXPECT_EQ(c.remote_port, own.local_port);
    EXPECT_EQ(c.local_addr, 0x7f000001u);

    char buf[16];
    EXPECT_EQ(client.ReadData(buf, sizeof buf), 0);  // nothing yet: would block
    EXPECT_EQ(peer->http_WriteData("hello", 5), 5);
    EXPECT_EQ(read_bytes(client, 5), "hello");

    // The peer's orderly release: 0 bytes, status still connected.
    peer->Release();
    EXPECT_TRUE(peer->released);
    EXPECT_EQ(read_bytes(client, 1), "");
    EXPECT_TRUE(client.ReceivedRelease());
    EXPECT_EQ(client.GetStatus(), 3);

    // Both sides released: the next read closes.
    client.Release();
    char b;
    long n = 0;
    const auto until = Clock::now() + std::chrono::seconds(30);
    while ((n = peer->ReadData(&b, 1)) == 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(n, -1);
    EXPECT_EQ(peer->GetStatus(), 4);

    client.Disconnect();
    EXPECT_EQ(client.GetStatus(), 4);
}

TEST(Socket, RefusedConnectionShowsAtFirstReadAsClosed)
{
    PCSBSocket s(0, false);
    s.Connect(kLoopback, free_loopback_port());
    EXPECT_EQ(status_after(s, 2), 3);  // writable, pending error not read
    char buf[8];
    EXPECT_EQ(s.ReadData(buf, sizeof buf), -1);
    EXPECT_EQ(s.GetStatus(), 4);
    EXPECT_EQ(s.GetOSError(), 0);
}

TEST(Socket, ResetByPeerClosesWithoutError)
{
    ScriptServer server({pause_ms(20), reset_connection()});
    PCSBSocket s(0, false);
    s.Connect(kLoopback, server.port());
    ASSERT_EQ(status_after(s, 2), 3);
    char buf[8];
    long n = 0;
    const auto until = Clock::now() + std::chrono::seconds(30);
    while ((n = s.ReadData(buf, sizeof buf)) == 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(n, -1);
    EXPECT_EQ(s.GetStatus(), 4);
    // Sending on it now fails, without raising SIGPIPE.
    EXPECT_EQ(s.http_WriteData("x", 1), -1);
}

TEST(Socket, FullSendBufferReturnsZero)
{
    // The connection waits in the listener's backlog: nobody ever reads.
    PCSBSocket listener(0, true);
    PCSBSocket::ConnectionData own{};
    listener.GetAddresses(&own);
    PCSBSocket s(0, false);
    s.Connect(kLoopback, own.local_port);
    ASSERT_EQ(status_after(s, 2), 3);
    std::vector<char> block(1 << 20, 'x');
    long sent = 1;
    for (int i = 0; i < 1000 && sent > 0; ++i) sent = s.http_WriteData(block.data(), long(block.size()));
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(s.GetStatus(), 3);
}

TEST(Socket, ConnectOnUnusableDescriptorIsAnError)
{
    PCSBSocket s(0, false);
    close(s.fd);
    s.fd = -1;
    s.Connect(kLoopback, 9);
    EXPECT_EQ(s.GetStatus(), 5);
    EXPECT_NE(s.GetOSError(), 0);
}

// Descriptors above FD_SETSIZE are polled without overrunning a select set.
TEST(Socket, HighDescriptorNumbers)
{
    rlimit lim{};
    getrlimit(RLIMIT_NOFILE, &lim);
    if (lim.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low";
    const rlimit old = lim;
    lim.rlim_cur = lim.rlim_max;
    setrlimit(RLIMIT_NOFILE, &lim);
    std::vector<int> fillers;
    auto release = [&] {
        for (int fd : fillers) close(fd);
        setrlimit(RLIMIT_NOFILE, &old);
    };
    const int source = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        const int err = errno;
        release();
        GTEST_SKIP() << "cannot open /dev/null: " << strerror(err);
    }
    fillers.push_back(source);
    while (fillers.back() < 1100) {
        const int fd = dup(source);
        if (fd < 0) {
            const int err = errno;
            release();
            GTEST_SKIP() << "cannot fill descriptors up to 1100: " << strerror(err);
        }
        fillers.push_back(fd);
    }

    PCSBSocket listener(0, true);
    PCSBSocket::ConnectionData own{};
    listener.GetAddresses(&own);
    PCSBSocket client(0, false);
    EXPECT_GT(client.fd, 1100);
    client.Connect(kLoopback, own.local_port);
    EXPECT_EQ(status_after(client, 2), 3);
    EXPECT_EQ(status_after(listener, 1), 2);
    delete listener.Accept();
    release();
}

}  // namespace
