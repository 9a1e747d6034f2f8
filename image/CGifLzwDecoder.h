#pragma once

#include <cstdint>

class CGifByteSource;
class CGifRowWriter;

// The variable-code-width LZW decoder of GIF image data: codes come out of the
// data sub-blocks least significant bit first; strings are unwound through a
// stack into a line that goes to the row writer whenever it is full.
class CGifLzwDecoder {
public:
    static constexpr int kBadCodeSize = -20;
    static constexpr int kNoLineBuffer = -10;
    // A sub-block of size 0 before the end code: the image data is over.
    static constexpr int kEndOfData = -2;

    explicit CGifLzwDecoder(CGifByteSource& source) : m_source(source) {}
    CGifLzwDecoder(const CGifLzwDecoder&) = delete;
    CGifLzwDecoder& operator=(const CGifLzwDecoder&) = delete;

    void Reset(int minimumCodeSize);
    // The next code, or a negative value from the byte source.
    int NextCode()
    {
        while (m_bitsLeft < m_codeWidth) {
            if (m_blockPosition == m_blockSize) {
                const int status = LoadSubBlock();
                if (status < 0)
                    return status;
            }
            m_bitBuffer |= static_cast<std::uint32_t>(m_block[m_blockPosition++]) << m_bitsLeft;
            m_bitsLeft += 8;
        }
        const int code = static_cast<int>(m_bitBuffer & ((1u << m_codeWidth) - 1));
        m_bitBuffer >>= m_codeWidth;
        m_bitsLeft -= m_codeWidth;
        return code;
    }
    // Decodes one image into rows of lineWidth pixels. 0 at the end code or
    // the end of the data, else a negative code (see above, or the writer's).
    int Decode(int lineWidth, CGifRowWriter& rows);

private:
    static constexpr int kMaxCodes = 4096;
    static constexpr int kMaxCodeWidth = 12;

    int LoadSubBlock();

    CGifByteSource& m_source;
    int m_minimumCodeSize = 0;
    int m_codeWidth = 0;
    int m_clearCode = 0;
    int m_endCode = 0;
    int m_firstFree = 0;
    int m_topSlot = 0;
    int m_nextFree = 0;
    // Bits not yet taken, lowest first, and how many there are.
    std::uint32_t m_bitBuffer = 0;
    int m_bitsLeft = 0;
    std::uint8_t m_block[255] = {};
    int m_blockSize = 0;
    int m_blockPosition = 0;

    std::uint16_t m_prefix[kMaxCodes] = {};
    std::uint8_t m_suffix[kMaxCodes] = {};
    std::uint8_t m_stack[kMaxCodes] = {};
};
