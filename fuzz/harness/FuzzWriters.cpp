#include "FuzzSupport.h"

#include "image/CImageImplBmp.h"
#include "image/CImageImplJpeg.h"
#include "image/CImageImplPng.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

// Builds a small picture from the input, writes it through each writer, reads
// the file back with the same format's reader and, where the format stores
// that picture exactly, checks that the picture read is the one written.
// CImageImplGif has no writer.
namespace {

enum class PaletteKind { None, Rgb, Grey };
enum class FillKind { RowBytes, Indices, Colours };

// Everything a picture is made from, so that each writer gets the same one.
struct Recipe {
    int width = 0;
    int height = 0;
    int depth = 0;
    int colorType = -1;
    PaletteKind palette = PaletteKind::None;
    int paletteCount = 0;
    std::vector<std::uint8_t> paletteRgb; // room for min(count, 256) entries
    FillKind fill = FillKind::RowBytes;
    std::vector<std::uint8_t> pattern; // repeated over the pixels

    void Print() const
    {
        std::fprintf(stderr,
                     "picture %dx%d, depth %d, colour type %d, palette %d (count %d), fill %d, "
                     "pattern %zu bytes\n",
                     width, height, depth, colorType, static_cast<int>(palette), paletteCount,
                     static_cast<int>(fill), pattern.size());
    }
};

Recipe ReadRecipe(FuzzedDataProvider& input)
{
    static const int kDepths[] = {1, 2, 4, 8, 16, 24, 32};
    // -1 picks one; the rest are the PNG colour types the writers look at.
    static const int kColorTypes[] = {-1, 0, 2, 3, 4, 6};
    Recipe r;
    r.width = input.ConsumeIntegralInRange(0, 96);
    r.height = input.ConsumeIntegralInRange(0, 96);
    // Now and then a depth no format has: every writer must refuse it or cope.
    r.depth = input.ConsumeIntegralInRange(0, 15) != 0 ? input.PickValueInArray(kDepths)
                                                       : input.ConsumeIntegralInRange(0, 40);
    r.colorType = input.ConsumeIntegralInRange(0, 7) != 0 ? input.PickValueInArray(kColorTypes)
                                                          : input.ConsumeIntegralInRange(-1, 7);
    r.palette = static_cast<PaletteKind>(input.ConsumeIntegralInRange(0, 2));
    r.paletteCount = input.ConsumeIntegralInRange(-1, 257);
    if (r.palette == PaletteKind::Rgb) {
        const int entries = r.paletteCount < 0 ? 0 : (r.paletteCount > 256 ? 256 : r.paletteCount);
        r.paletteRgb = input.ConsumeBytes<std::uint8_t>(3 * static_cast<std::size_t>(entries));
        r.paletteRgb.resize(3 * static_cast<std::size_t>(entries));
    }
    r.fill = static_cast<FillKind>(input.ConsumeIntegralInRange(0, 2));
    r.pattern = input.ConsumeRemainingBytes<std::uint8_t>();
    return r;
}

void Build(CImageImpl& picture, const Recipe& r)
{
    picture.Create(r.width, r.height, r.depth, r.colorType);
    if (r.palette == PaletteKind::Rgb)
        picture.SetPaletteRGB(r.paletteCount, r.paletteRgb.data());
    else if (r.palette == PaletteKind::Grey)
        picture.SetGreyPalette(r.paletteCount);

    std::size_t next = 0;
    auto nextByte = [&]() -> std::uint8_t {
        if (r.pattern.empty())
            return 0;
        const std::uint8_t byte = r.pattern[next];
        next = (next + 1) % r.pattern.size();
        return byte;
    };
    if (r.fill == FillKind::RowBytes) {
        if (picture.GetBits() == nullptr)
            return;
        const std::size_t total =
            static_cast<std::size_t>(picture.GetRowBytes()) * static_cast<std::size_t>(r.height);
        for (std::size_t i = 0; i < total; ++i)
            picture.GetBits()[i] = nextByte();
        return;
    }
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            if (r.fill == FillKind::Indices) {
                picture.SetPixelIndex(x, y, nextByte());
            } else {
                const std::uint8_t red = nextByte(), green = nextByte(), blue = nextByte();
                picture.SetPixelRGB(x, y, red, green, blue);
            }
        }
    }
}

int OwnIndex(const CImageImpl& picture, int x, int y)
{
    const int byte = picture.GetPixelIndex(x, y);
    const int depth = picture.GetDepth();
    if (byte < 0 || depth >= 8)
        return byte;
    const int shift = 8 - depth - (x * depth) % 8;
    return (byte >> shift) & ((1 << depth) - 1);
}

// Whether GetPixelRGB gives the colours the picture stands for. Indices
// without a palette are drawn through whatever palette the device context
// holds, so they have none.
bool HasOwnColours(const CImageImpl& picture)
{
    const int depth = picture.GetDepth();
    return (depth <= 8 && picture.GetPalette() != nullptr) || depth == 16 || depth == 24 ||
           depth == 32;
}

struct Mismatches {
    const char* format;
    const Recipe& recipe;
    int count = 0;

    void Report(const char* what, int x, int y, int written, int read)
    {
        if (count++ < 8)
            std::fprintf(stderr, "%s: %s at (%d, %d): written %d (0x%06x), read %d (0x%06x)\n",
                         format, what, x, y, written, written, read, read);
    }
    void AbortIfAny() const
    {
        if (count == 0)
            return;
        recipe.Print();
        std::fprintf(stderr, "%s: the picture read back differs from the one written (%d)\n",
                     format, count);
        std::abort();
    }
};

int PackedRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return red << 16 | green << 8 | blue;
}

void ComparePixels(const CImageImpl& written, const CImageImpl& read, Mismatches& out)
{
    const bool indices = written.GetDepth() <= 8 && read.GetDepth() <= 8;
    const bool colours = HasOwnColours(written);
    for (int y = 0; y < written.GetHeight(); ++y) {
        for (int x = 0; x < written.GetWidth(); ++x) {
            if (indices && OwnIndex(written, x, y) != OwnIndex(read, x, y))
                out.Report("index", x, y, OwnIndex(written, x, y), OwnIndex(read, x, y));
            std::uint8_t r0 = 0, g0 = 0, b0 = 0, r1 = 0, g1 = 0, b1 = 0;
            // An index the palette lacks has no colour here, while the file
            // must give it one (black): only the colours the picture has count.
            if (!colours || !written.GetPixelRGB(x, y, &r0, &g0, &b0))
                continue;
            if (!read.GetPixelRGB(x, y, &r1, &g1, &b1))
                out.Report("no colour", x, y, PackedRgb(r0, g0, b0), -1);
            else if (PackedRgb(r0, g0, b0) != PackedRgb(r1, g1, b1))
                out.Report("colour", x, y, PackedRgb(r0, g0, b0), PackedRgb(r1, g1, b1));
        }
    }
}

// A bitmap file holds the stored rows as they are, padding included.
void CompareRows(const CImageImpl& written, const CImageImpl& read, Mismatches& out)
{
    const std::size_t rowBytes = static_cast<std::size_t>(written.GetRowBytes());
    if (read.GetRowBytes() != written.GetRowBytes()) {
        out.Report("row bytes", 0, 0, written.GetRowBytes(), read.GetRowBytes());
        return;
    }
    for (int y = 0; y < written.GetHeight(); ++y) {
        const std::uint8_t* a = written.GetBits() + y * rowBytes;
        const std::uint8_t* b = read.GetBits() + y * rowBytes;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            if (a[i] != b[i])
                out.Report("stored byte", static_cast<int>(i), y, a[i], b[i]);
        }
    }
}

struct Format {
    const char* extension;
    // Which written pictures the reader must take.
    bool (*readable)(const CImageImpl& written);
    // Whether those come back as they were written.
    bool exact;
    // The depth the reader gives them.
    int (*depthRead)(int depthWritten);
    bool keepsRows;
};

// The bitmap writer writes any block; the reader takes the depths GDI draws
// (no 2 bits among them) and no empty picture.
bool BmpReadable(const CImageImpl& p)
{
    const int d = p.GetDepth();
    return p.GetWidth() > 0 && p.GetHeight() > 0 &&
           (d == 1 || d == 4 || d == 8 || d == 16 || d == 24 || d == 32);
}

// The PNG and JPEG writers refuse what they cannot store (PNG: 16 and 32 bits
// have no per-channel depth, odd depths none at all).
bool Always(const CImageImpl&)
{
    return true;
}

int SameDepth(int depth)
{
    return depth;
}

// GDI draws no 2-bit bitmaps: the reader widens them to 4 bits.
int PngDepth(int depth)
{
    return depth == 2 ? 4 : depth;
}

template <class Impl> void RoundTrip(const Recipe& recipe, const Format& format)
{
    Impl written;
    Build(written, recipe);
    // Every depth Create takes, not only those a writer takes, must be safe to read.
    fuzz::TouchPixels(written);
    const std::string path = fuzz::WorkFolder() + "/written." + format.extension;
    // A writer that refuses a picture says so; that is no fault.
    if (!written.Write(path))
        return;
    // A device that takes no byte: what it was given is no saved picture.
    if (written.Write("/dev/full")) {
        recipe.Print();
        std::fprintf(stderr, "%s: a write to /dev/full was reported as saved\n", format.extension);
        std::abort();
    }
    Impl read;
    const int result = read.Read(path);
    fuzz::TouchPixels(read);
    fuzz::DrawPicture(read);
    if (!format.readable(written))
        return;

    Mismatches out{format.extension, recipe};
    if (result != 1)
        out.Report("read result", 0, 0, 1, result);
    else if (read.GetWidth() != written.GetWidth() || read.GetHeight() != written.GetHeight())
        out.Report("size", read.GetWidth(), read.GetHeight(), written.GetWidth(),
                   written.GetHeight());
    else if (format.exact && read.GetDepth() != format.depthRead(written.GetDepth()))
        out.Report("depth", 0, 0, format.depthRead(written.GetDepth()), read.GetDepth());
    else if (format.exact) {
        ComparePixels(written, read, out);
        if (format.keepsRows)
            CompareRows(written, read, out);
    }
    out.AbortIfAny();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Recipe recipe = ReadRecipe(input);
    RoundTrip<CImageImplBmp>(recipe, {"bmp", BmpReadable, true, SameDepth, true});
    // A PNG row ends with its last pixel: the bits after it, which the
    // store's padding holds, come back as 0. No format keeps the colour type.
    RoundTrip<CImageImplPng>(recipe, {"png", Always, true, PngDepth, false});
    // JPEG is lossy: only that it reads back at its size.
    RoundTrip<CImageImplJpeg>(recipe, {"jpg", Always, false, SameDepth, false});
    return 0;
}
