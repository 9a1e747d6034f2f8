#pragma once

#include <cstddef>
#include <cstdint>

// Little-endian reads from bytes that came from a file. A read past the end
// gives 0, so a truncated header reads as zeros rather than as memory that is
// not its own.
class ByteView {
public:
    ByteView(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t size() const { return m_size; }
    std::uint8_t U8(std::size_t offset) const { return offset < m_size ? m_data[offset] : 0; }
    std::uint16_t U16(std::size_t offset) const
    {
        return static_cast<std::uint16_t>(U8(offset) | (U8(offset + 1) << 8));
    }
    std::uint32_t U32(std::size_t offset) const
    {
        return static_cast<std::uint32_t>(U16(offset)) |
               (static_cast<std::uint32_t>(U16(offset + 2)) << 16);
    }
    std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};
