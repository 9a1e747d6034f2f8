#pragma once

#include <string>

// Settings in HKEY_CURRENT_USER\Software\<company>\<application>\<section>.
// Every call opens and closes its own keys and keeps nothing between calls, so
// any thread may use one profile at the same time as another.
class CProfile {
public:
    CProfile(std::string company, std::string application);

    // Readers create the keys down to the section and fall back to the default
    // on any failure.
    int GetInt(const char* section, const char* entry, int defaultValue) const;
    std::string GetString(const char* section, const char* entry,
                          const std::string& defaultValue) const;

    bool WriteInt(const char* section, const char* entry, int value) const;
    bool WriteString(const char* section, const char* entry, const std::string& value) const;

    // Software\<company>\<application>\<section>
    std::string SectionPath(const char* section) const;

    const std::string& Company() const { return m_company; }
    const std::string& Application() const { return m_application; }

private:
    std::string m_company;
    std::string m_application;
};
