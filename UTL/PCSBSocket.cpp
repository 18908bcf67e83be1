#include "UTL/PCSBSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Failures that end the connection rather than the socket: status 4, no message.
bool is_connection_failure(int err)
{
    switch (err) {
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case EHOSTUNREACH:
        return true;
    default:
        return false;
    }
}

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

void set_non_blocking(int fd)
{
    int on = 1;
    ioctl(fd, FIONBIO, &on);
}

}  // namespace

PCSBSocket::PCSBSocket(unsigned short port, bool listen)
    : fd(-1), status(status_idle), os_error(0), peer_released(false), released(false),
      listening(false)
{
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fputs("LINUX: NET: I could not even create the socket! Uh-oh!\n", stderr);
        fail(errno);
        return;
    }
    int on = 1;
    if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
        printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        fputs("LINUX: NET: I could not even bind the socket! Uh-oh!\n", stderr);
        fail(errno);
        return;
    }
    set_non_blocking(fd);
    if (listen) {
        listening = true;
        if (::listen(fd, 128) != 0) {
            fputs("LINUX: NET: I could not start listening! Uh-oh!\n", stderr);
            fail(errno);
        }
    }
}

PCSBSocket::PCSBSocket(int connected_fd)
    : fd(connected_fd), status(status_connected), os_error(0), peer_released(false),
      released(false), listening(false)
{
    set_non_blocking(fd);
}

PCSBSocket::~PCSBSocket()
{
    if (fd >= 0) {
        shutdown(fd, SHUT_RDWR);
        close(fd);
    }
}

void PCSBSocket::fail(int err)
{
    status = status_error;
    os_error = err;
}

bool PCSBSocket::StartupNetworking(bool) { return true; }

unsigned long PCSBSocket::LookupAddress(const char* name)
{
    // An empty name would make the resolver look up this machine's own name.
    if (!name || !*name) return 0;
    in_addr_t dotted = inet_addr(name);
    if (dotted != INADDR_NONE) return dotted;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;
    unsigned long address = 0;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(found);
    return address;
}

void PCSBSocket::Connect(unsigned long address, unsigned short port)
{
    status = status_connecting;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = static_cast<in_addr_t>(address);
    remote.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        status = status_connected;
        return;
    }
    const int err = errno;
    if (would_block(err) || err == EINPROGRESS) return;
    fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
    fail(err);
}

int PCSBSocket::GetStatus()
{
    if (status != status_idle && status != status_connecting) return status;
    if (status == status_idle && !listening) return status;

    // poll in place of select: a descriptor number above FD_SETSIZE must not
    // overrun an fd_set. The readiness sets are select's: an error counts as
    // writable, urgent data as exceptional.
    pollfd p{};
    p.fd = fd;
    p.events = status == status_idle ? POLLIN : (POLLOUT | POLLPRI);
    const int n = poll(&p, 1, 0);
    if (n < 0 && errno != EINTR) {
        const int err = errno;
        if (status == status_idle)
            fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", n);
        else
            fprintf(stderr,
                    "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
                    n, err, fd);
        fail(err);
        return status;
    }
    if (n <= 0) return status;

    if (status == status_idle) {
        if (p.revents & (POLLIN | POLLERR | POLLHUP)) status = status_connecting;
        return status;
    }
    const bool writable = p.revents & (POLLOUT | POLLERR | POLLHUP);
    const bool exceptional = p.revents & POLLPRI;
    status = writable && !exceptional ? status_connected : status_closed;
    return status;
}

long PCSBSocket::http_WriteData(const void* data, long length)
{
    // MSG_NOSIGNAL: a reset peer must not raise SIGPIPE in a program that kept
    // the default handler.
    const ssize_t sent = send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    return transfer_failed(errno, "sending");
}

long PCSBSocket::ReadData(void* buffer, long length)
{
    const ssize_t got = recv(fd, buffer, static_cast<size_t>(length), 0);
    if (got > 0) return static_cast<long>(got);
    if (got == 0) {
        peer_released = true;
        if (released) {
            status = status_closed;
            return -1;
        }
        return 0;
    }
    return transfer_failed(errno, "recving");
}

long PCSBSocket::transfer_failed(int err, const char* doing)
{
    if (would_block(err)) return 0;
    if (is_connection_failure(err))
        status = status_closed;
    else {
        fprintf(stderr, "LINUX: NET: Some sort of error while %s! %d\n", doing, err);
        fail(err);
    }
    return -1;
}

void PCSBSocket::Disconnect()
{
    shutdown(fd, SHUT_RDWR);
    status = status_closed;
}

void PCSBSocket::Release()
{
    released = true;
    if (shutdown(fd, SHUT_WR) != 0) fail(errno);
}

PCSBSocket* PCSBSocket::Accept()
{
    const int conn = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    status = status_idle;
    if (conn < 0) return nullptr;
    return new PCSBSocket(conn);
}

void PCSBSocket::GetAddresses(ConnectionData* out)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len);
    out->remote_addr = a.sin_addr.s_addr;
    out->remote_port = ntohs(a.sin_port);
    a = sockaddr_in{};
    len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    out->local_addr = ntohl(a.sin_addr.s_addr);
    out->local_port = ntohs(a.sin_port);
}

int printf_null(char*, ...) { return 0; }
