#pragma once

#include <string>

// The program's settings, through the one application object's profile. Any
// thread may call these; without an application object readers give their
// default and writers fail.
int ReadSettingInt(const char* section, const char* value, int defaultValue);
std::string ReadSettingString(const char* section, const char* value,
                              const std::string& defaultValue);
bool WriteSettingInt(const char* section, const char* value, int number);
bool WriteSettingString(const char* section, const char* value, const std::string& text);
