#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

class CImageImpl;

// The bytes of a bitmap file, field by field, saved to a temporary file that is
// removed with the builder. The defaults make a valid 8-bit file without rows.
struct BmpBuilder {
    explicit BmpBuilder(std::int32_t width = 1, std::int32_t height = 1, std::uint16_t depth = 8)
        : width(width), height(height), depth(depth)
    {
    }
    ~BmpBuilder();
    BmpBuilder(const BmpBuilder&) = delete;
    BmpBuilder& operator=(const BmpBuilder&) = delete;

    std::size_t lead = 0; // junk bytes before the bitmap begins
    bool fileHeader = true;
    std::int64_t offBits = -1;     // -1: where the rows begin
    std::uint32_t headerSize = 40; // 12 writes the 16-bit core fields; 13..39 cut the fields
    std::int32_t width;
    std::int32_t height; // negative: rows stored top-down
    std::uint16_t planes = 1;
    std::uint16_t depth;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
    // Fields after the first 40 bytes of a longer header; the rest is zeros.
    std::vector<std::uint32_t> headerExtra;
    // Entries as 0xRRGGBB (or masks), stored blue first.
    std::vector<std::uint32_t> table;
    int entryBytes = 0;  // 0: 3 after a core header, else 4
    std::size_t gap = 0; // bytes of 0xEE between table and rows
    std::vector<std::uint8_t> rows;
    std::map<std::size_t, std::uint8_t> patch; // bytes replaced at these offsets
    std::size_t keep = SIZE_MAX;               // the file is cut to this many bytes

    // Each row padded with zeros to a multiple of 4 bytes, bottom row first.
    static std::vector<std::uint8_t> Padded(std::initializer_list<std::vector<std::uint8_t>> list);

    std::vector<std::uint8_t> Bytes() const;
    // Writes Bytes() to a new temporary file (or to path); the file's path.
    const std::string& Save(const std::string& path = std::string());

private:
    std::string m_path;
};

// 0xRRGGBB, or 0xFFFFFFFF when GetPixelRGB gives no answer.
std::uint32_t PixelRgb(const CImageImpl& image, int x, int y);

// The picture stretched over a 32-bit DIB section of its own size as the
// preview pane draws it, its palette (if any) selected first: 0x??RRGGBB,
// bottom row first.
std::vector<std::uint32_t> DrawnPixels(CImageImpl& image);

// Every pixel is read and the picture is drawn onto a DIB section; the caller
// sees a fault, or the draw result as a test failure.
void ExpectReadableAndDrawable(CImageImpl& image);
