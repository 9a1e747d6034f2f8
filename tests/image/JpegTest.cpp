// Reading and writing JPEG files through CImageImplJpeg.
#include "BmpBuilder.h"
#include "CodecFiles.h"

#include "image/CImageImplJpeg.h"
#include "image/CImageObject.h"
#include "image/DibFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <jpeglib.h>

#include <jerror.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

// Six flat 32x32 areas, aligned to the coder's blocks so that each centre
// keeps its colour: red, green, blue over white, black, yellow.
const int kAreasWidth = 96;
const int kAreasHeight = 64;
const std::uint32_t kAreaColours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00};

int AreaAt(int x, int yFromTop)
{
    return (yFromTop / 32) * 3 + x / 32;
}

JpegSpec AreasSpec()
{
    JpegSpec spec;
    spec.width = kAreasWidth;
    spec.height = kAreasHeight;
    for (int y = 0; y < kAreasHeight; ++y) {
        for (int x = 0; x < kAreasWidth; ++x) {
            const std::uint32_t c = kAreaColours[AreaAt(x, y)];
            spec.pixels.insert(spec.pixels.end(),
                               {static_cast<std::uint8_t>(c >> 16),
                                static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
        }
    }
    return spec;
}

// Dark top half, bright bottom half, each a gentle ramp.
JpegSpec GreySpec()
{
    JpegSpec spec;
    spec.width = 40;
    spec.height = 24;
    spec.components = 1;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x)
            spec.pixels.push_back(static_cast<std::uint8_t>((y < 12 ? 10 : 190) + x + y));
    }
    return spec;
}

// Each item streamed into an assertion result starts afresh: no std::hex.
std::string Hex(std::uint32_t colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(colour));
    return text;
}

testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>(actual >> shift & 0xFF);
        const int e = static_cast<int>(expected >> shift & 0xFF);
        if (std::abs(a - e) > tolerance)
            return testing::AssertionFailure()
                   << Hex(actual) << " is not within " << tolerance << " of " << Hex(expected);
    }
    return testing::AssertionSuccess();
}

// The area centres, as the areas' colours; colour(x, y) counts y from the top.
template <typename Colour> void ExpectAreaColours(int width, int height, Colour colour)
{
    ASSERT_EQ(width, kAreasWidth);
    ASSERT_EQ(height, kAreasHeight);
    for (int area = 0; area < 6; ++area)
        EXPECT_TRUE(Near(colour(area % 3 * 32 + 16, area / 3 * 32 + 16), kAreaColours[area], 40))
            << "area " << area;
}

void ExpectAreaColours(const JpegImage& file)
{
    ASSERT_TRUE(file.ok);
    ExpectAreaColours(file.width, file.height, [&](int x, int y) { return file.Rgb(x, y); });
}

void ExpectAreaColours(const CImageImpl& picture)
{
    ExpectAreaColours(picture.GetWidth(), picture.GetHeight(),
                      [&](int x, int y) { return TopRgb(picture, x, y); });
}

// The tables libjpeg itself makes for quality 30, in natural order.
void Quality30Tables(int luminance[64], int chrominance[64])
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 30, TRUE);
    for (int i = 0; i < 64; ++i) {
        luminance[i] = cinfo.quant_tbl_ptrs[0]->quantval[i];
        chrominance[i] = cinfo.quant_tbl_ptrs[1]->quantval[i];
    }
    jpeg_destroy_compress(&cinfo);
}

// What work printed on the standard error stream.
template <typename Work> std::string StandardErrorOf(Work work)
{
    TempFile capture(".txt");
    std::fflush(stderr);
    const int saved = _dup(2);
    const int file = _open(capture.Path().c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                           _S_IREAD | _S_IWRITE);
    _dup2(file, 2);
    _close(file);
    work();
    std::fflush(stderr);
    _dup2(saved, 2);
    _close(saved);
    const Bytes bytes = ReadBytes(capture.Path());
    return std::string(bytes.begin(), bytes.end());
}

// The line libjpeg's own error exit prints for an error with one number.
std::string LibraryMessageLine(int code, int number)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    errors.msg_code = code;
    errors.msg_parm.i[0] = number;
    char text[JMSG_LENGTH_MAX];
    errors.format_message(reinterpret_cast<j_common_ptr>(&cinfo), text);
    return std::string(text) + "\n";
}

TEST(JpegRead, GreyFileGivesTheGreyLevelsWithTheTopRowStoredLast)
{
    const Bytes bytes = MakeJpeg(GreySpec());
    const JpegImage reference = DecodeJpeg(bytes);
    ASSERT_TRUE(reference.ok);
    TempFile file(".jpg");
    CImageImplJpeg picture;
    ASSERT_EQ(picture.Read(file.Save(bytes)), 1);
    EXPECT_TRUE(OpensExclusively(file.Path()));
    ASSERT_EQ(picture.GetWidth(), 40);
    ASSERT_EQ(picture.GetHeight(), 24);
    EXPECT_EQ(picture.GetDepth(), 8);
    EXPECT_EQ(PaletteSize(picture), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(PaletteEntry(picture, i), static_cast<std::uint32_t>(i) * 0x010101) << i;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(picture.GetPixelIndex(x, 23 - y), reference.pixels[y * 40 + x])
                << x << "," << y << " from the top";
    }
    // The dark half is on top.
    EXPECT_LT(picture.GetPixelIndex(0, 23), 60);
    EXPECT_GT(picture.GetPixelIndex(0, 0), 180);
}

TEST(JpegRead, ColourFilesAreQuantisedToAtMost128Colours)
{
    TempFile file(".jpg");
    CImageImplJpeg areas;
    ASSERT_EQ(areas.Read(file.Save(MakeJpeg(AreasSpec()))), 1);
    EXPECT_EQ(areas.GetDepth(), 8);
    EXPECT_GE(PaletteSize(areas), 6);
    EXPECT_LE(PaletteSize(areas), 128);
    ExpectAreaColours(areas);

    // Thousands of colours: the full 128 are used, and dithering keeps the
    // picture close to a plain decode on average.
    JpegSpec ramp;
    ramp.width = 128;
    ramp.height = 64;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x)
            ramp.pixels.insert(ramp.pixels.end(),
                               {static_cast<std::uint8_t>(2 * x), static_cast<std::uint8_t>(4 * y),
                                static_cast<std::uint8_t>(255 - 2 * x)});
    }
    const Bytes bytes = MakeJpeg(ramp);
    const JpegImage reference = DecodeJpeg(bytes);
    CImageImplJpeg picture;
    ASSERT_EQ(picture.Read(file.Save(bytes)), 1);
    ASSERT_EQ(picture.GetDepth(), 8);
    const int colours = PaletteSize(picture);
    EXPECT_GT(colours, 64);
    EXPECT_LE(colours, 128);
    long error = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x) {
            ASSERT_LT(picture.GetPixelIndex(x, 63 - y), colours);
            const std::uint32_t got = TopRgb(picture, x, y);
            const std::uint32_t want = reference.Rgb(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                error += std::abs(static_cast<int>(got >> shift & 0xFF) -
                                  static_cast<int>(want >> shift & 0xFF));
        }
    }
    EXPECT_LT(error / (128 * 64 * 3), 12) << "mean error per sample";
}

// Four flat 32x32 quadrants of the file's own samples (left to right, then
// top to bottom) and the colours they stand for. CMYK samples are Adobe's,
// inverted: 255 is no ink. Black comes from K alone and dark green from half
// of K, so taking C, M, Y as red, green, blue shows white and bright green.
const std::uint8_t kGrey[4][4] = {{0}, {85}, {170}, {255}};
const std::uint8_t kRgb[4][4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
const std::uint8_t kCmyk[4][4] = {
    {255, 0, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 0}, {0, 255, 0, 128}};
const struct {
    const char* name;
    int components;
    int fileColorSpace;
    bool adobeMarker;
    const std::uint8_t (*samples)[4];
    std::uint32_t shown[4];
} kColourSpaces[] = {
    {"grey", 1, -1, true, kGrey, {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF}},
    {"YCbCr", 3, -1, true, kRgb, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}},
    {"CMYK", 4, -1, true, kCmyk, {0xFF0000, 0x0000FF, 0x000000, 0x008000}},
    {"YCCK", 4, JCS_YCCK, true, kCmyk, {0xFF0000, 0x0000FF, 0x000000, 0x008000}},
    {"CMYK without Adobe's marker", 4, -1, false, kCmyk, {0xFF0000, 0x0000FF, 0x000000, 0x008000}},
};

bool PaletteHolds(const CImageImpl& picture, std::uint32_t colour)
{
    for (int i = 0; i < PaletteSize(picture); ++i) {
        if (PaletteEntry(picture, i) == colour)
            return true;
    }
    return false;
}

TEST(JpegRead, EveryColourSpaceShowsItsOwnColoursThroughAPalette)
{
    for (const auto& c : kColourSpaces) {
        SCOPED_TRACE(c.name);
        JpegSpec spec;
        spec.width = 64;
        spec.height = 64;
        spec.components = c.components;
        spec.fileColorSpace = c.fileColorSpace;
        spec.adobeMarker = c.adobeMarker;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x)
                spec.pixels.insert(spec.pixels.end(), c.samples[y / 32 * 2 + x / 32],
                                   c.samples[y / 32 * 2 + x / 32] + c.components);
        }
        TempFile file(".jpg");
        CImageImplJpeg picture;
        ASSERT_EQ(picture.Read(file.Save(MakeJpeg(spec))), 1);
        EXPECT_EQ(picture.GetDepth(), 8);
        EXPECT_NE(picture.GetPalette(), nullptr);
        // CMYK maps are a fixed grid of levels that holds these colours
        // exactly: 255 of C and 255 of K give 255, 255 and 128 give 128.
        for (int quadrant = 0; c.components == 4 && quadrant < 4; ++quadrant)
            EXPECT_TRUE(PaletteHolds(picture, c.shown[quadrant])) << Hex(c.shown[quadrant]);
        // The middle of each quadrant, away from the blocks the edges blur.
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            for (int y = quadrant / 2 * 32 + 8; y < quadrant / 2 * 32 + 24; ++y) {
                for (int x = quadrant % 2 * 32 + 8; x < quadrant % 2 * 32 + 24; ++x) {
                    ASSERT_TRUE(Near(TopRgb(picture, x, y), c.shown[quadrant], 12))
                        << x << "," << y << " from the top";
                }
            }
        }
    }
}

TEST(JpegRead, ProgressiveFilesLoad)
{
    TempFile file(".jpg");
    JpegSpec colour = AreasSpec();
    colour.progressive = true;
    const Bytes colourBytes = MakeJpeg(colour);
    ASSERT_TRUE(DecodeJpeg(colourBytes).progressive);
    CImageImplJpeg picture;
    ASSERT_EQ(picture.Read(file.Save(colourBytes)), 1);
    ExpectAreaColours(picture);

    JpegSpec grey = GreySpec();
    grey.progressive = true;
    const Bytes greyBytes = MakeJpeg(grey);
    const JpegImage reference = DecodeJpeg(greyBytes);
    CImageImplJpeg greyPicture;
    ASSERT_EQ(greyPicture.Read(file.Save(greyBytes)), 1);
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x)
            ASSERT_EQ(greyPicture.GetPixelIndex(x, grey.height - 1 - y),
                      reference.pixels[y * grey.width + x]);
    }
}

TEST(JpegRead, ErrorsAreNotPrinted)
{
    TempFile file(".jpg");
    file.Save(Bytes{'G', 'I', 'F', '8', '9', 'a'});
    CImageImplJpeg picture;
    int result = -1;
    EXPECT_EQ(StandardErrorOf([&] { result = picture.Read(file.Path()); }), "");
    EXPECT_EQ(result, 0);
}

TEST(JpegRead, JpgNamesInAnyCaseReadThroughTheImageObjectAtQuality30)
{
    TempFile file(".JpG");
    file.Save(MakeJpeg(AreasSpec()));
    CImageObject image(file.Path(), CImageObject::kTypeFromExtension);
    EXPECT_EQ(image.IsValid(), 1);
    auto* jpeg = dynamic_cast<CImageImplJpeg*>(image.GetImpl());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->GetQuality(), 30);
    EXPECT_EQ(image.GetWidth(), kAreasWidth);

    TempFile longName(".jpeg");
    longName.Save(MakeJpeg(AreasSpec()));
    CImageObject other(longName.Path(), CImageObject::kTypeFromExtension);
    EXPECT_EQ(other.GetImpl(), nullptr);
    EXPECT_EQ(other.IsValid(), 0);
}

TEST(JpegWrite, TwentyFourBitPictureIsABaselineQuality30FileRedFirst)
{
    CImageImplJpeg picture;
    ASSERT_NE(picture.Create(kAreasWidth, kAreasHeight, 24, -1), 0);
    for (int y = 0; y < kAreasHeight; ++y) {
        for (int x = 0; x < kAreasWidth; ++x) {
            const std::uint32_t c = kAreaColours[AreaAt(x, y)];
            picture.SetPixelRGB(x, kAreasHeight - 1 - y, static_cast<std::uint8_t>(c >> 16),
                                static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c));
        }
    }
    TempFile file(".jpg");
    ASSERT_EQ(picture.Write(file.Path()), 1);
    EXPECT_TRUE(OpensExclusively(file.Path()));

    const JpegImage written = DecodeJpeg(ReadBytes(file.Path()));
    ExpectAreaColours(written);
    EXPECT_EQ(written.components, 3);
    EXPECT_TRUE(written.baseline);
    EXPECT_FALSE(written.progressive);
    int luminance[64], chrominance[64];
    Quality30Tables(luminance, chrominance);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(written.luminanceTable[i], luminance[i]) << "luminance " << i;
        EXPECT_EQ(written.chrominanceTable[i], chrominance[i]) << "chrominance " << i;
    }
    // Red must stay red, not turn blue.
    const std::uint32_t red = written.Rgb(16, 16);
    EXPECT_GT(red >> 16, 200u);
    EXPECT_LT(red & 0xFF, 60u);

    CImageImplJpeg back;
    ASSERT_EQ(back.Read(file.Path()), 1);
    EXPECT_EQ(back.GetDepth(), 8);
    EXPECT_LE(PaletteSize(back), 128);
    ExpectAreaColours(back);
}

TEST(JpegWrite, PalettePicturesAreWrittenThroughTheirColours)
{
    // With a palette, through the palette.
    CImageImplJpeg withPalette;
    ASSERT_NE(withPalette.Create(kAreasWidth, kAreasHeight, 8, -1), 0);
    std::uint8_t red[6], green[6], blue[6];
    for (int i = 0; i < 6; ++i) {
        red[i] = static_cast<std::uint8_t>(kAreaColours[i] >> 16);
        green[i] = static_cast<std::uint8_t>(kAreaColours[i] >> 8);
        blue[i] = static_cast<std::uint8_t>(kAreaColours[i]);
    }
    ASSERT_EQ(withPalette.SetPalette(6, red, green, blue), 1);

    // Without one, through the default colour table, which repeats every 16.
    CImageImplJpeg withTable;
    ASSERT_NE(withTable.Create(kAreasWidth, kAreasHeight, 8, -1), 0);
    ASSERT_EQ(withTable.GetPalette(), nullptr);
    const int tableIndex[6] = {9, 10, 16 + 12, 15, 0, 32 + 11};

    for (int y = 0; y < kAreasHeight; ++y) {
        for (int x = 0; x < kAreasWidth; ++x) {
            withPalette.SetPixelIndex(x, kAreasHeight - 1 - y, AreaAt(x, y));
            withTable.SetPixelIndex(x, kAreasHeight - 1 - y, tableIndex[AreaAt(x, y)]);
        }
    }
    TempFile file(".jpg");
    ASSERT_EQ(withPalette.Write(file.Path()), 1);
    ExpectAreaColours(DecodeJpeg(ReadBytes(file.Path())));
    CImageImplJpeg back;
    ASSERT_EQ(back.Read(file.Path()), 1);
    ExpectAreaColours(back);

    ASSERT_EQ(withTable.Write(file.Path()), 1);
    ExpectAreaColours(DecodeJpeg(ReadBytes(file.Path())));
}

TEST(JpegWrite, PixelsNarrowerThanAByteUseTheirOwnBits)
{
    // Every other column white: a pixel read as its whole byte, or with its
    // bits taken from the wrong end, breaks the stripes.
    const struct {
        int depth;
        bool palette;
    } cases[] = {{1, true}, {2, true}, {4, true}, {4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth) + (c.palette ? " palette" : " table"));
        const int width = 32;
        const int height = 16;
        CImageImplJpeg picture;
        ASSERT_NE(picture.Create(width, height, c.depth, -1), 0);
        const int white = (1 << c.depth) - 1; // also white in the default table
        if (c.palette) {
            std::uint8_t levels[16] = {};
            levels[white] = 255;
            ASSERT_EQ(picture.SetPalette(white + 1, levels, nullptr, nullptr), 1);
        }
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = picture.GetBits() + y * picture.GetRowBytes();
            for (int x = 0; x < width; x += 2) {
                const int bit = x * c.depth;
                row[bit / 8] |= static_cast<std::uint8_t>(white << (8 - c.depth - bit % 8));
            }
        }
        TempFile file(".jpg");
        ASSERT_EQ(picture.Write(file.Path()), 1);
        const JpegImage written = DecodeJpeg(ReadBytes(file.Path()));
        ASSERT_TRUE(written.ok);
        for (int y = 4; y < 12; ++y) {
            for (int x = 2; x < width - 2; x += 2) {
                const int lit = written.Rgb(x, y) & 0xFF;
                const int left = written.Rgb(x - 1, y) & 0xFF;
                const int right = written.Rgb(x + 1, y) & 0xFF;
                ASSERT_GT(lit - left, 64) << x << "," << y;
                ASSERT_GT(lit - right, 64) << x << "," << y;
            }
        }
    }
}

// A JPEG picture holding a bitmap file's block, masks and all.
class JpegOfBitmap : public CImageImplJpeg {
public:
    bool Adopt(const std::string& bitmapPath)
    {
        CGlobalBlock block = ReadDibFile(bitmapPath);
        if (!block)
            return false;
        AdoptDib(std::move(block));
        return true;
    }
};

TEST(JpegWrite, DeeperPicturesTakeTheirColoursFromTheirBytes)
{
    // 16-bit pixels are 5-5-5 with red highest; 32-bit are blue, green, red, unused.
    const std::uint16_t kFiveFiveFive[6] = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x0000, 0x7FE0};
    for (int depth : {16, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        CImageImplJpeg picture;
        ASSERT_NE(picture.Create(kAreasWidth, kAreasHeight, depth, -1), 0);
        for (int y = 0; y < kAreasHeight; ++y) {
            std::uint8_t* row = picture.GetBits() + (kAreasHeight - 1 - y) * picture.GetRowBytes();
            for (int x = 0; x < kAreasWidth; ++x) {
                const int area = AreaAt(x, y);
                if (depth == 16) {
                    row[2 * x] = static_cast<std::uint8_t>(kFiveFiveFive[area]);
                    row[2 * x + 1] = static_cast<std::uint8_t>(kFiveFiveFive[area] >> 8);
                } else {
                    const std::uint32_t c = kAreaColours[area];
                    row[4 * x] = static_cast<std::uint8_t>(c);
                    row[4 * x + 1] = static_cast<std::uint8_t>(c >> 8);
                    row[4 * x + 2] = static_cast<std::uint8_t>(c >> 16);
                    row[4 * x + 3] = 0x5A;
                }
            }
        }
        TempFile file(".jpg");
        ASSERT_EQ(picture.Write(file.Path()), 1);
        ExpectAreaColours(DecodeJpeg(ReadBytes(file.Path())));
    }

    // A bit-field block whose red is the lowest byte: the masks say which is which.
    BmpBuilder bitmap(kAreasWidth, kAreasHeight, 32);
    bitmap.compression = BI_BITFIELDS;
    bitmap.table = {0x0000FF, 0x00FF00, 0xFF0000};
    for (int y = kAreasHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kAreasWidth; ++x) {
            const std::uint32_t c = kAreaColours[AreaAt(x, y)];
            bitmap.rows.insert(bitmap.rows.end(), {static_cast<std::uint8_t>(c >> 16),
                                                   static_cast<std::uint8_t>(c >> 8),
                                                   static_cast<std::uint8_t>(c), 0});
        }
    }
    JpegOfBitmap fields;
    ASSERT_TRUE(fields.Adopt(bitmap.Save()));
    TempFile file(".jpg");
    ASSERT_EQ(fields.Write(file.Path()), 1);
    ExpectAreaColours(DecodeJpeg(ReadBytes(file.Path())));
}

TEST(JpegWrite, RefusesWhatItCannotWrite)
{
    TempFile file(".jpg");
    CImageImplJpeg empty;
    EXPECT_EQ(empty.Write(file.Path()), 0);
    EXPECT_FALSE(FileExists(file.Path()));

    CImageImplJpeg odd;
    ASSERT_NE(odd.Create(8, 8, 3, -1), 0);
    EXPECT_EQ(odd.Write(file.Path()), 0);
    EXPECT_FALSE(FileExists(file.Path()));

    CImageImplJpeg fine;
    ASSERT_NE(fine.Create(8, 8, 24, -1), 0);
    EXPECT_EQ(fine.Write(file.Path() + ".missing\\x.jpg"), 0);
    // /dev/full under Wine: it opens and takes no byte.
    int result = -1;
    EXPECT_EQ(StandardErrorOf([&] { result = fine.Write("Z:\\dev\\full"); }),
              LibraryMessageLine(JERR_FILE_WRITE, 0));
    EXPECT_EQ(result, 0);

    // libjpeg refuses widths over 65500: its error is printed, as the
    // library's own exit would, and comes back as 0.
    CImageImplJpeg wide;
    ASSERT_NE(wide.Create(65501, 1, 24, -1), 0);
    EXPECT_EQ(StandardErrorOf([&] { result = wide.Write(file.Path()); }),
              LibraryMessageLine(JERR_IMAGE_TOO_BIG, JPEG_MAX_DIMENSION));
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(OpensExclusively(file.Path()));
    // And the next write still works.
    EXPECT_EQ(fine.Write(file.Path()), 1);
    EXPECT_TRUE(DecodeJpeg(ReadBytes(file.Path())).ok);
}

} // namespace
