#include "CSaverWnd.h"

#include "DisplayModes.h"
#include "MonitorList.h"

#include <new>

const MessageRow CSaverWnd::messageRows[] = {
    OnWParam<&CSaverWnd::OnSysCommand>(WM_SYSCOMMAND),
    OnMessage<&CSaverWnd::OnDestroy>(WM_DESTROY),
    OnMessage<&CSaverWnd::OnSetCursor>(WM_SETCURSOR),
    OnWParam<&CSaverWnd::OnNcActivate>(WM_NCACTIVATE),
    OnWParam<&CSaverWnd::OnActivate>(WM_ACTIVATE),
    OnWParam<&CSaverWnd::OnActivateApp>(WM_ACTIVATEAPP),
    OnMouse<&CSaverWnd::OnMouseMove>(WM_MOUSEMOVE),
    OnMessage<&CSaverWnd::OnUserInput>(WM_LBUTTONDOWN),
    OnMessage<&CSaverWnd::OnUserInput>(WM_MBUTTONDOWN),
    OnMessage<&CSaverWnd::OnUserInput>(WM_RBUTTONDOWN),
    OnMessage<&CSaverWnd::OnUserInput>(WM_KEYDOWN),
    OnMessage<&CSaverWnd::OnUserInput>(WM_SYSKEYDOWN),
};
const MessageTable CSaverWnd::messageTable =
    MakeMessageTable(&CPictureWnd::messageTable, messageRows);

CSaverWnd::CSaverWnd() : CPictureWnd(1)
{
    SystemDisplayModes modes;
    SwitchToSaverMode(modes);
    fullScreen = 1;
}

CSaverWnd::CSaverWnd(DisplayModes& modes) : CPictureWnd(1)
{
    SwitchToSaverMode(modes);
    fullScreen = 1;
}

BOOL CSaverWnd::CreateFullScreen()
{
    SystemMonitors monitors;
    return CreateFullScreen(monitors);
}

BOOL CSaverWnd::CreateFullScreen(MonitorList& monitors)
{
    // Read after the constructor's switch: the window covers the new size.
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const RECT screen = {0, 0, width, height};
    const BOOL created = Create(WS_EX_TOPMOST, WS_POPUP | WS_VISIBLE, screen, nullptr, 0, nullptr);
    if (created)
        CoverMonitors(monitors);
    return created;
}

void CSaverWnd::CoverMonitors(MonitorList& monitors)
{
    for (const RECT& monitor : monitors.OtherMonitors()) {
        std::unique_ptr<CMonitorCover> cover(new (std::nothrow) CMonitorCover(m_hWnd));
        if (cover && cover->Create(monitor))
            covers.push_back(std::move(cover));
    }
}

void CSaverWnd::PostClose()
{
    // Posted, never sent: the window closes from the message loop.
    ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

LRESULT CSaverWnd::OnSysCommand(UINT command)
{
    // Compared whole: the same commands with low bits set get the default.
    if (command == SC_SCREENSAVE || command == SC_CLOSE)
        return 0;
    return Default();
}

LRESULT CSaverWnd::OnDestroy(WPARAM, LPARAM)
{
    // Every monitor shows the desktop again now, not after the destructor's pause.
    covers.clear();
    ::PostQuitMessage(0);
    return Default();
}

LRESULT CSaverWnd::OnSetCursor(WPARAM, LPARAM)
{
    ::SetCursor(nullptr);
    return TRUE;
}

LRESULT CSaverWnd::OnNcActivate(UINT active)
{
    if (!active)
        return FALSE;
    return Default();
}

LRESULT CSaverWnd::OnActivate(UINT state)
{
    if (LOWORD(state) == WA_INACTIVE)
        PostClose();
    return Default();
}

LRESULT CSaverWnd::OnActivateApp(UINT active)
{
    if (!active)
        PostClose();
    return Default();
}

void CSaverWnd::OnMouseMove(UINT, POINT point)
{
    // The first report only says where the mouse rests; any move from there
    // ends. A cover's reports come here too, in this window's coordinates.
    if (firstMousePos.x == -1 && firstMousePos.y == -1)
        firstMousePos = point;
    else if (point.x != firstMousePos.x || point.y != firstMousePos.y)
        PostClose();
    Default();
}

LRESULT CSaverWnd::OnUserInput(WPARAM, LPARAM)
{
    PostClose();
    return Default();
}
