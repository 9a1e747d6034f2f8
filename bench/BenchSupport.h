#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

// Milliseconds from the performance counter.
inline double NowMs()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The Windows temporary folder with its trailing separator, or "" when there is none.
inline std::string TempFolder()
{
    char folder[MAX_PATH];
    const DWORD length = ::GetTempPathA(MAX_PATH, folder);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(folder, length);
}
