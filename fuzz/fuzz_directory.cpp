// The directory listing's reader and the scan of the destination on arbitrary
// bytes. A refused listing ends the program with a fatal alert, so each input
// runs in a child: it must end normally or with the alert of a refused line,
// never with a crash or another component's fatal alert (the bounded path
// copy's "String too long!").
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GenH/hl_types.h"
#include "app/utils.h"

namespace {

int remove_one(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

// A scratch folder for the run, removed when the fuzzer exits (the children
// end with _exit and leave it alone).
struct scratch_folder {
    scratch_folder()
    {
        const char* base = getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/brx-fuzz-dir-XXXXXX";
        if (!mkdtemp(templ.data())) abort();
        path = templ + "/";
        mkdir((path + "dest").c_str(), 0755);
        mkdir((path + "dest/Resources").c_str(), 0755);
    }
    ~scratch_folder() { nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS); }
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const scratch_folder folder;
    const std::string& scratch = folder.path;
    const std::string listing = scratch + "directory.txt";
    FILE* f = fopen(listing.c_str(), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    if (fclose(f) != 0) abort();

    int out[2];
    if (pipe(out) != 0) abort();
    const pid_t pid = fork();
    if (pid < 0) abort();
    if (pid == 0) {
        // A fatal alert's abort ends the child plainly, not as a finding.
        signal(SIGABRT, SIG_DFL);
        close(out[0]);
        dup2(out[1], STDOUT_FILENO);
        if (chdir(scratch.c_str()) != 0) _exit(98);
        temp_path = scratch;
        dest_dir_path = scratch + "dest/";
        read_directory(listing, "fuzz");
        fflush(stdout);
        _exit(0);
    }
    close(out[1]);
    std::string said;
    char buf[4096];
    ssize_t n;
    // libFuzzer's once-a-second alarm interrupts the read; stopping there would
    // close the pipe under a child still writing (it would die of SIGPIPE).
    while ((n = read(out[0], buf, sizeof buf)) != 0) {
        if (n > 0) said.append(buf, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    }
    close(out[0]);
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != pid) abort();
    const bool ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool refused = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT &&
                         said.find("I am reading the directory text file") != std::string::npos &&
                         said.find("String too long!") == std::string::npos;
    if (!ended && !refused) {
        // Say how the child ended, so a finding can be told from a killed child.
        fprintf(stderr, "child status %#x, output:\n%s\n", static_cast<unsigned>(status),
                said.c_str());
        __builtin_trap();
    }
    return 0;
}
