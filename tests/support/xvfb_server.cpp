#include "support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_util.h"

namespace brx_test {

XvfbServer::XvfbServer(const std::string& screen, bool glx)
{
    const std::string program = find_program("Xvfb");
    int fds[2];
    if (program.empty() || pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        setsid();
        // A test killed by its time limit takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        // "-r": no key repeat, so a key that xdotool holds for a while on a
        // loaded machine is still typed once.
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                              "-nolisten", "tcp", "-noreset", "-r",
                              glx ? nullptr : "-extension", "GLX", nullptr};  // GLX off unless wanted
        execv(program.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

}  // namespace brx_test
