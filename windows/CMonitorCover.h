#pragma once

#include "framework/CWnd.h"

class CSaverWnd;

// A black top-most window over one monitor beside the primary while the saver
// runs. It hides the cursor, is never activated, and hands every sign of the
// user to the saver window, which decides whether it closes.
class CMonitorCover : public CWnd {
public:
    explicit CMonitorCover(CSaverWnd& saver) : saver(saver) {}

    // Shown over the monitor's rectangle (screen coordinates), owned by the
    // saver window so that it goes with it.
    BOOL Create(const RECT& monitor);

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;

private:
    static const MessageRow messageRows[];

    void OnPaint();
    LRESULT OnSetCursor(WPARAM, LPARAM);
    LRESULT OnMouseActivate(WPARAM, LPARAM);
    void OnMouseMove(UINT flags, POINT point);
    // Buttons and keys.
    LRESULT OnUserInput(WPARAM, LPARAM);

    CSaverWnd& saver;
};
