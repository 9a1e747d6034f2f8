#include "MessageTable.h"

#include <commctrl.h>

bool MessageRow::Matches(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    if (msg != message)
        return false;
    UINT msgCode = 0;
    UINT id = 0;
    if (msg == WM_COMMAND) {
        msgCode = HIWORD(wParam);
        id = LOWORD(wParam);
    } else if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr)
            return false;
        msgCode = header->code;
        id = static_cast<UINT>(header->idFrom);
    } else {
        return true;
    }
    return msgCode == code && id >= firstId && id <= lastId;
}
