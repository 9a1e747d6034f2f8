#pragma once

#include <windows.h>

#include <cstddef>

// A copy of the whole screen in a 24-bit bottom-up DIB section, taken again at each Grab.
class CScreenGrab {
public:
    CScreenGrab();
    ~CScreenGrab();
    CScreenGrab(const CScreenGrab&) = delete;
    CScreenGrab& operator=(const CScreenGrab&) = delete;

    bool IsValid() const { return m_pixels != nullptr; }
    bool Grab();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Rows of BGR triples, bottom row first, each padded to four bytes.
    const unsigned char* Pixels() const { return static_cast<const unsigned char*>(m_pixels); }
    std::size_t RowBytes() const { return (static_cast<std::size_t>(m_width) * 3 + 3) / 4 * 4; }

private:
    int m_width;
    int m_height;
    HDC m_screen;
    HDC m_memory = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    void* m_pixels = nullptr;
};
