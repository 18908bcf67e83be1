// The worker pool: one worker thread per processor taking jobs from one shared
// queue, and the hand-off of failure reports from any thread to the main thread.
#pragma once

#include <pthread.h>

struct UTL_message_queue;
class exce_class;

// One job record; pooled and reused.
struct THREAD_call {
    THREAD_call* next;         // next record of the pool, while pooled
    UTL_message_queue* reply;  // the worker writes `cookie` here when the job is done
    pthread_mutex_t lock;      // guards result and done
    void* (*func)(void*);
    void* arg;
    void* result;
    int done;
    int cookie;  // a multiple of 4, never 0
};

void THREAD_init();
int THREAD_is_inited();
int THREAD_is_main_thread();
void THREAD_create(void* (*func)(void*), void* arg, unsigned long* thread,
                   unsigned long* thread_id, unsigned long* join, int want_gl);
void THREAD_make_workers();

THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg);
int THREAD_is_done(THREAD_call* call, int timeout_ms);
void* THREAD_cleanup(THREAD_call* call);

// The cookie handed out after `cookie`: the next multiple of 4, skipping 0.
int THREAD_next_cookie(int cookie);

void THREAD_send_exception(const exce_class& report);
void THREAD_check_exception(int also_warnings);
void THREAD_shutdown();
