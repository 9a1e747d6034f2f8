#pragma once

#include "CDataExchange.h"
#include "CWnd.h"

// A modal dialog from a template: its messages go through the message tables
// like any window's, with the dialog manager as the default processing.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // IDOK, IDCANCEL, or -1 when the dialog could not be made or initialised.
    virtual INT_PTR DoModal();

    // Copies controls to members (save) or members to controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(INT_PTR result);
    // Centres over the owner, or the work area without one, inside the work area.
    void CenterWindow();

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;

    virtual void DoDataExchange(CDataExchange* pDX);
    // Fills combo boxes from the template's initialisation data, then loads the
    // controls. FALSE ends the dialog with -1.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_templateId;
    CWnd* m_pParent;

private:
    static const MessageRow messageRows[];
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleInitDialog(WPARAM, LPARAM);
    BOOL ExecuteDialogInit();
    HWND OwnerWindow() const;
};
