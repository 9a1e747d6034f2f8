#pragma once

#include "CImageImplFile.h"

// GIF files (87a and 89a): the first image becomes an 8-bit picture with the
// file's palette; a graphic control extension's transparent index is kept.
// Writing is not supported.
class CImageImplGif : public CImageImplFile {
public:
    using CImageImplFile::CImageImplFile;

    // 0 when the file can't be opened, is shorter than its header or is not a
    // GIF; 1 otherwise, also when it holds no image.
    int Read(const std::string& fileName) override;

private:
    void SetGifPalette(const std::uint8_t* table, int count);
};
