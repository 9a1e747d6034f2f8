#pragma once

#include "framework/CWinApp.h"

#include <string>

// The application object: chooses the role from the command line and keeps
// the settings under the company key.
class CScreensaverApp : public CWinApp {
public:
    CScreensaverApp() = default;
    ~CScreensaverApp() override = default;

    BOOL InitInstance() override;

    // The configure role.
    void RunSettingsDialog();

    int ReadSettingInt(const char* section, const char* value, int defaultValue) const;
    std::string ReadSettingString(const char* section, const char* value,
                                  const std::string& defaultValue) const;
    bool WriteSettingInt(const char* section, const char* value, int number) const;
    bool WriteSettingString(const char* section, const char* value, const std::string& text) const;

    static CScreensaverApp* Get();

private:
    BOOL StartPreview(HWND host);
    BOOL StartSaver();
};

// The company key under which every setting lives.
extern const char kCompanyKey[];
