#include "CScreensaverApp.h"

#include "RunMode.h"

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
    // The settings dialog is not built yet: the configure role ends at once.
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
        // No window: no last message will delete it, and no loop should run.
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
