#pragma once

#include <windows.h>

#include <string>

// Moves values between a dialog's controls and its members: into the controls
// when it opens, back when the user presses OK.
class CDataExchange {
public:
    CDataExchange(HWND dialog, bool saveAndValidate)
        : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }

    HWND Control(int id) const { return ::GetDlgItem(m_hDialog, id); }

    HWND m_hDialog;
    bool m_bSaveAndValidate;
};

// An edit control's whole text.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// A check box: 0 unchecked, 1 checked; a value outside 0..2 shows unchecked.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// A combo box's selected index; -1 for none.
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
