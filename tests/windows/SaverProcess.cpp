#include "windows/SaverProcess.h"

#include "framework/CProfile.h"
#include "image/CImageObject.h"
#include "support/TestPaths.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

bool ListedModes::Enumerate(DWORD n, DEVMODEA* mode)
{
    asked.push_back(n);
    if (n >= modes.size() || modes[n].dmSize == 0)
        return false;
    *mode = modes[n];
    return true;
}

LONG ListedModes::Change(DEVMODEA* mode, DWORD flags)
{
    changes.push_back(*mode);
    changeFlags.push_back(flags);
    return DISP_CHANGE_SUCCESSFUL;
}

DEVMODEA Mode(DWORD width, DWORD height, DWORD bits, DWORD frequency)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    mode.dmDisplayFrequency = frequency;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    return mode;
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour)
{
    return out << '(' << int{colour.red} << ", " << int{colour.green} << ", " << int{colour.blue}
               << ')';
}

TestPicture::TestPicture(const std::string& name, int width, int height, bool withPalette,
                         const std::function<Rgb(int x, int y)>& colourAt)
    : m_path(TemporaryDirectory() + "vornelle-windows-" + name + "-" +
             std::to_string(::GetCurrentProcessId()) + ".bmp")
{
    CImageObject picture("", CImageObject::kTypeBmp);
    EXPECT_GT(picture.Create(width, height, withPalette ? 8 : 24, -1), 0);
    std::vector<Rgb> palette;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb colour = colourAt(x, y);
            // Stored rows run bottom-up.
            const int row = height - 1 - y;
            if (!withPalette) {
                picture.SetPixelRGB(x, row, colour.red, colour.green, colour.blue);
                continue;
            }
            std::size_t index = 0;
            while (index < palette.size() && palette[index] != colour)
                ++index;
            if (index == palette.size())
                palette.push_back(colour);
            picture.SetPixelIndex(x, row, static_cast<int>(index));
        }
    }
    if (withPalette) {
        EXPECT_LE(palette.size(), 256u);
        std::vector<std::uint8_t> rgb;
        for (const Rgb& colour : palette)
            rgb.insert(rgb.end(), {colour.red, colour.green, colour.blue});
        EXPECT_EQ(picture.SetPaletteRGB(static_cast<int>(palette.size()), rgb.data()), 1);
    }
    EXPECT_EQ(picture.GetImpl()->Write(m_path), 1);
}

TestPicture::~TestPicture()
{
    ::DeleteFileA(m_path.c_str());
}

Capture::Capture(HDC source, const RECT& rect)
    : m_width(rect.right - rect.left), m_height(rect.bottom - rect.top),
      m_bgrx(static_cast<std::size_t>(m_width) * m_height * 4, '\0')
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = m_height; // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = ::CreateCompatibleDC(source);
    HBITMAP section = ::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr) {
        ADD_FAILURE() << "no DIB section of " << m_width << " x " << m_height;
        ::DeleteDC(memory);
        return;
    }
    HGDIOBJ previous = ::SelectObject(memory, section);
    EXPECT_TRUE(::BitBlt(memory, 0, 0, m_width, m_height, source, rect.left, rect.top, SRCCOPY));
    ::GdiFlush();
    std::memcpy(&m_bgrx[0], bits, m_bgrx.size());
    ::SelectObject(memory, previous);
    ::DeleteObject(section);
    ::DeleteDC(memory);
}

Rgb Capture::At(int x, int y) const
{
    const std::size_t i = (static_cast<std::size_t>(m_height - 1 - y) * m_width + x) * 4;
    return Rgb{static_cast<std::uint8_t>(m_bgrx[i + 2]), static_cast<std::uint8_t>(m_bgrx[i + 1]),
               static_cast<std::uint8_t>(m_bgrx[i])};
}

bool Capture::AllBlack() const
{
    for (std::size_t i = 0; i < m_bgrx.size(); i += 4) {
        if (m_bgrx[i] != 0 || m_bgrx[i + 1] != 0 || m_bgrx[i + 2] != 0)
            return false;
    }
    return true;
}

bool Capture::operator==(const Capture& other) const
{
    // The fourth byte of each pixel is not part of the picture.
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (std::size_t i = 0; i < m_bgrx.size(); i += 4) {
        if (std::memcmp(&m_bgrx[i], &other.m_bgrx[i], 3) != 0)
            return false;
    }
    return true;
}

Capture CaptureWindow(HWND hwnd)
{
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    HDC dc = ::GetDC(hwnd);
    Capture capture(dc, client);
    ::ReleaseDC(hwnd, dc);
    return capture;
}

Capture CaptureScreen()
{
    const RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    HDC dc = ::GetDC(nullptr);
    Capture capture(dc, screen);
    ::ReleaseDC(nullptr, dc);
    return capture;
}

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return false;
        const DWORD step = static_cast<DWORD>(end - now < 20 ? end - now : 20);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, step, QS_ALLINPUT);
    }
}

int ThreadCount(DWORD processId)
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == processId;
    ::CloseHandle(snapshot);
    return count;
}

int SettledThreadCount(DWORD processId)
{
    int last = ThreadCount(processId);
    int sameFor = 0;
    const bool settled = PumpUntil(
        [&] {
            const int now = ThreadCount(processId);
            sameFor = now == last ? sameFor + 1 : 0;
            last = now;
            return sameFor >= 15; // about 300 ms unchanged
        },
        5000);
    return settled ? last : -1;
}

SaverProcess::SaverProcess(const std::string& name)
    : m_name(name), m_path(TemporaryDirectory() + name + ".scr"), m_settings("Ombrelune", name)
{
    EXPECT_TRUE(::CopyFileA(BesideTests("vornelle.scr").c_str(), m_path.c_str(), FALSE)) << m_path;
}

SaverProcess::~SaverProcess()
{
    Kill();
    ::DeleteFileA(m_path.c_str());
}

void SaverProcess::Kill()
{
    if (m_process.hProcess == nullptr)
        return;
    if (Running()) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
    m_process = PROCESS_INFORMATION{};
}

void SaverProcess::SetInt(const char* entry, int value) const
{
    EXPECT_TRUE(CProfile("Ombrelune", m_name).WriteInt("Config", entry, value));
}

void SaverProcess::SetString(const char* entry, const std::string& value) const
{
    EXPECT_TRUE(CProfile("Ombrelune", m_name).WriteString("Config", entry, value));
}

bool SaverProcess::Start(const std::string& arguments)
{
    Kill();
    std::string line = "\"" + m_path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &m_process) != FALSE;
}

bool SaverProcess::Running() const
{
    return m_process.hProcess != nullptr &&
           ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

bool SaverProcess::WaitForExit(DWORD timeoutMs) const
{
    return m_process.hProcess != nullptr && PumpUntil([this] { return !Running(); }, timeoutMs);
}

DWORD SaverProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

SaverProcess::Exit SaverProcess::WatchExit(int threads, ULONGLONG since, DWORD timeoutMs) const
{
    ULONGLONG lastSeen = since;
    const bool ended = PumpUntil(
        [&] {
            const ULONGLONG before = ::GetTickCount64();
            if (ThreadCount(Id()) >= threads)
                lastSeen = before;
            return !Running();
        },
        timeoutMs);
    return Exit{ended, ::GetTickCount64() - lastSeen};
}

namespace {

// Windows of one class and process; with firstOnly the search stops at the first.
struct WindowSearch {
    DWORD processId;
    const char* className;
    bool firstOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CheckWindow(HWND hwnd, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    char className[64] = {};
    ::GetClassNameA(hwnd, className, sizeof className);
    if (owner != search->processId || std::strcmp(className, search->className) != 0)
        return TRUE;
    search->found.push_back(hwnd);
    return !search->firstOnly;
}

HWND FindPictureWindow(DWORD processId, HWND parent, DWORD timeoutMs)
{
    WindowSearch search = {processId, "VornellePictureWindow", true, {}};
    PumpUntil(
        [&] {
            if (parent == nullptr)
                ::EnumWindows(&CheckWindow, reinterpret_cast<LPARAM>(&search));
            else
                ::EnumChildWindows(parent, &CheckWindow, reinterpret_cast<LPARAM>(&search));
            return !search.found.empty();
        },
        timeoutMs);
    return search.found.empty() ? nullptr : search.found[0];
}

} // namespace

HWND SaverProcess::FindTopWindow(DWORD timeoutMs) const
{
    return FindPictureWindow(Id(), nullptr, timeoutMs);
}

HWND SaverProcess::FindChildWindow(HWND parent, DWORD timeoutMs) const
{
    return FindPictureWindow(Id(), parent, timeoutMs);
}

std::vector<HWND> WindowsOfClass(DWORD processId, const char* className)
{
    WindowSearch search = {processId, className, false, {}};
    ::EnumWindows(&CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
