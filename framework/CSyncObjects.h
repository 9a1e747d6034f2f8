#pragma once

#include <windows.h>

// A Win32 critical section for the object's life.
class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_section); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { ::EnterCriticalSection(&m_section); }
    void Unlock() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// Holds a critical section from construction to destruction.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& section) : m_section(section) { m_section.Lock(); }
    ~CSingleLock() { m_section.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_section;
};

// An unnamed auto-reset event, initially not signalled.
class CEvent {
public:
    CEvent() : m_handle(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~CEvent()
    {
        if (m_handle != nullptr)
            ::CloseHandle(m_handle);
    }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent() { return ::SetEvent(m_handle); }
    // WAIT_OBJECT_0 when the event was signalled (and is reset again).
    DWORD Wait(DWORD milliseconds) { return ::WaitForSingleObject(m_handle, milliseconds); }
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Starts a worker thread at normal priority with the default stack; the handle
// is closed at once, the thread runs on by itself. False when it can't start.
bool StartWorkerThread(DWORD(WINAPI* procedure)(void*), void* parameter);
