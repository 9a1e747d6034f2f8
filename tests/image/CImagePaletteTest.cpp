#include "image/CImagePalette.h"
#include "image/CImageImpl.h"
#include "image/Dib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Black, red, green, blue.
const std::uint8_t kRed[] = {0, 255, 0, 0};
const std::uint8_t kGreen[] = {0, 0, 255, 0};
const std::uint8_t kBlue[] = {0, 0, 0, 255};
const std::uint32_t kColours[] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
const std::uint32_t kFailed = 0xFFFFFFFF;

// 0xRRGGBB, or kFailed when GetEntryRGB says 0 (the outputs must then stay as they were).
std::uint32_t Rgb(const CImagePalette& palette, int index)
{
    std::uint8_t r = 1, g = 2, b = 3;
    if (!palette.GetEntryRGB(index, &r, &g, &b))
        return r == 1 && g == 2 && b == 3 ? kFailed : 0xBAD;
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

TEST(CImagePalette, HoldsTheGivenColoursOnce)
{
    CImagePalette palette;
    EXPECT_EQ(palette.CreateFromComponents(4, kRed, kGreen, kBlue), 1);
    ASSERT_NE(palette.GetSafeHandle(), nullptr);
    EXPECT_EQ(::GetPaletteEntries(palette.GetSafeHandle(), 0, 0, nullptr), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Rgb(palette, i), kColours[i]) << "entry " << i;

    const HPALETTE handle = palette.GetSafeHandle();
    EXPECT_EQ(palette.CreateFromComponents(4, kBlue, kGreen, kRed), 0);
    EXPECT_EQ(palette.GetSafeHandle(), handle);
    EXPECT_EQ(Rgb(palette, 1), 0xFF0000u);

    std::vector<std::uint8_t> many(257, 7);
    CImagePalette tooMany;
    EXPECT_EQ(tooMany.CreateFromComponents(257, many.data(), many.data(), many.data()), 0);
    EXPECT_EQ(tooMany.GetSafeHandle(), nullptr);
    EXPECT_EQ(tooMany.CreateFromComponents(-1, kRed, kGreen, kBlue), 0);
    EXPECT_EQ(tooMany.GetSafeHandle(), nullptr);
}

TEST(CImagePalette, EntriesOutsideThePaletteGiveZero)
{
    std::vector<std::uint8_t> levels(256);
    for (int i = 0; i < 256; ++i)
        levels[i] = static_cast<std::uint8_t>(i);
    CImagePalette full;
    full.CreateFromComponents(256, levels.data(), levels.data(), levels.data());
    EXPECT_EQ(Rgb(full, 255), 0xFFFFFFu);
    EXPECT_EQ(Rgb(full, 256), kFailed);
    EXPECT_EQ(Rgb(full, -1), kFailed);

    // Even a palette with more entries has nothing to give past 255.
    std::vector<std::uint8_t> memory(sizeof(LOGPALETTE) + 300 * sizeof(PALETTEENTRY), 200);
    auto* logical = reinterpret_cast<LOGPALETTE*>(memory.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 300;
    CImagePalette large;
    large.Attach(::CreatePalette(logical));
    ASSERT_EQ(::GetPaletteEntries(large.GetSafeHandle(), 0, 0, nullptr), 300u);
    EXPECT_EQ(Rgb(large, 256), kFailed);

    CImagePalette small;
    small.CreateFromComponents(4, kRed, kGreen, kBlue);
    EXPECT_EQ(Rgb(small, 4), kFailed);
    EXPECT_EQ(Rgb(CImagePalette(), 0), kFailed);
}

TEST(CImagePalette, NearestIndexMatchesTheClosestColour)
{
    CImagePalette palette;
    palette.CreateFromComponents(4, kRed, kGreen, kBlue);
    EXPECT_EQ(palette.GetNearestIndex(0, 0, 0), 0u);
    EXPECT_EQ(palette.GetNearestIndex(200, 30, 30), 1u);
    EXPECT_EQ(palette.GetNearestIndex(10, 250, 60), 2u);
    EXPECT_EQ(palette.GetNearestIndex(0, 0, 255), 3u);
}

TEST(CImagePalette, DestructionDeletesTheGdiPalette)
{
    HPALETTE handle = nullptr;
    {
        CImagePalette palette;
        palette.CreateFromComponents(4, kRed, kGreen, kBlue);
        handle = palette.GetSafeHandle();
        ASSERT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_PAL));
    }
    EXPECT_EQ(::GetObjectType(handle), 0u);
}

class BlockPicture : public CImageImpl {
public:
    CGlobalBlock& Dib() { return imageDib; }
    std::uint32_t Entry(int index)
    {
        return imageDib.U32(40 + 4 * static_cast<std::size_t>(index));
    }
};

// Starts from a blank 8-bit picture: its block holds a full 256-entry table.
class FillDibColorTableTest : public ::testing::Test {
protected:
    FillDibColorTableTest()
    {
        picture.Create(16, 16, 8, -1);
        palette.CreateFromComponents(4, kRed, kGreen, kBlue);
    }

    CGlobalBlock& Dib() { return picture.Dib(); }

    BlockPicture picture;
    CImagePalette palette;
};

TEST_F(FillDibColorTableTest, EmptyBlockFails)
{
    CGlobalBlock empty;
    EXPECT_EQ(FillDibColorTable(empty, nullptr, true), 0);
    EXPECT_EQ(FillDibColorTable(empty, palette.GetSafeHandle(), false), 0);
}

TEST_F(FillDibColorTableTest, ColourFormIsBlueGreenRedZero)
{
    Dib().data()[40 + 4 + 3] = 0xEE; // a reserved byte to be cleared
    EXPECT_EQ(FillDibColorTable(Dib(), palette.GetSafeHandle(), false), 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(picture.Entry(i), kColours[i]) << "entry " << i;
}

TEST_F(FillDibColorTableTest, NullPaletteStandsForTheStockDefault)
{
    PALETTEENTRY stock[20] = {};
    ASSERT_EQ(
        ::GetPaletteEntries(static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)), 0, 20, stock),
        20u);
    for (int i = 0; i < 20; ++i)
        Dib().SetU32(40 + 4 * i, 0xABABABAB);
    EXPECT_EQ(FillDibColorTable(Dib(), nullptr, false), 1);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(picture.Entry(i),
                  static_cast<std::uint32_t>(stock[i].peRed << 16 | stock[i].peGreen << 8 |
                                             stock[i].peBlue))
            << "entry " << i;
}

TEST_F(FillDibColorTableTest, AtMost256ColoursAreWritten)
{
    // 16-bit with 300 table entries: the block's slack holds them all.
    picture.Create(16, 16, 16, -1);
    Dib().SetU32(dib::kClrUsed, 300);
    for (int i = 0; i < 300; ++i)
        Dib().SetU32(40 + 4 * i, 0xABABABAB);
    std::vector<std::uint8_t> levels(256, 9);
    CImagePalette grey;
    grey.CreateFromComponents(256, levels.data(), levels.data(), levels.data());
    EXPECT_EQ(FillDibColorTable(Dib(), grey.GetSafeHandle(), false), 1);
    EXPECT_EQ(picture.Entry(255), 0x090909u);
    for (int i = 256; i < 300; ++i)
        EXPECT_EQ(picture.Entry(i), 0xABABABABu) << "entry " << i;
}

TEST_F(FillDibColorTableTest, IndexFormCountsUpEveryEntry)
{
    EXPECT_EQ(FillDibColorTable(Dib(), palette.GetSafeHandle(), true), 1);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(Dib().U16(40 + 2 * i), i) << "word " << i;
    // The second half of the table is left as it was: VGA white at entry 255.
    EXPECT_EQ(picture.Entry(255), 0xFFFFFFu);
}

TEST_F(FillDibColorTableTest, BitFieldMasksAreNoColourTable)
{
    picture.Create(4, 4, 16, -1);
    Dib().SetU32(dib::kCompression, BI_BITFIELDS);
    Dib().SetU32(dib::kClrUsed, 3);
    const std::uint32_t masks[] = {0xF800, 0x07E0, 0x001F};
    for (int i = 0; i < 3; ++i)
        Dib().SetU32(40 + 4 * i, masks[i]);
    EXPECT_EQ(FillDibColorTable(Dib(), palette.GetSafeHandle(), false), 1);
    EXPECT_EQ(FillDibColorTable(Dib(), palette.GetSafeHandle(), true), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(picture.Entry(i), masks[i]) << "mask " << i;
}

} // namespace
