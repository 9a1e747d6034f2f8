#include "CMonitorCover.h"

#include "framework/CDC.h"

const MessageRow CMonitorCover::messageRows[] = {
    OnMessage<&CMonitorCover::OnPaint>(WM_PAINT),
    OnMessage<&CMonitorCover::OnSetCursor>(WM_SETCURSOR),
    OnMessage<&CMonitorCover::OnMouseActivate>(WM_MOUSEACTIVATE),
    OnMessage<&CMonitorCover::OnMouseInput<WM_MOUSEMOVE>>(WM_MOUSEMOVE),
    OnMessage<&CMonitorCover::OnMouseInput<WM_LBUTTONDOWN>>(WM_LBUTTONDOWN),
    OnMessage<&CMonitorCover::OnMouseInput<WM_MBUTTONDOWN>>(WM_MBUTTONDOWN),
    OnMessage<&CMonitorCover::OnMouseInput<WM_RBUTTONDOWN>>(WM_RBUTTONDOWN),
    OnMessage<&CMonitorCover::OnKeyInput<WM_KEYDOWN>>(WM_KEYDOWN),
    OnMessage<&CMonitorCover::OnKeyInput<WM_SYSKEYDOWN>>(WM_SYSKEYDOWN),
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
                  monitor.bottom - monitor.top, owner, nullptr))
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

// Sent, not posted: the owner handles the input before the cover's next message.
template <UINT message> LRESULT CMonitorCover::OnMouseInput(WPARAM flags, LPARAM position)
{
    POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ::MapWindowPoints(m_hWnd, owner, &point, 1);
    return ::SendMessageA(owner, message, flags, MAKELPARAM(point.x, point.y));
}

template <UINT message> LRESULT CMonitorCover::OnKeyInput(WPARAM key, LPARAM flags)
{
    return ::SendMessageA(owner, message, key, flags);
}
