#pragma once

#include <windows.h>

#include <vector>

// The monitors beside the primary one, which the saver covers with windows of
// their own; tests substitute a list.
class MonitorList {
public:
    virtual ~MonitorList() = default;
    // Their rectangles in screen coordinates.
    virtual std::vector<RECT> OtherMonitors() = 0;
};

class SystemMonitors : public MonitorList {
public:
    std::vector<RECT> OtherMonitors() override;
};
