#include "CImageImplPng.h"

#include "CStdioFile.h"
#include "LibraryRecovery.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <png.h>

namespace {

// What shows through transparent pixels, on the 8-bit scale.
const png_uint_16 kBackgroundRed = 31;
const png_uint_16 kBackgroundGreen = 127;
const png_uint_16 kBackgroundBlue = 255;

// The library's read structures and the row buffer, released on every path.
struct PngReadState {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_bytep row = nullptr;
    ~PngReadState()
    {
        if (row != nullptr)
            png_free(png, row);
        if (png != nullptr)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

struct PngWriteState {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_bytep row = nullptr;
    ~PngWriteState()
    {
        if (row != nullptr)
            png_free(png, row);
        if (png != nullptr)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

// Red, green, blue in the file; blue, green, red in the store.
void SwapRedAndBlue(std::uint8_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        std::swap(pixels[3 * i], pixels[3 * i + 2]);
}

std::size_t PackedRowBytes(std::uint32_t width, int depth)
{
    return (static_cast<std::size_t>(width) * depth + 7) / 8;
}

// A row of 2-bit indices spread over 4-bit ones, the nibble after an odd
// last pixel left 0.
void WidenTwoBitRow(const std::uint8_t* packed, std::uint8_t* wide, std::uint32_t width)
{
    for (std::uint32_t x = 0; x < width; ++x) {
        const int index = packed[x / 4] >> (6 - 2 * (x % 4)) & 3;
        if (x % 2 == 0)
            wide[x / 2] = static_cast<std::uint8_t>(index << 4);
        else
            wide[x / 2] = static_cast<std::uint8_t>(wide[x / 2] | index);
    }
}

void NarrowToTwoBitRow(const std::uint8_t* wide, std::uint8_t* packed, std::uint32_t width)
{
    std::memset(packed, 0, PackedRowBytes(width, 2));
    for (std::uint32_t x = 0; x < width; ++x) {
        const int index = wide[x / 2] >> (x % 2 == 0 ? 4 : 0) & 3;
        packed[x / 4] = static_cast<std::uint8_t>(packed[x / 4] | index << (6 - 2 * (x % 4)));
    }
}

} // namespace

int CImageImplPng::Read(const std::string& fileName)
{
    ApplyFileName(fileName);
    CStdioFile file(imageFileName, "rb");
    if (!file)
        return 0;
    // Made outside the recovery point's frame: what the work stores in them
    // survives a jump back, and leaving releases them on every path.
    PngReadState state;
    if (state.png == nullptr || state.info == nullptr)
        return 0;
    png_structp png = state.png;
    png_infop info = state.info;
    return RunRecoverable(png_jmpbuf(png), [&] {
        png_init_io(png, file.Get());
        // Chunks we never use are skipped unread: whatever length a damaged file
        // claims, nothing is allocated for them.
        static const png_byte kUnused[] = "eXIf\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0"
                                          "sCAL\0sPLT\0tEXt\0tIME\0zTXt";
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, 13);
        png_read_info(png, info);

        const png_uint_32 width = png_get_image_width(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        const int bitDepth = png_get_bit_depth(png, info);
        const int colorType = png_get_color_type(png, info);
        const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
        // Deflate packs at most 1032 bytes into one: rows the file could not hold
        // are refused before the picture is made.
        if (static_cast<std::uint64_t>(png_get_rowbytes(png, info)) * height >
            1032 * file.Size() + 65536)
            return 0;

        // On the 8-bit scale even for 16-bit files: libpng itself multiplies the
        // background by 257 when it is to strip those to 8 bits.
        png_color_16 background = {0, kBackgroundRed, kBackgroundGreen, kBackgroundBlue, 0};
        // Grey with alpha is composited in colour, like colour with alpha.
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        png_set_background(png, &background, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        if (bitDepth == 16)
            png_set_strip_16(png);
        const int passes = interlaced ? png_set_interlace_handling(png) : 1;
        png_read_update_info(png, info);

        // Bits of a grey level or palette index in the rows libpng delivers.
        int sampleDepth = 24;
        if (colorType == PNG_COLOR_TYPE_GRAY)
            sampleDepth = std::min(bitDepth, 8);
        else if (colorType == PNG_COLOR_TYPE_PALETTE)
            sampleDepth = bitDepth;
        // GDI draws no 2-bit bitmaps: such a picture is held at 4 bits, every
        // index unchanged.
        const bool widened = sampleDepth == 2;
        const int depth = widened ? 4 : sampleDepth;
        const int pictureColorType =
            colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? PNG_COLOR_TYPE_RGB_ALPHA : colorType;
        const std::size_t rowBytes = PackedRowBytes(width, sampleDepth);
        const std::size_t storedBytes = PackedRowBytes(width, depth);
        // libpng must deliver rows of exactly the packing expected.
        if (png_get_rowbytes(png, info) != rowBytes ||
            !Create(static_cast<int>(width), static_cast<int>(height), depth, pictureColorType))
            return 0;

        png_colorp palette = nullptr;
        int paletteEntries = 0;
        if (png_get_PLTE(png, info, &palette, &paletteEntries) != 0 && paletteEntries > 0) {
            SetPaletteRGB(paletteEntries, reinterpret_cast<const std::uint8_t*>(palette));
        } else if (colorType == PNG_COLOR_TYPE_GRAY) {
            // A grey ramp over the levels the file's samples have.
            std::uint8_t levels[256];
            const int count = 1 << sampleDepth;
            for (int i = 0; i < count; ++i)
                levels[i] = static_cast<std::uint8_t>(i * 255 / (count - 1));
            SetPalette(count, levels, nullptr, nullptr);
        }

        // Zeroed: libpng keeps the bits after a row's last pixel as it finds them.
        state.row = static_cast<png_bytep>(png_calloc(png, rowBytes == 0 ? 1 : rowBytes));
        for (int pass = 0; pass < passes; ++pass) {
            for (int stored = static_cast<int>(height) - 1; stored >= 0; --stored) {
                std::uint8_t* target = imageBits + static_cast<std::size_t>(stored) * imageRowBytes;
                // Later passes add their pixels to those already in the row,
                // which libpng wants in the file's packing.
                if (pass > 0) {
                    if (widened) {
                        NarrowToTwoBitRow(target, state.row, width);
                    } else {
                        std::memcpy(state.row, target, rowBytes);
                        if (depth == 24)
                            SwapRedAndBlue(state.row, width);
                    }
                }
                png_read_row(png, state.row, nullptr);
                if (widened) {
                    WidenTwoBitRow(state.row, target, width);
                } else {
                    std::memcpy(target, state.row, storedBytes);
                    if (depth == 24)
                        SwapRedAndBlue(target, width);
                }
            }
        }
        png_read_end(png, info);
        return 1;
    });
}

int CImageImplPng::Write(const std::string& fileName)
{
    ApplyFileName(fileName);
    if (!HasPicture() || imageWidth <= 0 || imageHeight <= 0)
        return 0;
    CStdioFile file(imageFileName, "wb");
    if (!file)
        return 0;
    // Only these depths are samples a PNG holds; another would be written as
    // whatever its division into three samples makes (25 and 26 bits as 24),
    // or refused by libpng as 16 and 32 bits are, after the file was made.
    const bool storable = imageDepth == 1 || imageDepth == 2 || imageDepth == 4 ||
                          imageDepth == 8 || imageDepth == 24;
    if (!storable)
        return 0;
    // As in Read, outside the recovery point's frame.
    PngWriteState state;
    if (state.png == nullptr || state.info == nullptr)
        return 0;
    png_structp png = state.png;
    png_infop info = state.info;
    return RunRecoverable(png_jmpbuf(png), [&] {
        png_init_io(png, file.Get());

        const int channels = imageDepth <= 8 ? 1 : 3;
        const int bitDepth = imageDepth / channels;
        // The rows never carry alpha, and a deeper picture is colour whatever
        // palette it also holds.
        int colorType = imageColorType & ~PNG_COLOR_MASK_ALPHA;
        if (channels == 3) {
            colorType = PNG_COLOR_TYPE_RGB;
        } else if ((colorType & PNG_COLOR_MASK_PALETTE) == 0) {
            // Indices without a palette name no colours of their own (they are
            // drawn through whatever palette the device context holds), so the
            // colour bit alone cannot make them colour: the file keeps them as
            // the grey levels they are, one sample a pixel as the rows hold,
            // and reading it back gives the same indices.
            colorType = PNG_COLOR_TYPE_GRAY;
        }
        png_set_IHDR(png, info, static_cast<png_uint_32>(imageWidth),
                     static_cast<png_uint_32>(imageHeight), bitDepth, colorType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if ((imageColorType & PNG_COLOR_MASK_PALETTE) != 0 && imagePalette) {
            std::printf(
                "writig paleta[%d %d %x]\n", imageColorType, 1,
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(imagePalette.get())));
            png_color palette[256] = {};
            for (int i = 0; i < 256; ++i)
                imagePalette->GetEntryRGB(i, &palette[i].red, &palette[i].green, &palette[i].blue);
            // A palette picture's chunk may not hold more entries than its depth can index.
            const int entries =
                colorType == PNG_COLOR_TYPE_PALETTE ? std::min(256, 1 << bitDepth) : 256;
            png_set_PLTE(png, info, palette, entries);
        }
        png_write_info(png, info);

        const std::size_t rowBytes =
            PackedRowBytes(static_cast<png_uint_32>(imageWidth), imageDepth);
        state.row = static_cast<png_bytep>(png_malloc(png, rowBytes));
        for (int stored = imageHeight - 1; stored >= 0; --stored) {
            std::memcpy(state.row, imageBits + static_cast<std::size_t>(stored) * imageRowBytes,
                        rowBytes);
            if (imageDepth == 24)
                SwapRedAndBlue(state.row, static_cast<std::size_t>(imageWidth));
            png_write_row(png, state.row);
        }
        png_write_end(png, info);
        return file.Close() ? 1 : 0;
    });
}
