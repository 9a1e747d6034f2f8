// Saves what the screen shows as PNG files, the way a person would see it.
//   screen_capture OUTPUT.png
//   screen_capture --frames N --every MS --size WxH FOLDER
// The second form records: N pictures about MS milliseconds apart, each shrunk
// to W x H, as FOLDER\frame-000.png and so on, and lists them in
// FOLDER\frames.txt, one "file milliseconds-since-the-first" line each.
#include "CScreenGrab.h"
#include "image/CImageImplPng.h"
#include "image/CStdioFile.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Box-filters the grab down to width x height (at its own size, a copy), which
// keeps thin lines and text readable where picking every third pixel would drop them.
bool WriteShrunk(const CScreenGrab& grab, int width, int height, const std::string& file)
{
    CImageImplPng picture;
    const int rowBytes = picture.Create(width, height, 24, -1);
    if (rowBytes == 0)
        return false;
    const unsigned char* source = grab.Pixels();
    for (int y = 0; y < height; ++y) {
        const int y0 = static_cast<int>(static_cast<std::int64_t>(y) * grab.Height() / height);
        const int y1 = static_cast<int>(static_cast<std::int64_t>(y + 1) * grab.Height() / height);
        std::uint8_t* out = picture.GetBits() + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const int x0 = static_cast<int>(static_cast<std::int64_t>(x) * grab.Width() / width);
            const int x1 =
                static_cast<int>(static_cast<std::int64_t>(x + 1) * grab.Width() / width);
            unsigned sum[3] = {};
            for (int sy = y0; sy < y1; ++sy) {
                const unsigned char* row = source + static_cast<std::size_t>(sy) * grab.RowBytes();
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += row[sx * 3 + c];
            }
            const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    return picture.Write(file) != 0;
}

double Milliseconds()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Record(CScreenGrab& grab, int frames, int every, int width, int height,
           const std::string& folder)
{
    CStdioFile listing(folder + "\\frames.txt", "w");
    if (!listing)
        return 1;
    int result = 0;
    const double start = Milliseconds();
    for (int i = 0; i < frames && result == 0; ++i) {
        // Late frames keep their real times, so the animation runs at the speed it was seen.
        const double wait = start + static_cast<double>(i) * every - Milliseconds();
        if (wait > 1)
            ::Sleep(static_cast<DWORD>(wait));
        const double taken = Milliseconds() - start;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%03d.png", i);
        if (!grab.Grab() || !WriteShrunk(grab, width, height, folder + "\\" + name))
            result = 1;
        else
            std::fprintf(listing.Get(), "%s %d\n", name, static_cast<int>(taken + 0.5));
    }
    return std::ferror(listing.Get()) ? 1 : result;
}

} // namespace

int main(int argc, char** argv)
{
    CScreenGrab grab;
    if (!grab.IsValid())
        return 1;
    if (argc == 2)
        return grab.Grab() && WriteShrunk(grab, grab.Width(), grab.Height(), argv[1]) ? 0 : 1;
    int frames = 0, every = 100, width = grab.Width(), height = grab.Height();
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--every") == 0)
            every = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--size") == 0)
            std::sscanf(argv[i + 1], "%dx%d", &width, &height);
        else
            break;
    }
    if (i + 1 != argc || frames <= 0 || every <= 0 || width <= 0 || height <= 0 ||
        width > grab.Width() || height > grab.Height())
        return 2;
    return Record(grab, frames, every, width, height, argv[i]);
}
