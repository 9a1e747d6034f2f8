#include "CScreenGrab.h"

CScreenGrab::CScreenGrab()
    : m_width(::GetSystemMetrics(SM_CXSCREEN)), m_height(::GetSystemMetrics(SM_CYSCREEN)),
      m_screen(::GetDC(nullptr))
{
    if (m_screen == nullptr)
        return;
    m_memory = ::CreateCompatibleDC(m_screen);
    if (m_memory == nullptr)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = m_height; // bottom-up, as the picture store keeps rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    m_bitmap = ::CreateDIBSection(m_screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (m_bitmap == nullptr)
        return;
    m_previous = ::SelectObject(m_memory, m_bitmap);
    m_pixels = pixels;
}

CScreenGrab::~CScreenGrab()
{
    if (m_previous != nullptr)
        ::SelectObject(m_memory, m_previous);
    if (m_bitmap != nullptr)
        ::DeleteObject(m_bitmap);
    if (m_memory != nullptr)
        ::DeleteDC(m_memory);
    if (m_screen != nullptr)
        ::ReleaseDC(nullptr, m_screen);
}

bool CScreenGrab::Grab()
{
    if (!IsValid())
        return false;
    // CAPTUREBLT brings in layered windows and the OpenGL frames too.
    const BOOL copied =
        ::BitBlt(m_memory, 0, 0, m_width, m_height, m_screen, 0, 0, SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    return copied != FALSE;
}
