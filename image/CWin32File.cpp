#include "CWin32File.h"

#include <algorithm>

bool CWin32File::OpenForReading(const std::string& path)
{
    Close();
    m_handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return IsOpen();
}

bool CWin32File::Create(const std::string& path)
{
    Close();
    m_handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

bool CWin32File::Close()
{
    const bool closed = IsOpen() && ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    return closed;
}

std::size_t CWin32File::Read(void* buffer, std::size_t count)
{
    std::size_t total = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    // ReadFile moves at most 4 GiB - 1 per call.
    while (IsOpen() && total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(m_handle, out + total, piece, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    return total;
}

std::size_t CWin32File::Write(const void* data, std::size_t count)
{
    std::size_t total = 0;
    const auto* in = static_cast<const std::uint8_t*>(data);
    while (IsOpen() && total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(m_handle, in + total, piece, &put, nullptr) || put == 0)
            break;
        total += put;
    }
    return total;
}

std::int64_t CWin32File::Seek(std::int64_t offset, DWORD origin)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!IsOpen() || !::SetFilePointerEx(m_handle, distance, &position, origin))
        return -1;
    return position.QuadPart;
}

std::int64_t CWin32File::Size() const
{
    LARGE_INTEGER size;
    if (!IsOpen() || !::GetFileSizeEx(m_handle, &size))
        return -1;
    return size.QuadPart;
}
