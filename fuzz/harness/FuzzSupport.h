#pragma once

#include "framework/CDC.h"
#include "image/CImageImpl.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// What every harness shares: the readers take file names, so each input goes
// to a file first; then every pixel is read and the picture is drawn.
namespace fuzz {

// Writes the input to "input.<extension>" in a folder of this process (gone
// at exit); its path.
std::string WriteInput(const std::uint8_t* data, std::size_t size, const std::string& extension);

// The folder WriteInput writes to.
const std::string& WorkFolder();

// Pictures up to this many pixels are read whole; larger ones at their edges,
// just outside them and along a diagonal. Reading millions of pixels one call
// at a time would slow every large picture to a crawl in the harness, not in
// the reader, and the bounds that matter are at the edges.
constexpr std::uint64_t kFullTouchPixels = std::uint64_t{1} << 16;

// Reads pixels through the picture's own calls, also just outside its edges.
// Picture: CImageImpl or CImageObject.
template <class Picture> void TouchPixels(const Picture& picture)
{
    const int width = picture.GetWidth();
    const int height = picture.GetHeight();
    std::uint64_t sum = 0;
    auto touch = [&](int x, int y) {
        std::uint8_t red = 0, green = 0, blue = 0;
        sum += static_cast<std::uint64_t>(picture.GetPixelIndex(x, y) + 1);
        if (picture.GetPixelRGB(x, y, &red, &green, &blue))
            sum += red + green + blue;
    };
    touch(-1, -1);
    touch(0, 0);
    touch(width, height);
    if (width <= 0 || height <= 0)
        return;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <=
        kFullTouchPixels) {
        for (int y = -1; y <= height; ++y) {
            for (int x = -1; x <= width; ++x)
                touch(x, y);
        }
    } else {
        for (int x = -1; x <= width; ++x) {
            touch(x, 0);
            touch(x, height - 1);
        }
        for (int y = -1; y <= height; ++y) {
            touch(0, y);
            touch(width - 1, y);
        }
        const int steps = width > height ? width : height;
        for (int i = 0; i < steps; ++i)
            touch(static_cast<int>(static_cast<std::int64_t>(i) * width / steps),
                  static_cast<int>(static_cast<std::int64_t>(i) * height / steps));
    }
    static volatile std::uint64_t sink;
    sink = sink + sum;
}

// Draws the whole picture, plainly and stretched, onto a memory DC.
template <class Picture> void DrawPicture(Picture& picture)
{
    HDC hdc = ::CreateCompatibleDC(nullptr);
    {
        CDC dc(hdc);
        picture.Draw(&dc, 0, 0, -1, -1, 0, 0);
        picture.StretchDraw(&dc, 3, 5, 640, 480, 0, 0, -1, -1);
        ::GdiFlush();
    }
    ::DeleteDC(hdc);
}

// The state a read leaves behind, to compare two reads of the same file.
struct ReadResult {
    int result = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int colorType = 0;
    int rowBytes = 0;
    int transparent = 0;
    std::size_t dibSize = 0;
    std::uint64_t dibHash = 0;
    std::uint64_t paletteHash = 0;
    bool hasPalette = false;

    static ReadResult Of(int result, const CImageImpl& image);
    bool operator==(const ReadResult& other) const;
    void Print(const char* label) const;
};

// Reads the file, then reads it again into the same object; the two must
// agree, since a second read that differs has kept state it should not
// have. Then every pixel is read and the picture drawn.
void ReadTwiceAndExercise(CImageImpl& image, const std::string& path);

} // namespace fuzz
