// Clicks a button of another program's dialog, as a person would, to bring up
// what it opens for a screenshot.
//   click_button TEXT
// Waits up to ten seconds for a visible window with a button labelled TEXT;
// exit code 1 if none came.
#include <windows.h>

namespace {

struct Search {
    const char* text;
    HWND button;
};

BOOL CALLBACK LookIn(HWND window, LPARAM lParam)
{
    Search* search = reinterpret_cast<Search*>(lParam);
    if (!::IsWindowVisible(window))
        return TRUE;
    search->button = ::FindWindowExA(window, nullptr, "Button", search->text);
    return search->button == nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    Search search = {argv[1], nullptr};
    for (int tries = 0; tries < 100 && search.button == nullptr; ++tries) {
        ::EnumWindows(LookIn, reinterpret_cast<LPARAM>(&search));
        if (search.button == nullptr)
            ::Sleep(100);
    }
    if (search.button == nullptr)
        return 1;
    // The notification a click sends, posted: sent, it would hold us until the box it opens
    // closes.
    const WPARAM command = MAKEWPARAM(::GetDlgCtrlID(search.button), BN_CLICKED);
    return ::PostMessageA(::GetParent(search.button), WM_COMMAND, command,
                          reinterpret_cast<LPARAM>(search.button))
               ? 0
               : 1;
}
