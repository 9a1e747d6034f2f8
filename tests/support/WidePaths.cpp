#include "support/WidePaths.h"

#include <vector>

const wchar_t* const kWideFolderNames[3] = {L"Été à Noël", L"夏の写真", L"Летние фото"};

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 4, '\0');
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                              static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

FileInFolder::FileInFolder(const std::string& file, const std::wstring& folderName)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    m_folder = std::wstring(temporary, length) + folderName;
    m_path = m_folder + L"\\" + Widen(file.substr(file.find_last_of("\\/") + 1));
    m_made = (::CreateDirectoryW(m_folder.c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS) &&
             ::CopyFileW(Widen(file).c_str(), m_path.c_str(), FALSE);
}

FileInFolder::~FileInFolder()
{
    ::DeleteFileW(m_path.c_str());
    ::RemoveDirectoryW(m_folder.c_str());
}

bool SetRegistryText(const std::string& keyPath, const wchar_t* name, const std::wstring& text)
{
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, Widen(keyPath).c_str(), name, REG_SZ, text.c_str(),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::optional<std::wstring> RegistryText(const std::string& keyPath, const wchar_t* name)
{
    const std::wstring path = Widen(keyPath);
    DWORD size = 0, type = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, &type, nullptr,
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, &type, text.data(),
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text.data());
}
