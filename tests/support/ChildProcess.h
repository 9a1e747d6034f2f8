#pragma once

#include <windows.h>

#include <string>

struct ChildResult {
    bool started = false;
    bool finished = false; // false: still running at the time limit, and killed
    DWORD exitCode = 0;
};

// Starts a program with the command line given (program path quoted by the
// caller where needed) and waits for it up to the time limit.
ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs);
