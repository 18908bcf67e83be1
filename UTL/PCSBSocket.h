// One IPv4 TCP socket in non-blocking mode with a status that its owner polls.
// Nothing here waits except the host-name lookup.
#pragma once

#include <cstdint>

class PCSBSocket {
public:
    enum {
        status_idle = 1,        // client: bound; listener: waiting for connections
        status_connecting = 2,  // client: connect in progress; listener: a connection waits
        status_connected = 3,
        status_closed = 4,      // shut down, or a connection-level failure
        status_error = 5        // os_error holds errno
    };

    struct ConnectionData {
        uint32_t local_addr;   // host byte order
        uint16_t local_port;   // host byte order
        uint32_t remote_addr;  // network byte order
        uint16_t remote_port;  // host byte order
    };

    PCSBSocket(unsigned short port, bool listen);
    explicit PCSBSocket(int fd);  // wraps a connected descriptor
    virtual ~PCSBSocket();
    PCSBSocket(const PCSBSocket&) = delete;
    PCSBSocket& operator=(const PCSBSocket&) = delete;

    static bool StartupNetworking(bool);
    void ShutdownNetworking(bool) {}

    // Network byte order; 0 when the name cannot be resolved.
    static unsigned long LookupAddress(const char* name);

    void Connect(unsigned long address, unsigned short port);
    int GetStatus();
    long http_WriteData(const void* data, long length);
    long ReadData(void* buffer, long length);
    void Disconnect();
    void Release();
    bool ReceivedRelease() const { return peer_released; }
    int GetOSError() const { return os_error; }
    PCSBSocket* Accept();
    void GetAddresses(ConnectionData* out);

    int fd;
    int status;
    int os_error;
    bool peer_released;
    bool released;
    bool listening;

private:
    void fail(int err);
    // A failed send or receive: 0 when it would block, else -1 and the status.
    long transfer_failed(int err, const char* doing);
};

int printf_null(char* format, ...);
