#include "CGifByteSource.h"

#include "CStdioFile.h"

#include <algorithm>
#include <cstring>

bool CGifByteSource::Refill()
{
    m_position = 0;
    m_filled = m_file.Read(m_buffer, sizeof m_buffer);
    return m_filled > 0;
}

std::size_t CGifByteSource::Read(std::uint8_t* out, std::size_t count)
{
    std::size_t copied = 0;
    while (copied < count) {
        if (m_position == m_filled && !Refill())
            break;
        const std::size_t piece = std::min(count - copied, m_filled - m_position);
        std::memcpy(out + copied, m_buffer + m_position, piece);
        m_position += piece;
        copied += piece;
    }
    return copied;
}
