#pragma once

#include "CGlobalBlock.h"

#include <cstdint>

// How the colour of a 16- or 32-bit pixel is packed: 5-5-5 for 16 bits
// without masks, or the three masks of a bit-field block. Other pictures keep
// blue, green, red bytes and need no decoding.
class CDibPixelFormat {
public:
    CDibPixelFormat() = default;
    // The format a block's header implies, whether read from a file or made.
    static CDibPixelFormat FromBlock(const CGlobalBlock& dib);

    bool Decodes() const { return m_bytes != 0; }
    // Bytes of one pixel, 2 or 4; 0 when the pixels are plain bytes.
    int PixelBytes() const { return m_bytes; }
    // The PixelBytes() bytes of one pixel, lowest first; each component
    // scaled to the full 0..255 range, rounded.
    void Decode(const std::uint8_t* pixel, std::uint8_t* red, std::uint8_t* green,
                std::uint8_t* blue) const;
    void Encode(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t* pixel) const;

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
