// Running the real installer program as its users meet it: a copy of the
// binary in a program folder of its own, a temporary HOME, a private /tmp in a
// mount namespace of its own (the program writes fixed names there), the
// maker's web host and mirrors served by nginx behind tinyproxy on loopback,
// and a hand on the X display through xdotool.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GenH/hl_types.h"
#include "support/flaky_front.h"
#include "support/http_servers.h"
#include "support/release_builder.h"

namespace brx_test {

// The web host the installer fetches its server list from.
inline constexpr const char* kMakerHost = kMakerWebHost;

// Why this machine cannot give a program a private /tmp (no mount namespace,
// and for a user other than root no user namespace either); empty when it can.
std::string private_tmp_unavailable();

// An ordinary account of this machine made for one test and removed after
// it: another user of the machine. Only root can make one.
class TestAccount {
public:
    TestAccount();
    ~TestAccount();
    TestAccount(const TestAccount&) = delete;
    TestAccount& operator=(const TestAccount&) = delete;

    bool ok() const { return made_; }
    const std::string& error() const { return error_; }
    const std::string& name() const { return name_; }
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }
    // Makes `path` and everything below it the account's.
    void give(const std::string& path) const;

private:
    bool made_ = false;
    std::string name_, error_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

// A mount namespace held open by a child process, this same program started
// through unshare(1) (inside a user namespace of its own when the caller is
// not root). Its /tmp is an empty tmpfs; the folders given stay visible at
// their own paths (bind mounts of the originals), and so does the X server's
// socket folder /tmp/.X11-unix. Programs started through it see only that
// /tmp.
class PrivateTmp {
public:
    // `hosts`, when not empty, is the text of /etc/hosts inside (written into
    // `shared[0]`, which must be given then).
    explicit PrivateTmp(const std::vector<std::string>& shared, const std::string& hosts = "");
    ~PrivateTmp();
    PrivateTmp(const PrivateTmp&) = delete;
    PrivateTmp& operator=(const PrivateTmp&) = delete;

    bool ok() const { return holder_ > 0; }
    const std::string& error() const { return error_; }

    // A path inside the namespace, as seen from outside it.
    std::string outside(const std::string& path) const;

    // What lies at the top of the private /tmp, folders with a final "/" (the
    // shared folders left out), sorted.
    std::vector<std::string> tmp_files() const;

    // Mounts a tmpfs of at most `bytes` on the existing folder `folder` (a
    // path inside); the holder makes the mount, with the namespace's rights.
    bool mount_tmpfs(const std::string& folder, long long bytes) const;

    // Starts argv[0] inside, in `cwd`, with exactly `env`, as `account` when
    // given (root only); standard output and error go to the file `output`.
    // The child's pid, or -1.
    pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& cwd, const std::string& output, const TestAccount* account = nullptr) const;

private:
    std::vector<std::string> inside(const std::string& cwd, const std::vector<std::string>& argv,
                                    const TestAccount* account = nullptr) const;

    pid_t holder_ = -1;
    std::vector<std::string> shared_tops_;  // the shared folders' names in /tmp
    bool user_ns_ = false;
    int request_fd_ = -1;  // mounts asked of the holder; closing it lets the holder end
    int reply_fd_ = -1;    // the holder's answers
    std::string error_;
};

// The built program, copied into `folder` (its program folder: Log.txt lands
// there) and started inside `ns` on `display` with HOME set to `home` (unset
// when empty), Mesa's software renderer and the variables of `env` besides;
// as `account` when given, which then owns both folders.
class InstallerProcess {
public:
    InstallerProcess(const PrivateTmp& ns, const std::string& binary, const std::string& folder,
                     const std::string& home, const std::string& display,
                     const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                     const TestAccount* account = nullptr);
    ~InstallerProcess();
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool running();
    // The exit status; 128 + the signal when a signal ended it; -1 while it
    // still runs after `seconds`.
    int wait_exit(double seconds);
    void kill_now();

    std::string log() const;     // Log.txt
    std::string output() const;  // standard output and error
    std::string prefs() const;   // the preference file in HOME
    // The run's temporary folder as the log names it, a path inside the
    // namespace ending in "/"; empty until the log has it.
    std::string temp_folder() const;
    // `name` in that folder, seen from outside the namespace; empty until then.
    std::string in_temp_folder(const std::string& name = "") const;

private:
    const PrivateTmp& ns_;
    pid_t pid_ = -1;
    int status_ = -1;
    std::string folder_, home_;
};

// The proxy that stands in front of the maker's servers.
enum class FrontProxy { tinyproxy, haproxy };

// The maker's servers for a release: the server list on the web host, the
// release on every mirror, nginx answering for all of them, a proxy in front
// (the only way in: host names are never resolved). With `flaky_host`, a
// forwarder in front of the proxy spoils every second request for that host.
// `nginx_http_conf` adds directives to nginx's http block.
class MakerServers {
public:
    MakerServers(const std::string& work, const Release& release, const std::string& flaky_host = "",
                 const std::string& nginx_http_conf = "", FrontProxy front = FrontProxy::tinyproxy);
    // Where the program's requests go: the proxy, or the forwarder in front of it.
    unsigned short proxy_port() const { return front_ ? front_->port() : proxy_->port(); }
    // nginx itself, which also takes requests meant for a proxy.
    unsigned short nginx_port() const { return nginx_->port(); }
    // The folder served for every host ("serverlist.txt" at its top).
    const std::string& site() const { return site_; }
    // The folder that holds `release`'s directory and archives for a server.
    std::string served(const Release& release, const ReleaseServer& server) const;
    int spoiled() const { return front_ ? front_->spoiled() : 0; }

private:
    std::string site_;
    std::unique_ptr<NginxServer> nginx_;
    std::unique_ptr<FlakyFront> front_;
    std::unique_ptr<LoopbackServer> proxy_;
};

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// One picture of the program's 1024 by 768 canvas (the window sits at the
// screen's top-left corner), read from the X server.
class CanvasShot {
public:
    // An empty shot when the display cannot be read.
    static CanvasShot take(const std::string& display);
    bool empty() const { return pixels_.empty(); }
    // Canvas coordinates: y upwards from the bottom row.
    Rgb at(int x, int y) const;
    // First and last column within the box whose pixel is within `tolerance`
    // of `colour` in every channel; {-1, -1} when there is none.
    std::pair<int, int> ink(int x0, int x1, int y0, int y1, Rgb colour, int tolerance = 24) const;
    // Whether the box holds the same pixels in both shots.
    bool same(const CanvasShot& other, int x0, int x1, int y0, int y1) const;
    bool save_png(const std::string& path) const;

private:
    std::vector<Rgb> pixels_;  // top row first
};

// A user's hand on the display: canvas coordinates, y upwards.
bool click_canvas(const std::string& display, int x, int y);
bool move_mouse(const std::string& display, int x, int y);
bool press_keys(const std::string& display, const std::string& keys);  // "Return", "Tab"
bool type_text(const std::string& display, const std::string& text);

// Waits until `pred` holds, polling, up to `seconds`; its last answer.
bool eventually(const std::function<bool()>& pred, double seconds = 60);

// The colours the installer draws its texts in: the interface colour 46 (from
// the widget atlas), 13 (completion), 1 (a light red) and 69 (failures).
Rgb text_colour(int index);
// The width in pixels of `text` in the proportional font.
int text_width(const std::string& text);

// The modal windows of the framework, told apart by which of their frames
// covers a few probe points over the plain colour that fills the screen
// behind every sub-window.
enum class Shown { main_page, terms, prefs, alert, question, other };
Shown shown(const CanvasShot& shot);
const char* shown_name(Shown s);

}  // namespace brx_test
