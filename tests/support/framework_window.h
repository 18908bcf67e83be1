// The framework's window as start-up leaves it, without the log, the command
// line and the worker threads: for programs that drive frames directly.
#pragma once

namespace brx_test {

void open_framework_window();

// For a thread that acts as the user's hand while the main thread runs a
// modal window's frames. Each waits for the state, up to a minute, and says
// whether it came.
// Until `count` more frames have ended.
bool wait_frames(int count);
// Until window `wind` is current and has ended two frames, so it is drawn and
// has read the input sent before it.
bool wait_for_window(int wind);

}  // namespace brx_test
