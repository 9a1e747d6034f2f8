#pragma once

#include "CProfile.h"

#include <windows.h>

#include <memory>
#include <string>

class CWnd;

// The one application object: start-up, the main window, the message loop and
// the settings profile.
class CWinApp {
public:
    // Without an application name the program file's name is used.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up: nonzero enters the message loop, zero ends the program.
    virtual BOOL InitInstance();

    // Pumps messages until the quit message; returns its exit code.
    virtual int Run();

    // The window that lives as long as the program; its destruction ends Run().
    CWnd* m_pMainWnd = nullptr;

    const std::string& AppName() const { return m_appName; }

    // Profile calls: HKEY_CURRENT_USER\Software\<company>\<application name>.
    // Until SetRegistryKey has named the company, reads give the default and
    // writes fail.
    void SetRegistryKey(const char* company);
    int GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    std::string GetProfileString(const char* section, const char* entry,
                                 const std::string& defaultValue) const;
    bool WriteProfileInt(const char* section, const char* entry, int value) const;
    bool WriteProfileString(const char* section, const char* entry, const std::string& value) const;

    // Lets the system draw three-dimensional dialog controls; older systems use
    // CTL3D32.DLL where it is installed. Nothing depends on the result.
    BOOL Enable3dControls();

private:
    std::string m_appName;
    std::unique_ptr<const CProfile> m_profile;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();
