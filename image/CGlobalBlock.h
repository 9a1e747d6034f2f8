#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// One piece of movable global memory, locked for as long as this object holds
// it. Every access by offset is checked against the block's size.
class CGlobalBlock {
public:
    CGlobalBlock() = default;
    ~CGlobalBlock() { Free(); }
    CGlobalBlock(CGlobalBlock&& other) noexcept;
    CGlobalBlock& operator=(CGlobalBlock&& other) noexcept;
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;

    // An empty object when the memory can't be had.
    static CGlobalBlock Allocate(std::size_t size, bool zeroFill);

    // Unlocks, reallocates and locks again. On failure the old block is freed
    // too and the object is empty.
    bool Resize(std::size_t size);
    void Free();

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

    // The count bytes at offset, or null when they are not all inside.
    std::uint8_t* At(std::size_t offset, std::size_t count = 1) const
    {
        return offset <= m_size && count <= m_size - offset && m_data ? m_data + offset : nullptr;
    }

    std::uint16_t U16(std::size_t offset) const;
    std::uint32_t U32(std::size_t offset) const;
    std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    void SetU16(std::size_t offset, std::uint16_t value);
    void SetU32(std::size_t offset, std::uint32_t value);

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};
