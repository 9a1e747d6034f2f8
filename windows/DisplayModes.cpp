#include "DisplayModes.h"

bool SystemDisplayModes::Enumerate(DWORD n, DEVMODEA* mode)
{
    mode->dmSize = sizeof *mode;
    return ::EnumDisplaySettingsA(nullptr, n, mode) != FALSE;
}

LONG SystemDisplayModes::Change(DEVMODEA* mode, DWORD flags)
{
    return ::ChangeDisplaySettingsA(mode, flags);
}

bool SwitchToSaverMode(DisplayModes& modes)
{
    DEVMODEA saved = {};
    bool found = false;
    DEVMODEA mode = {};
    for (DWORD n = 0; modes.Enumerate(n, &mode); ++n) {
        if (mode.dmPelsWidth == 640 && mode.dmPelsHeight == 480 && mode.dmBitsPerPel == 16) {
            saved = mode;
            found = true;
        }
        mode = DEVMODEA{};
    }
    if (!found)
        return false;
    // Depth and frequency stay as the system chooses.
    saved.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    modes.Change(&saved, 0);
    return true;
}
