#pragma once

#include <string>

// Removes HKEY_CURRENT_USER\Software\<company>\<application> with everything
// below it when constructed and again when destroyed, so that each test
// starts from nothing stored and leaves nothing behind.
class RegistryCleaner {
public:
    RegistryCleaner(std::string company, std::string application);
    ~RegistryCleaner();
    RegistryCleaner(const RegistryCleaner&) = delete;
    RegistryCleaner& operator=(const RegistryCleaner&) = delete;

    std::string Path() const;

private:
    void Remove() const;

    std::string m_company;
    std::string m_application;
};

// Whether HKEY_CURRENT_USER\<path> exists.
bool RegistryKeyExists(const std::string& path);
