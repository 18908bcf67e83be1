// A failure report: four lines, the reporting source location and a severity
// (1 warning, 2 fatal). Carries alerts from worker threads to the main thread.
#pragma once

#include <string>

class exce_class {
public:
    exce_class(std::string msg1, std::string msg2, std::string msg3, std::string msg4,
               const char* file, int line, int severity);
    exce_class();
    exce_class(const exce_class&) = default;
    exce_class& operator=(const exce_class&) = default;
    virtual ~exce_class() = default;

    void MakeFatal() { severity = 2; }
    void Report();
    void LogAndContinue();

    std::string msg1, msg2, msg3, msg4;
    const char* file;
    int line;
    int severity;
};
