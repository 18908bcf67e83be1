// The framework's window as start-up leaves it, without the log, the command
// line and the worker threads: for programs that drive frames directly.
#pragma once

namespace brx_test {

void open_framework_window();

}  // namespace brx_test
