#include "CConfigDialog.h"

#include "CAboutDialog.h"
#include "UselessButton.h"

#include "framework/CDC.h"
#include "framework/CFileDialog.h"
#include "resources/resource.h"

const MessageRow CConfigDialog::messageRows[] = {
    OnCommand<&CConfigDialog::OnBrowse>(IDC_BROWSE),
    OnCommand<&CConfigDialog::OnAbout>(IDC_ABOUT),
    OnCommand<&CConfigDialog::OnUseless>(IDC_USELESS),
    OnWParam<&CConfigDialog::OnSysCommand>(WM_SYSCOMMAND),
    OnMessage<&CConfigDialog::OnPaint>(WM_PAINT),
    OnMessage<&CConfigDialog::OnQueryDragIcon>(WM_QUERYDRAGICON),
};
const MessageTable CConfigDialog::messageTable =
    MakeMessageTable(&CDialog::messageTable, messageRows);

CConfigDialog::CConfigDialog()
    : CDialog(IDD_CONFIG),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VORNELLE))),
      m_preview(0)
{
}

void CConfigDialog::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_PICTURE, m_strPicture);
    DDX_Check(pDX, IDC_BILINEAR, m_bBilinear);
    DDX_Check(pDX, IDC_WINDOWPREV, m_bWindowPrev);
    DDX_CBIndex(pDX, IDC_EFFECT, m_nEffect);
}

BOOL CConfigDialog::OnInitDialog()
{
    if (!CDialog::OnInitDialog())
        return FALSE;
    // The pane takes the placeholder's place.
    RECT pane;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_PREVIEW), &pane);
    POINT corners[2] = {{pane.left, pane.top}, {pane.right, pane.bottom}};
    ::ScreenToClient(m_hWnd, &corners[0]);
    ::ScreenToClient(m_hWnd, &corners[1]);
    const RECT client = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    m_preview.Create(0, WS_CHILD | WS_VISIBLE, client, m_hWnd, 0, nullptr);

    CenterWindow();
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    char aboutText[256] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, aboutText, sizeof aboutText);
    if (systemMenu != nullptr && aboutText[0] != '\0') {
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, ID_SYSMENU_ABOUT, aboutText);
    }
    return TRUE;
}

void CConfigDialog::OnBrowse()
{
    CFileDialog dialog("gif", "*.gif", 0,
                       "Gif Files (*.gif)|*.gif|Bitmap Files (*.bmp)|*.bmp|"
                       "Jpeg Files (*.jpg)|*.jpg|All Files (*.*)|*.*||");
    if (dialog.DoModal() != IDOK)
        return;
    m_strPicture = dialog.GetPathName();
    ::SetDlgItemTextA(m_hWnd, IDC_PICTURE, m_strPicture.c_str());
}

void CConfigDialog::OnAbout()
{
    CAboutDialog about;
    about.DoModal();
}

void CConfigDialog::OnUseless()
{
    UselessButton::Click();
}

LRESULT CConfigDialog::OnSysCommand(UINT command)
{
    if ((command & 0xFFF0) == ID_SYSMENU_ABOUT) {
        OnAbout();
        return 0;
    }
    return Default();
}

LRESULT CConfigDialog::OnPaint(WPARAM, LPARAM)
{
    if (!::IsIconic(m_hWnd))
        return Default();
    CPaintDC dc(m_hWnd);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
    return 0;
}

LRESULT CConfigDialog::OnQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}
