#pragma once

#include "ByteSink.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened with CreateFile, closed when the object goes. Reads and writes
// report the bytes moved, as the old _lread/_lwrite did, without their 127-
// character path limit.
class CWin32File : public ByteSink {
public:
    CWin32File() = default;
    ~CWin32File() override { Close(); }
    CWin32File(const CWin32File&) = delete;
    CWin32File& operator=(const CWin32File&) = delete;

    bool OpenForReading(const std::string& path);
    // Creates the file, or empties an existing one.
    bool Create(const std::string& path);
    // False when the handle would not close, which for a file written may
    // mean bytes that never reached it.
    bool Close();
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

    std::size_t Read(void* buffer, std::size_t count);
    std::size_t Write(const void* data, std::size_t count) override;
    // The new position, or -1 on failure.
    std::int64_t Seek(std::int64_t offset, DWORD origin);
    std::int64_t Position() { return Seek(0, FILE_CURRENT); }
    std::int64_t Size() const;

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
