#include "CImageObject.h"

#include "CImageImplBmp.h"
#include "CImageImplGif.h"
#include "CImageImplJpeg.h"
#include "CImageImplPng.h"

#include <new>

namespace {

struct ExtensionRow {
    const char* extension;
    int type;
};

// Sorted by extension: searched by halving.
const ExtensionRow kExtensions[] = {
    {"BMP", CImageObject::kTypeBmp},  {"GIF", CImageObject::kTypeGif},
    {"JPG", CImageObject::kTypeJpeg}, {"PNG", CImageObject::kTypePng},
    {"XPM", CImageObject::kTypeXpm},
};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares ignoring the case of ASCII letters, as strcmp orders.
int CompareIgnoringCase(const char* a, const std::string& b)
{
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        const int diff =
            static_cast<unsigned char>(Lower(a[i])) - static_cast<unsigned char>(Lower(b[i]));
        if (diff != 0)
            return diff;
    }
    return (a[i] != '\0') - (i < b.size());
}

} // namespace

CImageObject::CImageObject(const std::string& fileName, int type) : imagePath(fileName)
{
    if (type == kTypeFromExtension)
        type = LookUpImageType(GetFileExtension(imagePath));
    imageType = type;
    if (!CreateImpl(imagePath, type))
        return;
    imageImpl->Read(imagePath);
}

std::string CImageObject::GetFileExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    return path.substr(dot + 1);
}

int CImageObject::LookUpImageType(const std::string& extension)
{
    if (extension.empty())
        return kTypeFromExtension;
    std::size_t low = 0;
    std::size_t high = sizeof kExtensions / sizeof kExtensions[0];
    while (low < high) {
        const std::size_t probe = (low + high) / 2;
        const int order = CompareIgnoringCase(kExtensions[probe].extension, extension);
        if (order == 0)
            return kExtensions[probe].type;
        if (order < 0)
            low = probe + 1;
        else
            high = probe;
    }
    return kTypeFromExtension;
}

int CImageObject::CreateImpl(const std::string& fileName, const int& type)
{
    imageImpl.reset();
    switch (type) {
    case kTypeBmp:
        imageImpl.reset(new (std::nothrow) CImageImplBmp(fileName));
        break;
    case kTypeGif:
        imageImpl.reset(new (std::nothrow) CImageImplGif(fileName));
        break;
    case kTypeJpeg:
        imageImpl.reset(new (std::nothrow) CImageImplJpeg(fileName));
        break;
    case kTypePng:
        imageImpl.reset(new (std::nothrow) CImageImplPng(fileName));
        break;
    default: // XPM is recognised but has no reader
        break;
    }
    return imageImpl != nullptr;
}

int CImageObject::Create(int width, int height, int depth, int colorType)
{
    if (!imageImpl) {
        imagePath.clear();
        imageType = kTypeBmp;
        if (!CreateImpl(imagePath, imageType))
            return 0;
    }
    return imageImpl->Create(width, height, depth, colorType);
}

int CImageObject::GetRowBytes() const
{
    return imageImpl ? imageImpl->GetRowBytes() : 0;
}

int CImageObject::GetWidth() const
{
    return imageImpl ? imageImpl->GetWidth() : 0;
}

int CImageObject::GetHeight() const
{
    return imageImpl ? imageImpl->GetHeight() : 0;
}

int CImageObject::GetDepth() const
{
    return imageImpl ? imageImpl->GetDepth() : 0;
}

int CImageObject::GetColorType() const
{
    return imageImpl ? imageImpl->GetColorType() : 0;
}

int CImageObject::IsInside(int x, int y) const
{
    return imageImpl ? imageImpl->IsInside(x, y) : 0;
}

int CImageObject::Draw(CDC* dc, int x, int y, int width, int height, int xSrc, int firstScan)
{
    return imageImpl ? imageImpl->Draw(dc, x, y, width, height, xSrc, firstScan) : 0;
}

int CImageObject::StretchDraw(CDC* dc, int xDest, int yDest, int destWidth, int destHeight,
                              int xSrc, int ySrc, int srcWidth, int srcHeight)
{
    return imageImpl ? imageImpl->StretchDraw(dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc,
                                              srcWidth, srcHeight)
                     : 0;
}

int CImageObject::GetPixelIndex(int x, int y) const
{
    return imageImpl ? imageImpl->GetPixelIndex(x, y) : -1;
}

int CImageObject::GetPixelRGB(int x, int y, std::uint8_t* red, std::uint8_t* green,
                              std::uint8_t* blue) const
{
    return imageImpl ? imageImpl->GetPixelRGB(x, y, red, green, blue) : 0;
}

int CImageObject::SetPixelIndex(int x, int y, int index)
{
    return imageImpl ? imageImpl->SetPixelIndex(x, y, index) : 0;
}

int CImageObject::SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return imageImpl ? imageImpl->SetPixelRGB(x, y, red, green, blue) : 0;
}

int CImageObject::SetPalette(int count, const std::uint8_t* red, const std::uint8_t* green,
                             const std::uint8_t* blue)
{
    return imageImpl ? imageImpl->SetPalette(count, red, green, blue) : 0;
}

int CImageObject::SetPaletteRGB(int count, const std::uint8_t* rgb)
{
    return imageImpl ? imageImpl->SetPaletteRGB(count, rgb) : 0;
}

int CImageObject::SetPaletteObject(std::unique_ptr<CImagePalette> palette)
{
    return imageImpl ? imageImpl->SetPaletteObject(std::move(palette)) : 0;
}

CImagePalette* CImageObject::GetPalette() const
{
    return imageImpl ? imageImpl->GetPalette() : nullptr;
}

int CImageObject::IsValid() const
{
    return imageImpl && imageImpl->HasPicture();
}

CImageImpl* CImageObject::GetImpl() const
{
    return imageImpl.get();
}

std::uint8_t* CImageObject::GetBits() const
{
    return imageImpl ? imageImpl->GetBits() : nullptr;
}
