#include "CWnd.h"

#include "CWinApp.h"

namespace {

const char kObjectProperty[] = "Vornelle.CWnd";

// The message being dispatched on this thread, for Default(). Kept per thread,
// not per object, because a handler may end with its object deleted.
struct CurrentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local const CurrentMessage* t_currentMessage = nullptr;

// The object whose CreateWindowEx call is under way: its window's first messages
// arrive before CreateWindowEx returns the handle.
thread_local CWnd* t_creatingWindow = nullptr;

} // namespace

const MessageTable CWnd::messageTable = {nullptr, nullptr, 0};

const MessageTable* CWnd::GetMessageTable() const
{
    return &messageTable;
}

CWnd::~CWnd()
{
    if (m_hWnd != nullptr) {
        // Messages of the destruction go to the default procedure: this object
        // is no longer a whole window of its class.
        HWND hwnd = m_hWnd;
        if (m_superProc != nullptr)
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        Detach();
        ::DestroyWindow(hwnd);
    }
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId)
{
    CreationScope scope(this);
    m_creating = true;
    HWND hwnd = ::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height,
                                  parent, menuOrId, ::GetModuleHandleA(nullptr), nullptr);
    m_creating = false;
    return hwnd != nullptr && m_hWnd == hwnd;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kObjectProperty)) : nullptr;
}

const char* CWnd::RegisterClassFor(const char* className, UINT classStyle, HCURSOR cursor,
                                   HBRUSH background, HICON icon)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (::GetClassInfoA(instance, className, &existing))
        return className;
    WNDCLASSA wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return ::RegisterClassA(&wc) ? className : nullptr;
}

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_superProc != nullptr)
        return ::CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

CWnd::CreationScope::CreationScope(CWnd* wnd) : m_outer(t_creatingWindow)
{
    t_creatingWindow = wnd;
}

CWnd::CreationScope::~CreationScope()
{
    t_creatingWindow = m_outer;
}

CWnd* CWnd::TakeWindowBeingCreated()
{
    CWnd* wnd = t_creatingWindow;
    t_creatingWindow = nullptr;
    return wnd;
}

void CWnd::SubclassWindow(HWND hwnd)
{
    Attach(hwnd);
    m_superProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WindowProc)));
}

LRESULT CWnd::Default()
{
    const CurrentMessage* m = t_currentMessage;
    return m ? DefaultProc(m->message, m->wParam, m->lParam) : 0;
}

void CWnd::Attach(HWND hwnd)
{
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProperty, this);
}

void CWnd::Detach()
{
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    const CurrentMessage current{m_hWnd, message, wParam, lParam};
    const CurrentMessage* outer = t_currentMessage;
    t_currentMessage = &current;
    LRESULT result = 0;
    bool handled = false;
    for (const MessageTable* table = GetMessageTable(); table && !handled; table = table->base) {
        for (std::size_t i = 0; i < table->count; ++i) {
            const MessageRow& row = table->rows[i];
            if (row.Matches(message, wParam, lParam)) {
                result = row.handler(*this, wParam, lParam);
                handled = true;
                break;
            }
        }
    }
    if (!handled)
        result = DefaultProc(message, wParam, lParam);
    // The handler may have destroyed and deleted this object: touch no member here.
    t_currentMessage = outer;
    return result;
}

void CWnd::FinishNcDestroy()
{
    if (m_superProc != nullptr) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        m_superProc = nullptr;
    }
    Detach();
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    // A self-deleting object whose window ends inside CreateEx would be
    // deleted again by the caller told of the failure.
    if (!m_creating)
        PostNcDestroy();
}

LRESULT CALLBACK CWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandle(hwnd);
    if (wnd == nullptr && (wnd = TakeWindowBeingCreated()) != nullptr)
        wnd->Attach(hwnd);
    if (wnd == nullptr)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    LRESULT result = wnd->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        wnd->FinishNcDestroy();
    return result;
}
