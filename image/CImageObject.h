#pragma once

#include "CImageImpl.h"

#include <cstdint>
#include <memory>
#include <string>

class CDC;

// A picture as the rest of the program sees it: made from a file name, it
// picks the format object by the name's extension (or a given type code), has
// it read the file, and forwards every question and drawing call to it. Without
// a format object every call gives a safe answer: 0, -1 or null.
class CImageObject {
public:
    // Type codes of the format objects.
    enum : int {
        kTypeFromExtension = -1,
        kTypeBmp = 0,
        kTypeJpeg = 1,
        kTypeGif = 2,
        kTypeXpm = 3,
        kTypePng = 4,
    };

    CImageObject(const std::string& fileName, int type);
    virtual ~CImageObject() = default;
    CImageObject(const CImageObject&) = delete;
    CImageObject& operator=(const CImageObject&) = delete;

    // The text after the last "." of the whole path; empty without one.
    static std::string GetFileExtension(const std::string& path);
    // The type code for an extension, ignoring case; -1 when none matches.
    static int LookUpImageType(const std::string& extension);

    virtual int GetRowBytes() const;
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetDepth() const;
    virtual int GetColorType() const;
    virtual int IsInside(int x, int y) const;
    // A blank picture; makes a bitmap format object first when there is none.
    virtual int Create(int width, int height, int depth, int colorType);
    // Replaces the format object; 0 (and none) for a type without one.
    virtual int CreateImpl(const std::string& fileName, const int& type);
    virtual int Draw(CDC* dc, int x, int y, int width, int height, int xSrc, int firstScan);
    virtual int StretchDraw(CDC* dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                            int ySrc, int srcWidth, int srcHeight);
    virtual int GetPixelIndex(int x, int y) const;
    virtual int GetPixelRGB(int x, int y, std::uint8_t* red, std::uint8_t* green,
                            std::uint8_t* blue) const;
    virtual int SetPixelIndex(int x, int y, int index);
    virtual int SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    virtual int SetPalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                           const std::uint8_t* blue);
    virtual int SetPaletteRGB(int count, const std::uint8_t* rgb);
    virtual int SetPaletteObject(std::unique_ptr<CImagePalette> palette);
    virtual CImagePalette* GetPalette() const;
    // 1 when a format object holds a picture.
    virtual int IsValid() const;
    virtual CImageImpl* GetImpl() const;
    virtual std::uint8_t* GetBits() const;

    int GetImageType() const { return imageType; }
    const std::string& GetImagePath() const { return imagePath; }

private:
    int imageType = kTypeFromExtension;
    std::string imagePath;
    std::unique_ptr<CImageImpl> imageImpl;
};
