// Damaged, hostile and odd bitmap files: each gives 0, or a picture that can
// be read and drawn everywhere.
#include "BmpBuilder.h"

#include "image/CImageImplBmp.h"
#include "image/Dib.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

// A sound 4x2 8-bit file with a 4-entry table.
void MakeSmall(BmpBuilder& file)
{
    file.width = 4;
    file.height = 2;
    file.clrUsed = 4;
    file.table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    file.rows = {0, 1, 2, 3, 3, 2, 1, 0};
}

struct Change {
    const char* what;
    std::function<void(BmpBuilder&)> apply;
};

TEST(BmpBadInputTest, FilesTooShortForTheirHeadersFail)
{
    CImageImplBmp image;
    EXPECT_EQ(image.Read(TemporaryDirectory() + "vornelle_no_such_file.bmp"), 0);
    for (bool fileHeader : {true, false}) {
        for (std::size_t keep : {0, 1, 2, 13, fileHeader ? 14 + 39 : 39}) {
            BmpBuilder file;
            MakeSmall(file);
            file.fileHeader = fileHeader;
            file.keep = keep;
            EXPECT_EQ(image.Read(file.Save()), 0) << keep << " " << fileHeader;
        }
        // A whole 1x1 file with a core header is shorter than an info header.
        BmpBuilder core(1, 1, 1);
        core.fileHeader = fileHeader;
        core.headerSize = 12;
        core.table = {0x000000, 0xFFFFFF};
        core.rows = {0x80, 0, 0, 0};
        EXPECT_EQ(image.Read(core.Save()), 0) << fileHeader;
    }
    EXPECT_FALSE(image.HasPicture());
}

TEST(BmpBadInputTest, ImpossibleFieldsFailAndLeaveNoPicture)
{
    std::vector<Change> changes = {
        {"zero height", [](BmpBuilder& f) { f.height = 0; }},
        {"zero width", [](BmpBuilder& f) { f.width = 0; }},
        {"negative width", [](BmpBuilder& f) { f.width = -4; }},
        {"RLE8 at depth 4", [](BmpBuilder& f) { f.compression = BI_RLE8, f.depth = 4; }},
        {"RLE4 at depth 8", [](BmpBuilder& f) { f.compression = BI_RLE4; }},
        {"RLE8 at depth 24", [](BmpBuilder& f) { f.compression = BI_RLE8, f.depth = 24; }},
        {"bitfields at depth 8", [](BmpBuilder& f) { f.compression = BI_BITFIELDS; }},
        {"bitfields at depth 24",
         [](BmpBuilder& f) { f.compression = BI_BITFIELDS, f.depth = 24; }},
        {"JPEG", [](BmpBuilder& f) { f.compression = BI_JPEG; }},
        {"PNG", [](BmpBuilder& f) { f.compression = BI_PNG; }},
        {"compression 6", [](BmpBuilder& f) { f.compression = 6; }},
        {"compression ~0", [](BmpBuilder& f) { f.compression = 0xFFFFFFFF; }},
        {"top-down RLE8", [](BmpBuilder& f) { f.compression = BI_RLE8, f.height = -2; }},
        {"257 colours", [](BmpBuilder& f) { f.clrUsed = 257; }},
        {"OS/2 Huffman coding",
         [](BmpBuilder& f) { f.headerSize = 64, f.depth = 1, f.compression = 3; }},
        // Where compression 3 of a Windows header would be bit fields.
        {"OS/2 Huffman coding at 16 bits",
         [](BmpBuilder& f) { f.headerSize = 64, f.depth = 16, f.compression = 3; }},
        {"~0 colours", [](BmpBuilder& f) { f.clrUsed = 0xFFFFFFFF; }},
        {"row length past 32 bits",
         [](BmpBuilder& f) { f.width = 0x40000000, f.depth = 32, f.height = 1; }},
        {"widest row", [](BmpBuilder& f) { f.width = 0x7FFFFFFF, f.depth = 24, f.height = 1; }},
        {"tallest picture", [](BmpBuilder& f) { f.width = 1, f.height = INT32_MIN; }},
    };
    for (std::uint16_t depth : {0, 2, 3, 5, 7, 12, 15, 33, 64, 0xFFFF})
        changes.push_back({"depth", [depth](BmpBuilder& f) { f.depth = depth; }});
    for (std::uint32_t size : {0u, 11u, 13u, 15u, 18u, 39u, 1025u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        changes.push_back({"header size", [size](BmpBuilder& f) { f.headerSize = size; }});

    BmpBuilder good;
    MakeSmall(good);
    const std::string goodPath = good.Save();
    for (const Change& change : changes) {
        BmpBuilder file;
        MakeSmall(file);
        change.apply(file);
        SCOPED_TRACE(std::string(change.what) + ", depth " + std::to_string(file.depth) +
                     ", header " + std::to_string(file.headerSize));
        CImageImplBmp image;
        ASSERT_EQ(image.Read(goodPath), 1);
        EXPECT_EQ(image.Read(file.Save()), 0);
        EXPECT_FALSE(image.HasPicture());
        EXPECT_EQ(image.GetPalette(), nullptr);
    }
}

TEST(BmpBadInputTest, OddButSoundFilesLoad)
{
    const std::vector<Change> changes = {
        {"OS/2 2.x header", [](BmpBuilder& f) { f.headerSize = 64; }},
        {"largest header", [](BmpBuilder& f) { f.headerSize = 1024; }},
        {"1-bit with 256 colours", [](BmpBuilder& f) { f.depth = 1, f.clrUsed = 256; }},
        {"4-bit with 2 colours", [](BmpBuilder& f) { f.depth = 4, f.clrUsed = 2; }},
        {"8-bit with 1 colour", [](BmpBuilder& f) { f.clrUsed = 1; }},
        {"24-bit with 256 colours", [](BmpBuilder& f) { f.depth = 24, f.clrUsed = 256; }},
        {"32-bit with ~0 colours", [](BmpBuilder& f) { f.depth = 32, f.clrUsed = ~0u; }},
        {"16-bit", [](BmpBuilder& f) { f.depth = 16, f.clrUsed = 0, f.table.clear(); }},
        {"32-bit top-down", [](BmpBuilder& f) { f.depth = 32, f.height = -2; }},
        {"1-bit top-down", [](BmpBuilder& f) { f.depth = 1, f.height = -1; }},
        {"offset 0", [](BmpBuilder& f) { f.offBits = 0; }},
        {"offset inside header", [](BmpBuilder& f) { f.offBits = 20; }},
        {"offset past the end", [](BmpBuilder& f) { f.offBits = 100000; }},
        {"offset ~0", [](BmpBuilder& f) { f.offBits = 0xFFFFFFFF; }},
        {"image size ~0", [](BmpBuilder& f) { f.sizeImage = 0xFFFFFFFF; }},
        {"RLE8 size ~0", [](BmpBuilder& f) { f.compression = BI_RLE8, f.sizeImage = ~0u; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        BmpBuilder file;
        MakeSmall(file);
        change.apply(file);
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1);
        ExpectReadableAndDrawable(image);
    }
}

TEST(BmpBadInputTest, MissingRowsAreZeroed)
{
    BmpBuilder small;
    MakeSmall(small);
    small.height = 4;
    small.rows.assign(16, 0x77);
    small.keep = 14 + 40 + 16 + 6;
    CImageImplBmp image;
    ASSERT_EQ(image.Read(small.Save()), 1);
    const std::vector<std::uint8_t> expected = {0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0, 0,
                                                0,    0,    0,    0,    0,    0,    0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(image.GetBits(), image.GetBits() + 16), expected);
    ExpectReadableAndDrawable(image);

    // Half the rows is more than a quarter: the picture loads.
    BmpBuilder big(1000, 1000);
    big.rows.assign(500000, 0x77);
    ASSERT_EQ(image.Read(big.Save()), 1);
    EXPECT_EQ(image.GetPixelIndex(999, 499), 0x77);
    EXPECT_EQ(image.GetPixelIndex(0, 500), 0);
    EXPECT_EQ(image.GetPixelIndex(999, 999), 0);
}

TEST(BmpBadInputTest, FilesFarShorterThanTheirRowsFail)
{
    CImageImplBmp image;
    BmpBuilder thin(1000, 1000, 24);
    thin.rows.assign(1000, 1);
    EXPECT_EQ(image.Read(thin.Save()), 0);

    BmpBuilder vast(20000, 10000); // 200 million pixels from 10 bytes
    vast.rows.assign(10, 1);
    EXPECT_EQ(image.Read(vast.Save()), 0);

    BmpBuilder packed(5000, 5000);
    packed.compression = BI_RLE8;
    for (int i = 0; i < 50; ++i)
        packed.rows.insert(packed.rows.end(), {255, 5});
    EXPECT_EQ(image.Read(packed.Save()), 0);

    // One colour in the longest runs packs tightly, and that is fine.
    BmpBuilder solid(2000, 100);
    solid.compression = BI_RLE8;
    for (int y = 0; y < 100; ++y) {
        for (int run = 0; run < 7; ++run)
            solid.rows.insert(solid.rows.end(), {255, 5});
        solid.rows.insert(solid.rows.end(), {2000 - 7 * 255, 5, 0, 0});
    }
    ASSERT_EQ(image.Read(solid.Save()), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 5);
    EXPECT_EQ(image.GetPixelIndex(1999, 99), 5);
}

TEST(BmpBadInputTest, NoMoreThan2To28Pixels)
{
    // Enough rows that only the pixel count can refuse the taller one.
    for (std::int32_t height : {8192, 8193}) {
        BmpBuilder file(32768, height, 1);
        file.rows.assign(8500000, 0xFF);
        CImageImplBmp image;
        EXPECT_EQ(image.Read(file.Save()), height == 8192 ? 1 : 0) << height;
    }
}

TEST(BmpBadInputTest, FilesCutAtEveryLengthFailOrLoadSoundly)
{
    const std::function<void(BmpBuilder&)> makers[] = {
        [](BmpBuilder& f) {
            f.depth = 4, f.width = 5, f.height = 3;
            f.table.assign(16, 0x406080);
            f.rows.assign(12, 0x31);
        },
        [](BmpBuilder& f) {
            MakeSmall(f);
            f.compression = BI_RLE8;
            f.rows = {2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 4, 3, 0, 1};
        },
    };
    for (const auto& make : makers) {
        BmpBuilder whole;
        make(whole);
        const std::size_t size = whole.Bytes().size();
        for (std::size_t keep = 0; keep <= size; ++keep) {
            BmpBuilder file;
            make(file);
            file.keep = keep;
            CImageImplBmp image;
            ASSERT_EQ(image.Read(file.Save()), keep < 54 ? 0 : 1) << keep;
            if (image.HasPicture())
                ExpectReadableAndDrawable(image);
        }
    }
}

TEST(BmpBadInputTest, AnyAlteredHeaderByteFailsOrLoadsSoundly)
{
    for (std::size_t at = 0; at < 14 + 40 + 16; ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            BmpBuilder file;
            MakeSmall(file);
            file.patch[at] = value;
            CImageImplBmp image;
            if (image.Read(file.Save()) == 1) {
                SCOPED_TRACE("byte " + std::to_string(at) + " = " + std::to_string(value));
                ExpectReadableAndDrawable(image);
            } else {
                EXPECT_FALSE(image.HasPicture());
            }
        }
    }
}

} // namespace
