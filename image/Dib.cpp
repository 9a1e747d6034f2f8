#include "Dib.h"

#include <algorithm>

namespace {

// The default table: the 16 colours of the standard VGA palette, as red, green, blue.
const std::uint8_t kDefaultColours[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

} // namespace

std::int64_t DibRowBytes(std::int64_t depth, std::int64_t width)
{
    if (depth < 0 || width < 0 || depth > 32 || width > INT32_MAX)
        return -1;
    const std::int64_t rowBytes = (depth * width + 31) / 32 * 4;
    return rowBytes > INT32_MAX ? -1 : rowBytes;
}

std::uint32_t DibColorCount(const CGlobalBlock& dib)
{
    const std::uint32_t used = dib.U32(dib::kClrUsed);
    const std::uint16_t depth = dib.U16(dib::kBitCount);
    if (used == 0 && depth <= 8)
        return 1u << depth;
    return used;
}

std::size_t DibRowsOffset(const CGlobalBlock& dib)
{
    const std::uint64_t headerSize = dib.U32(dib::kSize);
    const std::uint64_t tableSize =
        dib.U32(dib::kCompression) == BI_BITFIELDS ? 12 : 4ull * dib.U32(dib::kClrUsed);
    return static_cast<std::size_t>(std::min<std::uint64_t>(headerSize + tableSize, SIZE_MAX));
}

CGlobalBlock AllocateDib(int depth, int width, int height)
{
    const std::int64_t rowBytes = DibRowBytes(depth, width);
    if (rowBytes < 0 || height < 0 ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > dib::kMaxPixels)
        return CGlobalBlock();
    const std::uint64_t imageSize = static_cast<std::uint64_t>(rowBytes) * height;
    if (imageSize > UINT32_MAX - dib::kNewBlockOverhead)
        return CGlobalBlock();
    CGlobalBlock block =
        CGlobalBlock::Allocate(static_cast<std::size_t>(imageSize + dib::kNewBlockOverhead), true);
    if (!block)
        return block;
    const std::uint32_t colours = depth <= 8 ? 1u << depth : 0;
    block.SetU32(dib::kSize, dib::kInfoHeaderSize);
    block.SetU32(dib::kWidth, static_cast<std::uint32_t>(width));
    block.SetU32(dib::kHeight, static_cast<std::uint32_t>(height));
    block.SetU16(dib::kPlanes, 1);
    block.SetU16(dib::kBitCount, static_cast<std::uint16_t>(depth));
    block.SetU32(dib::kCompression, BI_RGB);
    block.SetU32(dib::kSizeImage, static_cast<std::uint32_t>(imageSize));
    block.SetU32(dib::kClrUsed, colours);
    for (std::uint32_t i = 0; i + 16 <= colours; i += 16) {
        for (std::uint32_t c = 0; c < 16; ++c) {
            std::uint8_t* entry = block.At(dib::kInfoHeaderSize + 4 * (i + c), 4);
            entry[0] = kDefaultColours[c][2];
            entry[1] = kDefaultColours[c][1];
            entry[2] = kDefaultColours[c][0];
        }
    }
    return block;
}

int FillDibColorTable(CGlobalBlock& dib, HPALETTE palette, bool asIndices)
{
    if (palette == nullptr)
        palette = static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE));
    if (!dib)
        return 0;
    std::uint32_t count = DibColorCount(dib);
    if (count == 3 && dib.U32(dib::kCompression) == BI_BITFIELDS)
        count = 0; // those are the colour masks
    const std::size_t table = dib.U32(dib::kSize);
    if (asIndices) {
        for (std::uint32_t i = 0; i < count && dib.At(table + 2 * i, 2); ++i)
            dib.SetU16(table + 2 * i, static_cast<std::uint16_t>(i));
        return 1;
    }
    count = std::min<std::uint32_t>(count, 256);
    PALETTEENTRY entries[256] = {};
    ::GetPaletteEntries(palette, 0, count, entries);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (std::uint8_t* entry = dib.At(table + 4 * i, 4)) {
            entry[0] = entries[i].peBlue;
            entry[1] = entries[i].peGreen;
            entry[2] = entries[i].peRed;
            entry[3] = 0;
        }
    }
    return 1;
}
