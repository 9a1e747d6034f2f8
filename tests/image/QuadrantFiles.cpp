#include "QuadrantFiles.h"

#include "BmpBuilder.h"
#include "CodecFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Grey shows whether black is decoded too, and whether narrow fields are scaled.
const std::uint32_t kColours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};

int Component(std::uint32_t colour, int shift)
{
    return static_cast<int>(colour >> shift & 0xFF);
}

int QuadrantIndex(const QuadrantKind& kind, int x, int y)
{
    const int quadrant = (y >= quadrants::kSplitY ? 2 : 0) + (x >= quadrants::kSplitX ? 1 : 0);
    return kind.colours == 2 ? (quadrant ^ quadrant >> 1) & 1 : quadrant;
}

// Packed indices of one row, leftmost pixel in the high-order bits.
Bytes PackedRow(const QuadrantKind& kind, int depth, int y)
{
    Bytes row((quadrants::kWidth * depth + 7) / 8, 0);
    for (int x = 0; x < quadrants::kWidth; ++x) {
        const int bit = x * depth;
        row[bit / 8] |=
            static_cast<std::uint8_t>(QuadrantIndex(kind, x, y) << (8 - depth - bit % 8));
    }
    return row;
}

Bytes PalettePng(const QuadrantKind& kind, int depth)
{
    PngSpec spec;
    spec.width = quadrants::kWidth;
    spec.height = quadrants::kHeight;
    spec.bitDepth = depth;
    spec.colorType = 3;
    for (int i = 0; i < kind.colours; ++i) {
        for (int shift : {16, 8, 0})
            spec.palette.push_back(static_cast<std::uint8_t>(Component(kColours[i], shift)));
    }
    for (int y = quadrants::kHeight - 1; y >= 0; --y)
        spec.rows.push_back(PackedRow(kind, depth, y));
    return MakePng(spec);
}

// Bottom row first, each row padded to 4 bytes, the pixel given as bytes.
template <class PixelBytes> Bytes BitmapRows(PixelBytes pixelBytes)
{
    Bytes rows;
    for (int y = 0; y < quadrants::kHeight; ++y) {
        const std::size_t start = rows.size();
        for (int x = 0; x < quadrants::kWidth; ++x)
            pixelBytes(rows, x, y);
        rows.resize(start + (rows.size() - start + 3) / 4 * 4, 0);
    }
    return rows;
}

Bytes IndexedBmp(const QuadrantKind& kind, int depth)
{
    BmpBuilder file(quadrants::kWidth, quadrants::kHeight, static_cast<std::uint16_t>(depth));
    file.clrUsed = static_cast<std::uint32_t>(kind.colours);
    file.table.assign(kColours, kColours + kind.colours);
    for (int y = 0; y < quadrants::kHeight; ++y) {
        Bytes row = PackedRow(kind, depth, y);
        row.resize((row.size() + 3) / 4 * 4, 0);
        file.rows.insert(file.rows.end(), row.begin(), row.end());
    }
    return file.Bytes();
}

// A 16- or 32-bit bitmap whose pixels are the colours packed by the masks
// (no masks: 5-5-5).
Bytes PackedBmp(int depth, const std::vector<std::uint32_t>& masks, const QuadrantKind& kind)
{
    BmpBuilder file(quadrants::kWidth, quadrants::kHeight, static_cast<std::uint16_t>(depth));
    file.compression = masks.empty() ? BI_RGB : BI_BITFIELDS;
    file.table = masks;
    const std::uint32_t fields[3] = {masks.empty() ? 0x7C00u : masks[0],
                                     masks.empty() ? 0x03E0u : masks[1],
                                     masks.empty() ? 0x001Fu : masks[2]};
    file.rows = BitmapRows([&](Bytes& out, int x, int y) {
        const std::uint32_t colour = QuadrantColour(kind, x, y);
        std::uint32_t pixel = 0;
        for (int i = 0; i < 3; ++i) {
            int shift = 0;
            while ((fields[i] >> shift & 1) == 0)
                ++shift;
            const std::uint32_t top = fields[i] >> shift;
            pixel |= (Component(colour, 16 - 8 * i) * top + 127) / 255 << shift;
        }
        for (int b = 0; b < depth / 8; ++b)
            out.push_back(static_cast<std::uint8_t>(pixel >> (8 * b)));
    });
    return file.Bytes();
}

Bytes AdobeCmykJpeg(const QuadrantKind& kind)
{
    JpegSpec spec;
    spec.width = quadrants::kWidth;
    spec.height = quadrants::kHeight;
    spec.components = 4;
    spec.quality = 95;
    // Adobe's inverted samples: each component is C * K / 255, K the largest.
    for (int y = quadrants::kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < quadrants::kWidth; ++x) {
            const std::uint32_t colour = QuadrantColour(kind, x, y);
            const int black =
                std::max({Component(colour, 16), Component(colour, 8), Component(colour, 0)});
            for (int shift : {16, 8, 0})
                spec.pixels.push_back(static_cast<std::uint8_t>(
                    black == 0 ? 0 : (Component(colour, shift) * 255 + black / 2) / black));
            spec.pixels.push_back(static_cast<std::uint8_t>(black));
        }
    }
    return MakeJpeg(spec);
}

} // namespace

const std::vector<QuadrantKind>& QuadrantKinds()
{
    static const std::vector<QuadrantKind> kinds = {
        {"1-bit PNG", ".png", 2, 0, [](const QuadrantKind& k) { return PalettePng(k, 1); }},
        {"2-bit PNG", ".png", 4, 0, [](const QuadrantKind& k) { return PalettePng(k, 2); }},
        {"4-bit PNG", ".png", 4, 0, [](const QuadrantKind& k) { return PalettePng(k, 4); }},
        {"1-bit BMP", ".bmp", 2, 0, [](const QuadrantKind& k) { return IndexedBmp(k, 1); }},
        {"4-bit BMP", ".bmp", 4, 0, [](const QuadrantKind& k) { return IndexedBmp(k, 4); }},
        {"16-bit 5-5-5 BMP", ".bmp", 4, 4,
         [](const QuadrantKind& k) { return PackedBmp(16, {}, k); }},
        {"16-bit 5-6-5 BMP", ".bmp", 4, 4,
         [](const QuadrantKind& k) {
             return PackedBmp(16, {0xF800, 0x07E0, 0x001F}, k);
         }},
        {"32-bit red-first bit-field BMP", ".bmp", 4, 0,
         [](const QuadrantKind& k) {
             return PackedBmp(32, {0x0000FF, 0x00FF00, 0xFF0000}, k);
         }},
        {"CMYK JPEG", ".jpg", 4, 8, AdobeCmykJpeg},
    };
    return kinds;
}

std::uint32_t QuadrantColour(const QuadrantKind& kind, int x, int y)
{
    return kColours[QuadrantIndex(kind, x, y)];
}

const std::string& SaveQuadrants(const QuadrantKind& kind, const TempFile& file)
{
    return file.Save(kind.make(kind));
}

bool ColoursClose(std::uint32_t have, std::uint32_t want, int tolerance)
{
    for (int shift : {16, 8, 0}) {
        if (std::abs(Component(have, shift) - Component(want, shift)) > tolerance)
            return false;
    }
    return true;
}
