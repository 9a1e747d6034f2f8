#pragma once

#include "CGlobalBlock.h"

#include <cstdint>

// How the colour of a 16- or 32-bit pixel of a bitmap file is packed: 5-5-5
// for 16 bits without masks, or the three masks of a bit-field file. Other
// pictures keep blue, green, red bytes and need no decoding.
class CDibPixelFormat {
public:
    CDibPixelFormat() = default;
    // The format a block read from a file implies.
    static CDibPixelFormat FromFileBlock(const CGlobalBlock& dib);

    bool Decodes() const { return m_bytes != 0; }
    // Bytes of one pixel, 2 or 4; 0 when the pixels are plain bytes.
    int PixelBytes() const { return m_bytes; }
    // Each component scaled to the full 0..255 range.
    void Decode(std::uint32_t pixel, std::uint8_t* red, std::uint8_t* green,
                std::uint8_t* blue) const;
    std::uint32_t Encode(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

private:
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        std::uint32_t maximum = 0; // mask >> shift
    };
    static Channel FromMask(std::uint32_t mask);
    static std::uint8_t Expand(const Channel& channel, std::uint32_t pixel);
    static std::uint32_t Pack(const Channel& channel, std::uint8_t value);

    int m_bytes = 0;
    Channel m_red, m_green, m_blue;
};
