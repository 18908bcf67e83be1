#include "OOPS_cpp/exce.h"

#include "GenC/hl_alert.h"

exce_class::exce_class(std::string m1, std::string m2, std::string m3, std::string m4,
                       const char* file_, int line_, int severity_)
    : msg1(std::move(m1)), msg2(std::move(m2)), msg3(std::move(m3)), msg4(std::move(m4)),
      file(file_), line(line_), severity(severity_)
{
}

exce_class::exce_class() : file("no exception"), line(0), severity(2) {}

void exce_class::Report() { __MACIBM_alert(0, msg1, msg2, msg3, msg4, severity, file, line); }

void exce_class::LogAndContinue() {}
