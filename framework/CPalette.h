#pragma once

#include <windows.h>

// Owns one GDI palette and deletes it.
class CPalette {
public:
    CPalette() = default;
    virtual ~CPalette();
    CPalette(const CPalette&) = delete;
    CPalette& operator=(const CPalette&) = delete;

    HPALETTE GetSafeHandle() const { return m_hObject; }
    // Takes ownership of the handle; fails when one is held already.
    bool Attach(HPALETTE palette);
    HPALETTE Detach();

protected:
    HPALETTE m_hObject = nullptr;
};
