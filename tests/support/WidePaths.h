#pragma once

// Paths and settings in scripts beyond a test program's code page, made and
// read with -W calls as a Unicode system holds them.
#include <windows.h>

#include <optional>
#include <string>

// Folder names: the first fits a Western system's ANSI code page, the others don't.
extern const wchar_t* const kWideFolderNames[3];

std::string Utf8(const std::wstring& text);
std::wstring Widen(const std::string& ascii);

// A copy of a file in a folder of the name given under the temporary folder,
// removed with the object.
class FileInFolder {
public:
    FileInFolder(const std::string& file, const std::wstring& folderName);
    ~FileInFolder();
    FileInFolder(const FileInFolder&) = delete;
    FileInFolder& operator=(const FileInFolder&) = delete;
    bool Made() const { return m_made; }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_folder;
    std::wstring m_path;
    bool m_made;
};

// A REG_SZ value under HKEY_CURRENT_USER\<keyPath>.
bool SetRegistryText(const std::string& keyPath, const wchar_t* name, const std::wstring& text);
std::optional<std::wstring> RegistryText(const std::string& keyPath, const wchar_t* name);
