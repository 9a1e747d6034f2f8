#pragma once

#include "framework/CWnd.h"

// A black top-most window over one monitor beside the primary while the saver
// runs. It hides the cursor, is never activated, and hands every sign of the
// user to its owner as the owner's own input, which decides whether it closes.
class CMonitorCover : public CWnd {
public:
    explicit CMonitorCover(HWND owner) : owner(owner) {}

    // Shown over the monitor's rectangle (screen coordinates), owned by the
    // owner window so that it goes with it.
    BOOL Create(const RECT& monitor);

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;

private:
    static const MessageRow messageRows[];

    void OnPaint();
    LRESULT OnSetCursor(WPARAM, LPARAM);
    LRESULT OnMouseActivate(WPARAM, LPARAM);
    // Mouse moves and buttons go on with the position in the owner's client
    // area, keys as they came.
    template <UINT message> LRESULT OnMouseInput(WPARAM flags, LPARAM position);
    template <UINT message> LRESULT OnKeyInput(WPARAM key, LPARAM flags);

    HWND owner;
};
