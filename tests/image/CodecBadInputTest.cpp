// Damaged, foreign and hostile files given to the JPEG and PNG readers: each
// read gives 0, or 1 with a usable picture, and leaves the file closed.
#include "CodecFiles.h"

#include "image/CImageImplJpeg.h"
#include "image/CImageImplPng.h"

#include "framework/MessageBoxService.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

class CountingMessageBoxes : public MessageBoxService {
public:
    int Show(HWND, const std::string&, const std::string&, UINT) override
    {
        ++shown;
        return IDOK;
    }
    int shown = 0;
};

// A fresh reader for each file.
struct Codec {
    const char* extension;
    std::unique_ptr<CImageImplFile> (*make)();
};
const Codec kJpeg = {".jpg", [] { return std::unique_ptr<CImageImplFile>(new CImageImplJpeg); }};
const Codec kPng = {".png", [] { return std::unique_ptr<CImageImplFile>(new CImageImplPng); }};

class CodecBadInput : public testing::Test {
protected:
    CountingMessageBoxes boxes;
    ScopedMessageBoxService guard{boxes};
    void TearDown() override { EXPECT_EQ(boxes.shown, 0); }
};

void ExpectRefused(const Codec& codec, const Bytes& bytes, const std::string& what)
{
    TempFile file(codec.extension);
    auto reader = codec.make();
    EXPECT_EQ(reader->Read(file.Save(bytes)), 0) << what;
    EXPECT_TRUE(OpensExclusively(file.Path())) << what;
}

// 0, or 1 with every pixel readable; the result.
int ExpectSafe(const Codec& codec, const Bytes& bytes, const std::string& what)
{
    TempFile file(codec.extension);
    auto reader = codec.make();
    const int result = reader->Read(file.Save(bytes));
    EXPECT_TRUE(result == 0 || result == 1) << what;
    EXPECT_TRUE(OpensExclusively(file.Path())) << what;
    if (result == 1) {
        EXPECT_TRUE(reader->HasPicture()) << what;
        EXPECT_GT(reader->GetWidth(), 0) << what;
        EXPECT_GT(reader->GetHeight(), 0) << what;
        std::uint8_t r, g, b;
        for (int y = 0; y < reader->GetHeight(); ++y) {
            for (int x = 0; x < reader->GetWidth(); ++x)
                reader->GetPixelRGB(x, y, &r, &g, &b);
        }
    }
    return result;
}

JpegSpec SmallJpeg(int components = 3)
{
    JpegSpec spec;
    spec.width = 48;
    spec.height = 32;
    spec.components = components;
    for (int i = 0; i < 48 * 32 * components; ++i)
        spec.pixels.push_back(static_cast<std::uint8_t>(i * 7 % 251));
    return spec;
}

PngSpec SmallPng(int colorType, int bitDepth, bool interlaced = false)
{
    PngSpec spec;
    spec.width = 21;
    spec.height = 9;
    spec.colorType = colorType;
    spec.bitDepth = bitDepth;
    spec.interlaced = interlaced;
    spec.rows = NoiseRows(21, 9, bitDepth, colorType, 5);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 3 << bitDepth; ++i)
            spec.palette.push_back(static_cast<std::uint8_t>(i));
    }
    return spec;
}

// A SOF0 or SOF2 with other dimensions, or another precision.
Bytes PatchedJpeg(const Bytes& good, int width, int height, int precision = 8)
{
    Bytes bytes = good;
    std::size_t sof = FindJpegMarker(bytes, 0xC0);
    if (sof == std::string::npos)
        sof = FindJpegMarker(bytes, 0xC2);
    if (sof == std::string::npos) {
        ADD_FAILURE() << "no SOF0 or SOF2";
        return bytes;
    }
    bytes[sof + 2] = static_cast<std::uint8_t>(precision);
    bytes[sof + 3] = static_cast<std::uint8_t>(height >> 8);
    bytes[sof + 4] = static_cast<std::uint8_t>(height);
    bytes[sof + 5] = static_cast<std::uint8_t>(width >> 8);
    bytes[sof + 6] = static_cast<std::uint8_t>(width);
    return bytes;
}

// An IHDR with other fields, its CRC made right again.
Bytes PatchedPng(const Bytes& good, std::size_t field, std::uint32_t value, int size)
{
    Bytes bytes = good;
    const std::size_t ihdr = FindPngChunk(bytes, "IHDR");
    if (ihdr == std::string::npos) {
        ADD_FAILURE() << "no IHDR";
        return bytes;
    }
    if (size == 4)
        PutU32(bytes, ihdr + 8 + field, value);
    else
        bytes[ihdr + 8 + field] = static_cast<std::uint8_t>(value);
    FixPngCrc(bytes, ihdr);
    return bytes;
}

TEST_F(CodecBadInput, MissingFilesAndForeignFormatsAreRefused)
{
    const Bytes jpeg = MakeJpeg(SmallJpeg());
    const Bytes png = MakePng(SmallPng(PNG_COLOR_TYPE_RGB, 8));
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0,    0, 0, 0x2C, 0,
                       0,   0,   0,   1,   0,   1,   0, 0, 2, 2, 0x44, 1, 0, 0x3B};
    Bytes bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                 0,   0,   0,  1, 0, 0, 0, 1, 0, 0, 0,  1, 0, 24, 0};
    bmp.resize(58, 0);
    const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
    for (const Codec* codec : {&kJpeg, &kPng}) {
        SCOPED_TRACE(codec->extension);
        auto reader = codec->make();
        TempFile missing(codec->extension);
        EXPECT_EQ(reader->Read(missing.Path()), 0);
        ExpectRefused(*codec, gif, "GIF");
        ExpectRefused(*codec, bmp, "BMP");
        ExpectRefused(*codec, text, "text");
        ExpectRefused(*codec, Bytes(), "empty");
        ExpectRefused(*codec, Bytes(1, 0xFF), "one byte");
        ExpectRefused(*codec, codec == &kJpeg ? png : jpeg, "the other codec's file");
        // A failed read does not spoil the next one.
        TempFile good(codec->extension);
        EXPECT_EQ(reader->Read(good.Save(codec == &kJpeg ? jpeg : png)), 1);
        EXPECT_EQ(reader->GetWidth(), codec == &kJpeg ? 48 : 21);
    }
}

TEST_F(CodecBadInput, OverLargeOrUnsupportedJpegsAreRefusedQuickly)
{
    for (int components : {1, 3}) {
        SCOPED_TRACE(components == 1 ? "grey" : "colour");
        const Bytes good = MakeJpeg(SmallJpeg(components));
        const ULONGLONG start = ::GetTickCount64();
        ExpectRefused(kJpeg, PatchedJpeg(good, 65500, 65500), "65500 x 65500");
        ExpectRefused(kJpeg, PatchedJpeg(good, 16385, 16384), "one row over 2^28 pixels");
        EXPECT_LT(::GetTickCount64() - start, 3000u) << "refused before decoding";
        ExpectRefused(kJpeg, PatchedJpeg(good, 0, 32), "no width");
        ExpectRefused(kJpeg, PatchedJpeg(good, 48, 32, 12), "12-bit samples");
    }
    // The palette comes from a colour map of grey, RGB or CMYK rows; two
    // components have no such map.
    const Bytes two = MakeJpeg(SmallJpeg(2));
    ASSERT_FALSE(two.empty());
    ExpectRefused(kJpeg, two, "two components");
}

// The progressive file with its last scan repeated: every copy is one more
// scan for the reader.
Bytes WithRepeatedLastScan(const Bytes& progressive, int copies)
{
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i + 1 < progressive.size(); ++i) {
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA)
            last = i;
    }
    const std::size_t end = progressive.size() - 2; // the EOI marker
    if (last == std::string::npos || progressive[end] != 0xFF || progressive[end + 1] != 0xD9) {
        ADD_FAILURE() << "no scan before EOI";
        return progressive;
    }
    const Bytes scan(progressive.begin() + static_cast<std::ptrdiff_t>(last),
                     progressive.begin() + static_cast<std::ptrdiff_t>(end));
    Bytes bytes(progressive.begin(), progressive.begin() + static_cast<std::ptrdiff_t>(end));
    for (int i = 0; i < copies; ++i)
        bytes.insert(bytes.end(), scan.begin(), scan.end());
    bytes.push_back(0xFF);
    bytes.push_back(0xD9);
    return bytes;
}

// No real file packs more than about 1000 pixels into a byte, JPEG or deflate.
TEST_F(CodecBadInput, PicturesTheirFilesCouldNotHoldAreRefusedQuickly)
{
    const Bytes jpeg = MakeJpeg(SmallJpeg());
    ASSERT_LT(jpeg.size(), 16384u);
    Bytes png = MakePng(SmallPng(PNG_COLOR_TYPE_GRAY, 8));
    const ULONGLONG start = ::GetTickCount64();
    ExpectRefused(kJpeg, PatchedJpeg(jpeg, 16384, 16384), "exactly 2^28 pixels");
    ExpectRefused(kJpeg, PatchedJpeg(jpeg, 8192, 4096), "2^25 pixels");
    ExpectRefused(kPng, PatchedPng(PatchedPng(png, 0, 60000, 4), 4, 4000, 4), "60000 x 4000");
    EXPECT_LT(::GetTickCount64() - start, 3000u) << "refused before allocating";

    // A few megapixels are always allowed: a short file's missing rest is grey.
    EXPECT_EQ(ExpectSafe(kJpeg, PatchedJpeg(jpeg, 2048, 2048), "2048 x 2048"), 1);
    // All zeros deflate about as tightly as deflate can.
    PngSpec flat;
    flat.width = 3000;
    flat.height = 2000;
    flat.rows.assign(2000, Bytes(3000, 0));
    png = MakePng(flat);
    ASSERT_LT(png.size(), 3000u * 2000 / 900) << "the test needs a tightly packed file";
    EXPECT_EQ(ExpectSafe(kPng, png, "3000 x 2000 zeros"), 1);
}

TEST_F(CodecBadInput, ProgressiveJpegsWithHundredsOfScansAreRefused)
{
    JpegSpec spec = SmallJpeg();
    spec.progressive = true;
    const Bytes progressive = MakeJpeg(spec);
    EXPECT_EQ(ExpectSafe(kJpeg, WithRepeatedLastScan(progressive, 20), "20 more scans"), 1);
    const ULONGLONG start = ::GetTickCount64();
    ExpectRefused(kJpeg, WithRepeatedLastScan(progressive, 300), "300 more scans");
    ExpectRefused(kJpeg, WithRepeatedLastScan(PatchedJpeg(progressive, 2048, 2048), 300),
                  "300 more scans over 2048 x 2048");
    EXPECT_LT(::GetTickCount64() - start, 5000u);
}

TEST_F(CodecBadInput, CutAndDamagedJpegsNeverCrash)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        JpegSpec spec = SmallJpeg();
        spec.progressive = progressive;
        const Bytes good = MakeJpeg(spec);
        ASSERT_FALSE(good.empty());
        // Cut anywhere: libjpeg may pad a cut scan and give a picture.
        for (std::size_t cut = 0; cut < good.size(); cut += 64) {
            const Bytes bytes(good.begin(), good.begin() + cut);
            if (ExpectSafe(kJpeg, bytes, "cut at " + std::to_string(cut)) == 1) {
                auto reader = kJpeg.make();
                TempFile file(".jpg");
                reader->Read(file.Save(bytes));
                EXPECT_EQ(reader->GetWidth(), 48);
                EXPECT_EQ(reader->GetHeight(), 32);
            }
        }
        // Every byte of the frame and scan headers, a sample of the rest.
        const std::size_t frame = FindJpegMarker(good, progressive ? 0xC2 : 0xC0);
        const std::size_t scan = FindJpegMarker(good, 0xDA);
        ASSERT_NE(frame, std::string::npos);
        ASSERT_NE(scan, std::string::npos);
        for (std::size_t at = 2; at < good.size(); ++at) {
            const bool dense = at < 24 || (at + 2 >= frame && at < frame + 17) ||
                               (at + 2 >= scan && at < scan + 14);
            if (!dense && at % 13 != 0)
                continue;
            const std::uint8_t mask = at % 2 ? 0xFF : 0x10;
            Bytes bytes = good;
            bytes[at] ^= mask;
            ExpectSafe(kJpeg, bytes, "byte " + std::to_string(at) + " ^ " + std::to_string(mask));
        }
    }
}

TEST_F(CodecBadInput, PngsWithBrokenStructureAreRefused)
{
    const Bytes good = MakePng(SmallPng(PNG_COLOR_TYPE_PALETTE, 4));
    ASSERT_FALSE(good.empty());
    const std::size_t ihdr = FindPngChunk(good, "IHDR");
    // Fields of IHDR's data: width 0, height 4, depth 8, colour type 9,
    // compression 10, filter 11, interlace 12.
    ExpectRefused(kPng, PatchedPng(good, 0, 0, 4), "no width");
    ExpectRefused(kPng, PatchedPng(good, 4, 0, 4), "no height");
    ExpectRefused(kPng, PatchedPng(good, 0, 0x80000000u, 4), "width over 2^31");
    ExpectRefused(kPng, PatchedPng(good, 8, 3, 1), "depth 3");
    ExpectRefused(kPng, PatchedPng(good, 9, 5, 1), "colour type 5");
    ExpectRefused(kPng, PatchedPng(PatchedPng(good, 9, 2, 1), 8, 4, 1), "4-bit RGB");
    ExpectRefused(kPng, PatchedPng(good, 10, 1, 1), "compression 1");
    ExpectRefused(kPng, PatchedPng(good, 11, 1, 1), "filter 1");
    ExpectRefused(kPng, PatchedPng(good, 12, 2, 1), "interlace 2");

    Bytes badCrc = good;
    badCrc[ihdr + 8] ^= 1;
    ExpectRefused(kPng, badCrc, "IHDR CRC");
    Bytes badSignature = good;
    badSignature[1] = 'p';
    ExpectRefused(kPng, badSignature, "signature");

    // More rows claimed than the data holds.
    ExpectRefused(kPng, PatchedPng(good, 4, 18, 4), "not enough image data");

    // Deflate data that starts with a block of the reserved type.
    Bytes inflateError = good;
    const std::size_t idat = FindPngChunk(inflateError, "IDAT");
    ASSERT_NE(idat, std::string::npos);
    const std::size_t idatLength = static_cast<std::size_t>(inflateError[idat + 1]) << 16 |
                                   inflateError[idat + 2] << 8 | inflateError[idat + 3];
    for (std::size_t i = idat + 10; i < idat + 8 + idatLength; ++i)
        inflateError[i] = 0xFF;
    FixPngCrc(inflateError, idat);
    ExpectRefused(kPng, inflateError, "inflate error");

    // A palette file without its palette.
    Bytes noPalette = good;
    const std::size_t plte = FindPngChunk(noPalette, "PLTE");
    ASSERT_NE(plte, std::string::npos);
    noPalette.erase(noPalette.begin() + static_cast<std::ptrdiff_t>(plte),
                    noPalette.begin() + static_cast<std::ptrdiff_t>(plte + 12 + 3 * 16));
    ExpectRefused(kPng, noPalette, "no PLTE");
}

TEST_F(CodecBadInput, OverLargePngsAreRefusedQuickly)
{
    for (int colorType : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB_ALPHA}) {
        SCOPED_TRACE("colour type " + std::to_string(colorType));
        const Bytes good = MakePng(SmallPng(colorType, 8));
        const ULONGLONG start = ::GetTickCount64();
        ExpectRefused(kPng, PatchedPng(PatchedPng(good, 0, 20000, 4), 4, 20000, 4),
                      "20000 x 20000");
        ExpectRefused(kPng, PatchedPng(PatchedPng(good, 0, 16385, 4), 4, 16384, 4),
                      "one row over 2^28 pixels");
        EXPECT_LT(::GetTickCount64() - start, 3000u) << "refused before allocating";
    }
}

TEST_F(CodecBadInput, CutPngsAreRefused)
{
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        const Bytes good = MakePng(SmallPng(PNG_COLOR_TYPE_RGB, 16, interlaced));
        ASSERT_FALSE(good.empty());
        // Up to the last byte of IEND's CRC, every prefix lacks something.
        for (std::size_t cut = 0; cut < good.size(); cut += cut < 41 ? 1 : 23)
            ExpectRefused(kPng, Bytes(good.begin(), good.begin() + cut),
                          "cut at " + std::to_string(cut));
    }
}

TEST_F(CodecBadInput, DamagedPngBytesNeverCrash)
{
    // CRCs are made right again, so that libpng looks at the damaged fields.
    const PngSpec kinds[] = {SmallPng(PNG_COLOR_TYPE_PALETTE, 2, true),
                             SmallPng(PNG_COLOR_TYPE_GRAY_ALPHA, 16),
                             SmallPng(PNG_COLOR_TYPE_RGB_ALPHA, 8, true)};
    for (const PngSpec& spec : kinds) {
        SCOPED_TRACE(std::to_string(spec.colorType) + "/" + std::to_string(spec.bitDepth));
        const Bytes good = MakePng(spec);
        ASSERT_FALSE(good.empty());
        for (std::size_t at = 8; at < good.size(); at += at < 41 ? 1 : 7) {
            const std::uint8_t mask = at % 2 ? 0xFF : 0x04;
            Bytes bytes = good;
            bytes[at] ^= mask;
            FixAllPngCrcs(bytes);
            ExpectSafe(kPng, bytes, "byte " + std::to_string(at) + " ^ " + std::to_string(mask));
        }
    }
    // Indices past the end of the palette: a PLTE cut to two entries.
    Bytes shortPalette = MakePng(SmallPng(PNG_COLOR_TYPE_PALETTE, 8));
    const std::size_t plte = FindPngChunk(shortPalette, "PLTE");
    ASSERT_NE(plte, std::string::npos);
    shortPalette.erase(shortPalette.begin() + static_cast<std::ptrdiff_t>(plte + 8 + 6),
                       shortPalette.begin() + static_cast<std::ptrdiff_t>(plte + 8 + 768));
    PutU32(shortPalette, plte, 6);
    FixPngCrc(shortPalette, plte);
    EXPECT_EQ(ExpectSafe(kPng, shortPalette, "indices past the palette"), 1);
}

} // namespace
