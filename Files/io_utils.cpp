#include "Files/io_utils.h"

#include <cerrno>
#include <cstdio>

namespace {
struct err_msg {
    int code;
    const char* text;
};

const err_msg kErrMsgs[] = {
    {20001, "We were unable to open a zip file. It may be missing or damaged"},
    {20002, "We were unable to read from a zip file. It may be missing or damaged"},
    {20003, "We were unable to create a zip file"},
    {20004, "We were unable to write to a zip file. It may be missing or damaged"},
    {20005, "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source file is probably damaged"},
    {20006, "We could not open a file to read from it"},
    {20007, "We were unable to connct to the network due to an internal reconnect error"},
    {20008, "We wre unable to connect to the network due to a bad state error"},
    {20009, "We could not allocate a connection to the network"},
    {20010, "We could not write the incoming file from the web to disk"},
    {20011, "We could not find the server over the network"},
    {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    {0, nullptr},
};
}  // namespace

std::string error_str(int code)
{
    for (const err_msg* row = kErrMsgs; row->text; ++row)
        if (row->code == code) return row->text;
    char buf[256];
    snprintf(buf, sizeof buf, "Unknown error occurred (%d)", code);
    return buf;
}

int show_make_dir_err(int code) { return (code != 0 && code != EEXIST) ? 1 : 0; }

int show_del_err(int) { return 0; }
