/* Preloaded into the installer by bench_installer: every buffer swap ends a
 * frame and appends one record to the file named by BRX_FRAME_LOG: the time
 * after the swap and running totals of what the process did (bytes received
 * from sockets, bytes written with write(), files renamed and unlinked,
 * connections opened, folders made, host names looked up). The differences
 * between two records are what happened during that frame. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

struct frame_record {
    int64_t t_ns;
    int64_t received, written;
    int32_t renames, unlinks, connects, mkdirs, lookups, pad;
};

static _Atomic int64_t received_, written_;
static _Atomic int32_t renames_, unlinks_, connects_, mkdirs_, lookups_;
static int log_fd = -2;

#define REAL(name)                                                   \
    static __typeof__(&name) real_##name;                            \
    if (!real_##name) real_##name = (__typeof__(&name))dlsym(RTLD_NEXT, #name)

void glXSwapBuffers(Display* d, GLXDrawable w)
{
    REAL(glXSwapBuffers);
    real_glXSwapBuffers(d, w);
    if (log_fd == -2) {
        const char* path = getenv("BRX_FRAME_LOG");
        log_fd = path ? (int)syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }
    if (log_fd < 0) return;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    struct frame_record r = {(int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec, received_, written_,
                             renames_, unlinks_, connects_, mkdirs_, lookups_, 0};
    syscall(SYS_write, log_fd, &r, sizeof r);
}

ssize_t recv(int fd, void* buf, size_t n, int flags)
{
    REAL(recv);
    const ssize_t got = real_recv(fd, buf, n, flags);
    if (got > 0) received_ += got;
    return got;
}

ssize_t write(int fd, const void* buf, size_t n)
{
    REAL(write);
    const ssize_t put = real_write(fd, buf, n);
    if (put > 0) written_ += put;
    return put;
}

int rename(const char* from, const char* to)
{
    REAL(rename);
    ++renames_;
    return real_rename(from, to);
}

int unlink(const char* path)
{
    REAL(unlink);
    ++unlinks_;
    return real_unlink(path);
}

int remove(const char* path)
{
    REAL(remove);
    ++unlinks_;
    return real_remove(path);
}

int connect(int fd, const struct sockaddr* a, socklen_t n)
{
    REAL(connect);
    ++connects_;
    return real_connect(fd, a, n);
}

int mkdir(const char* path, mode_t mode)
{
    REAL(mkdir);
    ++mkdirs_;
    return real_mkdir(path, mode);
}

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints, struct addrinfo** res)
{
    REAL(getaddrinfo);
    ++lookups_;
    return real_getaddrinfo(node, service, hints, res);
}
