#include "CGifLzwDecoder.h"

#include "CGifByteSource.h"
#include "CGifRowWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

void CGifLzwDecoder::Reset(int minimumCodeSize)
{
    m_minimumCodeSize = minimumCodeSize;
    m_clearCode = 1 << minimumCodeSize;
    m_endCode = m_clearCode + 1;
    m_firstFree = m_clearCode + 2;
    m_dataOver = false;
}

int CGifLzwDecoder::LoadCodeBytes(int position, int filled)
{
    filled -= position;
    std::memmove(m_codeBytes, m_codeBytes + position, static_cast<std::size_t>(filled));
    while (!m_dataOver && kCodeBytesSize - filled >= 255) {
        const int size = m_source.NextByte();
        if (size <= 0) {
            m_dataOver = true;
            break;
        }
        const int got =
            static_cast<int>(m_source.Read(m_codeBytes + filled, static_cast<std::size_t>(size)));
        filled += got;
        m_dataOver = got < size;
    }
    return filled;
}

inline int CGifLzwDecoder::NextCode(CodeBits& reader, int width)
{
    if (reader.bitsLeft < width) {
        if (reader.filled - reader.position < 8) {
            reader.filled = LoadCodeBytes(reader.position, reader.filled);
            reader.position = 0;
        }
        if (reader.filled - reader.position >= 8) {
            // Little-endian, as every Windows machine is: the word's low byte
            // is the next in the data.
            std::uint64_t word;
            std::memcpy(&word, m_codeBytes + reader.position, sizeof word);
            reader.bits |= word << reader.bitsLeft;
            reader.position += (63 - reader.bitsLeft) >> 3;
            reader.bitsLeft |= 56;
        } else {
            while (reader.bitsLeft < width && reader.position < reader.filled) {
                reader.bits |= static_cast<std::uint64_t>(m_codeBytes[reader.position++])
                               << reader.bitsLeft;
                reader.bitsLeft += 8;
            }
            if (reader.bitsLeft < width)
                return -1;
        }
    }
    const int code = static_cast<int>(reader.bits & ((1u << width) - 1));
    reader.bits >>= width;
    reader.bitsLeft -= width;
    return code;
}

int CGifLzwDecoder::Decode(int lineWidth, CGifRowWriter& rows)
{
    const int codeSize = m_source.NextByte();
    if (codeSize < 0)
        return codeSize;
    if (codeSize < 2 || codeSize > 9)
        return kBadCodeSize;
    Reset(codeSize);
    if (lineWidth <= 0)
        return 0;
    // A whole string fits behind a line that is not yet full.
    std::unique_ptr<std::uint8_t[]> lineBuffer(new (std::nothrow)
                                                   std::uint8_t[lineWidth + kMaxCodes + kSlack]);
    if (!lineBuffer)
        return kNoLineBuffer;

    // Locals rather than members: every byte stored to the tables might alias
    // a member and force it to be read again.
    std::uint8_t* const line = lineBuffer.get();
    std::uint16_t* const prefix = m_prefix;
    std::uint8_t* const suffix = m_suffix;
    std::uint8_t* const stack = m_stack;
    const int clearCode = m_clearCode;
    const int endCode = m_endCode;
    const int firstFree = m_firstFree;
    const int firstWidth = m_minimumCodeSize + 1;
    int codeWidth = firstWidth;
    int topSlot = 1 << codeWidth;
    int nextFree = firstFree;
    CodeBits reader;
    int oldCode = 0;
    int firstChar = 0;
    int used = 0; // pixels in the line so far

    // The first code, at the start or after a clear, makes no table entry.
    bool first = true;
    for (;;) {
        int code = NextCode(reader, codeWidth);
        if (code < 0)
            return 0; // the data ends here; the partial line is not written
        if (code == endCode)
            break;
        if (code == clearCode) {
            codeWidth = firstWidth;
            nextFree = firstFree;
            topSlot = 1 << codeWidth;
            first = true;
            continue;
        }

        int top = kMaxCodes;
        if (first) {
            first = false;
            if (code >= nextFree)
                code = 0;
            oldCode = firstChar = code;
            stack[--top] = static_cast<std::uint8_t>(code);
        } else {
            // A code past the next free slot is decoded as if it named that slot.
            const int current = std::min(code, nextFree);
            code = current;
            if (code == nextFree) {
                stack[--top] = static_cast<std::uint8_t>(firstChar);
                code = oldCode;
            }
            // Damaged data can chain entries in a loop: the stack bounds the walk.
            while (code >= firstFree && top > 1) {
                stack[--top] = suffix[code];
                code = prefix[code];
            }
            stack[--top] = static_cast<std::uint8_t>(code);
            if (nextFree < topSlot) {
                suffix[nextFree] = static_cast<std::uint8_t>(code);
                firstChar = code;
                prefix[nextFree] = static_cast<std::uint16_t>(oldCode);
                ++nextFree;
                oldCode = current;
            }
            if (nextFree >= topSlot && codeWidth < kMaxCodeWidth) {
                topSlot <<= 1;
                ++codeWidth;
            }
        }

        // Most strings are short: one fixed-size copy, into the slack if need be.
        const int length = kMaxCodes - top;
        if (length <= kSlack)
            std::memcpy(line + used, stack + top, kSlack);
        else
            std::memcpy(line + used, stack + top, static_cast<std::size_t>(length));
        used += length;
        if (used >= lineWidth) {
            int from = 0;
            do {
                const int status = rows.PutRow(line + from, lineWidth);
                if (status < 0)
                    return status;
                from += lineWidth;
                used -= lineWidth;
            } while (used >= lineWidth);
            std::memmove(line, line + from, static_cast<std::size_t>(used));
        }
    }
    if (used > 0)
        return rows.PutRow(line, used);
    return 0;
}
