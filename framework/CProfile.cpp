#include "CProfile.h"

#include "CRegKey.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

const REGSAM kSectionAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

} // namespace

CProfile::CProfile(std::string company, std::string application)
    : m_company(std::move(company)), m_application(std::move(application))
{
}

std::string CProfile::SectionPath(const char* section) const
{
    return "Software\\" + m_company + "\\" + m_application + "\\" + section;
}

int CProfile::GetInt(const char* section, const char* entry, int defaultValue) const
{
    CRegKey key;
    if (!key.Create(HKEY_CURRENT_USER, SectionPath(section).c_str(), kSectionAccess))
        return defaultValue;
    std::uint8_t bytes[4] = {};
    DWORD size = sizeof bytes;
    if (::RegQueryValueExA(key.Get(), entry, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS)
        return defaultValue;
    // A shorter value would leave part of the number undefined.
    if (size != sizeof bytes)
        return defaultValue;
    std::int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::string CProfile::GetString(const char* section, const char* entry,
                                const std::string& defaultValue) const
{
    CRegKey key;
    if (!key.Create(HKEY_CURRENT_USER, SectionPath(section).c_str(), kSectionAccess))
        return defaultValue;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), entry, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return defaultValue;
    std::vector<char> data(size + 1, '\0');
    if (size > 0 &&
        ::RegQueryValueExA(key.Get(), entry, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                           &size) != ERROR_SUCCESS)
        return defaultValue;
    // Stored texts need not end in a zero; the extra byte above ends them.
    return std::string(data.data(), ::strnlen(data.data(), size));
}

bool CProfile::WriteInt(const char* section, const char* entry, int value) const
{
    CRegKey key;
    if (!key.Create(HKEY_CURRENT_USER, SectionPath(section).c_str(), kSectionAccess))
        return false;
    DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExA(key.Get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                            sizeof data) == ERROR_SUCCESS;
}

bool CProfile::WriteString(const char* section, const char* entry, const std::string& value) const
{
    CRegKey key;
    if (!key.Create(HKEY_CURRENT_USER, SectionPath(section).c_str(), kSectionAccess))
        return false;
    return ::RegSetValueExA(key.Get(), entry, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}
