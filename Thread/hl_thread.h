// The worker pool and the hand-off of failure reports to the main thread.
#pragma once

class exce_class;

int THREAD_is_inited();
int THREAD_is_main_thread();
void THREAD_send_exception(exce_class* report);
void THREAD_shutdown();
