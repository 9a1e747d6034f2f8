#pragma once

#include <cstdint>
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

    // Ends a write: stdio and the libraries leave their last buffer to the
    // close, so only its answer says whether every byte reached the file.
    bool Close()
    {
        if (m_file == nullptr)
            return false;
        const bool flushed = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        return flushed && closed;
    }

    // Reads up to count bytes; the number read.
    std::size_t Read(void* buffer, std::size_t count)
    {
        return m_file ? std::fread(buffer, 1, count, m_file) : 0;
    }
    // The next byte, or -1 at the end.
    int ReadByte() { return m_file ? std::fgetc(m_file) : -1; }
    bool Skip(long count) { return m_file && std::fseek(m_file, count, SEEK_CUR) == 0; }
    // The whole file's size; 0 when the stream cannot tell.
    std::uint64_t Size() { return BytesFrom(0); }
    // Bytes from the current position to the end; 0 when the stream cannot tell.
    std::uint64_t BytesLeft() { return BytesFrom(Tell()); }

private:
    // 64-bit positions: long has 32 bits on Windows.
    std::int64_t Tell() const
    {
#ifdef _WIN32
        return m_file ? _ftelli64(m_file) : -1;
#else
        return m_file ? ftello(m_file) : -1;
#endif
    }
    bool SeekTo(std::int64_t position, int origin)
    {
#ifdef _WIN32
        return _fseeki64(m_file, position, origin) == 0;
#else
        return fseeko(m_file, position, origin) == 0;
#endif
    }
    std::uint64_t BytesFrom(std::int64_t start)
    {
        const std::int64_t here = Tell();
        if (start < 0 || here < 0 || !SeekTo(0, SEEK_END))
            return 0;
        const std::int64_t end = Tell();
        SeekTo(here, SEEK_SET);
        return end > start ? static_cast<std::uint64_t>(end - start) : 0;
    }

    std::FILE* m_file;
};
