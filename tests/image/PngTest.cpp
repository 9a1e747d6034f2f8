// Reading and writing PNG files through CImageImplPng.
#include "CodecFiles.h"

#include "image/CImageImplPng.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Describe(int colorType, int bitDepth)
{
    return "colour type " + std::to_string(colorType) + ", " + std::to_string(bitDepth) + " bits";
}

std::uint32_t Rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r) << 16 | g << 8 | b;
}

// A palette of n distinct colours.
Bytes SomePalette(int n)
{
    Bytes palette;
    for (int i = 0; i < n; ++i)
        palette.insert(palette.end(),
                       {static_cast<std::uint8_t>(i * 37 + 5), static_cast<std::uint8_t>(255 - i),
                        static_cast<std::uint8_t>(i * 11)});
    return palette;
}

PngSpec NoiseSpec(int colorType, int bitDepth, std::uint32_t width, std::uint32_t height)
{
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = colorType;
    spec.bitDepth = bitDepth;
    spec.rows = NoiseRows(width, height, bitDepth, colorType, width * 131 + bitDepth + colorType);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        spec.palette = SomePalette(1 << bitDepth);
    return spec;
}

// Every stored row, top first, compared with rows packed as in a file.
void ExpectPackedRows(const CImageImpl& picture, const std::vector<Bytes>& rows)
{
    ASSERT_EQ(picture.GetHeight(), static_cast<int>(rows.size()));
    for (std::size_t y = 0; y < rows.size(); ++y)
        ASSERT_EQ(TopRow(picture, static_cast<int>(y), rows[y].size()), rows[y]) << "row " << y;
}

// What the store holds for a file's rows: 2-bit indices become 4-bit ones.
std::vector<Bytes> StoredRows(const std::vector<Bytes>& rows, std::uint32_t width, int bitDepth)
{
    if (bitDepth != 2)
        return rows;
    std::vector<Bytes> wide;
    for (const Bytes& row : rows) {
        Bytes out((width + 1) / 2);
        for (std::uint32_t x = 0; x < width; ++x) {
            const int index = row[x / 4] >> (6 - 2 * (x % 4)) & 3;
            out[x / 2] = static_cast<std::uint8_t>(out[x / 2] | index << (x % 2 ? 0 : 4));
        }
        wide.push_back(out);
    }
    return wide;
}

// A colour file's pixel as 0xRRGGBB, from the high bytes of 16-bit samples.
std::uint32_t FileRgb(const PngSpec& spec, std::uint32_t x, std::uint32_t y)
{
    const int step = spec.bitDepth / 8;
    const std::uint8_t* p = spec.rows[y].data() + x * 3 * step;
    return Rgb(p[0], p[step], p[2 * step]);
}

std::string SaveAndCaptureWrite(CImageImpl& picture, const std::string& path, int* result)
{
    testing::internal::CaptureStdout();
    *result = picture.Write(path);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(PngRead, GreyFilesKeepTheirDepthWithAGreyRamp)
{
    for (int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(Describe(0, depth));
        const PngSpec spec = NoiseSpec(PNG_COLOR_TYPE_GRAY, depth, 37, 5);
        TempFile file(".png");
        CImageImplPng picture;
        ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
        EXPECT_TRUE(OpensExclusively(file.Path()));
        EXPECT_EQ(picture.GetWidth(), 37);
        // GDI draws no 2-bit bitmaps.
        EXPECT_EQ(picture.GetDepth(), depth == 2 ? 4 : depth);
        EXPECT_EQ(picture.GetColorType(), 3);
        const int levels = 1 << depth;
        ASSERT_EQ(PaletteSize(picture), levels);
        for (int i = 0; i < levels; ++i)
            EXPECT_EQ(PaletteEntry(picture, i), 0x010101u * (i * 255 / (levels - 1))) << i;
        ExpectPackedRows(picture, StoredRows(spec.rows, spec.width, spec.bitDepth));
    }
}

TEST(PngRead, SixteenBitGreyKeepsTheHighByte)
{
    PngSpec spec;
    spec.width = 17;
    spec.height = 2;
    spec.bitDepth = 16;
    // Low bytes of 0xFF: rounding instead of cutting would show.
    for (int y = 0; y < 2; ++y) {
        Bytes row;
        for (int x = 0; x < 17; ++x)
            row.insert(row.end(), {static_cast<std::uint8_t>(x * 15 + y), 0xFF});
        spec.rows.push_back(row);
    }
    TempFile file(".png");
    CImageImplPng picture;
    ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
    EXPECT_EQ(picture.GetDepth(), 8);
    ASSERT_EQ(PaletteSize(picture), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(PaletteEntry(picture, i), 0x010101u * i) << i;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 17; ++x)
            EXPECT_EQ(picture.GetPixelIndex(x, 1 - y), x * 15 + y) << x << "," << y;
    }
}

TEST(PngRead, PaletteFilesKeepTheirDepthAndPalette)
{
    for (int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(Describe(3, depth));
        const PngSpec spec = NoiseSpec(PNG_COLOR_TYPE_PALETTE, depth, 100, 6);
        TempFile file(".png");
        CImageImplPng picture;
        ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
        EXPECT_EQ(picture.GetWidth(), 100);
        EXPECT_EQ(picture.GetDepth(), depth == 2 ? 4 : depth);
        EXPECT_EQ(picture.GetColorType(), 3);
        const int entries = 1 << depth;
        ASSERT_EQ(PaletteSize(picture), entries);
        for (int i = 0; i < entries; ++i)
            EXPECT_EQ(PaletteEntry(picture, i),
                      Rgb(spec.palette[3 * i], spec.palette[3 * i + 1], spec.palette[3 * i + 2]))
                << i;
        ExpectPackedRows(picture, StoredRows(spec.rows, spec.width, spec.bitDepth));
        if (depth == 1) {
            // 100 pixels: 13 bytes of indices in a 16-byte row.
            EXPECT_EQ(spec.rows[0].size(), 13u);
            EXPECT_EQ(picture.GetRowBytes(), 16);
        }
    }
}

TEST(PngRead, ColourFilesBecomeTwentyFourBitStoredBlueFirst)
{
    for (int depth : {8, 16}) {
        SCOPED_TRACE(Describe(2, depth));
        const PngSpec spec = NoiseSpec(PNG_COLOR_TYPE_RGB, depth, 19, 7);
        TempFile file(".png");
        CImageImplPng picture;
        ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
        EXPECT_EQ(picture.GetDepth(), 24);
        EXPECT_EQ(picture.GetColorType(), 2);
        EXPECT_EQ(picture.GetPalette(), nullptr);
        for (std::uint32_t y = 0; y < spec.height; ++y) {
            const Bytes stored = TopRow(picture, static_cast<int>(y), 3 * spec.width);
            for (std::uint32_t x = 0; x < spec.width; ++x)
                ASSERT_EQ(Rgb(stored[3 * x + 2], stored[3 * x + 1], stored[3 * x]),
                          FileRgb(spec, x, y))
                    << x << "," << y;
        }
    }
}

TEST(PngRead, AlphaIsCompositedOverSkyBlue)
{
    // Transparent, opaque and half-covered pixels of every file with alpha.
    const int colours[3][3] = {{200, 10, 60}, {3, 250, 128}, {255, 0, 100}};
    const int alphas[3] = {0, 255, 128};
    const int background[3] = {31, 127, 255};
    for (int colorType : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY_ALPHA}) {
        for (int depth : {8, 16}) {
            SCOPED_TRACE(Describe(colorType, depth));
            PngSpec spec;
            spec.width = 3;
            spec.colorType = colorType;
            spec.bitDepth = depth;
            Bytes row;
            auto put = [&](int value) {
                row.push_back(static_cast<std::uint8_t>(value));
                if (depth == 16)
                    row.push_back(static_cast<std::uint8_t>(value));
            };
            for (int x = 0; x < 3; ++x) {
                const int channels = colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 1 : 3;
                for (int c = 0; c < channels; ++c)
                    put(colours[x][c]);
                put(alphas[x]);
            }
            spec.rows = {row};
            TempFile file(".png");
            CImageImplPng picture;
            ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
            EXPECT_EQ(picture.GetDepth(), 24);
            EXPECT_EQ(picture.GetColorType(), 6);
            for (int x = 0; x < 3; ++x) {
                const std::uint32_t got = TopRgb(picture, x, 0);
                for (int c = 0; c < 3; ++c) {
                    const int fg = colours[x][colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 0 : c];
                    const int want =
                        (fg * alphas[x] + background[c] * (255 - alphas[x]) + 127) / 255;
                    const int sample = static_cast<int>(got >> (16 - 8 * c) & 0xFF);
                    EXPECT_LE(std::abs(sample - want), 1) << "pixel " << x << " channel " << c;
                }
            }
        }
    }
}

TEST(PngRead, TransparentColoursAndEntriesShowTheBackground)
{
    TempFile file(".png");
    // A colour file's transparent colour becomes sky blue; other pixels stay.
    PngSpec colour;
    colour.width = 2;
    colour.colorType = PNG_COLOR_TYPE_RGB;
    colour.rows = {{10, 20, 30, 10, 20, 31}};
    colour.transColour = true;
    colour.trans[0] = 10;
    colour.trans[1] = 20;
    colour.trans[2] = 30;
    CImageImplPng picture;
    ASSERT_EQ(picture.Read(file.Save(MakePng(colour))), 1);
    EXPECT_EQ(TopRgb(picture, 0, 0), Rgb(31, 127, 255));
    EXPECT_EQ(TopRgb(picture, 1, 0), Rgb(10, 20, 31));

    // A palette file's transparent entry takes the colour; indices stay.
    PngSpec palette;
    palette.width = 2;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.bitDepth = 4;
    palette.palette = SomePalette(16);
    palette.alphas = {255, 0};
    palette.rows = {{0x01}};
    CImageImplPng indexed;
    ASSERT_EQ(indexed.Read(file.Save(MakePng(palette))), 1);
    EXPECT_EQ(indexed.GetDepth(), 4);
    EXPECT_EQ(PaletteEntry(indexed, 1), Rgb(31, 127, 255));
    EXPECT_EQ(PaletteEntry(indexed, 0),
              Rgb(palette.palette[0], palette.palette[1], palette.palette[2]));
    EXPECT_EQ(TopRow(indexed, 0, 1), Bytes{0x01});

    // A grey file's transparent level becomes the background's grey, 0.
    PngSpec grey;
    grey.width = 3;
    grey.rows = {{77, 78, 255}};
    grey.transColour = true;
    grey.trans[0] = 77;
    CImageImplPng greyPicture;
    ASSERT_EQ(greyPicture.Read(file.Save(MakePng(grey))), 1);
    EXPECT_EQ(greyPicture.GetDepth(), 8);
    EXPECT_EQ(TopRow(greyPicture, 0, 3), (Bytes{0, 78, 255}));
}

TEST(PngRead, ColourFileWithAPaletteKeepsItAndItsOwnPixelColours)
{
    PngSpec spec = NoiseSpec(PNG_COLOR_TYPE_RGB, 8, 5, 4);
    spec.palette = SomePalette(3);
    TempFile file(".png");
    CImageImplPng picture;
    ASSERT_EQ(picture.Read(file.Save(MakePng(spec))), 1);
    EXPECT_EQ(picture.GetDepth(), 24);
    EXPECT_EQ(picture.GetColorType(), 3);
    ASSERT_EQ(PaletteSize(picture), 3);
    EXPECT_EQ(PaletteEntry(picture, 2), Rgb(spec.palette[6], spec.palette[7], spec.palette[8]));
    for (std::uint32_t y = 0; y < 4; ++y) {
        for (std::uint32_t x = 0; x < 5; ++x)
            ASSERT_EQ(TopRgb(picture, static_cast<int>(x), static_cast<int>(y)),
                      FileRgb(spec, x, y));
    }
}

// Every file of libpng's suite against the colours an independent decoder
// gives it with our background (tests/image/png_suite_reference.py).
TEST(PngRead, LibpngSuiteGivesTheReferenceColours)
{
    const std::string folder = BesideTests("pngsuite\\");
    std::ifstream table(folder + "reference.txt");
    ASSERT_TRUE(table) << "the build writes " << folder << "reference.txt";
    int compared = 0;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name;
        std::string kind;
        fields >> name >> kind;
        SCOPED_TRACE(name);
        CImageImplPng picture;
        const int result = picture.Read(folder + name);
        EXPECT_TRUE(OpensExclusively(folder + name));
        if (kind == "refused") {
            EXPECT_EQ(result, 0);
        }
        if (kind != "valid")
            continue; // the others need only come back
        int tolerance = 0;
        int width = 0;
        int height = 0;
        std::string colours;
        fields >> tolerance >> width >> height >> colours;
        ASSERT_EQ(result, 1);
        ASSERT_EQ(picture.GetWidth(), width);
        ASSERT_EQ(picture.GetHeight(), height);
        ASSERT_EQ(colours.size(), 6u * width * height);
        int wrong = 0;
        std::string first;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t want = static_cast<std::uint32_t>(std::stoul(
                    colours.substr(6 * (static_cast<std::size_t>(y) * width + x), 6), nullptr, 16));
                const std::uint32_t got = TopRgb(picture, x, y);
                bool close = got != 0xFFFFFFFF;
                for (int shift = 0; shift < 24 && close; shift += 8)
                    close = std::abs(static_cast<int>(got >> shift & 0xFF) -
                                     static_cast<int>(want >> shift & 0xFF)) <= tolerance;
                if (!close && wrong++ == 0) {
                    char text[64];
                    std::snprintf(text, sizeof text, "(%d, %d) is %06x, not %06x", x, y,
                                  static_cast<unsigned>(got), static_cast<unsigned>(want));
                    first = text;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels off by more than " << tolerance << ", first " << first;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

void ExpectInterlacedTwinEqual(int colorType, int bitDepth, std::uint32_t width,
                               std::uint32_t height)
{
    PngSpec spec = NoiseSpec(colorType, bitDepth, width, height);
    TempFile plainFile(".png");
    TempFile interlacedFile(".png");
    plainFile.Save(MakePng(spec));
    spec.interlaced = true;
    interlacedFile.Save(MakePng(spec));
    CImageImplPng plain;
    CImageImplPng interlaced;
    ASSERT_EQ(plain.Read(plainFile.Path()), 1);
    ASSERT_EQ(interlaced.Read(interlacedFile.Path()), 1);
    ASSERT_EQ(interlaced.GetWidth(), plain.GetWidth());
    ASSERT_EQ(interlaced.GetHeight(), plain.GetHeight());
    ASSERT_EQ(interlaced.GetDepth(), plain.GetDepth());
    EXPECT_EQ(interlaced.GetColorType(), plain.GetColorType());
    // Whole stored rows, the bits after the last pixel included.
    const std::size_t rowBytes = static_cast<std::size_t>(plain.GetRowBytes());
    for (int y = 0; y < plain.GetHeight(); ++y)
        ASSERT_EQ(TopRow(interlaced, y, rowBytes), TopRow(plain, y, rowBytes)) << "row " << y;
    ASSERT_EQ(PaletteSize(interlaced), PaletteSize(plain));
    for (int i = 0; i < PaletteSize(plain); ++i)
        EXPECT_EQ(PaletteEntry(interlaced, i), PaletteEntry(plain, i));
}

TEST(PngRead, InterlacedFilesEqualTheirPlainTwins)
{
    const int kinds[][2] = {{0, 1}, {0, 2}, {0, 4},  {0, 8}, {0, 16}, {3, 1}, {3, 2}, {3, 4},
                            {3, 8}, {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    // Sizes that leave some of the seven passes empty or partial.
    const std::uint32_t sizes[][2] = {{1, 1}, {2, 9}, {13, 11}, {33, 17}};
    for (const auto& kind : kinds) {
        for (const auto& size : sizes) {
            SCOPED_TRACE(Describe(kind[0], kind[1]) + ", " + std::to_string(size[0]) + "x" +
                         std::to_string(size[1]));
            ExpectInterlacedTwinEqual(kind[0], kind[1], size[0], size[1]);
        }
    }
}

TEST(PngWrite, PalettePicturesRoundTripWithTheirPalette)
{
    for (int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const int entries = depth == 8 ? 16 : 1 << depth;
        CImageImplPng picture;
        ASSERT_NE(picture.Create(23, 7, depth, -1), 0);
        const Bytes colours = SomePalette(entries);
        ASSERT_EQ(picture.SetPaletteRGB(entries, colours.data()), 1);
        std::vector<Bytes> rows = NoiseRows(23, 7, depth, PNG_COLOR_TYPE_PALETTE, depth);
        for (int y = 0; y < 7; ++y) {
            for (std::size_t i = 0; i < rows[y].size(); ++i) {
                if (depth == 8)
                    rows[y][i] &= 0x0F; // only the entries the palette has
                picture.GetBits()[(6 - y) * picture.GetRowBytes() + i] = rows[y][i];
            }
        }
        TempFile file(".png");
        int written = 0;
        const std::string printed = SaveAndCaptureWrite(picture, file.Path(), &written);
        ASSERT_EQ(written, 1);
        EXPECT_TRUE(OpensExclusively(file.Path()));
        char expected[64];
        std::snprintf(
            expected, sizeof expected, "writig paleta[%d %d %x]\n", picture.GetColorType(), 1,
            static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(picture.GetPalette())));
        EXPECT_EQ(printed, expected);

        const PngImage saved = DecodePng(file.Path());
        ASSERT_TRUE(saved.ok);
        EXPECT_EQ(saved.colorType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(saved.bitDepth, depth);
        // All the entries the depth can index, the missing ones black.
        ASSERT_EQ(saved.palette.size(), 3u * (1 << depth));
        for (std::size_t i = 0; i < saved.palette.size(); ++i)
            EXPECT_EQ(saved.palette[i], i < colours.size() ? colours[i] : 0) << "byte " << i;
        EXPECT_EQ(saved.rows, rows);

        CImageImplPng back;
        ASSERT_EQ(back.Read(file.Path()), 1);
        EXPECT_EQ(back.GetDepth(), depth == 2 ? 4 : depth);
        ExpectPackedRows(back, StoredRows(rows, 23, depth));
        for (int i = 0; i < entries; ++i)
            EXPECT_EQ(PaletteEntry(back, i), PaletteEntry(picture, i));
    }
}

TEST(PngWrite, PicturesWithoutPaletteAreWrittenGrey)
{
    // The colour bits alone give the indices no colours: the file holds them
    // as grey levels, one sample a pixel, whatever the bits say.
    for (int depth : {1, 2, 4, 8}) {
        for (int colorType : {-1, 2, 6}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", colour type " +
                         std::to_string(colorType));
            CImageImplPng picture;
            ASSERT_NE(picture.Create(9, 4, depth, colorType), 0);
            const std::vector<Bytes> rows = NoiseRows(9, 4, depth, PNG_COLOR_TYPE_GRAY, depth);
            for (int y = 0; y < 4; ++y) {
                for (std::size_t i = 0; i < rows[y].size(); ++i)
                    picture.GetBits()[(3 - y) * picture.GetRowBytes() + i] = rows[y][i];
            }
            TempFile file(".png");
            int written = 0;
            EXPECT_EQ(SaveAndCaptureWrite(picture, file.Path(), &written), "");
            ASSERT_EQ(written, 1);
            const PngImage saved = DecodePng(file.Path());
            ASSERT_TRUE(saved.ok);
            EXPECT_EQ(saved.colorType, PNG_COLOR_TYPE_GRAY);
            EXPECT_EQ(saved.bitDepth, depth);
            EXPECT_TRUE(saved.palette.empty());
            EXPECT_EQ(saved.rows, rows);
        }
    }
}

TEST(PngWrite, TwentyFourBitPicturesAreWrittenRedFirstWithoutAlpha)
{
    // Created plain, with the alpha bit, and read from a file with a palette.
    PngSpec withPalette = NoiseSpec(PNG_COLOR_TYPE_RGB, 8, 6, 5);
    withPalette.palette = SomePalette(3);
    TempFile source(".png");
    source.Save(MakePng(withPalette));
    for (int colorType : {-1, 6, 3}) {
        SCOPED_TRACE("colour type " + std::to_string(colorType));
        CImageImplPng picture;
        std::vector<Bytes> rows = withPalette.rows;
        if (colorType == 3) {
            ASSERT_EQ(picture.Read(source.Path()), 1);
        } else {
            ASSERT_NE(picture.Create(6, 5, 24, colorType), 0);
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 6; ++x)
                    picture.SetPixelRGB(x, 4 - y, rows[y][3 * x], rows[y][3 * x + 1],
                                        rows[y][3 * x + 2]);
            }
        }
        TempFile file(".png");
        int written = 0;
        const std::string printed = SaveAndCaptureWrite(picture, file.Path(), &written);
        ASSERT_EQ(written, 1);
        const PngImage saved = DecodePng(file.Path());
        ASSERT_TRUE(saved.ok);
        EXPECT_EQ(saved.colorType, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(saved.bitDepth, 8);
        EXPECT_EQ(saved.rows, rows);
        if (colorType == 3) {
            // A colour file may carry a suggested palette of all 256 entries.
            EXPECT_EQ(printed.rfind("writig paleta[3 1 ", 0), 0u) << printed;
            ASSERT_EQ(saved.palette.size(), 3u * 256);
            for (std::size_t i = 0; i < saved.palette.size(); ++i)
                EXPECT_EQ(saved.palette[i], i < 9 ? withPalette.palette[i] : 0) << "byte " << i;
        } else {
            EXPECT_EQ(printed, "");
            EXPECT_TRUE(saved.palette.empty());
        }
        CImageImplPng back;
        ASSERT_EQ(back.Read(file.Path()), 1);
        EXPECT_EQ(back.GetDepth(), 24);
        ExpectPackedRows(back, [&] {
            std::vector<Bytes> stored = rows;
            for (Bytes& row : stored)
                for (std::size_t i = 0; i < row.size(); i += 3)
                    std::swap(row[i], row[i + 2]);
            return stored;
        }());
    }
}

TEST(PngWrite, RefusesWhatItCannotWrite)
{
    TempFile file(".png");
    CImageImplPng empty;
    EXPECT_EQ(empty.Write(file.Path()), 0);
    EXPECT_FALSE(FileExists(file.Path()));

    CImageImplPng fine;
    ASSERT_NE(fine.Create(4, 4, 24, -1), 0);
    EXPECT_EQ(fine.Write(file.Path() + ".missing\\x.png"), 0);
    // /dev/full under Wine: it opens and takes no byte; libpng's last buffer goes at the close.
    EXPECT_EQ(fine.Write("Z:\\dev\\full"), 0);

    // Three channels of 32 or 16 bits make bit depths of 10 and 5, which
    // libpng refuses; a palette type without a palette has no PLTE to write.
    const int cases[][2] = {{32, -1}, {16, -1}, {8, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c[0]) + ", colour type " + std::to_string(c[1]));
        CImageImplPng picture;
        ASSERT_NE(picture.Create(4, 4, c[0], c[1]), 0);
        EXPECT_EQ(picture.Write(file.Path()), 0);
        EXPECT_TRUE(OpensExclusively(file.Path()));
    }
    EXPECT_EQ(fine.Write(file.Path()), 1);
    EXPECT_TRUE(DecodePng(file.Path()).ok);
}

} // namespace
