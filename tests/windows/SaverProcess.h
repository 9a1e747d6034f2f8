#pragma once

// What the saver windows' tests share: pictures made on the spot, pixels read
// back, waiting with messages handled, thread counts, and the real program in
// a process of its own.
#include "support/RegistryCleaner.h"
#include "windows/DisplayModes.h"
#include "windows/MonitorList.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

// A display whose modes are a list, in place of the system's. A mode with
// dmSize 0 can't be enumerated, which ends the enumeration.
class ListedModes : public DisplayModes {
public:
    explicit ListedModes(std::vector<DEVMODEA> list) : modes(std::move(list)) {}
    bool Enumerate(DWORD n, DEVMODEA* mode) override;
    LONG Change(DEVMODEA* mode, DWORD flags) override;

    std::vector<DEVMODEA> modes;
    std::vector<DWORD> asked;
    std::vector<DEVMODEA> changes;
    std::vector<DWORD> changeFlags;
};

DEVMODEA Mode(DWORD width, DWORD height, DWORD bits, DWORD frequency);

// Monitors beside the primary as a list, in place of the system's.
class ListedMonitors : public MonitorList {
public:
    explicit ListedMonitors(std::vector<RECT> list) : monitors(std::move(list)) {}
    std::vector<RECT> OtherMonitors() override { return monitors; }

    std::vector<RECT> monitors;
};

// The top-level windows of that class that a process (or thread) has made.
std::vector<HWND> WindowsOfClass(DWORD processId, const char* className);

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

// The client area as the window's device context holds it.
Capture CaptureWindow(HWND hwnd);
// What the whole screen shows, other processes' OpenGL frames included.
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
    // The key of its settings under HKEY_CURRENT_USER.
    std::string ConfigPath() const { return m_settings.Path() + "\\Config"; }

    // Ends a run still going before starting the next.
    bool Start(const std::string& arguments);
    void Kill();
    DWORD Id() const { return m_process.dwProcessId; }
    bool Running() const;
    // Pumps this thread's messages while waiting.
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;

    // Waits for the end while counting the process's threads: how long it
    // lived on after it was last seen with the given number of threads (or
    // after since, when it never was).
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
