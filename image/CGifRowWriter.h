#pragma once

#include <cstdint>

class CImageImpl;

// Places the rows a GIF image delivers, top row first, into the bottom-up
// picture, in file order or in the four passes of an interlaced image.
class CGifRowWriter {
public:
    CGifRowWriter(CImageImpl& image, bool interlaced);

    // Copies count pixels into the current row and moves to the next one.
    // -1 when a plain image delivers more rows than the picture has.
    int PutRow(const std::uint8_t* pixels, int count);

private:
    void CopyToImageRow(int imageRow, const std::uint8_t* pixels, int count);

    CImageImpl& m_image;
    bool m_interlaced;
    int m_storedRow;    // plain images: the stored row the next row goes to
    int m_imageRow = 0; // interlaced images: the image row, counted from the top
    int m_pass = 0;
};
