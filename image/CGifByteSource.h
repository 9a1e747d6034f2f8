#pragma once

#include <cstddef>
#include <cstdint>

class CStdioFile;

// The image data of a GIF file, read ahead from the file in blocks of 16 KiB.
class CGifByteSource {
public:
    static constexpr int kEndOfFile = -1;

    explicit CGifByteSource(CStdioFile& file) : m_file(file) {}
    CGifByteSource(const CGifByteSource&) = delete;
    CGifByteSource& operator=(const CGifByteSource&) = delete;

    // The next byte (0..255), or kEndOfFile.
    int NextByte()
    {
        if (m_position == m_filled && !Refill())
            return kEndOfFile;
        return m_buffer[m_position++];
    }

    // Copies count bytes; the number copied (fewer at the end of the file).
    std::size_t Read(std::uint8_t* out, std::size_t count);

private:
    bool Refill();

    CStdioFile& m_file;
    std::size_t m_position = 0;
    std::size_t m_filled = 0;
    std::uint8_t m_buffer[16384];
};
