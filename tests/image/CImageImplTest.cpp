#include "image/CImageImpl.h"

#include "framework/CWinApp.h"
#include "framework/MessageBoxService.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// The 16 standard VGA colours as 0xRRGGBB: a table entry (blue, green, red, 0)
// read as a little-endian word.
const std::uint32_t kVga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
const std::uint32_t kFailed = 0xFFFFFFFF;

class TestPicture : public CImageImpl {
public:
    void SetTransparent(int index) { imageTransparent = index; }
    using CImageImpl::PixelBytes;
};

std::uint32_t Entry(const CImageImpl& picture, int index)
{
    return picture.GetDib().U32(40 + 4 * static_cast<std::size_t>(index));
}

std::uint16_t TableWord(const CImageImpl& picture, int index)
{
    return picture.GetDib().U16(40 + 2 * static_cast<std::size_t>(index));
}

// The ten header fields in order (planes and depth are 16-bit).
std::vector<std::uint32_t> Header(const CGlobalBlock& dib)
{
    return {dib.U32(0),  dib.U32(4),  dib.U32(8),  dib.U16(12), dib.U16(14), dib.U32(16),
            dib.U32(20), dib.U32(24), dib.U32(28), dib.U32(32), dib.U32(36)};
}

std::size_t RowsOffset(const CImageImpl& picture)
{
    return static_cast<std::size_t>(picture.GetBits() - picture.GetDib().data());
}

void ExpectVgaEntries(const CImageImpl& picture, int first, int count)
{
    for (int i = first; i < first + count; ++i)
        EXPECT_EQ(Entry(picture, i), kVga[i % 16]) << "entry " << i;
}

// 0xRRGGBB, or kFailed when GetPixelRGB says 0.
std::uint32_t Rgb(const CImageImpl& picture, int x, int y)
{
    std::uint8_t r = 0, g = 0, b = 0;
    if (!picture.GetPixelRGB(x, y, &r, &g, &b))
        return kFailed;
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

std::uint32_t PaletteRgb(const CImageImpl& picture, int index)
{
    std::uint8_t r = 0, g = 0, b = 0;
    if (!picture.GetPalette() || !picture.GetPalette()->GetEntryRGB(index, &r, &g, &b))
        return kFailed;
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

TEST(CImageImplCreate, EightBitPictureLayout)
{
    CImageImpl picture;
    EXPECT_EQ(picture.Create(10, 3, 8, -1), 12);
    EXPECT_EQ(picture.GetRowBytes(), 12);
    EXPECT_EQ(picture.GetColorType(), 0);
    EXPECT_EQ(Header(picture.GetDib()),
              (std::vector<std::uint32_t>{40, 10, 3, 1, 8, 0, 36, 0, 0, 256, 0}));
    EXPECT_EQ(picture.GetDib().size(), 1100u);
    EXPECT_EQ(RowsOffset(picture), 1064u);
    ExpectVgaEntries(picture, 0, 256);
    EXPECT_EQ(std::vector<std::uint8_t>(picture.GetBits(), picture.GetBits() + 36),
              std::vector<std::uint8_t>(36, 0));
}

TEST(CImageImplCreate, OtherDepthsLayout)
{
    CImageImpl four;
    EXPECT_EQ(four.Create(9, 2, 4, -1), 8);
    EXPECT_EQ(four.GetDib().U32(32), 16u);
    EXPECT_EQ(RowsOffset(four), 40u + 64u);
    ExpectVgaEntries(four, 0, 16);

    CImageImpl one; // two entries: too few for a VGA group
    EXPECT_EQ(one.Create(33, 2, 1, -1), 8);
    EXPECT_EQ(Header(one.GetDib()),
              (std::vector<std::uint32_t>{40, 33, 2, 1, 1, 0, 16, 0, 0, 2, 0}));
    EXPECT_EQ(Entry(one, 0), 0u);
    EXPECT_EQ(Entry(one, 1), 0u);
    EXPECT_EQ(RowsOffset(one), 48u);
    EXPECT_EQ(one.GetDib().size(), 1064u + 16u);

    CImageImpl deep;
    EXPECT_EQ(deep.Create(3, 3, 24, -1), 12);
    EXPECT_EQ(deep.GetColorType(), 2);
    EXPECT_EQ(deep.GetDib().U32(32), 0u);
    EXPECT_EQ(RowsOffset(deep), 40u);
    EXPECT_EQ(deep.GetDib().size(), 1064u + 36u);

    EXPECT_EQ(deep.Create(1, 1, 16, 5), 4);
    EXPECT_EQ(deep.GetColorType(), 5) << "a given colour type is kept";
}

TEST(CImageImplCreate, RowsArePaddedToFourBytes)
{
    const int cases[][3] = {{1, 32, 4}, {1, 33, 8},  {4, 9, 8},  {8, 5, 8},
                            {16, 3, 8}, {24, 5, 16}, {32, 3, 12}}; // depth, width, row bytes
    for (const auto& c : cases) {
        CImageImpl picture;
        EXPECT_EQ(picture.Create(c[1], 2, c[0], -1), c[2]) << "depth " << c[0] << " width " << c[1];
        EXPECT_EQ(picture.GetDib().U32(20), static_cast<std::uint32_t>(2 * c[2]));
    }
}

TEST(CImageImplCreate, ImpossibleSizesFailWithoutPicture)
{
    // The last two have more than 2^28 pixels.
    const int cases[][3] = {{-1, 5, 8}, {5, -1, 8}, {100000, 100000, 32}, {16385, 16384, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c[0]) + "x" + std::to_string(c[1]));
        CImageImpl picture;
        EXPECT_EQ(picture.Create(c[0], c[1], c[2], -1), 0);
        EXPECT_EQ(picture.GetBits(), nullptr);
        EXPECT_FALSE(picture.HasPicture());
        EXPECT_EQ(picture.GetWidth(), c[0]);
        EXPECT_EQ(picture.GetHeight(), c[1]);
        EXPECT_EQ(picture.GetPixelIndex(0, 0), -1);
        EXPECT_EQ(picture.SetPixelIndex(1, 1, 7), 0);
        // Only safety counts here: there is no block to read or write.
        Rgb(picture, c[0] - 1, c[1] - 1);
        picture.SetPixelRGB(c[0] - 1, c[1] - 1, 1, 2, 3);
    }
}

TEST(CImageImplCreate, CreateAgainDropsPictureAndPaletteButNotTransparency)
{
    TestPicture picture;
    picture.Create(4, 4, 8, -1);
    picture.SetGreyPalette(256);
    picture.SetPixelIndex(0, 0, 9);
    picture.SetTransparent(5);

    EXPECT_EQ(picture.Create(2, 2, 8, -1), 4);
    EXPECT_EQ(picture.GetPalette(), nullptr);
    EXPECT_EQ(picture.GetColorType(), 0);
    EXPECT_EQ(picture.GetTransparent(), 5);
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 0);
    ExpectVgaEntries(picture, 0, 256);
}

TEST(CImageImplPixels, IsInsideCoversExactlyThePicture)
{
    CImageImpl picture;
    EXPECT_EQ(picture.IsInside(0, 0), 0);
    picture.Create(4, 3, 8, -1);
    EXPECT_EQ(picture.IsInside(0, 0), 1);
    EXPECT_EQ(picture.IsInside(3, 2), 1);
    const int outside[][2] = {{4, 0}, {-1, 0}, {0, 3}, {0, -1}};
    for (const auto& o : outside)
        EXPECT_EQ(picture.IsInside(o[0], o[1]), 0) << o[0] << "," << o[1];
}

TEST(CImageImplPixels, IndexIsTheWholeByteWithRowZeroAtTheBottom)
{
    CImageImpl eight;
    eight.Create(5, 3, 8, -1); // 8 bytes a row
    EXPECT_EQ(eight.SetPixelIndex(4, 2, 0x1AB), 1);
    EXPECT_EQ(eight.GetBits()[2 * 8 + 4], 0xAB);
    eight.GetBits()[8 + 1] = 77;
    EXPECT_EQ(eight.GetPixelIndex(1, 1), 77);

    CImageImpl four;
    four.Create(6, 2, 4, -1);
    four.GetBits()[1] = 0x5A; // pixels 2 and 3 of the bottom row
    EXPECT_EQ(four.GetPixelIndex(2, 0), 0x5A);
    EXPECT_EQ(four.GetPixelIndex(3, 0), 0x5A);
    EXPECT_EQ(four.SetPixelIndex(5, 1, 7), 1);
    EXPECT_EQ(four.GetBits()[4 + 2], 7);

    CImageImpl one;
    one.Create(16, 1, 1, -1);
    one.GetBits()[1] = 0xC3;
    EXPECT_EQ(one.GetPixelIndex(7, 0), 0);
    EXPECT_EQ(one.GetPixelIndex(8, 0), 0xC3);
    EXPECT_EQ(one.GetPixelIndex(15, 0), 0xC3);
}

TEST(CImageImplPixels, NoIndexOutsideOrAboveEightBits)
{
    CImageImpl picture;
    picture.Create(4, 2, 8, -1);
    const CGlobalBlock& dib = picture.GetDib();
    const std::vector<std::uint8_t> before(dib.data(), dib.data() + dib.size());
    EXPECT_EQ(picture.GetPixelIndex(-1, 0), -1);
    EXPECT_EQ(picture.GetPixelIndex(4, 0), -1);
    EXPECT_EQ(picture.SetPixelIndex(4, 1, 1), 0);
    EXPECT_EQ(picture.SetPixelIndex(0, 2, 1), 0);
    EXPECT_EQ(picture.SetPixelIndex(-1, 0, 1), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(dib.data(), dib.data() + dib.size()), before);

    CImageImpl deep;
    deep.Create(2, 2, 24, -1);
    EXPECT_EQ(deep.GetPixelIndex(0, 0), -1);
    EXPECT_EQ(deep.SetPixelIndex(0, 0, 1), 0);
    EXPECT_EQ(deep.GetBits()[0], 0);
}

TEST(CImageImplRgb, DeepPixelsAreStoredBlueGreenRed)
{
    CImageImpl picture;
    picture.Create(3, 2, 24, -1);
    EXPECT_EQ(picture.SetPixelRGB(1, 1, 30, 20, 10), 1);
    const std::uint8_t* stored = picture.GetBits() + 12 + 3;
    EXPECT_EQ(std::vector<std::uint8_t>(stored, stored + 3),
              (std::vector<std::uint8_t>{10, 20, 30}));
    picture.GetBits()[6] = 1; // pixel (2, 0): blue, green, red
    picture.GetBits()[7] = 2;
    picture.GetBits()[8] = 3;
    EXPECT_EQ(Rgb(picture, 2, 0), 0x030201u);
    // A palette does not change what a deep picture's pixels show.
    picture.SetGreyPalette(2);
    EXPECT_EQ(Rgb(picture, 2, 0), 0x030201u);

    CImageImpl wide;
    wide.Create(2, 1, 32, -1);
    wide.SetPixelRGB(1, 0, 7, 8, 9);
    EXPECT_EQ(wide.GetBits()[4], 9);
    EXPECT_EQ(wide.GetBits()[6], 7);
}

TEST(CImageImplRgb, OutsideGivesZeroAndLeavesOutputsAlone)
{
    CImageImpl picture;
    picture.Create(3, 2, 24, -1);
    std::uint8_t red = 11, green = 22, blue = 33;
    EXPECT_EQ(picture.GetPixelRGB(3, 0, &red, &green, &blue), 0);
    EXPECT_EQ(picture.GetPixelRGB(0, -1, &red, &green, &blue), 0);
    EXPECT_EQ(red, 11);
    EXPECT_EQ(green, 22);
    EXPECT_EQ(blue, 33);
    EXPECT_EQ(picture.SetPixelRGB(0, 2, 1, 2, 3), 0);
}

TEST(CImageImplRgb, WithoutPaletteLowDepthsUseThreeBytesInsideTheBlock)
{
    TestPicture eight;
    eight.Create(4, 2, 8, -1);
    eight.SetPixelIndex(0, 0, 1);
    eight.SetPixelIndex(1, 0, 2);
    eight.SetPixelIndex(2, 0, 3);
    EXPECT_EQ(Rgb(eight, 0, 0), 0x030201u);

    // The last row ends where the block ends: two of the three bytes lie beyond it.
    ASSERT_EQ(eight.GetBits() + 8, eight.GetDib().data() + eight.GetDib().size());
    EXPECT_NE(eight.PixelBytes(3, 1, 1), nullptr);
    EXPECT_EQ(eight.PixelBytes(3, 1, 2), nullptr);
    EXPECT_NE(eight.PixelBytes(1, 1, 3), nullptr);
    eight.SetPixelIndex(3, 1, 200);
    EXPECT_EQ(Rgb(eight, 3, 1), 200u);
    EXPECT_EQ(eight.SetPixelRGB(3, 1, 7, 8, 9), 1);
    EXPECT_EQ(eight.GetPixelIndex(3, 1), 9);

    CImageImpl one;
    one.Create(33, 2, 1, -1);
    EXPECT_NE(Rgb(one, 32, 1), kFailed);
    EXPECT_EQ(one.SetPixelRGB(32, 1, 1, 2, 3), 1);
}

TEST(CImageImplRgb, PalettePicturesGoThroughThePalette)
{
    CImageImpl picture;
    picture.Create(2, 1, 8, 3);
    EXPECT_EQ(picture.SetPixelRGB(0, 0, 255, 0, 0), 0) << "palette type without palette";
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 0);

    const std::uint8_t rgb[] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    picture.SetPaletteRGB(4, rgb);
    EXPECT_EQ(picture.SetPixelRGB(0, 0, 10, 240, 20), 1);
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(Rgb(picture, 0, 0), 0x00FF00u);
    picture.SetPixelIndex(1, 0, 4); // the palette has no entry 4
    EXPECT_EQ(Rgb(picture, 1, 0), kFailed);
}

TEST(CImageImplRgb, EveryDepthCreateTakesIsSafeAndOnlyWholeIndicesHavePaletteColours)
{
    // Pixel 2 of a picture with a palette holds index 1. At 3, 5, 6 and 7 bits
    // some pixels cross a byte and at 0 there are none: no index, no colour.
    // Above 8 bits the colours are the pixels' own (all zero here).
    const std::uint8_t rgb[] = {10, 20, 30, 40, 50, 60};
    for (int depth = 0; depth <= 32; ++depth) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        CImageImpl picture;
        picture.Create(8, 1, depth, -1);
        ASSERT_TRUE(picture.HasPicture());
        ASSERT_EQ(picture.SetPaletteRGB(2, rgb), 1);
        const bool indexed = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        if (indexed)
            picture.GetBits()[2 * depth / 8] |=
                static_cast<std::uint8_t>(1 << (8 - depth - 2 * depth % 8));
        for (int x = 0; x < 8; ++x) {
            std::uint8_t red = 1, green = 2, blue = 3;
            const int result = picture.GetPixelRGB(x, 0, &red, &green, &blue);
            const std::uint32_t colour = static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
            const std::uint32_t want =
                indexed ? (x == 2 ? 0x28323Cu : 0x0A141Eu) : (depth <= 8 ? 0x010203u : 0u);
            EXPECT_EQ(result, indexed || depth > 8 ? 1 : 0) << "pixel " << x;
            EXPECT_EQ(colour, want) << "pixel " << x;
        }
    }
}

TEST(CImageImplPalette, MissingComponentsRepeatThePreviousOne)
{
    const std::uint8_t red[] = {10, 20};
    const std::uint8_t green[] = {30, 40};
    CImageImpl picture;
    picture.Create(1, 1, 8, -1);
    EXPECT_EQ(picture.SetPalette(2, red, nullptr, nullptr), 1);
    EXPECT_EQ(PaletteRgb(picture, 1), 0x141414u);
    picture.SetPalette(2, red, green, nullptr);
    EXPECT_EQ(PaletteRgb(picture, 1), 0x142828u);
}

TEST(CImageImplPalette, TableTurnsIntoIndicesAndColourTypeGainsPaletteBits)
{
    const std::uint8_t levels[] = {0, 255};
    CImageImpl four;
    four.Create(3, 1, 4, 4);
    EXPECT_EQ(four.SetPalette(2, levels, nullptr, nullptr), 1);
    EXPECT_EQ(four.GetColorType(), 7);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(TableWord(four, i), i) << "word " << i;
    // The 16 words fill the first 8 entries; the rest keep their colours.
    ExpectVgaEntries(four, 8, 8);

    CImageImpl eight;
    eight.Create(3, 1, 8, -1);
    EXPECT_EQ(eight.SetGreyPalette(256), 1);
    EXPECT_EQ(eight.GetColorType(), 3);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(TableWord(eight, i), i) << "word " << i;

    CImageImpl empty; // no table to convert, but the palette stays
    EXPECT_EQ(empty.SetGreyPalette(16), 0);
    EXPECT_NE(empty.GetPalette(), nullptr);
    EXPECT_EQ(empty.GetColorType(), 3);
}

TEST(CImageImplPalette, GreyLevelsSpreadOverTheCount)
{
    const int cases[][3] = {{256, 77, 77}, {256, 255, 255}, {128, 1, 2}, {128, 127, 254},
                            {3, 1, 85},    {3, 2, 170},     {1, 0, 0}}; // count, index, level
    for (const auto& c : cases) {
        CImageImpl picture;
        picture.Create(1, 1, 8, -1);
        EXPECT_EQ(picture.SetGreyPalette(c[0]), 1);
        EXPECT_EQ(PaletteRgb(picture, c[1]), 0x010101u * c[2])
            << "count " << c[0] << " index " << c[1];
    }
    CImageImpl picture;
    EXPECT_EQ(picture.SetGreyPalette(0), 0);
    EXPECT_EQ(picture.SetGreyPalette(257), 0);
}

class RecordingMessageBoxes : public MessageBoxService {
public:
    int Show(HWND, const std::string& text, const std::string& caption, UINT type) override
    {
        shown.push_back(text + "|" + caption + "|" + std::to_string(type));
        return IDOK;
    }
    std::vector<std::string> shown;
};

TEST(CImageImplPalette, ReplacingAPaletteByTriplesWarnsOnce)
{
    CWinApp app("image_tests");
    RecordingMessageBoxes boxes;
    ScopedMessageBoxService scoped(boxes);
    CImageImpl picture;
    picture.Create(1, 1, 8, -1);

    const std::uint8_t first[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(picture.SetPaletteRGB(2, first), 1);
    EXPECT_TRUE(boxes.shown.empty());

    const std::uint8_t second[] = {7, 8, 9};
    EXPECT_EQ(picture.SetPaletteRGB(1, second), 1);
    EXPECT_EQ(boxes.shown, std::vector<std::string>{"CImageImpl::imagePalette already exists!|"
                                                    "image_tests|" +
                                                    std::to_string(MB_OK | MB_ICONEXCLAMATION)});
    EXPECT_EQ(PaletteRgb(picture, 0), 0x070809u);
    EXPECT_EQ(PaletteRgb(picture, 1), kFailed);
}

TEST(CImageImplPalette, AdoptedPaletteObject)
{
    CImageImpl picture;
    picture.Create(2, 1, 8, -1);
    EXPECT_EQ(picture.SetPaletteObject(nullptr), 0);
    EXPECT_EQ(picture.GetPalette(), nullptr);
    EXPECT_EQ(picture.GetColorType(), 0);

    auto palette = std::make_unique<CImagePalette>();
    const std::uint8_t level[] = {99};
    palette->CreateFromComponents(1, level, level, level);
    CImagePalette* raw = palette.get();
    EXPECT_EQ(picture.SetPaletteObject(std::move(palette)), 1);
    EXPECT_EQ(picture.GetPalette(), raw);
    EXPECT_EQ(picture.GetColorType(), 3);
    EXPECT_EQ(TableWord(picture, 255), 255);

    // Its own palette again: kept, not deleted.
    EXPECT_EQ(picture.SetPaletteObject(std::unique_ptr<CImagePalette>(raw)), 1);
    EXPECT_EQ(picture.GetPalette(), raw);
    EXPECT_EQ(PaletteRgb(picture, 0), 0x636363u);
}

TEST(CGlobalBlock, AccessIsCheckedAgainstTheSize)
{
    CGlobalBlock block = CGlobalBlock::Allocate(8, true);
    ASSERT_TRUE(block);
    EXPECT_EQ(std::vector<std::uint8_t>(block.data(), block.data() + block.size()),
              std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(block.At(7), block.data() + 7);
    EXPECT_EQ(block.At(8, 0), block.data() + 8);
    EXPECT_EQ(block.At(8), nullptr);
    EXPECT_EQ(block.At(6, 3), nullptr);
    EXPECT_EQ(block.At(SIZE_MAX, 2), nullptr);
    EXPECT_EQ(block.At(2, SIZE_MAX), nullptr);

    block.SetU32(4, 0x11223344);
    EXPECT_EQ(block.data()[4], 0x44);
    EXPECT_EQ(block.U16(5), 0x2233);
    block.SetU32(6, 0xFFFFFFFF); // would reach past the end
    EXPECT_EQ(block.U32(4), 0x11223344u);
    EXPECT_EQ(block.U32(6), 0u);

    CGlobalBlock empty;
    EXPECT_EQ(empty.At(0, 0), nullptr);
    EXPECT_FALSE(empty.Resize(16));
}

TEST(CGlobalBlock, ResizeKeepsTheContentsAndMovingHandsThemOver)
{
    CGlobalBlock block = CGlobalBlock::Allocate(16, false);
    ASSERT_TRUE(block);
    for (int i = 0; i < 16; ++i)
        block.data()[i] = static_cast<std::uint8_t>(i + 100);
    ASSERT_TRUE(block.Resize(1 << 20));
    EXPECT_EQ(block.size(), std::size_t{1} << 20);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(block.data()[i], i + 100) << "byte " << i;
    ASSERT_TRUE(block.Resize(4));
    EXPECT_EQ(block.size(), 4u);
    EXPECT_EQ(block.data()[3], 103);

    std::uint8_t* memory = block.data();
    CGlobalBlock moved(std::move(block));
    EXPECT_FALSE(block);
    EXPECT_EQ(block.size(), 0u);
    EXPECT_EQ(moved.data(), memory);
    CGlobalBlock assigned = CGlobalBlock::Allocate(2, true);
    assigned = std::move(moved);
    EXPECT_FALSE(moved);
    EXPECT_EQ(assigned.data(), memory);
    EXPECT_EQ(assigned.size(), 4u);
}

} // namespace
