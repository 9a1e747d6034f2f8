#pragma once

#include "CImageImplFile.h"

// Windows bitmap files: the whole file becomes the picture's block.
class CImageImplBmp : public CImageImplFile {
public:
    using CImageImplFile::CImageImplFile;

    // 1 when the picture loaded (with or without a palette), 0 otherwise.
    int Read(const std::string& fileName) override;
    // 1 once the file was created and written, 0 without a picture or a file.
    int Write(const std::string& fileName) override;
};
