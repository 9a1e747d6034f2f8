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

    explicit CGifLzwDecoder(CGifByteSource& source) : m_source(source) {}
    CGifLzwDecoder(const CGifLzwDecoder&) = delete;
    CGifLzwDecoder& operator=(const CGifLzwDecoder&) = delete;

    void Reset(int minimumCodeSize);
    // Decodes one image into rows of lineWidth pixels. 0 at the end code or
    // the end of the data, else a negative code (see above, or the writer's).
    int Decode(int lineWidth, CGifRowWriter& rows);

private:
    static constexpr int kMaxCodes = 4096;
    static constexpr int kMaxCodeWidth = 12;
    // Room for whole 8-byte loads and stores past the last byte in use.
    static constexpr int kSlack = 8;
    static constexpr int kCodeBytesSize = 4096;

    // The bits of the code bytes not yet taken, lowest first. Decode keeps
    // one as a local, so that its fields can live in registers.
    struct CodeBits {
        std::uint64_t bits = 0; // those above bitsLeft are the next of the data, or zero
        int bitsLeft = 0;
        int position = 0; // in the code bytes
        int filled = 0;
    };
    // The next code of width bits, or -1 when the data ends before it.
    int NextCode(CodeBits& reader, int width);
    // Moves the code bytes from position up to filled to the front and
    // appends sub-blocks behind them; the new number of bytes.
    int LoadCodeBytes(int position, int filled);

    CGifByteSource& m_source;
    int m_minimumCodeSize = 0;
    int m_clearCode = 0;
    int m_endCode = 0;
    int m_firstFree = 0;
    // The data sub-blocks without their size bytes, so that codes can be
    // taken from whole words.
    std::uint8_t m_codeBytes[kCodeBytesSize + kSlack] = {};
    // Set once the terminator or the end of the file is met.
    bool m_dataOver = false;

    std::uint16_t m_prefix[kMaxCodes] = {};
    std::uint8_t m_suffix[kMaxCodes] = {};
    std::uint8_t m_stack[kMaxCodes + kSlack] = {};
};
