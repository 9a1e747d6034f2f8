#pragma once

#include "CImageImpl.h"

#include <string>

// A picture that lives in a file: the name is remembered so that Read("")
// reads again from it.
class CImageImplFile : public CImageImpl {
public:
    explicit CImageImplFile(std::string fileName = std::string());
    const std::string& GetFileName() const { return imageFileName; }

protected:
    // A non-empty name replaces the remembered one.
    void ApplyFileName(const std::string& fileName);

    std::string imageFileName;
};
