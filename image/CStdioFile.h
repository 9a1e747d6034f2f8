#pragma once

#include <cstdio>
#include <string>

// A standard file stream, closed when the object goes.
class CStdioFile {
public:
    CStdioFile(const std::string& path, const char* mode) : m_file(std::fopen(path.c_str(), mode))
    {
    }
    ~CStdioFile()
    {
        if (m_file != nullptr)
            std::fclose(m_file);
    }
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    std::FILE* Get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }

    // Reads up to count bytes; the number read.
    std::size_t Read(void* buffer, std::size_t count)
    {
        return m_file ? std::fread(buffer, 1, count, m_file) : 0;
    }
    // The next byte, or -1 at the end.
    int ReadByte() { return m_file ? std::fgetc(m_file) : -1; }
    bool Skip(long count) { return m_file && std::fseek(m_file, count, SEEK_CUR) == 0; }

private:
    std::FILE* m_file;
};
