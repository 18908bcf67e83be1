// The application hooks that the framework calls, for test programs: each
// runs the function a test installs, or nothing.
#pragma once

#include <functional>

namespace brx_test {

extern std::function<void()> app_update;
extern std::function<void(int)> app_handlemenu;

}  // namespace brx_test
