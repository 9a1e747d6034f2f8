#include "CDialog.h"

#include "CWinApp.h"

#include <cstdint>
#include <cstring>

namespace {

// Resource type of the dialog-initialisation data, and its 16-bit-era message
// numbers for adding list items.
const WORD kDialogInitType = 240;
const WORD kWin16ComboAddString = 0x0403;
const WORD kWin16ListAddString = 0x0401;

} // namespace

const MessageRow CDialog::messageRows[] = {
    OnMessage<&CDialog::HandleInitDialog>(WM_INITDIALOG),
    OnCommand<&CDialog::OnOK>(IDOK),
    OnCommand<&CDialog::OnCancel>(IDCANCEL),
};
const MessageTable CDialog::messageTable = MakeMessageTable(&CWnd::messageTable, messageRows);

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParent(parent)
{
}

HWND CDialog::OwnerWindow() const
{
    if (m_pParent != nullptr)
        return m_pParent->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this)
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

INT_PTR CDialog::DoModal()
{
    CreationScope scope(this);
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId),
                             OwnerWindow(), &CDialog::DialogProc, 0);
}

// The dialog's first message hands the window to its object, whose table then
// sees every message; the dialog manager calls back here only for the default.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CWnd::FromHandle(hwnd) != nullptr)
        return FALSE;
    // Only DoModal starts dialogs with this procedure, so the window is a dialog's.
    auto* dialog = static_cast<CDialog*>(TakeWindowBeingCreated());
    if (dialog == nullptr)
        return FALSE;
    dialog->SubclassWindow(hwnd);
    if (message == WM_INITDIALOG)
        return dialog->Dispatch(message, wParam, lParam);
    return FALSE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    if (!ExecuteDialogInit() || !UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::ExecuteDialogInit()
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found =
        ::FindResourceA(module, MAKEINTRESOURCEA(m_templateId), MAKEINTRESOURCEA(kDialogInitType));
    if (found == nullptr)
        return TRUE; // nothing to add
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (data == nullptr)
        return FALSE;
    // Records: control id, message, data length (32 bits), data; a 0 id ends them.
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        WORD id;
        std::memcpy(&id, data + pos, 2);
        if (id == 0)
            return TRUE;
        if (pos + 8 > size)
            return FALSE;
        WORD message;
        DWORD length;
        std::memcpy(&message, data + pos + 2, 2);
        std::memcpy(&length, data + pos + 4, 4);
        pos += 8;
        if (length > size - pos)
            return FALSE;
        const char* text = reinterpret_cast<const char*>(data + pos);
        if (length == 0 || text[length - 1] != '\0')
            return FALSE;
        UINT nativeMessage = message;
        if (message == kWin16ComboAddString)
            nativeMessage = CB_ADDSTRING;
        else if (message == kWin16ListAddString)
            nativeMessage = LB_ADDSTRING;
        const LRESULT added =
            ::SendDlgItemMessageA(m_hWnd, id, nativeMessage, 0, reinterpret_cast<LPARAM>(text));
        if (added == CB_ERR || added == CB_ERRSPACE)
            return FALSE;
        pos += length;
    }
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(m_hWnd, saveAndValidate != FALSE);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::EndDialog(INT_PTR result)
{
    ::EndDialog(m_hWnd, result);
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::CenterWindow()
{
    RECT workArea;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT around = workArea;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    RECT self;
    ::GetWindowRect(m_hWnd, &self);
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    int left = (around.left + around.right) / 2 - width / 2;
    int top = (around.top + around.bottom) / 2 - height / 2;
    // Inside the work area, the top left corner first.
    if (left + width > workArea.right)
        left = workArea.right - width;
    if (top + height > workArea.bottom)
        top = workArea.bottom - height;
    if (left < workArea.left)
        left = workArea.left;
    if (top < workArea.top)
        top = workArea.top;
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
