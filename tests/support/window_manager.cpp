#include "support/window_manager.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/installer_run.h"
#include "support/test_util.h"

namespace brx_test {
namespace {

// Undecorated at (0, 0): the program's canvas stays where the screen
// pictures and the clicks of the tests expect it.
const char kConfig[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme><keepBorder>no</keepBorder></theme>
  <applications>
    <application class="Brennix">
      <decor>no</decor>
      <position force="yes"><x>0</x><y>0</y></position>
    </application>
  </applications>
</openbox_config>
)";

// Runs a command of the X tools on `display`; whether it succeeded.
bool x_tool(const std::string& display, const std::string& args)
{
    const std::string cmd = "DISPLAY=" + display + " " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace

WindowManager::WindowManager(const std::string& display, const std::string& folder)
    : display_(display), folder_(folder)
{
    const std::string home = folder + "home";
    for (const std::string& f : {folder, home, home + "/.config", home + "/.cache", home + "/.local",
                                 home + "/.local/share"})
        mkdir(f.c_str(), 0700);
    const std::string config = folder + "rc.xml";
    write_file(config, kConfig);

    const std::vector<std::string> env = {"DISPLAY=" + display, "HOME=" + home,
                                          "XDG_CONFIG_HOME=" + home + "/.config",
                                          "XDG_CACHE_HOME=" + home + "/.cache",
                                          "XDG_DATA_HOME=" + home + "/.local/share", "PATH=/usr/bin:/bin"};
    const int out = open((folder + "openbox.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = spawn_program({"/usr/bin/openbox", "--sm-disable", "--config-file", config}, env, -1, out);
    if (out >= 0) close(out);
    if (pid_ < 0) {
        error_ = "fork failed";
        return;
    }
    // wmctrl -m succeeds once the root window names a window manager.
    bool ended = false;
    const bool up = eventually(
        [&] {
            ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
            return ended || x_tool(display_, "wmctrl -m");
        },
        30);
    if (ended) pid_ = -1;
    if (ended || !up) error_ = "openbox did not take the screen: " + read_file(folder + "openbox.log");
}

WindowManager::~WindowManager()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

bool WindowManager::close_window(const std::string& title) const
{
    std::string quoted = "'";
    for (char c : title) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    // wmctrl fails while the window manager lists no such window.
    return running() && eventually([&] { return x_tool(display_, "wmctrl -c " + quoted); }, 30);
}

}  // namespace brx_test
