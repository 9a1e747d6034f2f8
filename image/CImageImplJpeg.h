#pragma once

#include "CImageImplFile.h"

// JPEG files through libjpeg. A picture read is always 8 bits deep: grey
// files with the 256 grey levels, colour files quantised to at most 128
// colours. Written pictures are colour JPEGs at imageQuality.
class CImageImplJpeg : public CImageImplFile {
public:
    explicit CImageImplJpeg(std::string fileName = std::string());

    int Read(const std::string& fileName) override;
    int Write(const std::string& fileName) override;

    int GetQuality() const { return imageQuality; }

private:
    static constexpr int kQuantisedColours = 128;

    // The palette from a colour map of count C, M, Y, K entries.
    void SetCmykPalette(int count, unsigned char* const* cmyk);

    // What the picture shows, as red, green, blue: through its palette or
    // colour table at depths up to 8, from the stored bytes above.
    void StoredRowToRgb(int storedRow, std::uint8_t* rgb) const;

    int imageQuality = 30;
};
