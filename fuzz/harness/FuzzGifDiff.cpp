#include "FuzzSupport.h"

#include "image/CImageImplGif.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

// giflib's encoder is the yardstick: every file it writes from the input's
// pixels must give our reader those pixels. The encoder writes only valid
// files (code sizes 2..8, one terminator after each image's data, a 4-byte
// graphic control block), so none of our reader's own rules for damaged or
// unusual files comes into play, and no input needs to be skipped for them.
// Sizes stay far below the pixels-per-byte limit our reader sets before it
// makes a picture (65536 pixels always pass).
namespace {

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

struct EncoderCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
using Encoder = std::unique_ptr<GifFileType, EncoderCloser>;

struct Image {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    ColourMap localMap;
    std::vector<GifPixelType> pixels; // top row first
};

struct Picture {
    ColourMap globalMap;
    bool transparent = false;
    int transparentIndex = 0;
    std::vector<std::uint8_t> comment;
    std::vector<Image> images;
};

// 2 << (bits - 1) entries: every table size a GIF can declare.
ColourMap MakeMap(FuzzedDataProvider& input)
{
    const int count = 1 << input.ConsumeIntegralInRange(1, 8);
    std::vector<GifColorType> colours(static_cast<std::size_t>(count));
    for (GifColorType& colour : colours) {
        colour.Red = input.ConsumeIntegral<GifByteType>();
        colour.Green = input.ConsumeIntegral<GifByteType>();
        colour.Blue = input.ConsumeIntegral<GifByteType>();
    }
    return ColourMap(GifMakeMapObject(count, colours.data()));
}

Picture ReadPicture(FuzzedDataProvider& input)
{
    Picture picture;
    const int tables = input.ConsumeIntegralInRange(0, 2); // global, local or both
    if (tables != 1)
        picture.globalMap = MakeMap(input);
    picture.transparent = input.ConsumeBool();
    picture.transparentIndex = input.ConsumeIntegral<std::uint8_t>();
    if (input.ConsumeBool())
        picture.comment = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 300));
    const int count = input.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < count; ++i) {
        Image image;
        image.left = input.ConsumeIntegralInRange(0, 16);
        image.top = input.ConsumeIntegralInRange(0, 16);
        image.width = input.ConsumeIntegralInRange(1, 128);
        image.height = input.ConsumeIntegralInRange(1, 128);
        image.interlaced = input.ConsumeBool();
        if (tables != 0 && (i == 0 || input.ConsumeBool()))
            image.localMap = MakeMap(input);
        if (!picture.globalMap && !image.localMap)
            image.localMap = MakeMap(input);
        picture.images.push_back(std::move(image));
    }
    // The pixels repeat the rest of the input, each index below its table's size.
    const std::vector<std::uint8_t> pattern = input.ConsumeRemainingBytes<std::uint8_t>();
    std::size_t next = 0;
    for (Image& image : picture.images) {
        const ColorMapObject* map = image.localMap ? image.localMap.get() : picture.globalMap.get();
        image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
        for (GifPixelType& pixel : image.pixels) {
            pixel = pattern.empty() ? 0 : pattern[next++ % pattern.size()] % map->ColorCount;
        }
    }
    return picture;
}

int AppendBytes(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

// The rows of an image in the order the file holds them.
std::vector<int> FileRowOrder(const Image& image)
{
    std::vector<int> rows;
    if (!image.interlaced) {
        for (int row = 0; row < image.height; ++row)
            rows.push_back(row);
        return rows;
    }
    static const int kStarts[] = {0, 4, 2, 1};
    static const int kSteps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int row = kStarts[pass]; row < image.height; row += kSteps[pass])
            rows.push_back(row);
    }
    return rows;
}

bool PutImage(GifFileType* gif, const Image& image)
{
    // giflib forgets an earlier image's local table, unfreed, when the next
    // image has none.
    if (!image.localMap && gif->Image.ColorMap != nullptr) {
        GifFreeMapObject(gif->Image.ColorMap);
        gif->Image.ColorMap = nullptr;
    }
    if (EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlaced,
                         image.localMap.get()) != GIF_OK)
        return false;
    std::vector<GifPixelType> line(static_cast<std::size_t>(image.width));
    for (int row : FileRowOrder(image)) {
        // The encoder masks the line in place.
        std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width,
                    image.width, line.begin());
        if (EGifPutLine(gif, line.data(), image.width) != GIF_OK)
            return false;
    }
    return true;
}

bool Encode(const Picture& picture, std::vector<std::uint8_t>& out)
{
    int error = 0;
    Encoder gif(EGifOpen(&out, AppendBytes, &error));
    if (!gif)
        return false;
    EGifSetGifVersion(gif.get(), true);
    int screenWidth = 0, screenHeight = 0;
    for (const Image& image : picture.images) {
        screenWidth = std::max(screenWidth, image.left + image.width);
        screenHeight = std::max(screenHeight, image.top + image.height);
    }
    if (EGifPutScreenDesc(gif.get(), screenWidth, screenHeight, 8, 0, picture.globalMap.get()) !=
        GIF_OK)
        return false;
    if (!picture.comment.empty() &&
        EGifPutExtension(gif.get(), COMMENT_EXT_FUNC_CODE,
                         static_cast<int>(std::min<std::size_t>(picture.comment.size(), 255)),
                         picture.comment.data()) != GIF_OK)
        return false;
    if (picture.transparent) {
        GraphicsControlBlock control = {};
        control.TransparentColor = picture.transparentIndex;
        GifByteType bytes[4];
        const std::size_t size = EGifGCBToExtension(&control, bytes);
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(size), bytes) !=
            GIF_OK)
            return false;
    }
    for (const Image& image : picture.images) {
        if (!PutImage(gif.get(), image))
            return false;
    }
    return EGifCloseFile(gif.release(), &error) == GIF_OK;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Picture picture = ReadPicture(input);
    std::vector<std::uint8_t> bytes;
    if (!Encode(picture, bytes)) {
        std::fprintf(stderr, "giflib refused the picture\n");
        std::abort();
    }
    CImageImplGif gif;
    const int result = gif.Read(fuzz::WriteInput(bytes.data(), bytes.size(), "gif"));

    // Our reader shows the first image alone, at its own size and without its
    // offset, top row first in the bottom-up store.
    const Image& first = picture.images.front();
    if (result != 1 || gif.GetWidth() != first.width || gif.GetHeight() != first.height ||
        gif.GetDepth() != 8) {
        std::fprintf(stderr, "read %d: %dx%d at depth %d, giflib wrote %dx%d\n", result,
                     gif.GetWidth(), gif.GetHeight(), gif.GetDepth(), first.width, first.height);
        std::abort();
    }
    int differences = 0;
    for (int row = 0; row < first.height; ++row) {
        for (int x = 0; x < first.width; ++x) {
            const int want = first.pixels[static_cast<std::size_t>(row) * first.width + x];
            const int have = gif.GetPixelIndex(x, first.height - 1 - row);
            if (have != want && differences++ < 8)
                std::fprintf(stderr, "pixel (%d, %d): have %d, want %d\n", x, row, have, want);
        }
    }
    if (differences != 0) {
        std::fprintf(stderr, "%d of %dx%d pixels differ (%s, %d colours, %d images)\n", differences,
                     first.width, first.height, first.interlaced ? "interlaced" : "plain",
                     (first.localMap ? first.localMap : picture.globalMap)->ColorCount,
                     static_cast<int>(picture.images.size()));
        std::abort();
    }
    fuzz::TouchPixels(gif);
    fuzz::DrawPicture(gif);
    return 0;
}
