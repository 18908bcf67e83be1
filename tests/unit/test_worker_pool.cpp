#include <gtest/gtest.h>
// After gtest: X11 defines None.
#include <GL/glx.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/exce.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_thread.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;

std::string console(const std::string& l1, const std::string& l2 = "", const std::string& l3 = "",
                    const std::string& l4 = "")
{
    return "Skarvel Error:\n" + l1 + "\n\n" + l2 + "\n\n" + l3 + "\n\n" + l4 + "\n\nSorry.\n";
}

std::size_t thread_count()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// The thread count once it has come down to `before`, or after 10 s: a joined
// thread can stay listed a moment after the join returns (the kernel wakes the
// joiner first; under a user-mode emulator the host thread lingers longer).
std::size_t thread_count_after_join(std::size_t before)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t n = thread_count();
    while (n > before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        n = thread_count();
    }
    return n;
}

// The layer with `cpus` workers (none for 0) without GL, logging to dir/Log.txt.
void start_pool(const TempDir& dir, int cpus)
{
    std::string info;
    for (int i = 0; i < cpus; ++i) info += "processor\t: " + std::to_string(i) + "\nmodel name\t: T\n";
    write_file(dir / "cpuinfo", info);
    UTL_cpuinfo_path = dir / "cpuinfo";
    glExt.threaded_avail = 0;
    xer.open(dir / "Log.txt");
    THREAD_init();
    if (cpus > 0) THREAD_make_workers();
}

// Runs `func` on a new thread started through the pool's entry and waits for it.
void on_thread(void* (*func)(void*))
{
    unsigned long t = 0, id = 0, join = 0;
    THREAD_create(func, nullptr, &t, &id, &join, 1);
    UTL_thread_join(&t, &join);
}

void* current_gl_context(void*) { return glXGetCurrentContext(); }
void* double_it(void* arg) { return reinterpret_cast<void*>(reinterpret_cast<std::intptr_t>(arg) * 2); }

TEST(Report, PlainValue)
{
    const exce_class d;
    EXPECT_EQ(d.msg1 + d.msg2 + d.msg3 + d.msg4, "");
    EXPECT_STREQ(d.file, "no exception");
    EXPECT_EQ(d.line, 0);
    EXPECT_EQ(d.severity, 2);

    static const char kFile[] = "app/utils";
    auto* r = new exce_class("a", "b", "c", "d", kFile, 17, 1);
    exce_class copy(*r);
    delete r;
    EXPECT_EQ(copy.file, kFile);  // shared, never owned
    EXPECT_EQ(copy.msg1 + copy.msg2 + copy.msg3 + copy.msg4, "abcd");
    EXPECT_EQ(copy.line, 17);
    copy.MakeFatal();
    EXPECT_EQ(copy.severity, 2);
    copy.MakeFatal();
    EXPECT_EQ(copy.severity, 2);
}

TEST(Report, LogAndContinue)
{
    TempDir dir;
    for (int severity : {0, 1, 2}) {
        xer.open(dir / "Log.txt");
        exce_class("one", "", "three", "", "OOPS_cpp/http", 9, severity).LogAndContinue();
        xer.close();
        EXPECT_EQ(read_file(dir / "Log.txt"),
                  std::string("Logging ") + (severity == 0 ? "non-fatal" : "fatal") +
                      " Exception thrown from file: OOPS_cpp/http, line 9.\none\n\nthree\n\n");
    }
}

TEST(Report, ShownOnTheCallingThreadWhenTheLayerIsNotRunning)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            printf("inited=%d\n", THREAD_is_inited());
            exce_class("warned", "", "", "", "f", 1, t_alert).Report();
            puts("returned");
            // Without the layer a report sent from any thread is shown there.
            std::thread([] {
                THREAD_send_exception(exce_class("from a thread", "", "", "", "f", 2, t_alert));
            }).join();
            puts("done");
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "inited=0\n" + console("warned") + "returned\n" + console("from a thread") +
                         "done\n");
}

TEST(WorkerPool, StartsOneWorkerPerProcessorAndShutsDown)
{
    TempDir dir;
    auto r = run_in_child([&] {
        const std::size_t before = thread_count();
        start_pool(dir, 3);
        printf("inited=%d main=%d workers=%d\n", THREAD_is_inited(), THREAD_is_main_thread(),
               static_cast<int>(thread_count() - before));
        on_thread([](void*) -> void* {
            printf("worker main=%d\n", THREAD_is_main_thread());
            return nullptr;
        });
        // With threaded GL off no worker has a GL context.
        THREAD_call* call = THREAD_run_async(current_gl_context, nullptr);
        const int done = THREAD_is_done(call, -1);
        printf("done=%d gl=%p\n", done, THREAD_cleanup(call));
        THREAD_shutdown();
        printf("inited=%d left=%d\n", THREAD_is_inited(),
               static_cast<int>(thread_count_after_join(before) - before));
        THREAD_shutdown();  // a second shut-down finds nothing to do
        xer.close();
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "inited=1 main=1 workers=3\nworker main=0\ndone=1 gl=(nil)\ninited=0 left=0\n");
    EXPECT_EQ(read_file(dir / "Log.txt"), "CPU count        : 3\nClean exit from threads.\n");
}

TEST(WorkerPool, UncountableProcessorsGiveOneWorker)
{
    TempDir dir;
    auto r = run_in_child([&] {
        dup2(STDOUT_FILENO, STDERR_FILENO);
        const std::size_t before = thread_count();
        start_pool(dir, 0);
        UTL_cpuinfo_path = dir / "missing";
        THREAD_make_workers();
        printf("workers=%d\n", static_cast<int>(thread_count() - before));
        THREAD_shutdown();
        xer.close();
    });
    EXPECT_NE(r.out.find("workers=1\n"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(dir / "Log.txt"),
              "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\nCPU count        : 1\n"
              "Clean exit from threads.\n");
}

TEST(WorkerPool, JobsRunAndRecordsAreReused)
{
    TempDir dir;
    start_pool(dir, 2);
    std::vector<THREAD_call*> calls;
    for (std::intptr_t i = 1; i <= 20; ++i)
        calls.push_back(THREAD_run_async(double_it, reinterpret_cast<void*>(i)));
    std::set<int> cookies;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(THREAD_is_done(calls[i], -1), 1);
        EXPECT_EQ(THREAD_is_done(calls[i], 20), 0);  // the one reply is taken
        cookies.insert(calls[i]->cookie);
        EXPECT_EQ(THREAD_cleanup(calls[i]), reinterpret_cast<void*>(2 * (i + 1)));
    }
    EXPECT_EQ(cookies.size(), calls.size());
    for (int c : cookies) EXPECT_TRUE(c != 0 && c % 4 == 0) << c;

    // A finished record goes back to the pool and serves the next job.
    THREAD_call* again = THREAD_run_async(double_it, reinterpret_cast<void*>(5));
    EXPECT_EQ(again, calls.back());
    EXPECT_EQ(THREAD_is_done(again, -1), 1);
    EXPECT_EQ(THREAD_cleanup(again), reinterpret_cast<void*>(10));
    THREAD_shutdown();
    xer.close();
}

TEST(WorkerPool, CookieWrapsPastZero)
{
    EXPECT_EQ(THREAD_next_cookie(0), 4);
    EXPECT_EQ(THREAD_next_cookie(4), 8);
    EXPECT_EQ(THREAD_next_cookie(-8), -4);
    EXPECT_EQ(THREAD_next_cookie(-4), 4);
    EXPECT_EQ(THREAD_next_cookie(INT_MAX - 3), INT_MIN);
}

TEST(WorkerPool, CleanupOfAJobNotDoneIsFatal)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            start_pool(dir, 0);  // no worker, so the job never runs
            THREAD_cleanup(THREAD_run_async(double_it, nullptr));
            puts("survived");
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find(console("Thread cleanup called on not-done call.")), std::string::npos);
    EXPECT_NE(read_file(dir / "Log.txt").find("(Thread/hl_thread line 484)\n"), std::string::npos);
}

TEST(WorkerPool, AJobThatThrowsEndsItsWorkerWithAFatalReport)
{
    struct Case {
        void* (*job)(void*);
        std::string shown;
        int line;
    };
    const Case cases[] = {
        {[](void*) -> void* { throw std::runtime_error("disk gone"); },
         console("Caught an unhandled C++ exception", "disk gone"), 302},
        {[](void*) -> void* { throw 5; }, console("Caught an unhandled unknown exception"), 304},
        {[](void*) -> void* { throw exce_class("mine", "", "", "", "app/utils", 12, t_alert); },
         console("mine"), 12},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto r = run_in_child(
            [&] {
                start_pool(dir, 1);
                // Waiting without limit ends when the fatal report is shown.
                THREAD_is_done(THREAD_run_async(c.job, nullptr), -1);
                puts("unreachable");
            },
            dir.path());
        EXPECT_EQ(r.signal, SIGABRT) << c.shown;
        EXPECT_EQ(r.out, c.shown) << c.shown;
        EXPECT_NE(read_file(dir / "Log.txt").find(" line " + std::to_string(c.line) + ")\n"),
                  std::string::npos);
    }
}

void* raise_worker_fatal(void*)
{
    __MACIBM_alert(0, "worker fatal", "", "", "", t_exit, "Files/io_utils", 40);
    puts("unreachable");
    return nullptr;
}

TEST(WorkerPool, ShutdownJoinsAWorkerThatEndedOnAFailedJob)
{
    TempDir dir;
    const std::size_t before = thread_count();
    start_pool(dir, 1);
    THREAD_call* call =
        THREAD_run_async([](void*) -> void* { throw std::runtime_error("lost"); }, nullptr);
    THREAD_shutdown();  // its fatal report is dropped unseen
    xer.close();
    // A record that never came back through THREAD_cleanup stays its caller's.
    UTL_message_queue_destroy(call->reply);
    UTL_critical_section_destroy(&call->lock);
    delete call;
    EXPECT_EQ(thread_count_after_join(before), before);
    EXPECT_EQ(read_file(dir / "Log.txt"), "CPU count        : 1\nClean exit from threads.\n");
}

TEST(ReportHandOff, WorkerAlertsReachTheMainThread)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            start_pool(dir, 0);
            on_thread([](void*) -> void* {
                __MACIBM_alert(0, "warn one", "", "", "", t_alert, "f", 1);
                __MACIBM_alert(0, "chooser", "", "", "", t_lang, "f", 2);
                __MACIBM_alert(0, "warn two", "x", "", "", t_alert, "f", 3);
                puts("worker goes on");
                return nullptr;
            });
            puts("joined");
            THREAD_check_exception(0);  // leaves the warnings queued
            puts("checked fatal only");
            THREAD_check_exception(1);
            THREAD_check_exception(1);
            puts("done");
            THREAD_shutdown();
            xer.close();
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "worker goes on\njoined\nchecked fatal only\n" + console("warn one") +
                         console("warn two", "x") + "done\n");
}

TEST(ReportHandOff, FatalReportsComeBeforeWarnings)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            start_pool(dir, 0);
            THREAD_send_exception(exce_class("early warning", "", "", "", "f", 1, t_alert));
            THREAD_send_exception(exce_class("main fatal", "", "", "", "f", 2, t_exit));
            puts("main goes on");  // a fatal report sent on the main thread returns
            on_thread(raise_worker_fatal);
            puts("joined");
            THREAD_check_exception(1);
            puts("unreachable");
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "main goes on\njoined\n" + console("main fatal"));
}

TEST(ReportHandOff, WorkerFatalShownAfterItEnded)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            start_pool(dir, 0);
            on_thread(raise_worker_fatal);
            puts("joined");
            THREAD_check_exception(0);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "joined\n" + console("worker fatal"));
    EXPECT_NE(read_file(dir / "Log.txt").find("\nworker fatal\n\n\n\n(Files/io_utils line 40)\n"),
              std::string::npos);
}

TEST(ReportHandOff, ShutdownDropsQueuedReports)
{
    TempDir dir;
    start_pool(dir, 1);
    THREAD_send_exception(exce_class("w", "", "", "", "f", 1, t_alert));
    THREAD_send_exception(exce_class("q", "", "", "", "f", 2, t_exit));
    THREAD_send_exception(exce_class("odd", "", "", "", "f", 3, 7));
    THREAD_shutdown();
    THREAD_check_exception(1);  // nothing left, nothing shown
    xer.close();
    EXPECT_EQ(read_file(dir / "Log.txt"), "CPU count        : 1\nClean exit from threads.\n");
}

TEST(ReportHandOff, ReportOnAWorkerEndsTheProcess)
{
    for (int severity : {t_alert, t_exit}) {
        TempDir dir;
        auto r = run_in_child(
            [&] {
                start_pool(dir, 2);
                static int sev;
                sev = severity;
                on_thread([](void*) -> void* {
                    exce_class("bad", "worse", "", "", "app/utils", 77, sev).Report();
                    return nullptr;
                });
                puts("unreachable");
            },
            dir.path());
        // A fatal report must not end the process as a success.
        EXPECT_EQ(r.exit_code, severity == t_exit ? 1 : 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(read_file(dir / "Log.txt"),
                  "CPU count        : 2\n"
                  "EXCEPTION REPORTED FROM THREAD!!  File: app/utils, line 77.\nbad\nworse\n\n\n"
                  "Clean exit from threads.\n");
    }
}

}  // namespace
