#include "DibRle.h"

#include "ByteView.h"

namespace {

// Writes one pixel of depth 4 or 8 at (x, y) when it lies inside the picture.
class RowWriter {
public:
    RowWriter(int depth, int width, int height, std::uint8_t* rows, std::size_t rowBytes)
        : m_depth(depth), m_width(width), m_height(height), m_rows(rows), m_rowBytes(rowBytes)
    {
    }

    void Put(int x, int y, std::uint8_t value) const
    {
        if (x < 0 || x >= m_width || y < 0 || y >= m_height)
            return;
        std::uint8_t* row = m_rows + static_cast<std::size_t>(y) * m_rowBytes;
        if (m_depth == 8) {
            row[x] = value;
        } else {
            std::uint8_t& byte = row[x / 2];
            byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | (value << 4))
                              : static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F));
        }
    }

private:
    int m_depth;
    int m_width;
    int m_height;
    std::uint8_t* m_rows;
    std::size_t m_rowBytes;
};

// The i-th pixel value of a run's byte: both halves alternate at depth 4.
std::uint8_t PixelOf(std::uint8_t byte, int depth, int i)
{
    if (depth == 8)
        return byte;
    return static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
}

} // namespace

bool DecodeDibRle(const std::uint8_t* data, std::size_t size, int depth, int width, int height,
                  std::uint8_t* rows, std::size_t rowBytes)
{
    if (depth != 4 && depth != 8)
        return false;
    const ByteView in(data, size);
    const RowWriter out(depth, width, height, rows, rowBytes);
    std::size_t pos = 0;
    int x = 0;
    int y = 0;
    while (pos + 1 < size && y < height) {
        const int count = in.U8(pos);
        const std::uint8_t value = in.U8(pos + 1);
        pos += 2;
        if (count > 0) { // encoded run
            for (int i = 0; i < count && x < width; ++i)
                out.Put(x++, y, PixelOf(value, depth, i));
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: // delta
            x = x + in.U8(pos) < width ? x + in.U8(pos) : width;
            y += in.U8(pos + 1);
            pos += 2;
            break;
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const int pixels = value;
            const std::size_t bytes = depth == 8 ? pixels : (pixels + 1) / 2;
            for (int i = 0; i < pixels; ++i) {
                const std::uint8_t byte = in.U8(pos + (depth == 8 ? i : i / 2));
                if (x < width)
                    out.Put(x++, y, PixelOf(byte, depth, i));
            }
            pos += bytes + (bytes & 1);
            break;
        }
        }
    }
    return true;
}
