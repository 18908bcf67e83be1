#include "OOPS_cpp/http.h"

http_class http;
