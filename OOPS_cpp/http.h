// The HTTP/1.1 downloader with its request slots and proxy settings.
#pragma once

#include <string>

class http_class {
public:
    std::string proxy_host;  // as the user typed it; empty: no proxy
    std::string proxy_port;  // as typed
    int proxy_port_int = 0;  // 0: no proxy
};

extern http_class http;
