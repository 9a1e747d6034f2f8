#include "CRegKey.h"

CRegKey::~CRegKey()
{
    if (m_key != nullptr)
        ::RegCloseKey(m_key);
}

bool CRegKey::Create(HKEY parent, const char* path, REGSAM access)
{
    if (m_key != nullptr) {
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                          &disposition) != ERROR_SUCCESS)
        return false;
    m_key = key;
    return true;
}
