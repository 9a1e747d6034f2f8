#include "CDataExchange.h"

#include <vector>

void DDX_Text(CDataExchange* pDX, int id, std::string& value)
{
    HWND control = pDX->Control(id);
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(control, value.c_str());
        return;
    }
    const int length = ::GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(control, text.data(), length + 1);
    value.assign(text.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    HWND control = pDX->Control(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
        return;
    }
    if (value < 0 || value > 2)
        value = 0;
    ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index)
{
    HWND control = pDX->Control(id);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
