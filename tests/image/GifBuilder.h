#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using GifRgb = std::array<std::uint8_t, 3>;

// One LZW code and the number of bits it is written with.
struct GifCode {
    int code;
    int width;
};

struct LzwOptions {
    bool leadingClear = true;
    // Off: once the table is full, codes go on at 12 bits without a clear.
    bool clearWhenFull = true;
    // Pixel positions a clear code goes before.
    std::vector<std::size_t> clearsBefore;
    bool endCode = true;
};

// The width a decoder reads the next code with, codesSinceClear codes after
// a clear (or the start): it adds a table entry for each but the first.
int GifCodeWidth(int minimumCodeSize, int codesSinceClear);

std::vector<GifCode> LzwEncode(const std::vector<std::uint8_t>& pixels, int minimumCodeSize,
                               const LzwOptions& options = LzwOptions());

// Least significant bit first.
std::vector<std::uint8_t> PackCodes(const std::vector<GifCode>& codes);

// The image rows, counted from the top, in the order an interlaced image
// stores them.
std::vector<int> InterlacedRowOrder(int height);

// Distinct colours, none of them white.
std::vector<GifRgb> GifColours(int count);

// Palette indices, rows from the top.
struct GifPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    static GifPicture Filled(int width, int height, int value);
    // Repeats that LZW turns into long strings.
    static GifPicture Pattern(int width, int height, int colours);
    static GifPicture Noise(int width, int height, int colours, unsigned seed);
    int At(int x, int row) const { return pixels[static_cast<std::size_t>(row) * width + x]; }
};

// Compares every pixel; the picture stores its top row last.
template <class Image>
::testing::AssertionResult HoldsPicture(const Image& image, const GifPicture& expected)
{
    if (image.GetWidth() != expected.width || image.GetHeight() != expected.height)
        return ::testing::AssertionFailure()
               << "size " << image.GetWidth() << "x" << image.GetHeight() << ", expected "
               << expected.width << "x" << expected.height;
    for (int row = 0; row < expected.height; ++row) {
        for (int x = 0; x < expected.width; ++x) {
            const int got = image.GetPixelIndex(x, expected.height - 1 - row);
            if (got != expected.At(x, row))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", row " << row << " from the top) is " << got
                       << ", expected " << expected.At(x, row);
        }
    }
    return ::testing::AssertionSuccess();
}

// The bytes of a GIF file, block by block, written to a file of its own in the
// temporary folder that goes when the builder does.
class GifBuilder {
public:
    GifBuilder();
    ~GifBuilder();
    GifBuilder(const GifBuilder&) = delete;
    GifBuilder& operator=(const GifBuilder&) = delete;

    // Signature with version, and the logical screen.
    GifBuilder& Header(const char* signature = "GIF89a", int width = 0, int height = 0);
    // sizeField -1: the one that fits the colours; another value claims more
    // or fewer entries than are written.
    GifBuilder& GlobalTable(const std::vector<GifRgb>& colours, int sizeField = -1);
    // transparent -1: no transparent index. The block holds its 4 bytes
    // whatever size it claims.
    GifBuilder& GraphicControl(int transparent, int blockSize = 4);
    GifBuilder& Comment(const std::string& text);
    GifBuilder& Application(const std::string& identifier, const std::vector<std::uint8_t>& data);
    GifBuilder& Descriptor(int width, int height, bool interlaced = false);
    // Directly after Descriptor.
    GifBuilder& LocalTable(const std::vector<GifRgb>& colours, int sizeField = -1);
    // Minimum code size, the data in sub-blocks of up to blockSize, terminator.
    GifBuilder& ImageData(int minimumCodeSize, const std::vector<std::uint8_t>& data,
                          std::size_t blockSize = 255, bool terminator = true);
    GifBuilder& Codes(int minimumCodeSize, const std::vector<GifCode>& codes);
    // The encoded picture; interlaced: its rows in pass order.
    GifBuilder& Pixels(const GifPicture& picture, int minimumCodeSize, bool interlaced = false,
                       const LzwOptions& options = LzwOptions());
    // Descriptor and pixels.
    GifBuilder& Image(const GifPicture& picture, int minimumCodeSize, bool interlaced = false,
                      const LzwOptions& options = LzwOptions());
    GifBuilder& Trailer();
    GifBuilder& Raw(std::initializer_list<int> bytes);

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    // Writes the bytes, or the first size of them; the file's path.
    const std::string& Write(std::size_t size = static_cast<std::size_t>(-1));
    const std::string& Path() const { return m_path; }

private:
    void Put16(int value);
    void SubBlocks(const std::vector<std::uint8_t>& data, std::size_t blockSize);

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_packedAt = 0; // where the next table's flag and size go
    std::string m_path;
};
