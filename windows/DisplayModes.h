#pragma once

#include <windows.h>

// The display modes of the primary display and the switch between them; tests
// substitute a list of their own.
class DisplayModes {
public:
    virtual ~DisplayModes() = default;
    // Mode number n, or false past the last one.
    virtual bool Enumerate(DWORD n, DEVMODEA* mode) = 0;
    virtual LONG Change(DEVMODEA* mode, DWORD flags) = 0;
};

class SystemDisplayModes : public DisplayModes {
public:
    bool Enumerate(DWORD n, DEVMODEA* mode) override;
    LONG Change(DEVMODEA* mode, DWORD flags) override;
};

// Switches to 640 x 480 when a 16-bit mode of that size exists: the last such
// mode in enumeration order, of which only width and height are requested.
// True when a mode was requested.
bool SwitchToSaverMode(DisplayModes& modes);
