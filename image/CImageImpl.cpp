#include "CImageImpl.h"

#include "Dib.h"

#include "framework/CDC.h"
#include "framework/MessageBoxService.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

int CImageImpl::IsInside(int x, int y) const
{
    return x >= 0 && x < imageWidth && y >= 0 && y < imageHeight;
}

int CImageImpl::Create(int width, int height, int depth, int colorType)
{
    imageWidth = width;
    imageHeight = height;
    imageDepth = depth;
    imageColorType = colorType >= 0 ? colorType : (depth <= 8 ? 0 : 2);
    ReleasePicture();
    CGlobalBlock block = AllocateDib(depth, width, height);
    if (!block)
        return 0;
    imageDib = std::move(block);
    // 16-bit pixels are 5-5-5, as the header says to GDI and to every writer.
    imagePixelFormat = CDibPixelFormat::FromBlock(imageDib);
    imageRowBytes = static_cast<int>(DibRowBytes(depth, width));
    imageBits = imageDib.At(RowsOffset(), 0);
    return imageRowBytes;
}

void CImageImpl::AdoptDib(CGlobalBlock block)
{
    ReleasePicture();
    imageDib = std::move(block);
    imageWidth = imageDib.I32(dib::kWidth);
    imageHeight = imageDib.I32(dib::kHeight);
    imageDepth = imageDib.U16(dib::kBitCount);
    imagePixelFormat = CDibPixelFormat::FromBlock(imageDib);
    const std::int64_t rowBytes = DibRowBytes(imageDepth, imageWidth);
    imageRowBytes = rowBytes < 0 ? 0 : static_cast<int>(rowBytes);
    imageBits = imageDib.At(RowsOffset(), 0);
}

void CImageImpl::ReleasePicture()
{
    imageDib.Free();
    imageBits = nullptr;
    imagePalette.reset();
    imagePixelFormat = CDibPixelFormat();
}

std::size_t CImageImpl::RowsOffset() const
{
    return DibRowsOffset(imageDib);
}

bool CImageImpl::HoldsEveryRow() const
{
    if (imageBits == nullptr || imageWidth < 0 || imageHeight < 0)
        return false;
    const std::uint64_t rows = static_cast<std::uint64_t>(imageRowBytes) * imageHeight;
    return imageDib.At(RowsOffset(), static_cast<std::size_t>(rows)) != nullptr &&
           rows <= imageDib.size();
}

std::uint8_t* CImageImpl::PixelBytes(int x, int y, int count) const
{
    if (!IsInside(x, y) || imageBits == nullptr)
        return nullptr;
    const std::uint64_t offset = RowsOffset() + static_cast<std::uint64_t>(y) * imageRowBytes +
                                 static_cast<std::uint64_t>(x) * imageDepth / 8;
    if (offset > imageDib.size())
        return nullptr;
    return imageDib.At(static_cast<std::size_t>(offset), count);
}

int CImageImpl::GetPixelIndex(int x, int y) const
{
    if (imageDepth > 8)
        return -1;
    const std::uint8_t* byte = PixelBytes(x, y, 1);
    return byte ? *byte : -1;
}

int CImageImpl::OwnIndex(int x, int y) const
{
    if (imageDepth != 1 && imageDepth != 2 && imageDepth != 4 && imageDepth != 8)
        return -1;
    const int byte = GetPixelIndex(x, y);
    if (byte < 0 || imageDepth == 8)
        return byte;
    // The leftmost pixel sits in the high-order bits.
    const int shift =
        8 - imageDepth - static_cast<int>((static_cast<std::int64_t>(x) * imageDepth) % 8);
    return (byte >> shift) & ((1 << imageDepth) - 1);
}

int CImageImpl::GetPixelRGB(int x, int y, std::uint8_t* red, std::uint8_t* green,
                            std::uint8_t* blue) const
{
    if (!IsInside(x, y))
        return 0;
    // Deeper pictures hold their colours in the pixels, whatever palette they carry.
    if (imagePalette && imageDepth <= 8)
        return imagePalette->GetEntryRGB(OwnIndex(x, y), red, green, blue);
    if (imagePixelFormat.Decodes()) {
        const std::uint8_t* bytes = PixelBytes(x, y, imagePixelFormat.PixelBytes());
        if (bytes == nullptr)
            return 0;
        imagePixelFormat.Decode(bytes, red, green, blue);
        return 1;
    }
    // Below 24 bits the three bytes can reach past the last row: what lies
    // outside the block reads as 0.
    std::uint8_t bgr[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (const std::uint8_t* byte = PixelBytes(x, y, i + 1))
            bgr[i] = byte[i];
    }
    *blue = bgr[0];
    *green = bgr[1];
    *red = bgr[2];
    return 1;
}

int CImageImpl::SetPixelIndex(int x, int y, int index)
{
    if (imageDepth > 8)
        return 0;
    std::uint8_t* byte = PixelBytes(x, y, 1);
    if (byte == nullptr)
        return 0;
    *byte = static_cast<std::uint8_t>(index);
    return 1;
}

int CImageImpl::SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (!IsInside(x, y))
        return 0;
    // Deeper pictures take the colour itself, whatever palette they carry.
    if ((imageColorType & 1) && imageDepth <= 8) {
        if (!imagePalette)
            return 0;
        SetPixelIndex(x, y, static_cast<int>(imagePalette->GetNearestIndex(red, green, blue)));
        return 1;
    }
    if (imagePixelFormat.Decodes()) {
        std::uint8_t* bytes = PixelBytes(x, y, imagePixelFormat.PixelBytes());
        if (bytes == nullptr)
            return 0;
        imagePixelFormat.Encode(red, green, blue, bytes);
        return 1;
    }
    const std::uint8_t bgr[3] = {blue, green, red};
    for (int i = 0; i < 3; ++i) {
        if (std::uint8_t* byte = PixelBytes(x, y, i + 1))
            byte[i] = bgr[i];
    }
    return 1;
}

int CImageImpl::Read(const std::string&)
{
    return 0;
}

int CImageImpl::Write(const std::string&)
{
    return 0;
}

int CImageImpl::ReplacePalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                               const std::uint8_t* blue)
{
    imagePalette.reset();
    imagePalette.reset(new (std::nothrow) CImagePalette);
    if (!imagePalette)
        return 0;
    if (green == nullptr)
        green = red;
    if (blue == nullptr)
        blue = green;
    imagePalette->CreateFromComponents(count, red, green, blue);
    return AfterPaletteChange();
}

int CImageImpl::AfterPaletteChange()
{
    imageColorType |= 3;
    return FillDibColorTable(imageDib, imagePalette->GetSafeHandle(), true);
}

int CImageImpl::SetPalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                           const std::uint8_t* blue)
{
    return ReplacePalette(count, red, green, blue);
}

int CImageImpl::SetPaletteRGB(int count, const std::uint8_t* rgb)
{
    if (imagePalette)
        AfxMessageBox("CImageImpl::imagePalette already exists!", MB_OK);
    std::uint8_t red[256] = {};
    std::uint8_t green[256] = {};
    std::uint8_t blue[256] = {};
    if (count < 0 || count > 256)
        count = count < 0 ? 0 : 256;
    for (int i = 0; i < count; ++i) {
        red[i] = rgb[3 * i];
        green[i] = rgb[3 * i + 1];
        blue[i] = rgb[3 * i + 2];
    }
    return ReplacePalette(count, red, green, blue);
}

int CImageImpl::SetPaletteObject(std::unique_ptr<CImagePalette> palette)
{
    if (!palette)
        return 0;
    if (palette.get() == imagePalette.get())
        (void)palette.release(); // ours already: replacing it would delete it
    else
        imagePalette = std::move(palette);
    return AfterPaletteChange();
}

int CImageImpl::SetGreyPalette(int count)
{
    if (count < 1 || count > 256)
        return 0;
    std::uint8_t levels[256];
    for (int i = 0; i < count; ++i)
        levels[i] = static_cast<std::uint8_t>(i * 256 / count);
    return SetPalette(count, levels, nullptr, nullptr);
}

int CImageImpl::Draw(CDC* dc, int x, int y, int width, int height, int xSrc, int firstScan)
{
    if (!HasPicture())
        return 0;
    HDC hdc = dc ? dc->GetSafeHdc() : nullptr;
    if (hdc == nullptr || !HoldsEveryRow())
        return 1;
    ::RealizePalette(hdc);
    if (width == -1)
        width = imageWidth;
    if (height == -1)
        height = imageHeight;
    ::SetDIBitsToDevice(hdc, x, y, width, height, xSrc, 0, firstScan, height, imageBits,
                        reinterpret_cast<const BITMAPINFO*>(imageDib.data()), DIB_PAL_COLORS);
    return 1;
}

void CImageImpl::StretchBlit(HDC hdc, const StretchArea& area, DWORD rop) const
{
    ::StretchDIBits(hdc, area.xDest, area.yDest, area.destWidth, area.destHeight, area.xSrc,
                    area.ySrc, area.srcWidth, area.srcHeight, imageBits,
                    reinterpret_cast<const BITMAPINFO*>(imageDib.data()), DIB_PAL_COLORS, rop);
}

int CImageImpl::StretchDraw(CDC* dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                            int ySrc, int srcWidth, int srcHeight)
{
    if (!HasPicture())
        return 0;
    HDC hdc = dc ? dc->GetSafeHdc() : nullptr;
    if (hdc == nullptr || !HoldsEveryRow())
        return 1;
    if (destWidth == -1)
        destWidth = imageWidth;
    if (destHeight == -1)
        destHeight = imageHeight;
    if (srcWidth == -1)
        srcWidth = imageWidth - xSrc;
    if (srcHeight == -1)
        srcHeight = imageHeight - ySrc;
    ::RealizePalette(hdc);
    ::SetStretchBltMode(hdc, COLORONCOLOR);

    const StretchArea area{xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight};
    if (imageTransparent == -1) {
        StretchBlit(hdc, area, SRCCOPY);
        return 1;
    }
    const std::uint8_t black =
        static_cast<std::uint8_t>(imagePalette ? imagePalette->GetNearestIndex(0, 0, 0)
                                               : CImagePalette().GetNearestIndex(0, 0, 0));
    const std::uint8_t white =
        static_cast<std::uint8_t>(imagePalette ? imagePalette->GetNearestIndex(255, 255, 255)
                                               : CImagePalette().GetNearestIndex(255, 255, 255));
    // Byte rows at 8 bits: a picture of 2^28 pixels takes a second, not a minute.
    const bool masked = imageDepth == 8 ? DrawMaskedBytes(hdc, area, black, white)
                                        : DrawMaskedPixels(hdc, area, black, white);
    if (!masked) // no memory for the transparent passes: one plain copy
        StretchBlit(hdc, area, SRCCOPY);
    return 1;
}

bool CImageImpl::DrawMaskedBytes(HDC hdc, const StretchArea& area, std::uint8_t black,
                                 std::uint8_t white)
{
    const std::size_t rowBytes = static_cast<std::size_t>(imageRowBytes);
    const std::size_t total = rowBytes * static_cast<std::size_t>(imageHeight);
    std::unique_ptr<std::uint8_t[]> saved(new (std::nothrow) std::uint8_t[total == 0 ? 1 : total]);
    if (!saved)
        return false;
    std::copy(imageBits, imageBits + total, saved.get());
    const auto paint = [&](bool mask) {
        for (std::size_t row = 0; row < total; row += rowBytes) {
            const std::uint8_t* from = saved.get() + row;
            std::uint8_t* to = imageBits + row;
            for (int x = 0; x < imageWidth; ++x) {
                const bool clear = from[x] == imageTransparent;
                to[x] = mask ? (clear ? white : black) : (clear ? black : from[x]);
            }
        }
    };
    // Mask: transparent pixels white, the rest black, ANDed onto the screen.
    paint(true);
    StretchBlit(hdc, area, SRCAND);
    // Image: the picture's colours ORed into the black holes, transparent pixels black.
    paint(false);
    StretchBlit(hdc, area, SRCPAINT);
    std::copy(saved.get(), saved.get() + total, imageBits);
    return true;
}

bool CImageImpl::DrawMaskedPixels(HDC hdc, const StretchArea& area, int black, int white)
{
    const std::size_t pixels = static_cast<std::size_t>(imageWidth) * imageHeight;
    std::unique_ptr<std::uint8_t[]> saved(new (std::nothrow)
                                              std::uint8_t[pixels == 0 ? 1 : pixels]);
    if (!saved)
        return false;
    // Everything is saved before the first write: below 8 bits neighbours share a byte.
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x)
            saved[static_cast<std::size_t>(y) * imageWidth + x] =
                static_cast<std::uint8_t>(GetPixelIndex(x, y));
    }
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x) {
            const int index = saved[static_cast<std::size_t>(y) * imageWidth + x];
            SetPixelIndex(x, y, index == imageTransparent ? white : black);
        }
    }
    StretchBlit(hdc, area, SRCAND);
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x) {
            const int index = saved[static_cast<std::size_t>(y) * imageWidth + x];
            SetPixelIndex(x, y, index == imageTransparent ? black : index);
        }
    }
    StretchBlit(hdc, area, SRCPAINT);
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x)
            SetPixelIndex(x, y, saved[static_cast<std::size_t>(y) * imageWidth + x]);
    }
    return true;
}
