#pragma once

#include <windows.h>

// A device context that someone else owns; the drawing calls take this.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    HDC m_hDC = nullptr;
};

// The client area's device context of a window, released when it goes.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hwnd) : CDC(::GetDC(hwnd)), m_hWnd(hwnd) {}
    ~CClientDC() override
    {
        if (m_hDC != nullptr)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};

// The device context of a paint: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = ::BeginPaint(hwnd, &m_paint); }
    ~CPaintDC() override { ::EndPaint(m_hWnd, &m_paint); }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_paint;
};

// A palette selected into a device context for the guard's life.
class CPaletteSelection {
public:
    CPaletteSelection(HDC hdc, HPALETTE palette, BOOL forceBackground)
        : m_hDC(hdc), m_previous(::SelectPalette(hdc, palette, forceBackground))
    {
    }
    ~CPaletteSelection()
    {
        if (m_previous != nullptr)
            ::SelectPalette(m_hDC, m_previous, TRUE);
    }
    CPaletteSelection(const CPaletteSelection&) = delete;
    CPaletteSelection& operator=(const CPaletteSelection&) = delete;

    bool Selected() const { return m_previous != nullptr; }

private:
    HDC m_hDC;
    HPALETTE m_previous;
};
