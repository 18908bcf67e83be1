#include "test_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "GenC/hl_mnw.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp_state.h"
#include "TEX/TEX_bind.h"

namespace brx_test {

TempDir::TempDir()
{
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/brx-test-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("cannot create a temporary folder " + templ + ": " + strerror(errno));
    path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() { remove_tree(path_); }

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void remove_tree(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        chmod(p.c_str(), 0700);
        if (DIR* d = opendir(p.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == "..") continue;
                remove_tree(p + "/" + n);
            }
            closedir(d);
        }
        rmdir(p.c_str());
    } else {
        unlink(p.c_str());
    }
}

static void list_into(const std::string& root, const std::string& rel, std::vector<std::string>& out)
{
    DIR* d = opendir((root + rel).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        struct stat st;
        const std::string entry = rel + n;
        if (lstat((root + entry).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            out.push_back(entry + "/");
            list_into(root, entry + "/", out);
        } else {
            out.push_back(entry);
        }
    }
    closedir(d);
}

std::vector<std::string> list_tree(const std::string& root)
{
    std::vector<std::string> out;
    std::string r = root;
    if (!r.empty() && r.back() != '/') r += '/';
    list_into(r, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

bool send_all(int fd, const char* data, std::size_t n)
{
    while (n > 0) {
        const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        n -= static_cast<std::size_t>(sent);
    }
    return true;
}

std::vector<char*> exec_strings(const std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

int spawn_program(const std::vector<std::string>& argv, const std::vector<std::string>& env, int in, int out)
{
    if (argv.empty()) return -1;
    std::vector<char*> args = exec_strings(argv), envs = exec_strings(env);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (in >= 0) dup2(in, STDIN_FILENO);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        execve(args[0], args.data(), envs.data());
        _exit(127);
    }
    return pid;
}

std::string find_program(const std::string& name)
{
    if (name.find('/') != std::string::npos) return name;
    const char* path = getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/local/sbin:/usr/sbin:/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

int ended_pid()
{
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return static_cast<int>(pid);
}


namespace {

// A forked child shares the parent's X connection: one request from it
// scrambles the parent's replies, and the framework's shutdown after a fatal
// alert would destroy the parent's window. The child forgets the connection
// and what lives on it (never closing them), so a window it opens comes on a
// connection of its own.
void forget_parents_display()
{
    mnw.display = nullptr;
    mnw.visual = nullptr;
    mnw.xwin[0] = mnw.xwin[1] = 0;
    mnw.glx_ctx[0] = mnw.glx_ctx[1] = nullptr;
    mnw.sec_mon_made = 0;
    // What the binder and the state switches remember is the parent's context.
    TEX_reset_bind();
    OGL_forget_state();
}

}  // namespace

ChildResult run_in_child(const std::function<void()>& body, const std::string& cwd)
{
    // What a child leaves in its current folder (an alert's memory log) must
    // not land where the tests run.
    std::unique_ptr<TempDir> scratch;
    if (cwd.empty()) scratch = std::make_unique<TempDir>();
    const std::string folder = scratch ? scratch->path() : cwd;
    fflush(stdout);
    fflush(stderr);
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A child whose test was ended by a time-out (a modal window waiting
        // for a hand that gave up) must not go on drawing for ever.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(96);
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        if (chdir(folder.c_str()) != 0) _exit(98);
        forget_parents_display();
        body();
        fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    ChildResult r;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

std::string this_program()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : "";
}

namespace {

std::string current_test_name()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : "";
}

// Runs the test `name` alone in a fresh start of this program, behind the
// command `runner` (which runs the rest of its line), with `marker` set to
// the name.
ChildResult run_alone(const std::string& name, const char* marker, std::vector<std::string> runner)
{
    runner.push_back(this_program());
    runner.push_back("--gtest_filter=" + name);
    std::vector<char*> argv = exec_strings(runner);
    return run_in_child([&] {
        setenv(marker, name.c_str(), 1);
        dup2(STDOUT_FILENO, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(97);
    });
}

void expect_passed_alone(const ChildResult& r)
{
    EXPECT_EQ(r.exit_code, 0) << "alone in a fresh process:\n" << r.out;
    EXPECT_TRUE(contains(r.out, "[  PASSED  ] 1 test.")) << r.out;
}

bool marked(const char* marker, const std::string& name)
{
    const char* mark = getenv(marker);
    return mark && name == mark;
}

}  // namespace

bool ran_in_fresh_process()
{
    const std::string name = current_test_name();
    constexpr const char* kMarker = "BRX_TEST_FRESH_PROCESS";
    if (name.empty() || marked(kMarker, name)) return false;
    expect_passed_alone(run_alone(name, kMarker, {}));
    return true;
}

bool ran_with_own_network()
{
    const std::string name = current_test_name();
    constexpr const char* kMarker = "BRX_TEST_OWN_NETWORK";
    if (name.empty() || geteuid() == 0) return false;
    if (marked(kMarker, name)) {
        // A new network namespace has its loopback down.
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq lo{};
        strncpy(lo.ifr_name, "lo", IFNAMSIZ - 1);
        if (fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &lo) == 0) {
            lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
            ioctl(fd, SIOCSIFFLAGS, &lo);
        }
        if (fd >= 0) close(fd);
        return false;
    }
    // unshare(1), a native program, makes the namespaces: a process under a
    // user-mode emulator has the emulator's thread, and cannot.
    const ChildResult r =
        run_alone(name, kMarker, {"/usr/bin/unshare", "--user", "--map-current-user", "--net", "--keep-caps", "--"});
    if (r.exit_code != 0 && r.out.rfind("unshare:", 0) == 0) {
        [&] { GTEST_SKIP() << "needs root, or a user and network namespace, and has neither: " << r.out; }();
        return true;
    }
    expect_passed_alone(r);
    return true;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

}  // namespace brx_test
