#include "support/installer_run.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "OOPS_cpp/oglp_layout.h"
#include "images/builtin_images.h"
#include "support/image_util.h"
#include "support/test_util.h"

namespace brx_test {
namespace {

std::string without_slash(std::string p)
{
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// Every folder from the first below /tmp down to `path` itself.
std::vector<std::string> folders_below_tmp(const std::string& path)
{
    std::vector<std::string> out;
    for (size_t slash = path.find('/', 5); slash != std::string::npos; slash = path.find('/', slash + 1))
        out.push_back(path.substr(0, slash));
    out.push_back(path);
    return out;
}

void write_all(int fd, const void* data, size_t n) { (void)!write(fd, data, n); }

bool read_all(int fd, void* data, size_t n)
{
    for (size_t done = 0; done < n;) {
        const ssize_t got = read(fd, static_cast<char*>(data) + done, n - done);
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

// A tmpfs the holder mounts on request, both texts ending in '\0'; small
// enough that a pipe carries it whole.
struct MountRequest {
    char folder[1024];
    char options[64];
};

// What the holder is to do, in its environment: the status and request pipes
// ("<fd> <fd>"), the file bound over /etc/hosts (an empty line for none), then
// one folder below /tmp per line that stays visible inside.
constexpr const char* kHolderPlan = "BRX_PRIVATE_TMP_HOLDER";

// The steps of the holder's set-up, for its answer.
const char* const kSteps[] = {"", "", "making / private", "mounting /tmp", "binding a shared folder",
                              "binding /etc/hosts"};

// The namespace holder: this same program, started by unshare(1) inside the
// new namespaces, with the capabilities it has there. It makes the private
// /tmp, answers, then makes the mounts asked of it (a mount tool, run by a
// user other than root, refuses to) until the request pipe closes.
[[noreturn]] void hold_namespaces(const std::string& plan)
{
    std::istringstream lines(plan);
    std::string line, hosts_file;
    std::getline(lines, line);
    int status = -1, requests = -1;
    std::istringstream(line) >> status >> requests;
    std::getline(lines, hosts_file);
    std::vector<std::string> shared;
    while (std::getline(lines, line))
        if (!line.empty()) shared.push_back(line);

    int step = 0, err = 0;
    const auto fail = [&](int at) {
        if (step != 0) return;
        err = errno;
        step = at;
    };
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) fail(2);
    // The shared folders are opened before the tmpfs covers them.
    std::vector<int> opened;
    for (const std::string& f : shared) opened.push_back(open(f.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (step == 0 && mount("tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0) fail(3);
    for (size_t i = 0; step == 0 && i < shared.size(); ++i) {
        if (opened[i] < 0) continue;
        for (const std::string& f : folders_below_tmp(shared[i])) mkdir(f.c_str(), 0755);
        const std::string source = "/proc/self/fd/" + std::to_string(opened[i]);
        if (mount(source.c_str(), shared[i].c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) fail(4);
    }
    if (step == 0 && !hosts_file.empty() && mount(hosts_file.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
        fail(5);
    const int answer[2] = {step, err};
    write_all(status, answer, sizeof answer);
    if (step != 0) _exit(1);
    MountRequest request;
    while (read_all(requests, &request, sizeof request)) {
        request.folder[sizeof request.folder - 1] = request.options[sizeof request.options - 1] = '\0';
        err = mount("tmpfs", request.folder, "tmpfs", MS_NOSUID | MS_NODEV, request.options) == 0 ? 0 : errno;
        write_all(status, &err, sizeof err);
    }
    _exit(0);
}

// Before main: a program started as the holder does nothing else.
[[maybe_unused]] const bool g_holder = [] {
    if (const char* plan = getenv(kHolderPlan)) hold_namespaces(plan);
    return false;
}();

}  // namespace

namespace {

// Runs a system tool with its output dropped; its exit status, or -1.
int run_quietly(const std::vector<std::string>& argv)
{
    std::vector<char*> args = exec_strings(argv);
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, STDIN_FILENO);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// useradd and userdel take the account files' lock: tests that run at once
// may have to wait for each other.
bool run_with_retries(const std::vector<std::string>& argv)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (run_quietly(argv) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace

TestAccount::TestAccount()
{
    if (geteuid() != 0) {
        error_ = "only root can make another account";
        return;
    }
    static int count = 0;
    name_ = "brx-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++count);
    if (!run_with_retries({find_program("useradd"), "--system", "--user-group", "--no-create-home", "--home-dir",
                           "/nonexistent", "--shell", "/usr/sbin/nologin", name_})) {
        error_ = "useradd " + name_ + " failed";
        return;
    }
    made_ = true;
    const passwd* pw = getpwnam(name_.c_str());
    if (!pw) {
        error_ = "the new account " + name_ + " cannot be found";
        return;
    }
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
}

TestAccount::~TestAccount()
{
    if (made_) run_with_retries({find_program("userdel"), name_});
}

void TestAccount::give(const std::string& path) const
{
    if (lchown(path.c_str(), uid_, gid_) != 0) return;
    for (const std::string& e : list_tree(path)) lchown((without_slash(path) + "/" + e).c_str(), uid_, gid_);
}

std::string private_tmp_unavailable()
{
    const PrivateTmp probe({});
    return probe.ok() ? "" : probe.error();
}

PrivateTmp::PrivateTmp(const std::vector<std::string>& shared, const std::string& hosts)
{
    std::string hosts_file;
    if (!hosts.empty() && !shared.empty()) {
        hosts_file = without_slash(shared[0]) + "/hosts";
        write_file(hosts_file, hosts);
    }
    int status[2], requests[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    if (pipe2(requests, O_CLOEXEC) != 0) {
        close(status[0]);
        close(status[1]);
        error_ = "pipe failed";
        return;
    }
    std::string plan = std::string(kHolderPlan) + "=" + std::to_string(status[1]) + " " +
                       std::to_string(requests[0]) + "\n" + hosts_file + "\n";
    for (const std::string& s : shared) {
        const std::string p = without_slash(s);
        if (p.rfind("/tmp/", 0) != 0) continue;
        plan += p + "\n";
        shared_tops_.push_back(folders_below_tmp(p).front().substr(5));
    }
    struct stat st;
    if (stat("/tmp/.X11-unix", &st) == 0) {
        plan += "/tmp/.X11-unix\n";
        shared_tops_.push_back(".X11-unix");
    }

    // The namespaces are made by unshare(1), a native program: a process of
    // the 32-bit build under a user-mode emulator has the emulator's thread
    // besides its own, and a process with threads cannot make a user
    // namespace. A user other than root maps itself into one of its own,
    // where it may mount, and keeps the capabilities it has there.
    user_ns_ = geteuid() != 0;
    std::vector<std::string> cmd{"/usr/bin/unshare", "--mount", "--propagation", "private"};
    if (user_ns_) cmd.insert(cmd.end(), {"--user", "--map-current-user", "--keep-caps"});
    cmd.insert(cmd.end(), {"--", this_program()});
    std::vector<char*> args = exec_strings(cmd), envs;
    for (char** e = environ; *e; ++e) envs.push_back(*e);
    envs.push_back(plan.data());
    envs.push_back(nullptr);
    // What unshare(1) says when it fails.
    const int errors = memfd_create("unshare-errors", MFD_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (errors >= 0) dup2(errors, STDERR_FILENO);
        fcntl(status[1], F_SETFD, 0);
        fcntl(requests[0], F_SETFD, 0);
        execve(args[0], args.data(), envs.data());
        _exit(127);
    }
    close(status[1]);
    close(requests[0]);
    int answer[2] = {-1, 0};
    const bool got = pid > 0 && read_all(status[0], answer, sizeof answer);
    if (!got || answer[0] != 0) {
        std::string said;
        char buf[512];
        const ssize_t n = errors >= 0 ? pread(errors, buf, sizeof buf, 0) : 0;
        if (n > 0) said = ": " + std::string(buf, static_cast<size_t>(n));
        while (!said.empty() && said.back() == '\n') said.pop_back();
        std::string tried;
        for (size_t i = 0; i + 2 < cmd.size(); ++i) tried += (i ? " " : "") + cmd[i];
        error_ = got && answer[0] > 1 && answer[0] < 6
                     ? std::string(kSteps[answer[0]]) + " failed: " + strerror(answer[1])
                     : tried + " failed" + said;
        close(status[0]);
        close(requests[1]);
        if (pid > 0) waitpid(pid, nullptr, 0);
    } else {
        holder_ = pid;
        reply_fd_ = status[0];
        request_fd_ = requests[1];
    }
    if (errors >= 0) close(errors);
}

PrivateTmp::~PrivateTmp()
{
    if (request_fd_ >= 0) close(request_fd_);
    if (reply_fd_ >= 0) close(reply_fd_);
    if (holder_ > 0) waitpid(holder_, nullptr, 0);
}

std::vector<std::string> PrivateTmp::tmp_files() const
{
    std::vector<std::string> out;
    const std::string tmp = outside("/tmp/");
    DIR* d = opendir(tmp.c_str());
    if (!d) return out;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." ||
            std::find(shared_tops_.begin(), shared_tops_.end(), name) != shared_tops_.end())
            continue;
        struct stat st;
        const bool folder = lstat((tmp + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out.push_back(folder ? name + "/" : name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::string PrivateTmp::outside(const std::string& path) const
{
    return "/proc/" + std::to_string(holder_) + "/root" + path;
}

// The command that runs `argv` inside the namespace. A program cannot setns
// into a mount namespace while another thread shares its file-system state,
// and under a user-mode emulator (how the 32-bit build runs on a kernel
// without 32-bit support) every process has such a thread; nsenter, a native
// program, enters for it, and the shell takes the working folder inside.
std::vector<std::string> PrivateTmp::inside(const std::string& cwd, const std::vector<std::string>& argv,
                                            const TestAccount* account) const
{
    const std::string ns = "/proc/" + std::to_string(holder_) + "/ns/";
    std::vector<std::string> cmd = {"/usr/bin/nsenter"};
    if (user_ns_) {
        cmd.push_back("--user=" + ns + "user");
        cmd.push_back("--preserve-credentials");
    }
    cmd.push_back("--mount=" + ns + "mnt");
    if (account) {
        cmd.push_back("--setgid=" + std::to_string(account->gid()));
        cmd.push_back("--setuid=" + std::to_string(account->uid()));
    }
    cmd.insert(cmd.end(), {"--", "/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", cwd});
    cmd.insert(cmd.end(), argv.begin(), argv.end());
    return cmd;
}

pid_t PrivateTmp::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        const std::string& cwd, const std::string& output, const TestAccount* account) const
{
    if (!ok() || argv.empty()) return -1;
    const int out = output.empty() ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                                   : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const std::vector<std::string> cmd = inside(cwd, argv, account);
    const pid_t pid = spawn_program(cmd, env, in, out);
    if (out >= 0) close(out);
    if (in >= 0) close(in);
    return pid;
}

bool PrivateTmp::mount_tmpfs(const std::string& folder, long long bytes) const
{
    MountRequest request{};
    const std::string target = without_slash(folder);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (!ok() || target.size() >= sizeof request.folder || options.size() >= sizeof request.options) return false;
    memcpy(request.folder, target.c_str(), target.size());
    memcpy(request.options, options.c_str(), options.size());
    int err = -1;
    return write(request_fd_, &request, sizeof request) == static_cast<ssize_t>(sizeof request) &&
           read(reply_fd_, &err, sizeof err) == static_cast<ssize_t>(sizeof err) && err == 0;
}

InstallerProcess::InstallerProcess(const PrivateTmp& ns, const std::string& binary, const std::string& folder,
                                   const std::string& home, const std::string& display,
                                   const std::vector<std::string>& args, const std::vector<std::string>& env,
                                   const TestAccount* account)
    : ns_(ns), folder_(folder), home_(home)
{
    for (const std::string& f : {folder, home})
        for (size_t slash = f.find('/', 1); slash != std::string::npos; slash = f.find('/', slash + 1))
            mkdir(f.substr(0, slash).c_str(), 0755);
    // An earlier run's log in the same folder would pass for this run's.
    unlink((folder + "Log.txt").c_str());
    const std::string program = folder + "Brennix Installer";
    write_file(program, read_file(binary));
    chmod(program.c_str(), 0755);
    if (account) {
        account->give(folder);
        if (!home.empty()) account->give(home);
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> vars{"DISPLAY=" + display, "PATH=/usr/bin:/bin", "LIBGL_ALWAYS_SOFTWARE=1",
                                  "GALLIUM_DRIVER=llvmpipe"};
    if (!home.empty()) vars.push_back("HOME=" + without_slash(home));
    // A sanitizer build of the program reports as the tests are told to.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = getenv(name)) vars.push_back(std::string(name) + "=" + value);
    vars.insert(vars.end(), env.begin(), env.end());
    pid_ = ns.spawn(argv, vars, folder, folder + "output.txt", account);
}

InstallerProcess::~InstallerProcess() { kill_now(); }

bool InstallerProcess::running() { return pid_ > 0 && status_ < 0 && wait_exit(0) < 0; }

int InstallerProcess::wait_exit(double seconds)
{
    if (status_ >= 0 || pid_ <= 0) return status_;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= until) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void InstallerProcess::kill_now()
{
    if (pid_ <= 0 || status_ >= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = 128 + SIGKILL;
}

std::string InstallerProcess::log() const { return read_file(folder_ + "Log.txt"); }
std::string InstallerProcess::output() const { return read_file(folder_ + "output.txt"); }
std::string InstallerProcess::prefs() const { return read_file(home_ + ".brennix/Brennix Installer.prf"); }

std::string InstallerProcess::temp_folder() const
{
    const std::string log_text = log();
    const std::string label = "os_dir_temp\t\t\t=";
    const size_t at = log_text.find(label);
    if (at == std::string::npos) return "";
    const size_t from = at + label.size(), end = log_text.find('\n', from);
    if (end == std::string::npos) return "";  // the line is not whole yet
    return log_text.substr(from, end - from);
}

std::string InstallerProcess::in_temp_folder(const std::string& name) const
{
    const std::string folder = temp_folder();
    return folder.empty() ? "" : ns_.outside(folder + name);
}

MakerServers::MakerServers(const std::string& work, const Release& release, const std::string& flaky_host,
                           const std::string& nginx_http_conf, FrontProxy front)
    : site_(work + "site/")
{
    mkdir(site_.c_str(), 0755);
    build_release(release, site_);
    std::map<std::string, std::string> sites{{kMakerHost, site_}};
    for (const ReleaseServer& s : release.servers) sites[s.host] = site_;
    mkdir((work + "nginx").c_str(), 0755);
    mkdir((work + "proxy").c_str(), 0755);
    nginx_ = std::make_unique<NginxServer>(work + "nginx/", sites, nginx_http_conf);
    if (front == FrontProxy::haproxy)
        proxy_ = std::make_unique<HaProxy>(work + "proxy/", nginx_->port());
    else
        proxy_ = std::make_unique<TinyProxy>(work + "proxy/", nginx_->port());
    // The forwarder stands in front of the proxy, so that its resets reach
    // the program (tinyproxy would hold the program's connection open).
    if (!flaky_host.empty()) front_ = std::make_unique<FlakyFront>(proxy_->port(), flaky_host);
}

std::string MakerServers::served(const Release& release, const ReleaseServer& server) const
{
    std::string prefix = server.path_prefix;
    while (!prefix.empty() && prefix.front() == '/') prefix.erase(0, 1);
    return site_ + prefix + release.version_name + "/";
}

CanvasShot CanvasShot::take(const std::string& display)
{
    CanvasShot shot;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return shot;
    XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, 1024, 768, AllPlanes, ZPixmap);
    if (img) {
        shot.pixels_.resize(1024 * 768);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                const unsigned long p = XGetPixel(img, x, y);
                shot.pixels_[static_cast<size_t>(y) * 1024 + x] = {static_cast<int>((p >> 16) & 0xFF),
                                                                   static_cast<int>((p >> 8) & 0xFF),
                                                                   static_cast<int>(p & 0xFF)};
            }
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return shot;
}

Rgb CanvasShot::at(int x, int y) const
{
    if (pixels_.empty() || x < 0 || x >= 1024 || y < 1 || y > 768) return {-1, -1, -1};
    return pixels_[static_cast<size_t>(768 - y) * 1024 + x];
}

std::pair<int, int> CanvasShot::ink(int x0, int x1, int y0, int y1, Rgb colour, int tolerance) const
{
    int first = -1, last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const Rgb p = at(x, y);
            if (std::abs(p.r - colour.r) > tolerance || std::abs(p.g - colour.g) > tolerance ||
                std::abs(p.b - colour.b) > tolerance)
                continue;
            if (first < 0 || x < first) first = x;
            if (x > last) last = x;
        }
    return {first, last};
}

bool CanvasShot::same(const CanvasShot& other, int x0, int x1, int y0, int y1) const
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (!(at(x, y) == other.at(x, y))) return false;
    return true;
}

bool CanvasShot::save_png(const std::string& path) const
{
    if (pixels_.empty()) return false;
    std::vector<std::vector<uint8_t>> rows(768, std::vector<uint8_t>(1024 * 3));
    for (size_t y = 0; y < 768; ++y)
        for (size_t x = 0; x < 1024; ++x) {
            const Rgb& p = pixels_[y * 1024 + x];
            rows[y][3 * x] = static_cast<uint8_t>(p.r);
            rows[y][3 * x + 1] = static_cast<uint8_t>(p.g);
            rows[y][3 * x + 2] = static_cast<uint8_t>(p.b);
        }
    png_spec spec(1024, 768);
    spec.gamma = 0;
    write_file(path, make_png(spec, rows));
    return exists(path);
}

namespace {

bool xdotool(const std::string& display, const std::string& args)
{
    const std::string cmd = "DISPLAY=" + display + " xdotool " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace

bool click_canvas(const std::string& display, int x, int y)
{
    return xdotool(display, "mousemove --sync " + std::to_string(x) + " " + std::to_string(768 - y) + " click 1");
}

bool move_mouse(const std::string& display, int x, int y)
{
    return xdotool(display, "mousemove --sync " + std::to_string(x) + " " + std::to_string(768 - y));
}

bool press_keys(const std::string& display, const std::string& keys) { return xdotool(display, "key " + keys); }

bool type_text(const std::string& display, const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return xdotool(display, "type --delay 40 " + quoted + "'");
}

bool eventually(const std::function<bool()>& pred, double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pred();
}

namespace {

Rgb atlas_swatch(int s, int t)
{
    const unsigned char* texel = t_interface_dat + (static_cast<size_t>(t) * 512 + s) * 4;
    return {texel[0], texel[1], texel[2]};
}

bool near(Rgb a, Rgb b, int tolerance = 6)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

}  // namespace

Rgb text_colour(int index)
{
    switch (index) {
        case 1: return {255, 51, 51};
        case 13: return {0, 102, 0};
        case 34: return atlas_swatch(319, 155);
        case 46: return atlas_swatch(319, 75);
        case 69: return {255, 0, 0};
        default: return {-1, -1, -1};
    }
}

int text_width(const std::string& text) { return static_cast<int>(OGL_string_width(text)); }

Shown shown(const CanvasShot& shot)
{
    const Rgb back = text_colour(34);
    const auto covered = [&](int x, int y) { return !near(shot.at(x, y), back); };
    // Every sub-window fills the whole screen behind it with colour 34.
    if (covered(3, 3) || covered(1020, 765)) return Shown::main_page;
    if (covered(170, 320)) return Shown::question;  // 700 x 146, only it reaches x 170
    if (covered(220, 200)) return Shown::prefs;     // 600 x 380
    if (covered(240, 160)) return Shown::other;     // the folder chooser, 561 x 474
    if (covered(270, 240)) return Shown::terms;     // 500 x 300
    if (covered(310, 265)) return Shown::alert;     // 420 x 250
    return Shown::other;
}

const char* shown_name(Shown s)
{
    switch (s) {
        case Shown::main_page: return "main page";
        case Shown::terms: return "terms of use";
        case Shown::prefs: return "preferences";
        case Shown::alert: return "alert";
        case Shown::question: return "question";
        default: return "another window";
    }
}

}  // namespace brx_test
