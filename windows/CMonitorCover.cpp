#include "CMonitorCover.h"

#include "CSaverWnd.h"

#include "framework/CDC.h"

const MessageRow CMonitorCover::messageRows[] = {
    OnMessage<&CMonitorCover::OnPaint>(WM_PAINT),
    OnMessage<&CMonitorCover::OnSetCursor>(WM_SETCURSOR),
    OnMessage<&CMonitorCover::OnMouseActivate>(WM_MOUSEACTIVATE),
    OnMouse<&CMonitorCover::OnMouseMove>(WM_MOUSEMOVE),
    OnMessage<&CMonitorCover::OnUserInput>(WM_LBUTTONDOWN),
    OnMessage<&CMonitorCover::OnUserInput>(WM_MBUTTONDOWN),
    OnMessage<&CMonitorCover::OnUserInput>(WM_RBUTTONDOWN),
    OnMessage<&CMonitorCover::OnUserInput>(WM_KEYDOWN),
    OnMessage<&CMonitorCover::OnUserInput>(WM_SYSKEYDOWN),
};
const MessageTable CMonitorCover::messageTable = MakeMessageTable(&CWnd::messageTable, messageRows);

BOOL CMonitorCover::Create(const RECT& monitor)
{
    const char* windowClass =
        RegisterClassFor("VornelleMonitorCover", 0, nullptr,
                         static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)), nullptr);
    // Not activated: the saver window keeps the focus and its keys.
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, windowClass, "", WS_POPUP,
                  monitor.left, monitor.top, monitor.right - monitor.left,
                  monitor.bottom - monitor.top, saver.m_hWnd, nullptr))
        return FALSE;
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    return TRUE;
}

void CMonitorCover::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::FillRect(dc.GetSafeHdc(), &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
}

LRESULT CMonitorCover::OnSetCursor(WPARAM, LPARAM)
{
    ::SetCursor(nullptr);
    return TRUE;
}

LRESULT CMonitorCover::OnMouseActivate(WPARAM, LPARAM)
{
    return MA_NOACTIVATE;
}

void CMonitorCover::OnMouseMove(UINT, POINT point)
{
    ::ClientToScreen(m_hWnd, &point);
    saver.OnCoverMouseMove(point);
}

LRESULT CMonitorCover::OnUserInput(WPARAM, LPARAM)
{
    saver.OnCoverInput();
    return Default();
}
