#include "CSyncObjects.h"

bool StartWorkerThread(DWORD(WINAPI* procedure)(void*), void* parameter)
{
    HANDLE thread = ::CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
    if (thread == nullptr)
        return false;
    ::CloseHandle(thread);
    return true;
}
