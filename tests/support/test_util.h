// Helpers shared by the test programs: scratch folders, files, and running a
// piece of code in a child process to watch its output and exit.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace brx_test {

// A fresh folder below the system's temporary folder, removed with its
// contents when the object goes away. path() ends in "/".
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);
inline bool contains(const std::string& text, const std::string& needle)
{
    return text.find(needle) != std::string::npos;
}
void write_file(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);
void remove_tree(const std::string& path);

// Every entry below `root`, as paths relative to it ("a/", "a/b"), sorted.
std::vector<std::string> list_tree(const std::string& root);

// Where a program is run from: `name` itself when it holds a "/", else the
// first executable of that name in PATH or, after it, in the folders where
// Debian installs system programs (a user's PATH leaves out /usr/sbin, where
// nginx and HAProxy lie); empty when there is none.
std::string find_program(const std::string& name);

// Sends all `n` bytes on a socket; false when the peer is gone.
bool send_all(int fd, const char* data, std::size_t n);

struct ChildResult {
    int exit_code = -1;  // the exit status, or -1 when killed by a signal
    int signal = 0;      // the signal that ended the child, or 0
    std::string out;     // what the child wrote to standard output
};

// Runs `body` in a forked child whose current folder is `cwd` (when empty, a
// temporary folder removed afterwards) and whose standard output is captured;
// the child exits 0 when `body` returns. The child starts without the
// parent's X connection, window and GL context.
ChildResult run_in_child(const std::function<void()>& body, const std::string& cwd = "");

// The strings as exec takes them: pointers into `strings`, which must outlive
// the result, then a null.
std::vector<char*> exec_strings(const std::vector<std::string>& strings);

// Starts the program argv[0] (a path) with exactly `env`, standard input from
// `in` and standard output and error to `out` (-1: left as they are); it dies
// with the test. The child's pid, or -1.
int spawn_program(const std::vector<std::string>& argv, const std::vector<std::string>& env, int in, int out);

// The pid of a process that has ended and been reaped: one that no process
// holds now.
int ended_pid();

// For a test that needs a process no earlier test has touched (a library
// that reads its settings once per process). In such a process it returns
// false and the test goes on; anywhere else it runs this one test in a fresh
// start of the test program, adds a failure when that run fails, and returns
// true: the caller then returns.
bool ran_in_fresh_process();

// For a test that needs root's rights on the network (a port below 1024).
// As root, or in the run it starts, it returns false and the test goes on;
// as another user it runs this one test in a fresh start of the test program
// inside a user and network namespace of its own (loopback up, the rights
// there), adds a failure when that run fails or skips the test when no such
// namespace can be had, and returns true: the caller then returns.
bool ran_with_own_network();

// The path of the running program (under a user-mode emulator, the emulated
// program's), for starting it again.
std::string this_program();

// Sets an environment variable for the lifetime of the object (nullptr unsets).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace brx_test
