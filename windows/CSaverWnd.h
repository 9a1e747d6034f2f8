#pragma once

#include "CMonitorCover.h"
#include "CPictureWnd.h"

#include <memory>
#include <vector>

class DisplayModes;
class MonitorList;

// The saver role's window: a top-most popup over the whole screen that hides
// the cursor, runs the animation and closes on the first sign of the user.
class CSaverWnd : public CPictureWnd {
public:
    // May switch the display to 640 x 480 before the window exists.
    CSaverWnd();
    explicit CSaverWnd(DisplayModes& modes);
    ~CSaverWnd() override = default;

    // Over the primary display; every other monitor gets a black cover.
    BOOL CreateFullScreen();
    BOOL CreateFullScreen(MonitorList& monitors);
    // A cover for each of the monitors, owned by this window and gone with it.
    // Input over a cover arrives as this window's own.
    void CoverMonitors(MonitorList& monitors);

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;

private:
    static const MessageRow messageRows[];

    LRESULT OnSysCommand(UINT command);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnSetCursor(WPARAM, LPARAM);
    LRESULT OnNcActivate(UINT active);
    LRESULT OnActivate(UINT state);
    LRESULT OnActivateApp(UINT active);
    void OnMouseMove(UINT flags, POINT point);
    // Buttons and keys.
    LRESULT OnUserInput(WPARAM, LPARAM);
    void PostClose();

    POINT firstMousePos = {-1, -1};
    std::vector<std::unique_ptr<CMonitorCover>> covers;
};
