#pragma once

#include "support/RegistryCleaner.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb& other) const
    {
        return red == other.red && green == other.green && blue == other.blue;
    }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

// A .bmp in the temporary folder, removed with the object. y counts from the
// top row as the picture is shown. With a palette the picture is 8-bit and its
// palette holds the colours used, else it is 24-bit.
class TestPicture {
public:
    TestPicture(const std::string& name, int width, int height, bool withPalette,
                const std::function<Rgb(int x, int y)>& colourAt);
    ~TestPicture();
    TestPicture(const TestPicture&) = delete;
    TestPicture& operator=(const TestPicture&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A 32-bit copy of a rectangle of a device context's pixels.
class Capture {
public:
    Capture(HDC source, const RECT& rect);
    Rgb At(int x, int y) const; // y from the top
    bool AllBlack() const;
    bool operator==(const Capture& other) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    std::string m_bgrx;
};

// What the window's device context holds, and what the screen shows where
// the window is (with OpenGL frames, which Wine keeps out of the former).
Capture CaptureWindow(HWND hwnd);
Capture CaptureOnScreen(HWND hwnd);
Capture CaptureScreen();

// Waits while handling this thread's messages, sent ones included: another
// process's window inside one of ours needs answers from this thread.
void PumpFor(DWORD milliseconds);
// Pumps until the condition holds or the time is up; the condition's last answer.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The threads of a process as the system lists them.
int ThreadCount(DWORD processId);
// The count once it has stayed the same for a while (-1 if it never settles).
int SettledThreadCount(DWORD processId);

// The real program copied to the temporary folder under a name of its own, so
// that its settings live under Ombrelune\<name>, run in a process of its own.
// Whatever still runs when the object goes is killed.
class SaverProcess {
public:
    explicit SaverProcess(const std::string& name);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    void SetInt(const char* entry, int value) const;
    void SetString(const char* entry, const std::string& value) const;

    // Ends a run still going before starting the next.
    bool Start(const std::string& arguments);
    void Kill();
    DWORD Id() const { return m_process.dwProcessId; }
    bool Running() const;
    // Pumps this thread's messages while waiting.
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;

    // Waits for the end while watching the process's threads: since is when
    // it last had the given number of threads, or when the watch began.
    struct Exit {
        bool ended;
        ULONGLONG msAfterThreadsLastSeen;
    };
    Exit WatchExit(int threads, ULONGLONG since, DWORD timeoutMs) const;

    // The program's picture window: top-level, or a child of the window given.
    HWND FindTopWindow(DWORD timeoutMs) const;
    HWND FindChildWindow(HWND parent, DWORD timeoutMs) const;

private:
    std::string m_name;
    std::string m_path;
    RegistryCleaner m_settings;
    PROCESS_INFORMATION m_process = {};
};
