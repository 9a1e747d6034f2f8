// Expanding RLE8 and RLE4 data into rows, and staying inside them whatever
// the data says.
#include "image/DibRle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::uint8_t kGuard = 0xA5;
const std::size_t kGuardBytes = 64;

// Zeroed bottom-up rows with guard bytes on both sides.
class Rows {
public:
    Rows(int depth, int width, int height)
        : m_depth(depth), m_width(width), m_height(height),
          m_rowBytes(static_cast<std::size_t>((depth * width + 31) / 32 * 4)),
          m_buffer(2 * kGuardBytes + m_rowBytes * height, kGuard)
    {
        std::fill(m_buffer.begin() + kGuardBytes, m_buffer.end() - kGuardBytes, 0);
    }

    bool Decode(const Bytes& data)
    {
        return DecodeDibRle(data.data(), data.size(), m_depth, m_width, m_height,
                            m_buffer.data() + kGuardBytes, m_rowBytes);
    }

    // Row y with its padding.
    Bytes Row(int y) const
    {
        const auto begin = m_buffer.begin() + kGuardBytes + y * m_rowBytes;
        return Bytes(begin, begin + m_rowBytes);
    }

    bool GuardsIntact() const
    {
        const auto isGuard = [](std::uint8_t byte) { return byte == kGuard; };
        return std::all_of(m_buffer.begin(), m_buffer.begin() + kGuardBytes, isGuard) &&
               std::all_of(m_buffer.end() - kGuardBytes, m_buffer.end(), isGuard);
    }

    // The bits after the last pixel of every row are still zero.
    bool PaddingZero() const
    {
        for (int y = 0; y < m_height; ++y) {
            const Bytes row = Row(y);
            const std::size_t used = (static_cast<std::size_t>(m_depth) * m_width + 7) / 8;
            if (!std::all_of(row.begin() + used, row.end(), [](std::uint8_t b) { return b == 0; }))
                return false;
            if (m_depth == 4 && m_width % 2 == 1 && (row[used - 1] & 0x0F) != 0)
                return false;
        }
        return true;
    }

private:
    int m_depth;
    int m_width;
    int m_height;
    std::size_t m_rowBytes;
    Bytes m_buffer;
};

TEST(DibRleTest, Rle8RunsAbsoluteRunsAndTheirPadding)
{
    Rows rows(8, 6, 2);
    // A run of 2, 3 absolute pixels and a pad byte, a run of 1, end of line,
    // 4 absolute pixels without pad, end of bitmap.
    ASSERT_TRUE(rows.Decode({2, 9, 0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 0, 4, 5, 6, 7, 8, 0, 1}));
    EXPECT_EQ(rows.Row(0), Bytes({9, 9, 1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(rows.Row(1), Bytes({5, 6, 7, 8, 0, 0, 0, 0}));
    EXPECT_TRUE(rows.GuardsIntact());
}

TEST(DibRleTest, EndOfLineEndOfBitmapAndDelta)
{
    Rows lines(8, 2, 3);
    ASSERT_TRUE(lines.Decode({1, 1, 0, 0, 1, 2, 0, 1, 1, 3}));
    EXPECT_EQ(lines.Row(0), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(lines.Row(1), Bytes({2, 0, 0, 0}));
    EXPECT_EQ(lines.Row(2), Bytes({0, 0, 0, 0})); // after the end of bitmap

    Rows delta(8, 5, 3);
    ASSERT_TRUE(delta.Decode({1, 1, 0, 2, 2, 1, 1, 2, 0, 1}));
    EXPECT_EQ(delta.Row(0), Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(delta.Row(1), Bytes({0, 0, 0, 2, 0, 0, 0, 0}));
    EXPECT_EQ(delta.Row(2), Bytes(8, 0));
}

TEST(DibRleTest, Rle4AlternatesTheNibblesOfEachRun)
{
    Rows rows(4, 7, 3);
    ASSERT_TRUE(rows.Decode({5, 0x12, 0,    0,                      // 1 2 1 2 1
                             0, 7,    0x34, 0x56, 0x78, 0x90, 0, 0, // 7 absolute, no pad
                             0, 5,    0x12, 0x34, 0x50, 0,          // 5 absolute and a pad
                             2, 0x78, 0,    1}));                   // a run from an odd x
    EXPECT_EQ(rows.Row(0), Bytes({0x12, 0x12, 0x10, 0}));
    EXPECT_EQ(rows.Row(1), Bytes({0x34, 0x56, 0x78, 0x90}));
    EXPECT_EQ(rows.Row(2), Bytes({0x12, 0x34, 0x57, 0x80}));
    EXPECT_TRUE(rows.GuardsIntact());
}

TEST(DibRleTest, RunsPastTheRowEndAreCutNotWrapped)
{
    Rows encoded(8, 3, 2);
    ASSERT_TRUE(encoded.Decode({255, 9, 1, 4, 0, 0, 1, 6}));
    EXPECT_EQ(encoded.Row(0), Bytes({9, 9, 9, 0}));
    EXPECT_EQ(encoded.Row(1), Bytes({6, 0, 0, 0}));

    Rows absolute(8, 3, 2);
    ASSERT_TRUE(absolute.Decode({0, 5, 1, 2, 3, 4, 5, 0, 1, 6}));
    EXPECT_EQ(absolute.Row(0), Bytes({1, 2, 3, 0}));
    EXPECT_EQ(absolute.Row(1), Bytes({0, 0, 0, 0}));

    Rows nibbles(4, 3, 1);
    ASSERT_TRUE(nibbles.Decode({255, 0x99, 0, 9, 1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(nibbles.Row(0), Bytes({0x99, 0x90, 0, 0}));
    EXPECT_TRUE(encoded.GuardsIntact() && absolute.GuardsIntact() && nibbles.GuardsIntact());
}

TEST(DibRleTest, DeltasPastThePictureAndMissingEndsStayInside)
{
    Rows right(8, 4, 2);
    ASSERT_TRUE(right.Decode({0, 2, 200, 0, 3, 7, 0, 0, 1, 8}));
    EXPECT_EQ(right.Row(0), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(right.Row(1), Bytes({8, 0, 0, 0}));

    Rows up(8, 4, 2);
    ASSERT_TRUE(up.Decode({0, 2, 1, 255, 3, 7, 0, 0, 3, 7}));
    EXPECT_EQ(up.Row(0), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(up.Row(1), Bytes({0, 0, 0, 0}));

    Rows unended(4, 4, 2); // neither end of line nor end of bitmap
    ASSERT_TRUE(unended.Decode({3, 0x56}));
    EXPECT_EQ(unended.Row(0), Bytes({0x56, 0x50, 0, 0}));
    EXPECT_TRUE(right.GuardsIntact() && up.GuardsIntact() && unended.GuardsIntact());
}

TEST(DibRleTest, TruncatedDataStopsCleanly)
{
    const Bytes cases[] = {{}, {5}, {0}, {0, 2, 1}, {0, 10, 1, 2}, {4, 3, 0}};
    for (const Bytes& data : cases) {
        Rows rows(8, 12, 2);
        EXPECT_TRUE(rows.Decode(data));
        EXPECT_TRUE(rows.GuardsIntact() && rows.PaddingZero()) << data.size();
    }
    Rows absolute(8, 12, 1);
    ASSERT_TRUE(absolute.Decode({0, 10, 1, 2}));
    EXPECT_EQ(absolute.Row(0), Bytes({1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(DibRleTest, OnlyDepthsFourAndEight)
{
    for (int depth : {1, 16, 24}) {
        Rows rows(depth, 4, 1);
        EXPECT_FALSE(rows.Decode({4, 1, 0, 1}));
        EXPECT_EQ(rows.Row(0), Bytes(rows.Row(0).size(), 0));
    }
}

TEST(DibRleTest, RandomDataNeverWritesOutsideThePixels)
{
    std::mt19937 random(20240917);
    for (int round = 0; round < 3000; ++round) {
        const int depth = round % 2 == 0 ? 8 : 4;
        Rows rows(depth, static_cast<int>(random() % 41), static_cast<int>(random() % 9));
        Bytes data(random() % 200);
        // Mostly small values, so escapes and short runs are common.
        for (std::uint8_t& byte : data)
            byte = static_cast<std::uint8_t>(random() % 3 == 0 ? random() : random() % 4);
        rows.Decode(data);
        ASSERT_TRUE(rows.GuardsIntact()) << round;
        ASSERT_TRUE(rows.PaddingZero()) << round;
    }
}

} // namespace
