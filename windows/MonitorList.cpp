#include "MonitorList.h"

namespace {

BOOL CALLBACK AddUnlessPrimary(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoA(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) == 0)
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(info.rcMonitor);
    return TRUE;
}

} // namespace

std::vector<RECT> SystemMonitors::OtherMonitors()
{
    std::vector<RECT> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, AddUnlessPrimary, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}
