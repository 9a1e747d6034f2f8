#include "support/TestPaths.h"

#include "framework/ApplicationName.h"

#include <windows.h>

std::string ExecutableDirectory()
{
    const std::string path = CurrentModulePath();
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string BesideTests(const std::string& fileName)
{
    return ExecutableDirectory() + fileName;
}

std::string TemporaryDirectory()
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
    return std::string(buffer, length);
}
