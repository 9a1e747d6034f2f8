#include "Settings.h"

#include "framework/CWinApp.h"

int ReadSettingInt(const char* section, const char* value, int defaultValue)
{
    const CWinApp* app = AfxGetApp();
    return app ? app->GetProfileInt(section, value, defaultValue) : defaultValue;
}

std::string ReadSettingString(const char* section, const char* value,
                              const std::string& defaultValue)
{
    const CWinApp* app = AfxGetApp();
    return app ? app->GetProfileString(section, value, defaultValue) : defaultValue;
}

bool WriteSettingInt(const char* section, const char* value, int number)
{
    const CWinApp* app = AfxGetApp();
    return app && app->WriteProfileInt(section, value, number);
}

bool WriteSettingString(const char* section, const char* value, const std::string& text)
{
    const CWinApp* app = AfxGetApp();
    return app && app->WriteProfileString(section, value, text);
}
