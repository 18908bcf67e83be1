// The orderly shut-down without a display: settings, worker threads, log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_thread.h"
#include "support/test_util.h"

namespace {

using brx_test::exists;
using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;

const char kPrefFile[] = ".brennix/Brennix Installer.prf";

class Shutdown : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_file(dir / "cpuinfo", "model name : a\nmodel name : b\n");
    }
    // Starts the log and the worker pool of two threads in the child.
    void start() const
    {
        setenv("HOME", dir.path().c_str(), 1);
        UTL_cpuinfo_path = dir / "cpuinfo";
        xer.open(dir / "Log.txt");
        THREAD_init();
        THREAD_make_workers();
    }
    TempDir dir;
};

TEST_F(Shutdown, NormalEndSavesSettingsAndStopsWorkers)
{
    auto r = run_in_child([&] {
        start();
        MACIBM_finishup(1);
        printf("inited=%d open=%d\n", THREAD_is_inited(), xer.is_open() ? 1 : 0);
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "inited=0 open=0\n");
    EXPECT_EQ(read_file(dir / kPrefFile).rfind("I\n9001 version\n", 0), 0u);
    const std::string log = read_file(dir / "Log.txt");
    EXPECT_NE(log.find("CPU count        : 2\n"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 25), "Clean exit from threads.\n");
}

TEST_F(Shutdown, TestRunSavesNothingButStillStopsWorkers)
{
    auto r = run_in_child([&] {
        start();
        cmdline.options["--fps_test"] = "";
        MACIBM_finishup(1);
        printf("inited=%d\n", THREAD_is_inited());
    });
    EXPECT_EQ(r.out, "inited=0\n");
    EXPECT_FALSE(exists(dir / kPrefFile));
}

TEST_F(Shutdown, EmergencyEndLeavesSettingsAndWorkersAlone)
{
    auto r = run_in_child([&] {
        start();
        MACIBM_finishup(0);
        printf("inited=%d open=%d\n", THREAD_is_inited(), xer.is_open() ? 1 : 0);
        fflush(stdout);
        _exit(0);  // the workers still run
    });
    EXPECT_EQ(r.out, "inited=1 open=0\n");
    EXPECT_FALSE(exists(dir / kPrefFile));
}

// A report shown on a worker thread shuts down from there and ends the
// process; the worker must not wait for itself.
TEST_F(Shutdown, FromAWorkerThreadDoesNotJoinItself)
{
    auto r = run_in_child([&] {
        alarm(20);  // a self-join would hang: end as a failure instead
        start();
        THREAD_run_async(
            [](void*) -> void* {
                MACIBM_finishup(1);
                printf("finished\n");
                fflush(stdout);
                _exit(0);
            },
            nullptr);
        pause();
    });
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "finished\n");
    EXPECT_TRUE(exists(dir / kPrefFile));
}

// A fatal alert before any window exists ends with the console form and an
// abort, never a crash in the window steps of the shut-down.
TEST_F(Shutdown, FatalAlertBeforeTheWindowAborts)
{
    auto r = run_in_child(
        [&] {
            start();
            __MACIBM_alert(0, "no", "window", "yet", "", t_exit, "GenC/hl_init", 12);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out.rfind("Skarvel Error:\nno\n\nwindow\n\nyet\n\n\n\nSorry.\n", 0), 0u) << r.out;
    EXPECT_FALSE(exists(dir / kPrefFile));
}

}  // namespace
