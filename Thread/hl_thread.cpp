#include "Thread/hl_thread.h"

#include <GL/glx.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/exce.h"
#include "UTL/UTL_thread.h"

namespace {

const char kSourceFile[] = "Thread/hl_thread";

// Read by any thread without a lock.
std::atomic<unsigned long> main_thread{0};
std::atomic<int> threads_inited{0};

UTL_message_queue* warn_exce = nullptr;  // warnings (severity 1), owned copies
UTL_message_queue* quit_exce = nullptr;  // fatal reports (severity 2), owned copies
UTL_message_queue* call_queue = nullptr;  // jobs of all workers, or the stop marker
pthread_mutex_t free_calls_lock;          // guards free_calls and next_cookie
THREAD_call* free_calls = nullptr;
int next_cookie = 0;

std::vector<unsigned long> worker_threads;
std::vector<unsigned long> worker_threads_id;
std::vector<unsigned long> worker_threads_join;

// Never a job: tells one worker to end.
void* const kStopMarker = reinterpret_cast<void*>(~std::uintptr_t{0});

// A job that has thrown never replies; waiting without limit for it polls the
// fatal reports in slices of this length, so the report ends the wait.
const int kReplySliceMs = 100;

// The start record of a new thread; it lives in the creator's frame until the
// thread has signalled `started`.
struct THREAD_launch_block {
    void* (*func)(void*);
    void* arg;
    UTL_message_queue* started;
    int want_gl;
    GLXContext loader;
};

void* THREAD_launch(void* block_ptr)
{
    auto* block = static_cast<THREAD_launch_block*>(block_ptr);
    if (block->want_gl && block->loader) MACIBM_set_context_loader(block->loader);
    void* (*func)(void*) = block->func;
    void* arg = block->arg;
    UTL_message_queue_write(block->started, nullptr);  // the block is gone after this

    try {
        return func(arg);
    } catch (exce_class& report) {
        report.MakeFatal();
        THREAD_send_exception(report);
    } catch (std::exception& e) {
        THREAD_send_exception(exce_class("Caught an unhandled C++ exception", e.what(), "", "",
                                         kSourceFile, 302, t_exit));
    } catch (...) {
        // A foreign unwind is a thread ending itself (UTL_thread_exit), not a
        // failure; it must pass on.
        if (!std::current_exception()) throw;
        THREAD_send_exception(
            exce_class("Caught an unhandled unknown exception", "", "", "", kSourceFile, 304,
                       t_exit));
    }
    return nullptr;
}

void* xtaskproc(void*)
{
    for (;;) {
        void* message = UTL_message_queue_read(call_queue, -1);
        if (message == kStopMarker) return nullptr;
        auto* call = static_cast<THREAD_call*>(message);
        void* result = call->func(call->arg);
        UTL_critical_section_lock(&call->lock);
        call->result = result;
        UTL_critical_section_unlock(&call->lock);
        UTL_message_queue_write(call->reply,
                                reinterpret_cast<void*>(static_cast<std::intptr_t>(call->cookie)));
    }
}

// Takes every report out of `queue` and shows it (or, when `show` is false,
// drops it); the queue owns its reports.
void drain_reports(UTL_message_queue* queue, bool show)
{
    while (void* message = UTL_message_queue_read(queue, 0)) {
        auto* report = static_cast<exce_class*>(message);
        if (show) report->Report();
        delete report;
    }
}

}  // namespace

void THREAD_init()
{
    main_thread = UTL_get_current_thread();
    UTL_message_queue_create(&warn_exce);
    UTL_message_queue_create(&quit_exce);
    UTL_critical_section_create(&free_calls_lock);
    UTL_message_queue_create(&call_queue);
    threads_inited = 1;
}

int THREAD_is_inited() { return threads_inited; }

int THREAD_is_main_thread() { return UTL_get_current_thread() == main_thread ? 1 : 0; }

void THREAD_create(void* (*func)(void*), void* arg, unsigned long* thread,
                   unsigned long* thread_id, unsigned long* join, int want_gl)
{
    THREAD_launch_block block{func, arg, nullptr, 0, nullptr};
    if (glExt.threaded_avail) {
        block.want_gl = want_gl;
        if (want_gl) block.loader = MACIBM_make_context_loader();
    }
    UTL_message_queue_create(&block.started);
    UTL_thread_create(THREAD_launch, &block, thread, thread_id, join);
    UTL_message_queue_read(block.started, -1);
    UTL_message_queue_destroy(block.started);
}

void THREAD_make_workers()
{
    const int n = UTL_count_processors();
    xer << "CPU count        : " << n << "\n";
    for (int i = 0; i < n; ++i) {
        unsigned long thread = 0, thread_id = 0, join = 0;
        THREAD_create(xtaskproc, nullptr, &thread, &thread_id, &join, 1);
        worker_threads.push_back(thread);
        worker_threads_join.push_back(join);
        worker_threads_id.push_back(thread_id);
    }
}

int THREAD_next_cookie(int cookie)
{
    const uint32_t next = static_cast<uint32_t>(cookie) + 4u;
    return static_cast<int>(next == 0 ? 4u : next);
}

THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg)
{
    UTL_critical_section_lock(&free_calls_lock);
    next_cookie = THREAD_next_cookie(next_cookie);
    const int cookie = next_cookie;
    THREAD_call* call = free_calls;
    if (call) free_calls = call->next;
    UTL_critical_section_unlock(&free_calls_lock);

    if (!call) {
        call = new THREAD_call{};
        UTL_message_queue_create(&call->reply);
        UTL_critical_section_create(&call->lock);
    }
    call->func = func;
    call->arg = arg;
    call->result = nullptr;
    call->done = 0;
    call->cookie = cookie;
    UTL_message_queue_write(call_queue, call);
    return call;
}

int THREAD_is_done(THREAD_call* call, int timeout_ms)
{
    THREAD_check_exception(0);
    void* reply;
    if (timeout_ms == -1) {
        while (!(reply = UTL_message_queue_read(call->reply, kReplySliceMs)))
            THREAD_check_exception(0);
    } else {
        reply = UTL_message_queue_read(call->reply, timeout_ms);
    }
    THREAD_check_exception(0);
    if (!reply) return 0;
    UTL_critical_section_lock(&call->lock);
    call->done = 1;
    UTL_critical_section_unlock(&call->lock);
    return 1;
}

void* THREAD_cleanup(THREAD_call* call)
{
    THREAD_check_exception(0);
    UTL_critical_section_lock(&call->lock);
    const int done = call->done;
    void* result = call->result;
    UTL_critical_section_unlock(&call->lock);
    if (!done) {
        __MACIBM_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit,
                       kSourceFile, 484);
        return nullptr;
    }
    UTL_critical_section_lock(&free_calls_lock);
    call->next = free_calls;
    free_calls = call;
    UTL_critical_section_unlock(&free_calls_lock);
    return result;
}

void THREAD_send_exception(const exce_class& report)
{
    if (report.severity != t_alert && report.severity != t_exit) return;
    if (!threads_inited) {
        // No queues before THREAD_init or after THREAD_shutdown: show it here.
        exce_class copy(report);
        copy.Report();
        return;
    }
    UTL_message_queue_write(report.severity == t_alert ? warn_exce : quit_exce,
                            new exce_class(report));
    if (report.severity == t_exit && !THREAD_is_main_thread()) UTL_thread_exit(nullptr);
}

void THREAD_check_exception(int also_warnings)
{
    if (!threads_inited) return;
    drain_reports(quit_exce, true);
    if (also_warnings) drain_reports(warn_exce, true);
}

void THREAD_shutdown()
{
    if (!threads_inited) return;  // never started, or already shut down

    for (std::size_t i = 0; i < worker_threads.size(); ++i)
        UTL_message_queue_write(call_queue, kStopMarker);
    // A report shown on a worker shuts down from that worker, which must not
    // wait for itself.
    const unsigned long self = UTL_get_current_thread();
    for (std::size_t i = 0; i < worker_threads.size(); ++i)
        if (worker_threads[i] != self) UTL_thread_join(&worker_threads[i], &worker_threads_join[i]);
    worker_threads.clear();
    worker_threads_id.clear();
    worker_threads_join.clear();

    UTL_critical_section_destroy(&free_calls_lock);
    UTL_message_queue_destroy(call_queue);
    call_queue = nullptr;
    while (THREAD_call* call = free_calls) {
        free_calls = call->next;
        UTL_message_queue_destroy(call->reply);
        UTL_critical_section_destroy(&call->lock);
        delete call;
    }

    drain_reports(warn_exce, false);
    drain_reports(quit_exce, false);
    UTL_message_queue_destroy(warn_exce);
    UTL_message_queue_destroy(quit_exce);
    warn_exce = quit_exce = nullptr;

    threads_inited = 0;
    xer << "Clean exit from threads.\n";
}
