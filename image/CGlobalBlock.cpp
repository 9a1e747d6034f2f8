#include "CGlobalBlock.h"

#include <utility>

CGlobalBlock::CGlobalBlock(CGlobalBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

CGlobalBlock& CGlobalBlock::operator=(CGlobalBlock&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

CGlobalBlock CGlobalBlock::Allocate(std::size_t size, bool zeroFill)
{
    CGlobalBlock block;
    HGLOBAL handle = ::GlobalAlloc(GMEM_MOVEABLE | (zeroFill ? GMEM_ZEROINIT : 0), size);
    if (handle == nullptr)
        return block;
    void* data = ::GlobalLock(handle);
    if (data == nullptr) {
        ::GlobalFree(handle);
        return block;
    }
    block.m_data = static_cast<std::uint8_t*>(data);
    block.m_size = size;
    return block;
}

bool CGlobalBlock::Resize(std::size_t size)
{
    if (m_data == nullptr)
        return false;
    HGLOBAL handle = ::GlobalHandle(m_data);
    ::GlobalUnlock(handle);
    m_data = nullptr;
    HGLOBAL grown = ::GlobalReAlloc(handle, size, 0);
    void* data = grown ? ::GlobalLock(grown) : nullptr;
    if (data == nullptr) {
        ::GlobalFree(grown ? grown : handle);
        m_size = 0;
        return false;
    }
    m_data = static_cast<std::uint8_t*>(data);
    m_size = size;
    return true;
}

void CGlobalBlock::Free()
{
    if (m_data == nullptr)
        return;
    HGLOBAL handle = ::GlobalHandle(m_data);
    ::GlobalUnlock(handle);
    ::GlobalFree(handle);
    m_data = nullptr;
    m_size = 0;
}

std::uint16_t CGlobalBlock::U16(std::size_t offset) const
{
    const std::uint8_t* p = At(offset, 2);
    return p ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
}

std::uint32_t CGlobalBlock::U32(std::size_t offset) const
{
    const std::uint8_t* p = At(offset, 4);
    return p ? static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) |
                   (static_cast<std::uint32_t>(p[3]) << 24)
             : 0;
}

void CGlobalBlock::SetU16(std::size_t offset, std::uint16_t value)
{
    if (std::uint8_t* p = At(offset, 2)) {
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
    }
}

void CGlobalBlock::SetU32(std::size_t offset, std::uint32_t value)
{
    if (std::uint8_t* p = At(offset, 4)) {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
