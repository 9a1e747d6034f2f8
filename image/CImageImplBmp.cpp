#include "CImageImplBmp.h"

#include "Dib.h"
#include "DibFile.h"

#include <new>
#include <utility>

int CImageImplBmp::Read(const std::string& fileName)
{
    ApplyFileName(fileName);
    // The old picture goes whatever the file holds, and no colour type lingers.
    ReleasePicture();
    imageWidth = imageHeight = imageDepth = imageRowBytes = imageColorType = 0;
    CGlobalBlock block = ReadDibFile(imageFileName);
    if (!block)
        return 0;
    AdoptDib(std::move(block));
    // Only indexed pictures take a palette: the optional table of a deeper one
    // would make every pixel look itself up as an index it does not have.
    if (imageDepth > 8)
        return 1;
    HPALETTE palette = CreateDibPalette(imageDib, 0);
    if (palette == nullptr)
        return 1;
    std::unique_ptr<CImagePalette> paletteObject(new (std::nothrow) CImagePalette);
    if (!paletteObject) {
        ::DeleteObject(palette);
        return 1;
    }
    paletteObject->Attach(palette);
    imagePalette = std::move(paletteObject);
    FillDibColorTable(imageDib, imagePalette->GetSafeHandle(), true);
    imageColorType = 3;
    return 1;
}

int CImageImplBmp::Write(const std::string& fileName)
{
    ApplyFileName(fileName);
    HPALETTE palette = imagePalette ? imagePalette->GetSafeHandle() : nullptr;
    FillDibColorTable(imageDib, palette, false);
    const int written = WriteDibFile(imageFileName, imageDib);
    // Drawing reads the table as palette indices again.
    if (palette != nullptr)
        FillDibColorTable(imageDib, palette, true);
    return written;
}
