#pragma once

#include "CImageImplFile.h"

// PNG files through libpng. Palette and grey pictures keep the file's depth
// (16-bit grey becomes 8-bit, 2-bit files 4-bit); colour pictures become 24-bit, transparency
// composited over a fixed sky blue.
class CImageImplPng : public CImageImplFile {
public:
    using CImageImplFile::CImageImplFile;

    int Read(const std::string& fileName) override;
    int Write(const std::string& fileName) override;
};
