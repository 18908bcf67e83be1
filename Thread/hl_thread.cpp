#include "Thread/hl_thread.h"

#include "OOPS_cpp/exce.h"

static int threads_inited = 0;

int THREAD_is_inited() { return threads_inited; }

int THREAD_is_main_thread() { return 1; }

void THREAD_send_exception(exce_class*) {}

void THREAD_shutdown() { threads_inited = 0; }
