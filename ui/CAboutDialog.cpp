#include "CAboutDialog.h"

#include "resources/resource.h"

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX)
{
}

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterWindow();
    return TRUE;
}
