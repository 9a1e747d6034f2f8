#include "image/CImageImplGif.h"
#include "image/GifBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <vector>

namespace {

// Reads the file, which must be taken as a GIF, and looks at every pixel.
::testing::AssertionResult ReadsSafely(GifBuilder& gif)
{
    CImageImplGif image;
    const int result = image.Read(gif.Write());
    if (result != 1)
        return ::testing::AssertionFailure() << "result " << result;
    for (int y = 0; y < image.GetHeight() && image.HasPicture(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.GetPixelIndex(x, y) < 0)
                return ::testing::AssertionFailure() << "no pixel at " << x << ", " << y;
        }
    }
    return ::testing::AssertionSuccess();
}

// Where it can be done, the data is a good stream for the size it names, so a
// reader that took the size would draw 1s.
TEST(GifBadInputTest, MinimumCodeSizesOutsideTwoToNineLeaveIndexZero)
{
    const std::vector<std::uint8_t> ones(20, 1);
    for (int codeSize : {0, 1, 10, 11, 255}) {
        const int encodedWith = codeSize == 0 || codeSize > 11 ? 2 : codeSize;
        GifBuilder gif;
        gif.Header().GlobalTable(GifColours(4)).Descriptor(5, 4);
        gif.ImageData(codeSize, PackCodes(LzwEncode(ones, encodedWith))).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        EXPECT_TRUE(HoldsPicture(image, GifPicture::Filled(5, 4, 0))) << "code size " << codeSize;
    }
}

TEST(GifBadInputTest, CodesPastTheNextFreeSlotNameThatSlot)
{
    auto decode = [](int width, const std::vector<GifCode>& codes) {
        GifBuilder gif;
        gif.Header().Descriptor(width, 1).Codes(2, codes).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        std::vector<int> row;
        for (int x = 0; x < width; ++x)
            row.push_back(image.GetPixelIndex(x, 0));
        return row;
    };
    // 7 and 15 stand for the slots 6, 7 and 8 as they come free: 1, 11, 111, 1111.
    EXPECT_EQ(decode(10, {{4, 3}, {1, 3}, {7, 3}, {7, 3}, {15, 4}, {5, 4}}),
              std::vector<int>(10, 1));
    // After a clear, a code that names no entry yet is 0, at the start or later.
    EXPECT_EQ(decode(3, {{4, 3}, {6, 3}, {2, 3}, {5, 3}}), std::vector<int>({0, 2, 0}));
    EXPECT_EQ(decode(3, {{4, 3}, {1, 3}, {4, 3}, {7, 3}, {3, 3}, {5, 3}}),
              std::vector<int>({1, 0, 3}));
}

TEST(GifBadInputTest, DataForMoreRowsThanThePictureHasIsLeftOut)
{
    // Rows of 1s, 2s and 3s for a picture of two rows.
    const GifPicture three{3, 3, {1, 1, 1, 2, 2, 2, 3, 3, 3}};
    for (bool interlaced : {false, true}) {
        GifBuilder gif;
        gif.Header().Descriptor(3, 2, interlaced).Pixels(three, 2).Trailer();
        CImageImplGif image;
        ASSERT_EQ(image.Read(gif.Write()), 1);
        EXPECT_TRUE(HoldsPicture(image, GifPicture{3, 2, {1, 1, 1, 2, 2, 2}}));
    }
    // Strings longer than all the pixels left.
    for (int size : {1, 2, 5}) {
        for (bool interlaced : {false, true}) {
            GifBuilder gif;
            gif.Header().Descriptor(size, size, interlaced);
            gif.Pixels(GifPicture::Filled(size, 200, 3), 2).Trailer();
            CImageImplGif image;
            ASSERT_EQ(image.Read(gif.Write()), 1);
            EXPECT_TRUE(HoldsPicture(image, GifPicture::Filled(size, size, 3)));
        }
    }
}

TEST(GifBadInputTest, EmptyOrHugePicturesAreNotDecoded)
{
    const int sizes[][2] = {{0, 5}, {5, 0}, {0, 0}, {65535, 65535}, {20000, 20000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        GifBuilder gif;
        gif.Header().GlobalTable(GifColours(4)).Descriptor(size[0], size[1]);
        gif.Pixels(GifPicture::Noise(64, 64, 4, 1), 2).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
        if (size[0] > 0 && size[1] > 0) {
            EXPECT_FALSE(image.HasPicture());
        }
    }
}

// Each row is whole or still all 0; rows come from the top and only ever more
// of them as the file grows.
TEST(GifBadInputTest, EveryTruncationOfASmallFileIsReadSafely)
{
    GifPicture picture = GifPicture::Noise(7, 5, 3, 5);
    for (std::uint8_t& pixel : picture.pixels)
        ++pixel; // no 0, so a row written shows
    for (bool interlaced : {false, true}) {
        const std::vector<int> order =
            interlaced ? InterlacedRowOrder(5) : std::vector<int>({0, 1, 2, 3, 4});
        std::vector<std::uint8_t> stored;
        for (int row : order)
            stored.insert(stored.end(), &picture.pixels[7 * row], &picture.pixels[7 * row + 7]);
        // Sub-blocks of 4 bytes, so that some cuts fall inside them.
        GifBuilder gif;
        gif.Header("GIF89a", 7, 5).GlobalTable(GifColours(4)).GraphicControl(-1).Comment("c");
        gif.Descriptor(7, 5, interlaced).ImageData(2, PackCodes(LzwEncode(stored, 2)), 4).Trailer();

        int rowsBefore = 0;
        for (std::size_t size = 0; size <= gif.Bytes().size(); ++size) {
            SCOPED_TRACE(testing::Message()
                         << size << " bytes" << (interlaced ? " interlaced" : ""));
            CImageImplGif image;
            ASSERT_EQ(image.Read(gif.Write(size)), size < 13 ? 0 : 1);
            if (!image.HasPicture())
                continue;
            ASSERT_TRUE(image.GetWidth() == 7 && image.GetHeight() == 5);
            int rows = 0;
            for (int i = 0; i < 5; ++i) {
                int same = 0;
                int zero = 0;
                for (int x = 0; x < 7; ++x) {
                    const int got = image.GetPixelIndex(x, 4 - order[i]);
                    same += got == picture.At(x, order[i]);
                    zero += got == 0;
                }
                ASSERT_TRUE(same == 7 || zero == 7) << "row " << order[i];
                ASSERT_TRUE(same == 0 || i == rows) << "row " << order[i] << " out of turn";
                rows += same == 7;
            }
            EXPECT_GE(rows, rowsBefore);
            rowsBefore = rows;
        }
        EXPECT_EQ(rowsBefore, 5);
    }
}

TEST(GifBadInputTest, ShortTablesEndTheReadWithoutAPicture)
{
    GifBuilder global;
    global.Header().GlobalTable(GifColours(4), 7);
    GifBuilder local;
    local.Header().GlobalTable(GifColours(4)).Descriptor(2, 2).LocalTable(GifColours(5), 7);
    for (GifBuilder* gif : {&global, &local}) {
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif->Write()), 1);
        EXPECT_FALSE(image.HasPicture());
    }
}

TEST(GifBadInputTest, ATransparentIndexOutsideTheTableIsHarmless)
{
    // Indices up to 255 in a 4-entry picture.
    const GifPicture picture = GifPicture::Noise(16, 16, 256, 9);
    GifBuilder gif;
    gif.Header().GlobalTable(GifColours(4)).GraphicControl(200).Image(picture, 8).Trailer();
    CImageImplGif image;
    ASSERT_EQ(image.Read(gif.Write()), 1);
    EXPECT_EQ(image.GetTransparent(), 200);
    EXPECT_TRUE(HoldsPicture(image, picture));
    GifRgb entry{};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(image.GetPalette()->GetEntryRGB(i, &entry[0], &entry[1], &entry[2]), 1);
        EXPECT_EQ(entry, GifColours(4)[i]);
    }
    EXPECT_EQ(image.GetPalette()->GetEntryRGB(255, &entry[0], &entry[1], &entry[2]), 1);
}

// The block holds 4 bytes whatever its size byte says: only a reader that
// believes the size byte stops.
TEST(GifBadInputTest, AGraphicControlBlockOfAnotherSizeEndsTheRead)
{
    for (int blockSize : {0, 3, 4, 5, 255}) {
        GifBuilder gif;
        gif.Header().GlobalTable(GifColours(4)).GraphicControl(1, blockSize);
        gif.Image(GifPicture::Filled(3, 3, 1), 2).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        EXPECT_EQ(image.HasPicture(), blockSize == 4) << "block size " << blockSize;
    }
}

TEST(GifBadInputTest, UnknownOrBrokenBlocksEndTheReadWithoutAPicture)
{
    const std::vector<std::vector<int>> tails = {
        {0x00}, {0x3B}, {0x99}, {0x21}, {0x21, 0xFE}, {0x21, 0xFE, 200, 1, 2}, {0x2C, 0, 0}};
    for (const auto& tail : tails) {
        GifBuilder gif;
        gif.Header().GlobalTable(GifColours(2));
        for (int byte : tail)
            gif.Raw({byte});
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        EXPECT_FALSE(image.HasPicture());
    }
}

// Random data and endless runs of the highest code, which always names the
// next free slot, must end without a hang; every pixel stays readable.
TEST(GifBadInputTest, HostileCodeStreamsEndQuickly)
{
    const auto start = std::chrono::steady_clock::now();
    std::mt19937 generator(42);
    for (int codeSize = 2; codeSize <= 9; ++codeSize) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<std::uint8_t> data(20000, kind == 0 ? 0xFF : 0x00);
            if (kind >= 2) {
                for (std::uint8_t& byte : data)
                    byte = static_cast<std::uint8_t>(generator());
            }
            for (bool interlaced : {false, true}) {
                GifBuilder gif;
                gif.Header().GlobalTable(GifColours(256)).Descriptor(64, 48, interlaced);
                gif.ImageData(codeSize, data).Trailer();
                EXPECT_TRUE(ReadsSafely(gif)) << "code size " << codeSize << " kind " << kind;
            }
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(seconds.count(), 20.0);
}

// A size the data could never fill is not made (as a size too large to make),
// however small the file; pictures packed as tightly as LZW can still load.
TEST(GifBadInputTest, PicturesTheirDataCouldNotFillAreNotMade)
{
    const auto start = std::chrono::steady_clock::now();
    GifBuilder hostile;
    hostile.Header().GlobalTable(GifColours(4)).GraphicControl(1).Descriptor(65535, 4096);
    hostile.Pixels(GifPicture::Noise(8, 8, 4, 3), 2).Trailer();
    CImageImplGif image;
    EXPECT_EQ(image.Read(hostile.Write()), 1);
    EXPECT_FALSE(image.HasPicture());
    // 16000 bytes of 12-bit codes give at most 43.7 million pixels.
    GifBuilder oversized;
    oversized.Header().GlobalTable(GifColours(256)).Descriptor(65535, 700);
    oversized.ImageData(8, std::vector<std::uint8_t>(16000, 0xFF)).Trailer();
    EXPECT_EQ(image.Read(oversized.Write()), 1);
    EXPECT_FALSE(image.HasPicture());
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(seconds.count(), 2.0) << "refused before allocating";

    // One colour without clear codes: each 12-bit code gives 4096 pixels.
    LzwOptions noClears;
    noClears.clearWhenFull = false;
    const GifPicture flat = GifPicture::Filled(4000, 1000, 1);
    GifBuilder packed;
    packed.Header().GlobalTable(GifColours(4)).Image(flat, 2, false, noClears).Trailer();
    ASSERT_LT(packed.Bytes().size(), 4000u * 1000 / 1000) << "the test needs a tightly packed file";
    ASSERT_EQ(image.Read(packed.Write()), 1);
    EXPECT_TRUE(HoldsPicture(image, flat));
}

TEST(GifBadInputTest, AFileWithoutTransparencyForgetsTheLastFilesIndex)
{
    const GifPicture picture = GifPicture::Noise(6, 4, 4, 2);
    GifBuilder transparent;
    transparent.Header().GlobalTable(GifColours(4)).GraphicControl(3).Image(picture, 2).Trailer();
    GifBuilder opaque;
    opaque.Header().GlobalTable(GifColours(4)).Image(picture, 2).Trailer();
    CImageImplGif image;
    ASSERT_EQ(image.Read(transparent.Write()), 1);
    EXPECT_EQ(image.GetTransparent(), 3);
    ASSERT_EQ(image.Read(opaque.Write()), 1);
    EXPECT_EQ(image.GetTransparent(), -1);
    // Index 3 keeps its own colour: it was only black while it was transparent.
    GifRgb entry{};
    ASSERT_EQ(image.GetPalette()->GetEntryRGB(3, &entry[0], &entry[1], &entry[2]), 1);
    EXPECT_EQ(entry, GifColours(4)[3]);
}

} // namespace
