// A private Xvfb of a chosen screen size, for tests that need a display other
// than the shared one (another size, or no GLX).
#pragma once

#include <string>
#include <sys/types.h>

namespace brx_test {

class XvfbServer {
public:
    // screen: "WxHxDEPTH". Without glx the server offers no GLX extension.
    explicit XvfbServer(const std::string& screen, bool glx = true);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace brx_test
