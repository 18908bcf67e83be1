// Threads, message queues and critical sections over POSIX threads. A failing
// system call ends the program through one fatal alert, so callers never see
// an error code from here.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <ctime>
#include <list>
#include <string>

// Unbounded first-in-first-out queue of untyped pointers. It never looks at,
// copies or frees what the messages point to. Made only by
// UTL_message_queue_create, freed only by UTL_message_queue_destroy.
struct UTL_message_queue {
    pthread_mutex_t lock;        // guards the two fields below
    pthread_cond_t condition;    // signalled by writers for waiting readers
    std::list<void*> messages;   // oldest at the front
    int32_t waiting;             // readers inside the waiting part of a read
};

void UTL_thread_create(void* (*func)(void*), void* arg, unsigned long* thread,
                       unsigned long* thread_id, unsigned long* join);
void* UTL_thread_join(unsigned long* thread, unsigned long* join);
[[noreturn]] void UTL_thread_exit(void* value);
void UTL_thread_murder(unsigned long* thread);
unsigned long UTL_get_current_thread();
void UTL_sleep(int32_t ms);

// The file UTL_count_processors reads; "/proc/cpuinfo" unless replaced.
extern std::string UTL_cpuinfo_path;
int32_t UTL_count_processors();

void UTL_message_queue_create(UTL_message_queue** queue);
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* message);
// ms: -1 waits without limit, 0 polls, a positive count waits at most that
// long. Returns the oldest message, or null.
void* UTL_message_queue_read(UTL_message_queue* queue, int32_t ms);

// The absolute deadline ms milliseconds after the clock reading (sec, usec).
timespec UTL_queue_deadline(int64_t sec, int64_t usec, int32_t ms);

// Recursive mutexes whose storage belongs to the caller.
void UTL_critical_section_create(pthread_mutex_t* section);
void UTL_critical_section_destroy(pthread_mutex_t* section);
void UTL_critical_section_lock(pthread_mutex_t* section);
void UTL_critical_section_unlock(pthread_mutex_t* section);
