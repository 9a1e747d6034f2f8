#include "CScreensaverApp.h"

#include "RunMode.h"

#include "ui/CConfigDialog.h"
#include "windows/CPictureWnd.h"
#include "windows/CSaverWnd.h"

#include <cstdlib>

const char kCompanyKey[] = "Ombrelune";

CScreensaverApp* CScreensaverApp::Get()
{
    return static_cast<CScreensaverApp*>(AfxGetApp());
}

BOOL CScreensaverApp::InitInstance()
{
    Enable3dControls();
    SetRegistryKey(kCompanyKey);

    const RunMode mode = ChooseRunMode(__argc, __argv);
    switch (mode.role) {
    case Role::Configure:
        RunSettingsDialog();
        return FALSE;
    case Role::Preview:
        return StartPreview(mode.previewParent);
    case Role::Saver:
        return StartSaver();
    }
    return FALSE;
}

void CScreensaverApp::RunSettingsDialog()
{
    CConfigDialog dialog; // its pane loads the stored picture now
    dialog.m_strPicture = ReadSettingString("Config", "Picture", "3deng.jpg");
    dialog.m_bBilinear = ReadSettingInt("Config", "Bilinear", 1);
    dialog.m_bWindowPrev = ReadSettingInt("Config", "WindowPrev", 0);
    dialog.m_nEffect = ReadSettingInt("Config", "Effect", 1);
    m_pMainWnd = &dialog;
    if (dialog.DoModal() == IDOK) {
        WriteSettingInt("Config", "Effect", dialog.m_nEffect);
        WriteSettingInt("Config", "WindowPrev", dialog.m_bWindowPrev);
        WriteSettingInt("Config", "Bilinear", dialog.m_bBilinear);
        WriteSettingString("Config", "Picture", dialog.m_strPicture);
    }
    m_pMainWnd = nullptr;
}

BOOL CScreensaverApp::StartPreview(HWND host)
{
    // Without a host window there is nothing to preview in.
    if (!::IsWindow(host))
        return FALSE;
    RECT client;
    ::GetClientRect(host, &client);
    auto* preview = new CPictureWnd(1);
    if (!preview->Create(0, WS_CHILD | WS_VISIBLE, client, host, 0, nullptr)) {
        // Still ours, even if the host destroyed the window meanwhile; no loop
        // should run.
        delete preview;
        return FALSE;
    }
    m_pMainWnd = preview;
    return TRUE;
}

BOOL CScreensaverApp::StartSaver()
{
    auto* saver = new CSaverWnd;
    if (!saver->CreateFullScreen()) {
        delete saver;
        return FALSE;
    }
    m_pMainWnd = saver;
    return TRUE;
}

int CScreensaverApp::ReadSettingInt(const char* section, const char* value, int defaultValue) const
{
    return GetProfileInt(section, value, defaultValue);
}

std::string CScreensaverApp::ReadSettingString(const char* section, const char* value,
                                               const std::string& defaultValue) const
{
    return GetProfileString(section, value, defaultValue);
}

bool CScreensaverApp::WriteSettingInt(const char* section, const char* value, int number) const
{
    return WriteProfileInt(section, value, number);
}

bool CScreensaverApp::WriteSettingString(const char* section, const char* value,
                                         const std::string& text) const
{
    return WriteProfileString(section, value, text);
}
