#include "support/RegistryCleaner.h"

#include <windows.h>

#include <utility>

RegistryCleaner::RegistryCleaner(std::string company, std::string application)
    : m_company(std::move(company)), m_application(std::move(application))
{
    Remove();
}

RegistryCleaner::~RegistryCleaner()
{
    Remove();
}

std::string RegistryCleaner::Path() const
{
    return "Software\\" + m_company + "\\" + m_application;
}

void RegistryCleaner::Remove() const
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, Path().c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, Path().c_str());
}

bool RegistryKeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}
