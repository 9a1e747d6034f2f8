#include "image/CImageImpl.h"
#include "image/CImageObject.h"

#include "framework/CDC.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

// Colours as the 32-bit surface stores them: 0xRRGGBB. Pure components keep
// every comparison exact; black and white serve the transparent passes.
const std::uint32_t kColours[8] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                   0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
const std::uint32_t kBackground = 0x808080;

// Palette indices of the 4x2 test picture, stored row 0 (the bottom) first.
const int kSmall[2][4] = {{2, 3, 4, 5}, {6, 7, 1, 0}};

class TestPicture : public CImageImpl {
public:
    void SetTransparent(int index) { imageTransparent = index; }
};

void MakeSmallPicture(CImageImpl& picture)
{
    ASSERT_EQ(picture.Create(4, 2, 8, -1), 4);
    std::uint8_t rgb[8 * 3];
    for (int i = 0; i < 8; ++i) {
        rgb[3 * i] = static_cast<std::uint8_t>(kColours[i] >> 16);
        rgb[3 * i + 1] = static_cast<std::uint8_t>(kColours[i] >> 8);
        rgb[3 * i + 2] = static_cast<std::uint8_t>(kColours[i]);
    }
    ASSERT_EQ(picture.SetPaletteRGB(8, rgb), 1);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            picture.SetPixelIndex(x, y, kSmall[y][x]);
    }
}

// The small picture's colour at a position counted from its top-left corner.
std::uint32_t SmallColourFromTop(int column, int rowFromTop)
{
    return kColours[kSmall[1 - rowFromTop][column]];
}

std::vector<int> PixelIndices(const CImageImpl& picture)
{
    std::vector<int> indices;
    for (int y = 0; y < picture.GetHeight(); ++y) {
        for (int x = 0; x < picture.GetWidth(); ++x)
            indices.push_back(picture.GetPixelIndex(x, y));
    }
    return indices;
}

// A 32-bit top-down DIB section selected into a memory DC, filled with the
// background; the palette given is selected into the DC for the surface's life.
class Surface {
public:
    Surface(int width, int height, HPALETTE palette) : m_width(width), m_height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        m_hdc = ::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(m_hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<std::uint32_t*>(bits);
        m_previous = ::SelectObject(m_hdc, m_bitmap);
        for (int i = 0; m_bits && i < width * height; ++i)
            m_bits[i] = kBackground;
        if (palette)
            m_palette = ::SelectPalette(m_hdc, palette, FALSE);
        dc.m_hDC = m_hdc;
    }
    ~Surface()
    {
        if (m_palette)
            ::SelectPalette(m_hdc, m_palette, TRUE);
        ::SelectObject(m_hdc, m_previous);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_hdc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool Ready() const { return m_bits != nullptr; }
    std::uint32_t At(int x, int y) const
    {
        ::GdiFlush();
        return m_bits[y * m_width + x] & 0xFFFFFF;
    }

    // Compares every pixel with want(x, y); reports the first few that differ.
    void Expect(const std::function<std::uint32_t(int, int)>& want) const
    {
        int wrong = 0;
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                const std::uint32_t have = At(x, y);
                if (have != want(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": have " << std::hex << have
                                  << ", want " << want(x, y);
            }
        }
        EXPECT_EQ(wrong, 0) << "wrong pixels";
    }

    CDC dc;

private:
    int m_width;
    int m_height;
    HDC m_hdc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    HPALETTE m_palette = nullptr;
    std::uint32_t* m_bits = nullptr;
};

bool Inside(int x, int y, int left, int top, int width, int height)
{
    return x >= left && x < left + width && y >= top && y < top + height;
}

TEST(DrawTest, StretchFillsExactlyTheDestination)
{
    CImageImpl picture;
    MakeSmallPicture(picture);
    Surface surface(80, 48, picture.GetPalette()->GetSafeHandle());
    ASSERT_TRUE(surface.Ready());
    ::SetStretchBltMode(surface.dc.m_hDC, HALFTONE);

    EXPECT_EQ(picture.StretchDraw(&surface.dc, 8, 8, 64, 32, 0, 0, -1, -1), 1);
    EXPECT_EQ(::GetStretchBltMode(surface.dc.m_hDC), COLORONCOLOR);
    // Each picture pixel becomes a 16x16 block.
    surface.Expect([](int x, int y) {
        return Inside(x, y, 8, 8, 64, 32) ? SmallColourFromTop((x - 8) / 16, (y - 8) / 16)
                                          : kBackground;
    });
}

TEST(DrawTest, StretchWithoutSizesCopiesThePictureAsItIs)
{
    CImageImpl picture;
    MakeSmallPicture(picture);
    Surface surface(10, 6, picture.GetPalette()->GetSafeHandle());
    ASSERT_TRUE(surface.Ready());
    EXPECT_EQ(picture.StretchDraw(&surface.dc, 3, 2, -1, -1, 0, 0, -1, -1), 1);
    surface.Expect([](int x, int y) {
        return Inside(x, y, 3, 2, 4, 2) ? SmallColourFromTop(x - 3, y - 2) : kBackground;
    });
}

TEST(DrawTest, SourceSizeDefaultsToTheRestOfThePicture)
{
    // Index x + 60 * y; entry i is red i, green 255 - i: every index its own colour.
    CImageImpl picture;
    picture.Create(100, 3, 8, -1);
    std::uint8_t red[256], green[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = static_cast<std::uint8_t>(i);
        green[i] = static_cast<std::uint8_t>(255 - i);
    }
    const std::uint8_t blue[256] = {};
    picture.SetPalette(256, red, green, blue);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 100; ++x)
            picture.SetPixelIndex(x, y, x + 60 * y);
    }
    Surface surface(100, 4, picture.GetPalette()->GetSafeHandle());
    ASSERT_TRUE(surface.Ready());

    // From column 10 and stored row 1: 90 columns and rows 1 and 2, unscaled.
    EXPECT_EQ(picture.StretchDraw(&surface.dc, 0, 0, 90, 2, 10, 1, -1, -1), 1);
    surface.Expect([](int x, int y) -> std::uint32_t {
        if (!Inside(x, y, 0, 0, 90, 2))
            return kBackground;
        const int index = x + 10 + 60 * (2 - y);
        return static_cast<std::uint32_t>(index << 16 | (255 - index) << 8);
    });
}

TEST(DrawTest, TransparentIndexKeepsTheBackground)
{
    for (int transparent : {2, 0, 1}) {
        SCOPED_TRACE("transparent index " + std::to_string(transparent));
        TestPicture picture;
        MakeSmallPicture(picture);
        picture.SetTransparent(transparent);
        const std::vector<int> before = PixelIndices(picture);
        Surface surface(16, 12, picture.GetPalette()->GetSafeHandle());
        ASSERT_TRUE(surface.Ready());

        EXPECT_EQ(picture.StretchDraw(&surface.dc, 4, 4, 8, 4, 0, 0, -1, -1), 1);
        surface.Expect([transparent](int x, int y) {
            if (!Inside(x, y, 4, 4, 8, 4))
                return kBackground;
            const int rowFromTop = (y - 4) / 2;
            const int column = (x - 4) / 2;
            return kSmall[1 - rowFromTop][column] == transparent
                       ? kBackground
                       : SmallColourFromTop(column, rowFromTop);
        });
        EXPECT_EQ(PixelIndices(picture), before) << "the picture must be restored";
    }
}

TEST(DrawTest, TransparentDrawRestoresPicturesBelowEightBits)
{
    // Below 8 bits several pixels share the byte the passes rewrite.
    TestPicture picture;
    picture.Create(4, 2, 4, -1);
    const std::uint8_t grey[] = {0, 255};
    picture.SetPalette(2, grey, nullptr, nullptr);
    const std::uint8_t bytes[] = {0x23, 0x45, 0x67, 0x10};
    for (int i = 0; i < 4; ++i)
        picture.GetBits()[(i / 2) * 4 + i % 2] = bytes[i];
    picture.SetTransparent(0x23);
    const std::vector<int> before = PixelIndices(picture);
    Surface surface(8, 4, picture.GetPalette()->GetSafeHandle());
    ASSERT_TRUE(surface.Ready());

    EXPECT_EQ(picture.StretchDraw(&surface.dc, 0, 0, -1, -1, 0, 0, -1, -1), 1);
    EXPECT_EQ(PixelIndices(picture), before);
}

TEST(DrawTest, DrawPlacesPixelsUnscaled)
{
    CImageImpl picture;
    MakeSmallPicture(picture);
    Surface surface(12, 8, picture.GetPalette()->GetSafeHandle());
    ASSERT_TRUE(surface.Ready());

    EXPECT_EQ(picture.Draw(&surface.dc, 5, 3, -1, -1, 0, 0), 1);
    // Two columns from source column 1.
    EXPECT_EQ(picture.Draw(&surface.dc, 0, 0, 2, -1, 1, 0), 1);
    surface.Expect([](int x, int y) {
        if (Inside(x, y, 5, 3, 4, 2))
            return SmallColourFromTop(x - 5, y - 3);
        if (Inside(x, y, 0, 0, 2, 2))
            return SmallColourFromTop(x + 1, y);
        return kBackground;
    });
}

TEST(DrawTest, ResultsWithoutPictureOrDeviceContext)
{
    CImageImpl empty;
    Surface surface(4, 4, nullptr);
    ASSERT_TRUE(surface.Ready());
    EXPECT_EQ(empty.Draw(&surface.dc, 0, 0, -1, -1, 0, 0), 0);
    EXPECT_EQ(empty.Draw(nullptr, 0, 0, -1, -1, 0, 0), 0);
    EXPECT_EQ(empty.StretchDraw(&surface.dc, 0, 0, -1, -1, 0, 0, -1, -1), 0);
    EXPECT_EQ(empty.StretchDraw(nullptr, 0, 0, -1, -1, 0, 0, -1, -1), 0);

    TestPicture picture;
    MakeSmallPicture(picture);
    picture.SetTransparent(2);
    CDC noHdc;
    for (CDC* dc : {static_cast<CDC*>(nullptr), &noHdc}) {
        EXPECT_EQ(picture.Draw(dc, 0, 0, -1, -1, 0, 0), 1);
        EXPECT_EQ(picture.StretchDraw(dc, 0, 0, -1, -1, 0, 0, -1, -1), 1);
    }
    surface.Expect([](int, int) { return kBackground; });
}

TEST(DrawTest, ImageObjectDrawsLikeItsFormatObject)
{
    CImageObject image("", -1);
    image.Create(4, 2, 8, -1);
    MakeSmallPicture(*image.GetImpl());
    const HPALETTE palette = image.GetPalette()->GetSafeHandle();
    Surface direct(16, 12, palette);
    Surface forwarded(16, 12, palette);
    ASSERT_TRUE(direct.Ready() && forwarded.Ready());

    // Every argument different, so that a swapped pair shows.
    image.GetImpl()->StretchDraw(&direct.dc, 3, 2, 9, 6, 1, 0, 2, 1);
    image.GetImpl()->Draw(&direct.dc, 11, 8, 3, -1, 1, 0);
    EXPECT_EQ(image.StretchDraw(&forwarded.dc, 3, 2, 9, 6, 1, 0, 2, 1), 1);
    EXPECT_EQ(image.Draw(&forwarded.dc, 11, 8, 3, -1, 1, 0), 1);
    EXPECT_NE(direct.At(3, 2), kBackground);
    forwarded.Expect([&direct](int x, int y) { return direct.At(x, y); });
}

} // namespace
