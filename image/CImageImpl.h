#pragma once

#include "CDibPixelFormat.h"
#include "CGlobalBlock.h"
#include "CImagePalette.h"

#include <cstdint>
#include <memory>
#include <string>

class CDC;

// The in-memory picture: one packed device-independent bitmap (header, colour
// table, rows bottom-up) in a locked block of global memory, and an optional
// logical palette. Stored row 0 is the bottom row. Every file format derives
// from it; results are 1 for success and 0 for failure unless said otherwise.
class CImageImpl {
public:
    CImageImpl() = default;
    virtual ~CImageImpl() = default;
    CImageImpl(const CImageImpl&) = delete;
    CImageImpl& operator=(const CImageImpl&) = delete;

    virtual int IsInside(int x, int y) const;
    // A blank picture; a negative colorType picks 0 up to depth 8 and 2 above.
    // Returns the row length, or 0 when the block can't be allocated.
    virtual int Create(int width, int height, int depth, int colorType);
    // The byte that holds the pixel (depths up to 8), or -1.
    virtual int GetPixelIndex(int x, int y) const;
    // Below 8 bits the pixel's own index is looked up, not the byte's.
    virtual int GetPixelRGB(int x, int y, std::uint8_t* red, std::uint8_t* green,
                            std::uint8_t* blue) const;
    virtual int SetPixelIndex(int x, int y, int index);
    virtual int SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // A non-empty name replaces the remembered one; the formats override these.
    virtual int Read(const std::string& fileName);
    virtual int Write(const std::string& fileName);

    int SetPalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                   const std::uint8_t* blue);
    // count packed red, green, blue triples, at most 256.
    int SetPaletteRGB(int count, const std::uint8_t* rgb);
    int SetPaletteObject(std::unique_ptr<CImagePalette> palette);
    int SetGreyPalette(int count);

    // -1 for width or height: the picture's own.
    int Draw(CDC* dc, int x, int y, int width, int height, int xSrc, int firstScan);
    // -1 for a destination size: the picture's; for a source size: the rest of
    // the picture from the source origin.
    int StretchDraw(CDC* dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                    int ySrc, int srcWidth, int srcHeight);

    std::uint8_t* GetBits() const { return imageBits; }
    int GetWidth() const { return imageWidth; }
    int GetHeight() const { return imageHeight; }
    int GetDepth() const { return imageDepth; }
    int GetColorType() const { return imageColorType; }
    int GetRowBytes() const { return imageRowBytes; }
    int GetTransparent() const { return imageTransparent; }
    CImagePalette* GetPalette() const { return imagePalette.get(); }
    const CGlobalBlock& GetDib() const { return imageDib; }
    bool HasPicture() const { return static_cast<bool>(imageDib); }

protected:
    // Makes the block the picture's and finds its rows; width, height and
    // depth come from its header.
    void AdoptDib(CGlobalBlock block);
    void ReleasePicture();

    // The count bytes at the pixel's byte position, or null when they are not
    // all inside the block.
    std::uint8_t* PixelBytes(int x, int y, int count) const;
    // The pixel's own bits at depths 1, 2, 4 and 8, or -1; other depths
    // have no whole pixels in a byte.
    int OwnIndex(int x, int y) const;

    std::uint8_t* imageBits = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    int imageDepth = 0;
    int imageColorType = 0;
    int imageRowBytes = 0;
    CGlobalBlock imageDib;
    int imageTransparent = -1;
    std::unique_ptr<CImagePalette> imagePalette;
    // The packing of 16-bit and bit-field pixels, made or read alike; none for
    // pictures whose pixels are blue, green, red bytes.
    CDibPixelFormat imagePixelFormat;

private:
    std::size_t RowsOffset() const;
    bool HoldsEveryRow() const;
    int ReplacePalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                       const std::uint8_t* blue);
    int AfterPaletteChange();
    struct StretchArea {
        int xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight;
    };
    void StretchBlit(HDC hdc, const StretchArea& area, DWORD rop) const;
    // Transparent drawing: a mask ANDed, then the colours ORed, then the
    // pixels put back. False when there is no memory to save them.
    bool DrawMaskedBytes(HDC hdc, const StretchArea& area, std::uint8_t black, std::uint8_t white);
    bool DrawMaskedPixels(HDC hdc, const StretchArea& area, int black, int white);
};
