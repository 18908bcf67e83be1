#include "UTL/UTL_thread.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"

// Thread handles travel as unsigned long.
static_assert(std::is_same_v<pthread_t, unsigned long>, "pthread_t must be unsigned long");

std::string UTL_cpuinfo_path = "/proc/cpuinfo";

namespace {

const char kSourceFile[] = "UTL/UTL_thread";

// The source lines that each OS-error alert reports; they identify the failing
// call in logs and support mail, so they stay fixed whatever this file becomes.
enum : int {
    line_thread_create = 112,
    line_attr_init = 179,
    line_attr_settype = 181,
    line_section_init = 183,
    line_attr_destroy = 185,
    line_section_destroy = 198,
    line_section_lock = 211,
    line_section_unlock = 224,
    line_queue_lock_init = 268,
    line_queue_cond_init = 271,
    line_queue_lock_destroy = 287,
    line_queue_cond_destroy = 290,
    line_write_lock = 319,
    line_write_signal = 324,
    line_write_unlock = 330,
    line_read_lock = 382,
    line_read_unlock_poll = 387,
    line_read_unlock_timeout = 402,
    line_read_wait = 405,
    line_read_unlock_taken = 413,
};

// The fatal alert for a failing system call. The alert does not return: on the
// main thread it ends the program, on a worker the worker.
[[noreturn]] void os_error(const char* call, int err, int line)
{
    char err_text[64];
    snprintf(err_text, sizeof err_text, "err=%f", static_cast<double>(static_cast<float>(err)));
    __MACIBM_alert(0, std::string("\"") + call + "\" OS error", err_text, "", "", t_exit,
                   kSourceFile, line);
    abort();
}

// Runs a system call's result through the OS-error alert.
inline void check(int err, const char* call, int line)
{
    if (err != 0) os_error(call, err, line);
}

// Timed waits run on the monotonic clock, so setting the wall clock never
// stretches or cuts short a time-out.
timespec monotonic_deadline(int32_t ms)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return UTL_queue_deadline(now.tv_sec, now.tv_nsec / 1000, ms);
}

}  // namespace

void UTL_thread_create(void* (*func)(void*), void* arg, unsigned long* thread,
                       unsigned long* thread_id, unsigned long* join)
{
    check(pthread_create(thread, nullptr, func, arg), "pthread_create", line_thread_create);
    *thread_id = *thread;
    *join = *thread;
}

void* UTL_thread_join(unsigned long* thread, unsigned long* /*join*/)
{
    void* value = nullptr;
    const int err = pthread_join(*thread, &value);
    if (err != 0) {
        xer << "Warning: wait on thread cleanup failed with error " << err << "\n";
        return nullptr;
    }
    return value;
}

void UTL_thread_exit(void* value) { pthread_exit(value); }

void UTL_thread_murder(unsigned long* thread) { pthread_cancel(*thread); }

unsigned long UTL_get_current_thread() { return pthread_self(); }

void UTL_sleep(int32_t ms)
{
    if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000u);
}

int32_t UTL_count_processors()
{
    FILE* f = fopen(UTL_cpuinfo_path.c_str(), "r");
    if (!f) {
        fprintf(stderr,
                "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"
                "Please make sure that I have read access to that file if you want SMP\n"
                "support. I'll assume for right now that you have one CPU. The error that\n"
                "I got was:\n\t%s\n",
                strerror(errno));
        xer << "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n";
        return 1;
    }
    int32_t count = 0;
    char buf[512];
    while (fgets(buf, sizeof buf, f))
        if (strncmp(buf, "model name", 10) == 0) ++count;
    fclose(f);
    if (count == 0) {
        fprintf(stderr,
                "LINUX: I searched /proc/cpuinfo for processors, and did not find any. I\n"
                "have no idea how your computer is working right now. Please e-mail this\n"
                "message to %s. In the mean time, I'll assume for right now\n"
                "that you have one CPU.\n",
                kSupportEmail);
        xer << "Linux CPU detect failed -- no processors in /proc/cpuinfo\n";
        return 1;
    }
    return count;
}

void UTL_message_queue_create(UTL_message_queue** queue)
{
    auto* q = new UTL_message_queue;
    q->waiting = 0;
    *queue = q;
    check(pthread_mutex_init(&q->lock, nullptr), "::pthread_mutex_init", line_queue_lock_init);
    pthread_condattr_t attr;
    int err = pthread_condattr_init(&attr);
    if (err == 0) err = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    if (err == 0) err = pthread_cond_init(&q->condition, &attr);
    pthread_condattr_destroy(&attr);
    check(err, "::pthread_cond_init", line_queue_cond_init);
}

void UTL_message_queue_destroy(UTL_message_queue* queue)
{
    check(pthread_mutex_destroy(&queue->lock), "::pthread_mutex_destroy",
          line_queue_lock_destroy);
    check(pthread_cond_destroy(&queue->condition), "::pthread_cond_desroy",
          line_queue_cond_destroy);
    delete queue;  // pending messages are dropped, never freed
}

void UTL_message_queue_write(UTL_message_queue* queue, void* message)
{
    check(pthread_mutex_lock(&queue->lock), "pthread_mutex_lock", line_write_lock);
    // The signal may come before the append: the woken reader needs the lock,
    // which this writer holds until the message is in.
    if (queue->waiting > 0)
        check(pthread_cond_signal(&queue->condition), "pthread_cond_signal", line_write_signal);
    queue->messages.push_back(message);
    check(pthread_mutex_unlock(&queue->lock), "pthread_mutex_unlock", line_write_unlock);
}

timespec UTL_queue_deadline(int64_t sec, int64_t usec, int32_t ms)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(sec + ms / 1000);
    int64_t nsec = static_cast<int64_t>(ms % 1000) * 1000000 + usec * 1000;
    if (nsec > 999999999) {
        nsec -= 1000000000;
        t.tv_sec += 1;
    }
    t.tv_nsec = static_cast<long>(nsec);
    return t;
}

void* UTL_message_queue_read(UTL_message_queue* queue, int32_t ms)
{
    // The deadline is fixed before taking the lock, so waiting for the lock
    // counts against the time-out.
    const timespec deadline = ms > 0 ? monotonic_deadline(ms) : timespec{};

    check(pthread_mutex_lock(&queue->lock), "pthread_mutex_lock", line_read_lock);
    if (ms == 0 && queue->messages.empty()) {
        check(pthread_mutex_unlock(&queue->lock), "pthread_mutex_unlock", line_read_unlock_poll);
        return nullptr;
    }
    ++queue->waiting;
    while (queue->messages.empty()) {
        const int err = ms == -1 ? pthread_cond_wait(&queue->condition, &queue->lock)
                                 : pthread_cond_timedwait(&queue->condition, &queue->lock,
                                                          &deadline);
        if (err == ETIMEDOUT) {
            --queue->waiting;
            check(pthread_mutex_unlock(&queue->lock), "pthread_mutex_unlock",
                  line_read_unlock_timeout);
            return nullptr;
        }
        check(err, "pthread_cond_timedwait", line_read_wait);
    }
    void* message = queue->messages.front();
    --queue->waiting;
    queue->messages.pop_front();
    check(pthread_mutex_unlock(&queue->lock), "pthread_mutex_unlock", line_read_unlock_taken);
    return message;
}

void UTL_critical_section_create(pthread_mutex_t* section)
{
    pthread_mutexattr_t attr;
    check(pthread_mutexattr_init(&attr), "::pthread_mutexattr_init", line_attr_init);
    check(pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE),
          "::pthread_mutexattr_settype", line_attr_settype);
    check(pthread_mutex_init(section, &attr), "::pthread_mutex_init", line_section_init);
    check(pthread_mutexattr_destroy(&attr), "::pthread_mutexattr_destroy", line_attr_destroy);
}

void UTL_critical_section_destroy(pthread_mutex_t* section)
{
    check(pthread_mutex_destroy(section), "::pthread_mutex_destroy", line_section_destroy);
}

void UTL_critical_section_lock(pthread_mutex_t* section)
{
    check(pthread_mutex_lock(section), "pthread_mutex_lock", line_section_lock);
}

void UTL_critical_section_unlock(pthread_mutex_t* section)
{
    check(pthread_mutex_unlock(section), "pthread_mutex_unlock", line_section_unlock);
}
