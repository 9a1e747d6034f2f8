#include "BmpBuilder.h"
#include "QuadrantFiles.h"

#include "image/CImageImplBmp.h"
#include "image/CImageImplJpeg.h"
#include "image/CImageObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A point well inside each quadrant (lossy files blur the edges), y from the bottom.
const struct {
    int x, y;
} kProbes[] = {{40, 32}, {90, 32}, {40, 77}, {90, 77}};

std::uint32_t PixelColour(const CImageObject& picture, int x, int y)
{
    std::uint8_t red = 0, green = 0, blue = 0;
    if (!picture.GetPixelRGB(x, y, &red, &green, &blue))
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

TEST(TrueColourTest, EveryKindShowsItsColoursInItsPixelsAndWhenDrawn)
{
    for (const QuadrantKind& kind : QuadrantKinds()) {
        SCOPED_TRACE(kind.name);
        TempFile file(kind.extension);
        CImageObject picture(SaveQuadrants(kind, file), CImageObject::kTypeFromExtension);
        ASSERT_TRUE(picture.IsValid());
        ASSERT_EQ(picture.GetWidth(), quadrants::kWidth);
        const std::vector<std::uint32_t> drawn = DrawnPixels(*picture.GetImpl());
        for (const auto& p : kProbes) {
            const std::uint32_t want = QuadrantColour(kind, p.x, p.y);
            const std::uint32_t pixel = PixelColour(picture, p.x, p.y);
            const std::uint32_t shown = drawn.at(p.y * quadrants::kWidth + p.x) & 0xFFFFFF;
            EXPECT_TRUE(ColoursClose(pixel, want, kind.tolerance))
                << "pixel " << p.x << ", " << p.y << ": have " << std::hex << pixel << ", want "
                << want;
            EXPECT_TRUE(ColoursClose(shown, want, kind.tolerance))
                << "drawn " << p.x << ", " << p.y << ": have " << std::hex << shown << ", want "
                << want;
        }
    }
}

// Colours set on a 16-bit picture, the 5-5-5 word that holds each, and the
// colour it shows: the nearest of 32 levels, each level k * 255 / 31 rounded
// (16 is 132, not 131).
const struct {
    std::uint32_t set;
    std::uint16_t word;
    std::uint32_t shown;
} kFiveFiveFive[] = {
    {0xFF0000, 0x7C00, 0xFF0000},
    {0x0000FF, 0x001F, 0x0000FF},
    {0xC86432, 0x6186, 0xC56331}, // 200, 100, 50
    {0x808080, 0x4210, 0x848484},
};
const int kBandWidth = 32; // whole JPEG blocks
const int kBandsHeight = 16;

// Band b, 32 columns wide, gets colour (b + turn) % 4.
void PaintBands(CImageImpl& picture, int turn)
{
    for (int y = 0; y < kBandsHeight; ++y) {
        for (int x = 0; x < 4 * kBandWidth; ++x) {
            const std::uint32_t c = kFiveFiveFive[(x / kBandWidth + turn) % 4].set;
            picture.SetPixelRGB(x, y, static_cast<std::uint8_t>(c >> 16),
                                static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c));
        }
    }
}

void ExpectBands(const CImageImpl& picture, int turn)
{
    ASSERT_EQ(picture.GetDepth(), 16);
    for (int y = 0; y < kBandsHeight; ++y) {
        const std::uint8_t* row = picture.GetBits() + y * picture.GetRowBytes();
        for (int x = 0; x < 4 * kBandWidth; ++x) {
            const auto& band = kFiveFiveFive[(x / kBandWidth + turn) % 4];
            ASSERT_EQ(row[2 * x] | row[2 * x + 1] << 8, band.word) << x << ", " << y;
            ASSERT_EQ(PixelRgb(picture, x, y), band.shown) << x << ", " << y;
        }
    }
}

TEST(TrueColourTest, SixteenBitPicturesShowWhatWasSetBeforeAndAfterBothWriters)
{
    CImageImplBmp made;
    ASSERT_GT(made.Create(4 * kBandWidth, kBandsHeight, 16, -1), 0);
    PaintBands(made, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBands(made, 0));
    TempFile bmp(".bmp");
    ASSERT_EQ(made.Write(bmp.Path()), 1);
    CImageImplBmp read;
    ASSERT_EQ(read.Read(bmp.Path()), 1);
    ASSERT_NO_FATAL_FAILURE(ExpectBands(read, 0));
    // A picture read from a file takes colours as a picture made does.
    PaintBands(read, 1);
    ASSERT_NO_FATAL_FAILURE(ExpectBands(read, 1));

    CImageImplJpeg jpeg;
    ASSERT_GT(jpeg.Create(4 * kBandWidth, kBandsHeight, 16, -1), 0);
    PaintBands(jpeg, 0);
    TempFile jpg(".jpg");
    ASSERT_EQ(jpeg.Write(jpg.Path()), 1);
    const JpegImage written = DecodeJpeg(ReadBytes(jpg.Path()));
    ASSERT_TRUE(written.ok);
    for (int band = 0; band < 4; ++band) {
        const std::uint32_t have =
            written.Rgb(band * kBandWidth + kBandWidth / 2, kBandsHeight / 2);
        EXPECT_TRUE(ColoursClose(have, kFiveFiveFive[band].shown, 16))
            << "band " << band << ": have " << std::hex << have << ", want "
            << kFiveFiveFive[band].shown;
    }
}

} // namespace
