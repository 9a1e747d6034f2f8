#pragma once

#include <windows.h>

// Owns one open registry key and closes it.
class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Opens parent\path, creating every missing key on the way.
    bool Create(HKEY parent, const char* path, REGSAM access);

    HKEY Get() const { return m_key; }
    bool IsOpen() const { return m_key != nullptr; }

private:
    HKEY m_key = nullptr;
};
