// Plays the display-properties host: a window with a small preview area in
// which the screen saver shows its preview, destroyed again after a while.
//   preview_host [--in-process] [--seconds N] [--screenshot FILE.png] SAVER.scr
// Without --in-process it starts SAVER.scr /p <area> and exits with the
// saver's exit code after destroying the area (3: the saver did not end).
// With --in-process a picture window of our own fills the area instead, as the
// settings dialog shows its pane: Wine shows nothing that one process draws
// into another's window, so this is the way to look at a preview here.
#include "framework/ApplicationName.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "windows/CPictureWnd.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int kAreaWidth = 152;
const int kAreaHeight = 112;

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        ::KillTimer(hwnd, wParam);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow(const char* className, const char* title, DWORD style, int x, int y, int width,
                int height, HWND parent, HBRUSH background)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, className, title, style, x, y, width, height, parent, nullptr,
                             wc.hInstance, nullptr);
}

// Runs the message loop for the given time.
void Pump(HWND window, double seconds)
{
    ::SetTimer(window, 1, static_cast<UINT>(seconds * 1000), nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

int Screenshot(const std::string& file)
{
    char self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, self, sizeof self);
    std::string capture(self, length);
    capture = capture.substr(0, capture.find_last_of("\\/") + 1) + "screen_capture.exe";
    std::string line = "\"" + capture + "\" \"" + file + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return 1;
    ::WaitForSingleObject(process.hProcess, 30000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool inProcess = false;
    double seconds = 5;
    std::string saver;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--in-process") == 0)
            inProcess = true;
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else
            saver = argv[i];
    }
    HWND host =
        MakeWindow("VornellePreviewHost", "Display Properties", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                   100, 100, 400, 300, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HWND area = MakeWindow("VornellePreviewArea", "", WS_CHILD | WS_VISIBLE, 116, 60, kAreaWidth,
                           kAreaHeight, host, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (host == nullptr || area == nullptr)
        return 2;

    if (inProcess) {
        // The saver's own settings, read as the program itself reads them.
        CWinApp app(saver.empty() ? "vornelle" : ApplicationNameFromPath(saver).c_str());
        app.SetRegistryKey("Ombrelune");
        CPictureWnd pane(0);
        const RECT client = {0, 0, kAreaWidth, kAreaHeight};
        if (!pane.Create(0, WS_CHILD | WS_VISIBLE, client, area, 0, nullptr))
            return 2;
        Pump(host, seconds);
        if (!screenshot.empty())
            Screenshot(screenshot);
        ::DestroyWindow(host);
        return 0;
    }

    std::string line =
        "\"" + saver + "\" /p " + std::to_string(reinterpret_cast<std::intptr_t>(area));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return 2;
    Pump(host, seconds);
    if (!screenshot.empty())
        Screenshot(screenshot);
    // The host stops the preview by destroying its area.
    ::DestroyWindow(area);
    DWORD exitCode = 3;
    if (::WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &exitCode);
    else
        ::TerminateProcess(process.hProcess, 3);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::DestroyWindow(host);
    return static_cast<int>(exitCode);
}
