#include "CImageImplFile.h"

#include <utility>

CImageImplFile::CImageImplFile(std::string fileName) : imageFileName(std::move(fileName))
{
}

void CImageImplFile::ApplyFileName(const std::string& fileName)
{
    if (!fileName.empty())
        imageFileName = fileName;
}
