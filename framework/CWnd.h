#pragma once

#include "MessageTable.h"

#include <windows.h>

// Wraps one HWND. One window procedure finds the object for a handle and
// dispatches through the class's message table chain; messages without a row
// get the default processing.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // Creates the window of this object with a class registered through RegisterClassFor.
    // On failure the object is still the caller's, even when its window was made
    // and destroyed (by its parent, say) before CreateWindowEx returned.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x,
                  int y, int width, int height, HWND parent, HMENU menuOrId);
    BOOL DestroyWindow();

    // The object that wraps the handle, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Registers (once per process) a class whose windows are dispatched by CWnd and
    // returns its name.
    static const char* RegisterClassFor(const char* className, UINT classStyle, HCURSOR cursor,
                                        HBRUSH background, HICON icon);

protected:
    virtual const MessageTable* GetMessageTable() const;
    static const MessageTable messageTable;

    // Runs after the window's last message (WM_NCDESTROY); may delete the object.
    virtual void PostNcDestroy() {}

    // The processing a message gets when no row handles it.
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default processing of the message being handled now.
    LRESULT Default();

    // Routes an existing window's messages through this object; its own window
    // procedure becomes the default processing. Undone after its last message.
    void SubclassWindow(HWND hwnd);

    // Runs CreateWindowEx or a dialog creation for this object: the window's
    // first messages reach it before the call returns.
    class CreationScope {
    public:
        explicit CreationScope(CWnd* wnd);
        ~CreationScope();
        CreationScope(const CreationScope&) = delete;
        CreationScope& operator=(const CreationScope&) = delete;

    private:
        CWnd* m_outer;
    };
    // The object whose window is being created on this thread, taken once.
    static CWnd* TakeWindowBeingCreated();

    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);
    void Detach();
    void FinishNcDestroy();

    WNDPROC m_superProc = nullptr;
    // Inside CreateEx: a window ending there does not run PostNcDestroy.
    bool m_creating = false;
};
