#include "CDibPixelFormat.h"

#include "Dib.h"

CDibPixelFormat CDibPixelFormat::FromBlock(const CGlobalBlock& dib)
{
    CDibPixelFormat format;
    const std::uint16_t depth = dib.U16(dib::kBitCount);
    if (depth != 16 && depth != 32)
        return format;
    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (dib.U32(dib::kCompression) == BI_BITFIELDS) {
        const std::size_t at = dib.U32(dib::kSize);
        for (int i = 0; i < 3; ++i)
            masks[i] = dib.U32(at + 4 * i);
    } else if (depth == 32) {
        return format; // blue, green, red and a spare byte
    }
    format.m_bytes = depth / 8;
    format.m_red = FromMask(masks[0]);
    format.m_green = FromMask(masks[1]);
    format.m_blue = FromMask(masks[2]);
    return format;
}

CDibPixelFormat::Channel CDibPixelFormat::FromMask(std::uint32_t mask)
{
    Channel channel;
    channel.mask = mask;
    if (mask == 0)
        return channel;
    while (((mask >> channel.shift) & 1) == 0)
        ++channel.shift;
    channel.maximum = mask >> channel.shift;
    return channel;
}

std::uint8_t CDibPixelFormat::Expand(const Channel& channel, std::uint32_t pixel)
{
    if (channel.maximum == 0)
        return 0;
    const std::uint64_t value = (pixel & channel.mask) >> channel.shift;
    return static_cast<std::uint8_t>((value * 255 + channel.maximum / 2) / channel.maximum);
}

std::uint32_t CDibPixelFormat::Pack(const Channel& channel, std::uint8_t value)
{
    const std::uint64_t scaled = (static_cast<std::uint64_t>(value) * channel.maximum + 127) / 255;
    return static_cast<std::uint32_t>(scaled << channel.shift) & channel.mask;
}

void CDibPixelFormat::Decode(const std::uint8_t* pixel, std::uint8_t* red, std::uint8_t* green,
                             std::uint8_t* blue) const
{
    std::uint32_t value = 0;
    for (int i = m_bytes; i-- > 0;)
        value = value << 8 | pixel[i];
    *red = Expand(m_red, value);
    *green = Expand(m_green, value);
    *blue = Expand(m_blue, value);
}

void CDibPixelFormat::Encode(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                             std::uint8_t* pixel) const
{
    const std::uint32_t value = Pack(m_red, red) | Pack(m_green, green) | Pack(m_blue, blue);
    for (int i = 0; i < m_bytes; ++i)
        pixel[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
