#include "CWinApp.h"

#include "ApplicationName.h"

namespace {

CWinApp* s_app = nullptr;

} // namespace

CWinApp* AfxGetApp()
{
    return s_app;
}

CWinApp::CWinApp(const char* appName)
    : m_appName(appName ? appName : ApplicationNameFromPath(CurrentModulePath()))
{
    s_app = this;
}

CWinApp::~CWinApp()
{
    if (s_app == this)
        s_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void CWinApp::SetRegistryKey(const char* company)
{
    m_profile = std::make_unique<const CProfile>(company, m_appName);
}

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) const
{
    return m_profile ? m_profile->GetInt(section, entry, defaultValue) : defaultValue;
}

std::string CWinApp::GetProfileString(const char* section, const char* entry,
                                      const std::string& defaultValue) const
{
    return m_profile ? m_profile->GetString(section, entry, defaultValue) : defaultValue;
}

bool CWinApp::WriteProfileInt(const char* section, const char* entry, int value) const
{
    return m_profile && m_profile->WriteInt(section, entry, value);
}

bool CWinApp::WriteProfileString(const char* section, const char* entry,
                                 const std::string& value) const
{
    return m_profile && m_profile->WriteString(section, entry, value);
}

BOOL CWinApp::Enable3dControls()
{
    const DWORD majorVersion = LOBYTE(LOWORD(::GetVersion()));
    if (majorVersion >= 4)
        return TRUE;
    // Kept loaded for the life of the process: the library subclasses our dialogs.
    HMODULE ctl3d = ::LoadLibraryA("CTL3D32.DLL");
    if (ctl3d == nullptr)
        return FALSE;
    using Ctl3dCall = BOOL(WINAPI*)(HINSTANCE);
    auto reg = reinterpret_cast<Ctl3dCall>(
        reinterpret_cast<void*>(::GetProcAddress(ctl3d, "Ctl3dRegister")));
    auto autoSubclass = reinterpret_cast<Ctl3dCall>(
        reinterpret_cast<void*>(::GetProcAddress(ctl3d, "Ctl3dAutoSubclass")));
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (reg == nullptr || autoSubclass == nullptr || !reg(instance))
        return FALSE;
    return autoSubclass(instance);
}
