#include "image/CImageImplGif.h"
#include "image/CImageObject.h"
#include "image/GifBuilder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

const GifRgb kBlack = {0, 0, 0};
const GifRgb kWhite = {255, 255, 255};

// Every entry of the picture's palette; empty without one.
std::vector<GifRgb> PaletteOf(const CImageImpl& image)
{
    std::vector<GifRgb> entries;
    GifRgb entry{};
    while (image.GetPalette() && entries.size() < 256 &&
           image.GetPalette()->GetEntryRGB(static_cast<int>(entries.size()), &entry[0], &entry[1],
                                           &entry[2]))
        entries.push_back(entry);
    return entries;
}

TEST(GifReadTest, OnlyFilesStartingWithGif8AndAWholeHeaderAreRead)
{
    const struct {
        const char* signature;
        int result;
    } cases[] = {{"GIF87a", 1}, {"GIF89a", 1}, {"GIF8zz", 1},
                 {"GIF79a", 0}, {"gif89a", 0}, {"BM\0\0\0\0", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signature);
        GifBuilder gif;
        gif.Header(c.signature).GlobalTable(GifColours(2)).Image(GifPicture::Filled(2, 1, 1), 2);
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), c.result);
        EXPECT_EQ(image.HasPicture(), c.result == 1);
    }

    GifBuilder gif;
    gif.Header().Trailer();
    CImageImplGif image;
    EXPECT_EQ(image.Read(gif.Write(12)), 0);
    EXPECT_EQ(image.Read(gif.Write(13)), 1);
    EXPECT_EQ(image.Read(gif.Write()), 1);
    EXPECT_FALSE(image.HasPicture());
    EXPECT_EQ(image.GetPalette(), nullptr);
    std::remove(gif.Path().c_str());
    EXPECT_EQ(image.Read(""), 0);
}

TEST(GifReadTest, AnEmptyNameReadsTheRememberedFile)
{
    const GifPicture small = GifPicture::Filled(3, 2, 1);
    const GifPicture large = GifPicture::Pattern(5, 4, 4);
    GifBuilder first;
    GifBuilder second;
    first.Header().GlobalTable(GifColours(4)).Image(small, 2).Trailer().Write();
    second.Header().GlobalTable(GifColours(4)).Image(large, 2).Trailer().Write();

    CImageImplGif image(first.Path());
    EXPECT_EQ(image.Read(""), 1);
    EXPECT_TRUE(HoldsPicture(image, small));
    EXPECT_EQ(image.Read(second.Path()), 1);
    EXPECT_TRUE(HoldsPicture(image, large));
    EXPECT_EQ(image.Read(""), 1);
    EXPECT_TRUE(HoldsPicture(image, large));
    EXPECT_EQ(image.GetFileName(), second.Path());
}

// Field N means 2^(N+1) entries; a 2-entry table with code size 2 is the
// 1-bit case.
TEST(GifReadTest, EveryTableSizeGlobalOrLocalBecomesThePalette)
{
    const std::vector<GifRgb> other(256, GifRgb{9, 9, 9});
    for (int field = 0; field < 8; ++field) {
        const int entries = 2 << field;
        const GifPicture picture = GifPicture::Noise(9, 5, entries, 100 + field);
        const int codeSize = std::max(2, field + 1);
        for (bool local : {false, true}) {
            SCOPED_TRACE(testing::Message() << "entries " << entries << (local ? " local" : ""));
            GifBuilder gif;
            gif.Header().GlobalTable(local ? other : GifColours(entries));
            gif.Descriptor(9, 5);
            if (local)
                gif.LocalTable(GifColours(entries));
            gif.Pixels(picture, codeSize).Trailer();
            CImageImplGif image;
            ASSERT_EQ(image.Read(gif.Write()), 1);
            EXPECT_EQ(image.GetDepth(), 8);
            EXPECT_EQ(PaletteOf(image), GifColours(entries));
            EXPECT_TRUE(HoldsPicture(image, picture));
        }
    }
}

TEST(GifReadTest, TransparencyBlacksItsEntryAndMakesSureOfAWhiteOne)
{
    const GifPicture picture = GifPicture::Pattern(6, 4, 16);
    auto read = [&](const std::vector<GifRgb>& global, int transparent,
                    const std::vector<GifRgb>& local) {
        GifBuilder gif;
        gif.Header("GIF89a");
        if (!global.empty())
            gif.GlobalTable(global);
        gif.GraphicControl(transparent).Descriptor(6, 4);
        if (!local.empty())
            gif.LocalTable(local);
        gif.Pixels(picture, 4).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        EXPECT_EQ(image.GetTransparent(), transparent);
        EXPECT_TRUE(HoldsPicture(image, picture));
        return PaletteOf(image);
    };

    std::vector<GifRgb> expected(256, kWhite);
    std::copy_n(GifColours(16).begin(), 16, expected.begin());
    expected[3] = kBlack;
    EXPECT_EQ(read(GifColours(16), 3, {}), expected);
    EXPECT_EQ(read(GifColours(16), -1, {}), GifColours(16));

    // The local table is written over the global one: none of it shows.
    const std::vector<GifRgb> grey(256, GifRgb{9, 9, 9});
    std::vector<GifRgb> local = GifColours(4);
    expected.assign(256, kWhite);
    std::copy_n(local.begin(), 4, expected.begin());
    expected[1] = kBlack;
    EXPECT_EQ(read(grey, 1, local), expected);

    // A full table without white gives up entry 255.
    expected = GifColours(256);
    expected[7] = kBlack;
    expected[255] = kWhite;
    EXPECT_EQ(read(GifColours(256), 7, {}), expected);
    expected = GifColours(256);
    expected[255] = kWhite;
    EXPECT_EQ(read(GifColours(256), 255, {}), expected);
    std::vector<GifRgb> whiteAt7 = GifColours(256);
    whiteAt7[7] = kWhite;
    expected = whiteAt7;
    expected[7] = kBlack;
    expected[255] = kWhite;
    EXPECT_EQ(read(whiteAt7, 7, {}), expected);
    std::vector<GifRgb> whiteAt100 = GifColours(256);
    whiteAt100[100] = kWhite;
    expected = whiteAt100;
    expected[7] = kBlack;
    EXPECT_EQ(read(whiteAt100, 7, {}), expected);

    EXPECT_TRUE(read({}, 3, {}).empty());
}

TEST(GifReadTest, ExtensionsAndTheirSubBlocksAreStepped)
{
    const GifPicture picture = GifPicture::Pattern(11, 7, 4);
    // Bytes that would start blocks if the sub-blocks were not skipped whole.
    const std::string comment = std::string(300, ',') + "!;" + std::string(3, '\0');
    GifBuilder gif;
    gif.Header("GIF89a")
        .GlobalTable(GifColours(4))
        .Comment(comment)
        .Application("NETSCAPE2.0", {1, 0, 0})
        .Raw({0x21, 0xF9, 4, 1, 0, 0, 2, 3, 0x2C, 0x21, 0x3B, 0}) // transparency, then more
        .Raw({0x21, 0x01, 2, 0x2C, 0x2C, 0})                      // plain text
        .Image(picture, 2)
        .Trailer();
    CImageImplGif image;
    ASSERT_EQ(image.Read(gif.Write()), 1);
    EXPECT_EQ(image.GetTransparent(), 2);
    EXPECT_TRUE(HoldsPicture(image, picture));
}

TEST(GifReadTest, OnlyTheFirstImageBecomesThePicture)
{
    const GifPicture first = GifPicture::Pattern(4, 3, 4);
    GifBuilder gif;
    gif.Header().GlobalTable(GifColours(4)).Image(first, 2);
    gif.GraphicControl(1).Descriptor(6, 6).LocalTable(std::vector<GifRgb>(2, kWhite));
    gif.Pixels(GifPicture::Filled(6, 6, 1), 2).Trailer();
    CImageImplGif image;
    ASSERT_EQ(image.Read(gif.Write()), 1);
    EXPECT_TRUE(HoldsPicture(image, first));
    EXPECT_EQ(image.GetTransparent(), -1);
    EXPECT_EQ(PaletteOf(image), GifColours(4));
}

TEST(GifReadTest, InterlacedRowsGoWhereTheirPassPutsThem)
{
    EXPECT_EQ(InterlacedRowOrder(1), std::vector<int>({0}));
    EXPECT_EQ(InterlacedRowOrder(2), std::vector<int>({0, 1}));
    EXPECT_EQ(InterlacedRowOrder(4), std::vector<int>({0, 2, 1, 3}));
    EXPECT_EQ(
        InterlacedRowOrder(37),
        std::vector<int>({0, 8, 16, 24, 32, 4,  12, 20, 28, 36, 2,  6,  10, 14, 18, 22, 26, 30, 34,
                          1, 3, 5,  7,  9,  11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31, 33, 35}));

    for (int height : {1, 2, 3, 4, 5, 8, 37}) {
        SCOPED_TRACE(height);
        // Row i of the file is filled with i + 1.
        GifPicture stored = GifPicture::Filled(3, height, 0);
        for (int i = 0; i < height; ++i)
            std::fill_n(stored.pixels.begin() + 3 * i, 3, i + 1);
        GifPicture expected = stored;
        const std::vector<int> order = InterlacedRowOrder(height);
        for (int i = 0; i < height; ++i)
            std::fill_n(expected.pixels.begin() + 3 * order[i], 3, i + 1);

        GifBuilder gif;
        gif.Header().Descriptor(3, height, true).Pixels(stored, 6).Trailer();
        CImageImplGif image;
        ASSERT_EQ(image.Read(gif.Write()), 1);
        EXPECT_TRUE(HoldsPicture(image, expected));
    }
}

// Worked by hand: seven 1s give the codes clear, 1, 6 (1 1, named as it is
// made), 7 (1 1 1, likewise), 1, end; the fourth code after the clear makes
// entry 8 and so the width 4.
TEST(GifReadTest, EncoderAndDecoderAgreeWithAHandWorkedStream)
{
    const std::vector<std::uint8_t> pixels(7, 1);
    const std::vector<GifCode> codes = LzwEncode(pixels, 2);
    const std::vector<GifCode> expected = {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {1, 4}, {5, 4}};
    ASSERT_EQ(codes.size(), expected.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(codes[i].code, expected[i].code);
        EXPECT_EQ(codes[i].width, expected[i].width);
    }
    // 100 100 011 111 | 1000 1010, each code lowest bit first.
    EXPECT_EQ(PackCodes(codes), std::vector<std::uint8_t>({0x8C, 0x1F, 0x05}));

    GifBuilder gif;
    gif.Header().Descriptor(7, 1).ImageData(2, {0x8C, 0x1F, 0x05}).Trailer();
    CImageImplGif image;
    ASSERT_EQ(image.Read(gif.Write()), 1);
    EXPECT_TRUE(HoldsPicture(image, GifPicture::Filled(7, 1, 1)));
}

TEST(GifReadTest, ClearAndEndCodesSteerTheDecoder)
{
    auto holds = [](const GifPicture& expected, const std::vector<GifCode>& codes) {
        GifBuilder gif;
        gif.Header().Descriptor(expected.width, expected.height).Codes(2, codes).Trailer();
        CImageImplGif image;
        EXPECT_EQ(image.Read(gif.Write()), 1);
        return HoldsPicture(image, expected);
    };
    // Repeated clears count as one.
    EXPECT_TRUE(holds({3, 1, {2, 3, 1}}, {{4, 3}, {4, 3}, {4, 3}, {2, 3}, {3, 3}, {1, 3}, {5, 4}}));
    // Clear then end ends the image: the codes after it are not read.
    EXPECT_TRUE(holds({3, 2, {1, 2, 0, 0, 0, 0}},
                      {{4, 3}, {1, 3}, {2, 3}, {4, 3}, {5, 3}, {3, 3}, {3, 3}, {3, 3}}));
    // A clear forgets the entries: 6 is made again, from 2.
    EXPECT_TRUE(
        holds({5, 1, {1, 1, 2, 2, 2}}, {{4, 3}, {1, 3}, {1, 3}, {4, 3}, {2, 3}, {6, 3}, {5, 3}}));
}

TEST(GifReadTest, ARowLeftOpenIsWrittenOnlyAtTheEndCode)
{
    const std::vector<std::uint8_t> seven = {1, 2, 3, 1, 2, 3, 1};
    const GifPicture withEnd{3, 3, {1, 2, 3, 1, 2, 3, 1, 0, 0}};
    const GifPicture withoutEnd{3, 3, {1, 2, 3, 1, 2, 3, 0, 0, 0}};
    LzwOptions noEnd;
    noEnd.endCode = false;
    for (int ending = 0; ending < 3; ++ending) {
        SCOPED_TRACE(ending);
        GifBuilder gif;
        gif.Header().Descriptor(3, 3);
        if (ending == 0)
            gif.Codes(2, LzwEncode(seven, 2)).Trailer();
        else if (ending == 1)
            gif.Codes(2, LzwEncode(seven, 2, noEnd)).Trailer(); // terminator, no end code
        else
            gif.ImageData(2, PackCodes(LzwEncode(seven, 2, noEnd)), 255, false); // file ends
        CImageImplGif image;
        ASSERT_EQ(image.Read(gif.Write()), 1);
        EXPECT_TRUE(HoldsPicture(image, ending == 0 ? withEnd : withoutEnd));
    }
}

// Codes reach 12 bits and the table fills: then either a clear comes, or the
// table stays as it is while codes go on at 12 bits.
class GifRoundTripTest : public testing::TestWithParam<int> {};

TEST_P(GifRoundTripTest, EncodedPicturesDecodePixelForPixel)
{
    const int codeSize = GetParam();
    const int colours = std::min(1 << codeSize, 256);
    const int sizes[][2] = {{1, 1}, {7, 3}, {13, 17}, {300, 200}};
    for (const auto& size : sizes) {
        const int pixels = size[0] * size[1];
        const GifPicture pictures[] = {GifPicture::Pattern(size[0], size[1], colours),
                                       GifPicture::Noise(size[0], size[1], colours, 7)};
        LzwOptions options[3];
        options[1].clearsBefore = {0, 1, static_cast<std::size_t>(pixels / 3),
                                   static_cast<std::size_t>(pixels / 2)};
        options[2].clearWhenFull = false;
        for (const GifPicture& picture : pictures) {
            for (bool interlaced : {false, true}) {
                for (const LzwOptions& option : options) {
                    SCOPED_TRACE(testing::Message()
                                 << size[0] << "x" << size[1] << (interlaced ? " interlaced" : "")
                                 << " clears " << option.clearsBefore.size() << " clear when full "
                                 << option.clearWhenFull);
                    GifBuilder gif;
                    gif.Header("GIF87a").GlobalTable(GifColours(colours));
                    gif.Image(picture, codeSize, interlaced, option).Trailer();
                    CImageObject image(gif.Write(), CImageObject::kTypeFromExtension);
                    ASSERT_EQ(image.IsValid(), 1);
                    EXPECT_TRUE(HoldsPicture(image, picture));
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Gif, GifRoundTripTest, testing::Range(2, 10));

// The round trip's largest noise does fill the table.
TEST(GifReadTest, TheLongestStreamsReallyFillTheTable)
{
    const GifPicture noise = GifPicture::Noise(300, 200, 256, 7);
    auto clears = [](const std::vector<GifCode>& codes) {
        return std::count_if(codes.begin(), codes.end(),
                             [](const GifCode& c) { return c.code == 256; });
    };
    LzwOptions keepGoing;
    keepGoing.clearWhenFull = false;
    const std::vector<GifCode> codes = LzwEncode(noise.pixels, 8, keepGoing);
    EXPECT_EQ(clears(codes), 1);
    EXPECT_GT(codes.size(), 4096u);
    EXPECT_EQ(codes.back().width, 12);
    EXPECT_GT(clears(LzwEncode(noise.pixels, 8)), 2);
}

TEST(GifReadTest, AStreamWithoutALeadingClearDecodesTheSame)
{
    LzwOptions noClear;
    noClear.leadingClear = false;
    for (int codeSize : {2, 5, 8}) {
        const GifPicture picture = GifPicture::Noise(40, 30, 1 << codeSize, 3);
        GifBuilder gif;
        gif.Header().Image(picture, codeSize, false, noClear).Trailer();
        CImageImplGif image;
        ASSERT_EQ(image.Read(gif.Write()), 1);
        EXPECT_TRUE(HoldsPicture(image, picture)) << "code size " << codeSize;
    }
}

bool OpensExclusively(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

TEST(GifReadTest, TheFileIsClosedAfterEveryRead)
{
    GifBuilder gif;
    gif.Header().GlobalTable(GifColours(4)).Image(GifPicture::Pattern(20, 10, 4), 2).Trailer();
    // Shows that the check can fail here: an open stream blocks it.
    std::FILE* held = std::fopen(gif.Write().c_str(), "rb");
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(OpensExclusively(gif.Path()));
    std::fclose(held);

    for (std::size_t size :
         {std::size_t{5}, std::size_t{20}, std::size_t{40}, gif.Bytes().size()}) {
        CImageImplGif image;
        image.Read(gif.Write(size));
        EXPECT_TRUE(OpensExclusively(gif.Path())) << size << " bytes";
    }
    GifBuilder badControl;
    badControl.Header("GIF89a").GraphicControl(1, 3).Image(GifPicture::Filled(2, 2, 1), 2);
    GifBuilder notGif;
    notGif.Header("GIF79a").Trailer();
    for (GifBuilder* other : {&badControl, &notGif}) {
        CImageImplGif image;
        image.Read(other->Write());
        EXPECT_TRUE(OpensExclusively(other->Path()));
    }
}

TEST(GifReadTest, TwoThreadsReadTwoFilesAtOnce)
{
    const GifPicture pictures[2] = {GifPicture::Noise(300, 200, 256, 1),
                                    GifPicture::Pattern(250, 150, 200)};
    GifBuilder files[2];
    for (int i = 0; i < 2; ++i) {
        files[i].Header().GlobalTable(GifColours(256));
        files[i].Image(pictures[i], 8, i == 1).Trailer().Write();
    }

    bool same[2] = {true, true};
    auto reader = [&](int i) {
        for (int round = 0; round < 5; ++round) {
            CImageObject image(files[i].Path(), CImageObject::kTypeFromExtension);
            same[i] = same[i] && HoldsPicture(image, pictures[i]);
        }
    };
    std::thread first(reader, 0);
    std::thread second(reader, 1);
    first.join();
    second.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

} // namespace
