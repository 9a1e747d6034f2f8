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
    m_codeWidth = minimumCodeSize + 1;
    m_topSlot = 1 << m_codeWidth;
    m_clearCode = 1 << minimumCodeSize;
    m_endCode = m_clearCode + 1;
    m_firstFree = m_nextFree = m_clearCode + 2;
    m_bitBuffer = 0;
    m_bitsLeft = 0;
    m_blockSize = m_blockPosition = 0;
}

int CGifLzwDecoder::LoadSubBlock()
{
    const int size = m_source.NextByte();
    if (size < 0)
        return size;
    if (size == 0)
        return kEndOfData;
    m_blockSize = static_cast<int>(m_source.Read(m_block, static_cast<std::size_t>(size)));
    m_blockPosition = 0;
    return m_blockSize > 0 ? 0 : CGifByteSource::kEndOfFile;
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
    std::unique_ptr<std::uint8_t[]> line(new (std::nothrow) std::uint8_t[lineWidth + 1]);
    if (!line)
        return kNoLineBuffer;

    int oldCode = 0;
    int firstChar = 0;
    int used = 0; // pixels in the line so far
    // Hands the string at stack[top..] to the line, row by row as it fills.
    auto emit = [&](int top) -> int {
        while (top < kMaxCodes) {
            const int piece = std::min(kMaxCodes - top, lineWidth - used);
            std::memcpy(line.get() + used, m_stack + top, static_cast<std::size_t>(piece));
            used += piece;
            top += piece;
            if (used == lineWidth) {
                const int status = rows.PutRow(line.get(), lineWidth);
                if (status < 0)
                    return status;
                used = 0;
            }
        }
        return 0;
    };

    // The first code, at the start or after a clear, makes no table entry.
    bool first = true;
    for (;;) {
        int code = NextCode();
        if (code < 0)
            return 0; // the data ends here; the partial line is not written
        if (code == m_endCode)
            break;
        if (code == m_clearCode) {
            m_codeWidth = m_minimumCodeSize + 1;
            m_nextFree = m_firstFree;
            m_topSlot = 1 << m_codeWidth;
            first = true;
            continue;
        }
        if (first) {
            first = false;
            if (code >= m_nextFree)
                code = 0;
            oldCode = firstChar = code;
            m_stack[kMaxCodes - 1] = static_cast<std::uint8_t>(code);
            const int status = emit(kMaxCodes - 1);
            if (status < 0)
                return status;
            continue;
        }

        // A code past the next free slot is decoded as if it named that slot.
        const int current = std::min(code, m_nextFree);
        int top = kMaxCodes;
        code = current;
        if (code == m_nextFree) {
            m_stack[--top] = static_cast<std::uint8_t>(firstChar);
            code = oldCode;
        }
        // Damaged data can chain entries in a loop: the stack bounds the walk.
        while (code >= m_firstFree && top > 1) {
            m_stack[--top] = m_suffix[code];
            code = m_prefix[code];
        }
        m_stack[--top] = static_cast<std::uint8_t>(code);
        if (m_nextFree < m_topSlot) {
            m_suffix[m_nextFree] = static_cast<std::uint8_t>(code);
            firstChar = code;
            m_prefix[m_nextFree] = static_cast<std::uint16_t>(oldCode);
            ++m_nextFree;
            oldCode = current;
        }
        if (m_nextFree >= m_topSlot && m_codeWidth < kMaxCodeWidth) {
            m_topSlot <<= 1;
            ++m_codeWidth;
        }
        const int status = emit(top);
        if (status < 0)
            return status;
    }
    if (used > 0)
        return rows.PutRow(line.get(), used);
    return 0;
}
