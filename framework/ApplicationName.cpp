#include "ApplicationName.h"

#include <windows.h>

#include <vector>

std::string ApplicationNameFromPath(const std::string& modulePath)
{
    std::string name = modulePath.substr(0, modulePath.rfind('.'));
    const std::size_t separator = name.find_last_of("\\/:");
    if (separator != std::string::npos)
        name.erase(0, separator + 1);
    return name;
}

std::string CurrentModulePath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        // A cut path may end short of the buffer by less than one character
        // of the code page (4 bytes in UTF-8), with no error.
        if (length + 4 <= buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}
