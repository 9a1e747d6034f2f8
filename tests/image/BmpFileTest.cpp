// Reading and writing bitmap files through CImageImplBmp, and the file helpers.
#include "BmpBuilder.h"

#include "image/CImageImplBmp.h"
#include "image/CWin32File.h"
#include "image/Dib.h"
#include "image/DibFile.h"
#include "support/TestPaths.h"

#include "framework/CDC.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string TempName(const std::string& stem)
{
    return TemporaryDirectory() + "vornelle_" + stem + "_" +
           std::to_string(::GetCurrentProcessId()) + ".bmp";
}

std::vector<std::uint8_t> FileBytes(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD got = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    ::CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool OpensExclusively(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

// What GDI makes of the block: the picture drawn 1:1 onto a 32-bit surface,
// the pixel (x, y) counted from the top, as 0xRRGGBB.
std::uint32_t DrawnRgb(CImageImpl& image, int x, int yFromTop)
{
    const std::size_t bottomUp = static_cast<std::size_t>(image.GetHeight() - 1 - yFromTop);
    return DrawnPixels(image).at(bottomUp * image.GetWidth() + x) & 0xFFFFFF;
}

int PaletteSize(const CImageImpl& image)
{
    WORD entries = 0;
    if (image.GetPalette() == nullptr ||
        ::GetObjectA(image.GetPalette()->GetSafeHandle(), sizeof entries, &entries) == 0)
        return -1;
    return entries;
}

// The table in the form drawing needs: 16-bit palette indices 0..count-1.
void ExpectIndexTable(const CImageImpl& image, std::uint32_t count)
{
    const std::size_t table = image.GetDib().U32(dib::kSize);
    for (std::uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(image.GetDib().U16(table + 2 * i), i) << "entry " << i;
}

std::ptrdiff_t RowsOffset(const CImageImpl& image)
{
    return image.GetBits() - image.GetDib().data();
}

TEST(BmpFileTest, EightBitPixelsTakeTheTableColoursBottomRowFirst)
{
    for (bool fileHeader : {true, false}) {
        SCOPED_TRACE(fileHeader ? "file header" : "bare info header");
        BmpBuilder file(3, 2);
        file.fileHeader = fileHeader;
        file.clrUsed = 3;
        file.table = {0xFF0000, 0x00FF00, 0x123456};
        file.rows = BmpBuilder::Padded({{0, 1, 2}, {2, 2, 0}});
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1);
        EXPECT_EQ(image.GetWidth(), 3);
        EXPECT_EQ(image.GetHeight(), 2);
        EXPECT_EQ(image.GetDepth(), 8);
        EXPECT_EQ(image.GetColorType(), 3);
        EXPECT_EQ(PaletteSize(image), 3);
        EXPECT_EQ(PixelRgb(image, 0, 0), 0xFF0000u);
        EXPECT_EQ(PixelRgb(image, 1, 0), 0x00FF00u);
        EXPECT_EQ(PixelRgb(image, 2, 0), 0x123456u);
        EXPECT_EQ(PixelRgb(image, 0, 1), 0x123456u);
        EXPECT_EQ(PixelRgb(image, 2, 1), 0xFF0000u);
        EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 3u);
        ExpectIndexTable(image, 3);
        EXPECT_EQ(RowsOffset(image), 40 + 3 * 4);
        ExpectReadableAndDrawable(image);
    }
}

TEST(BmpFileTest, ImageSizeIsAlwaysTheRowData)
{
    for (std::uint32_t announced : {0u, 1u, 999u}) {
        BmpBuilder file(10, 3);
        file.sizeImage = announced;
        file.rows.assign(36, 9);
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1);
        EXPECT_EQ(image.GetDib().U32(dib::kSizeImage), 36u) << announced;
        EXPECT_EQ(image.GetDib().size(), 40u + 1024u + 36u);
    }
}

TEST(BmpFileTest, LowDepthPixelsReadAsTheWholeByteWithTheFullTable)
{
    BmpBuilder four(3, 1, 4);
    for (std::uint32_t i = 0; i < 16; ++i)
        four.table.push_back(i * 0x111111);
    four.rows = BmpBuilder::Padded({{0x12, 0x30}});
    CImageImplBmp image;
    ASSERT_EQ(image.Read(four.Save()), 1);
    EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 16u);
    EXPECT_EQ(PaletteSize(image), 16);
    EXPECT_EQ(image.GetColorType(), 3);
    ExpectIndexTable(image, 16);
    std::uint8_t red, green, blue;
    ASSERT_EQ(image.GetPalette()->GetEntryRGB(14, &red, &green, &blue), 1);
    EXPECT_EQ(red, 0xEE);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0x12);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0x12);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 0x30);

    BmpBuilder one(10, 1, 1);
    one.table = {0x000000, 0xFFFFFF};
    one.rows = BmpBuilder::Padded({{0xA5, 0xC0}});
    ASSERT_EQ(image.Read(one.Save()), 1);
    EXPECT_EQ(PaletteSize(image), 2);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(image.GetPixelIndex(x, 0), 0xA5) << x;
    EXPECT_EQ(image.GetPixelIndex(9, 0), 0xC0);
}

TEST(BmpFileTest, TrueColourRowsFollowTheHeaderOrTableWithoutPalette)
{
    for (std::uint32_t entries : {0u, 2u}) {
        BmpBuilder file(3, 2, 24);
        file.clrUsed = entries;
        file.table.assign(entries, 0x808080);
        file.rows = BmpBuilder::Padded(
            {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90}});
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1);
        EXPECT_EQ(image.GetPalette(), nullptr);
        EXPECT_EQ(image.GetColorType(), 0);
        EXPECT_EQ(RowsOffset(image), 40 + 4 * static_cast<int>(entries));
        EXPECT_EQ(PixelRgb(image, 0, 0), 0x030201u);
        EXPECT_EQ(PixelRgb(image, 2, 0), 0x090807u);
        EXPECT_EQ(PixelRgb(image, 1, 1), 0x605040u);
    }
}

TEST(BmpFileTest, ReadingAgainReplacesPictureColourTypeAndPalette)
{
    BmpBuilder indexed;
    indexed.table = {0x102030};
    indexed.clrUsed = 1;
    indexed.rows = {0, 0, 0, 0};
    BmpBuilder trueColour(1, 1, 24);
    trueColour.rows = {1, 2, 3, 0};
    BmpBuilder broken(1, 0);

    CImageImplBmp image;
    ASSERT_EQ(image.Read(indexed.Save()), 1);
    ASSERT_EQ(image.GetColorType(), 3);
    ASSERT_EQ(image.Read(trueColour.Save()), 1);
    EXPECT_EQ(image.GetColorType(), 0);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.SetPixelRGB(0, 0, 7, 8, 9), 1);
    EXPECT_EQ(PixelRgb(image, 0, 0), 0x070809u);

    EXPECT_EQ(image.Read(broken.Save()), 0);
    EXPECT_FALSE(image.HasPicture());
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
    EXPECT_EQ(image.StretchDraw(nullptr, 0, 0, -1, -1, 0, 0, -1, -1), 0);
}

TEST(BmpFileTest, CoreHeaderBecomesAnInfoHeaderWithAWidenedTable)
{
    for (bool fileHeader : {true, false}) {
        BmpBuilder file(2);
        file.fileHeader = fileHeader;
        file.headerSize = 12;
        file.planes = 3; // no other field holds 3
        for (std::uint32_t i = 0; i < 256; ++i)
            file.table.push_back(i << 16 | (255 - i) << 8 | i / 2);
        file.rows = {7, 200, 0, 0};
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1) << fileHeader;
        const CGlobalBlock& block = image.GetDib();
        EXPECT_EQ(block.U32(dib::kSize), 40u);
        EXPECT_EQ(block.I32(dib::kWidth), 2);
        EXPECT_EQ(block.I32(dib::kHeight), 1);
        EXPECT_EQ(block.U16(dib::kPlanes), 3);
        EXPECT_EQ(block.U16(dib::kBitCount), 8);
        EXPECT_EQ(block.U32(dib::kCompression), static_cast<std::uint32_t>(BI_RGB));
        EXPECT_EQ(block.U32(dib::kClrUsed), 256u);
        EXPECT_EQ(RowsOffset(image), 40 + 1024);
        EXPECT_EQ(PaletteSize(image), 256);
        EXPECT_EQ(PixelRgb(image, 0, 0), 0x07F803u);
        EXPECT_EQ(PixelRgb(image, 1, 0), 0xC83764u);
    }

    BmpBuilder deep(4, 3, 24);
    deep.headerSize = 12;
    deep.rows.assign(36, 0);
    deep.rows[33] = 0xAB; // blue of the top right pixel
    CImageImplBmp image;
    ASSERT_EQ(image.Read(deep.Save()), 1);
    EXPECT_EQ(RowsOffset(image), 40);
    EXPECT_EQ(PixelRgb(image, 3, 2), 0x0000ABu);
}

TEST(BmpFileTest, RowsComeFromOffBitsPastTheTable)
{
    BmpBuilder file(2);
    file.clrUsed = 2;
    file.table = {0x111111, 0x222222};
    file.gap = 6;
    file.rows = {1, 0, 1, 1};
    CImageImplBmp image;
    ASSERT_EQ(image.Read(file.Save()), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);

    // The bitmap may begin inside a file; its offsets count from there.
    file.lead = 5;
    CWin32File stream;
    ASSERT_TRUE(stream.OpenForReading(file.Save()));
    ASSERT_EQ(stream.Seek(5, FILE_BEGIN), 5);
    CGlobalBlock block = ReadDibHeader(stream);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.size(), 40u + 8u);
    EXPECT_EQ(stream.Position(), 5 + 14 + 40 + 8 + 6);
}

TEST(BmpFileTest, TopDownRowsAreTurnedOverWithAPositiveHeight)
{
    BmpBuilder file(1, -3, 24);
    file.rows = BmpBuilder::Padded({{0, 0, 1}, {0, 0, 2}, {0, 0, 3}}); // top row first
    CImageImplBmp image;
    ASSERT_EQ(image.Read(file.Save()), 1);
    EXPECT_EQ(image.GetHeight(), 3);
    EXPECT_EQ(image.GetDib().I32(dib::kHeight), 3);
    EXPECT_EQ(PixelRgb(image, 0, 0), 0x030000u);
    EXPECT_EQ(PixelRgb(image, 0, 1), 0x020000u);
    EXPECT_EQ(PixelRgb(image, 0, 2), 0x010000u);
}

TEST(BmpFileTest, LongerInfoHeadersAreKeptWithTheTableAfterThem)
{
    const std::uint32_t kSrgb = 0x73524742; // bV4CSType, 56 bytes into the header
    for (std::uint32_t size : {108u, 124u}) {
        BmpBuilder file(2);
        file.headerSize = size;
        file.headerExtra = {0, 0, 0, 0, kSrgb};
        file.clrUsed = 2;
        file.table = {0xABCDEF, 0x010203};
        file.rows = {1, 0, 0, 0};
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1) << size;
        EXPECT_EQ(image.GetDib().U32(dib::kSize), size);
        EXPECT_EQ(image.GetDib().U32(56), kSrgb);
        EXPECT_EQ(RowsOffset(image), static_cast<std::ptrdiff_t>(size + 8));
        EXPECT_EQ(PixelRgb(image, 0, 0), 0x010203u);
        EXPECT_EQ(PixelRgb(image, 1, 0), 0xABCDEFu);
        ExpectReadableAndDrawable(image);
    }
}

TEST(BmpFileTest, Os2HeadersOfAnyFieldCountBecomeOurs)
{
    for (std::uint32_t size : {16u, 20u, 36u, 42u, 48u, 60u, 64u}) {
        for (bool fileHeader : {true, false}) {
            SCOPED_TRACE(std::to_string(size) + (fileHeader ? " with file header" : " bare"));
            BmpBuilder file(2, 4, 1); // rows enough for 40 bytes after the file header
            file.fileHeader = fileHeader;
            file.headerSize = size;
            file.planes = 3; // no other field holds 3
            file.table = {0xABCDEF, 0x010203};
            file.rows = BmpBuilder::Padded({{0x40}, {0}, {0}, {0}});
            CImageImplBmp image;
            ASSERT_EQ(image.Read(file.Save()), 1);
            EXPECT_EQ(image.GetDib().U32(dib::kSize), 40u);
            EXPECT_EQ(image.GetDib().U16(dib::kPlanes), 3);
            EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 2u);
            EXPECT_EQ(PixelRgb(image, 0, 0), 0xABCDEFu);
            EXPECT_EQ(PixelRgb(image, 1, 0), 0x010203u);
        }
    }
}

TEST(BmpFileTest, LongTablesOfDeepPicturesAreSkipped)
{
    for (bool fileHeader : {true, false}) {
        SCOPED_TRACE(fileHeader ? "file header" : "bare");
        BmpBuilder file(1, 1, 24);
        file.fileHeader = fileHeader;
        file.clrUsed = 300;
        file.table.assign(300, 0x777777);
        file.rows = {1, 2, 3, 0};
        CImageImplBmp image;
        ASSERT_EQ(image.Read(file.Save()), 1);
        EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 0u);
        EXPECT_EQ(PixelRgb(image, 0, 0), 0x030201u);
    }
}

TEST(BmpFileTest, BitfieldMasksSitBetweenHeaderAndRows)
{
    // 5-6-5 masks after a 40-byte header: green then red.
    BmpBuilder after(2, 1, 16);
    after.compression = BI_BITFIELDS;
    after.table = {0xF800, 0x07E0, 0x001F};
    after.rows = {0xE0, 0x07, 0x00, 0xF8};
    CImageImplBmp image;
    ASSERT_EQ(image.Read(after.Save()), 1);
    // The masks are no colour table: drawing would read one behind them.
    EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 0u);
    EXPECT_EQ(image.GetDib().U32(dib::kCompression), static_cast<std::uint32_t>(BI_BITFIELDS));
    EXPECT_EQ(image.GetDib().U32(40), 0xF800u);
    EXPECT_EQ(image.GetDib().U32(48), 0x001Fu);
    EXPECT_EQ(RowsOffset(image), 52);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(DrawnRgb(image, 0, 0), 0x00FF00u);
    EXPECT_EQ(DrawnRgb(image, 1, 0), 0xFF0000u);

    // Written out, the masks stay between header and rows.
    const std::string path = TempName("bitfields");
    ASSERT_EQ(image.Write(path), 1);
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    ASSERT_EQ(bytes.size(), 14u + 52u + 4u);
    EXPECT_EQ(U32At(bytes, 10), 14u + 52u);
    CImageImplBmp again;
    ASSERT_EQ(again.Read(path), 1);
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(again.GetDib().U32(40), 0xF800u);
    EXPECT_EQ(DrawnRgb(again, 0, 0), 0x00FF00u);
    EXPECT_EQ(DrawnRgb(again, 1, 0), 0xFF0000u);

    // Masks inside a 124-byte header, red and blue swapped, and top-down rows.
    BmpBuilder inside(1, -2, 32);
    inside.headerSize = 124;
    inside.headerExtra = {0x000000FF, 0x0000FF00, 0x00FF0000, 0};
    inside.compression = BI_BITFIELDS;
    inside.rows = {0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0};
    ASSERT_EQ(image.Read(inside.Save()), 1);
    EXPECT_EQ(image.GetDib().U32(124), 0xFFu);
    EXPECT_EQ(image.GetDib().U32(132), 0xFF0000u);
    EXPECT_EQ(image.GetDib().U32(dib::kClrUsed), 0u);
    EXPECT_EQ(RowsOffset(image), 136);
    EXPECT_EQ(DrawnRgb(image, 0, 0), 0x302010u);
    EXPECT_EQ(DrawnRgb(image, 0, 1), 0x605040u);
}

TEST(BmpFileTest, RunLengthFilesAreExpandedIntoPlainRows)
{
    BmpBuilder eight(4, 2);
    eight.compression = BI_RLE8;
    eight.rows = {3, 7, 1, 9, 0, 0, 0, 3, 1, 2, 3, 0, 1, 4, 0, 1};
    eight.sizeImage = static_cast<std::uint32_t>(eight.rows.size());
    CImageImplBmp image;
    ASSERT_EQ(image.Read(eight.Save()), 1);
    EXPECT_EQ(image.GetDib().U32(dib::kCompression), static_cast<std::uint32_t>(BI_RGB));
    EXPECT_EQ(image.GetDib().U32(dib::kSizeImage), 8u);
    const std::vector<std::uint8_t> expected = {7, 7, 7, 9, 1, 2, 3, 4};
    EXPECT_EQ(std::vector<std::uint8_t>(image.GetBits(), image.GetBits() + 8), expected);
    ExpectReadableAndDrawable(image);

    BmpBuilder four(5, 2, 4);
    four.compression = BI_RLE4;
    four.rows = {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
    ASSERT_EQ(image.Read(four.Save()), 1);
    const std::vector<std::uint8_t> nibbles = {0x12, 0x12, 0x10, 0, 0x34, 0x56, 0x70, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(image.GetBits(), image.GetBits() + 8), nibbles);
    EXPECT_EQ(image.GetDib().U32(dib::kCompression), static_cast<std::uint32_t>(BI_RGB));
}

TEST(BmpFileTest, AnEmptyNameReadsTheRememberedFileAgain)
{
    BmpBuilder first(3);
    first.rows = {0, 0, 0, 0};
    BmpBuilder second(5);
    second.rows.assign(8, 0);
    CImageImplBmp image(first.Save());
    EXPECT_EQ(image.Read(""), 1);
    EXPECT_EQ(image.GetWidth(), 3);
    const std::string secondPath = second.Save();
    EXPECT_EQ(image.Read(secondPath), 1);
    EXPECT_EQ(image.GetWidth(), 5);
    EXPECT_EQ(image.GetFileName(), secondPath);
    second.width = 6;
    second.Save(secondPath);
    EXPECT_EQ(image.Read(""), 1);
    EXPECT_EQ(image.GetWidth(), 6);
    EXPECT_EQ(CImageImplBmp().Read(""), 0);
}

TEST(BmpFileTest, TheFileIsClosedAfterEveryRead)
{
    BmpBuilder good;
    good.rows = {1, 2, 3, 4};
    BmpBuilder bad(1, 1, 7);
    BmpBuilder truncated;
    truncated.keep = 20;
    for (BmpBuilder* file : {&good, &bad, &truncated}) {
        const std::string path = file->Save();
        CImageImplBmp image;
        EXPECT_EQ(image.Read(path), file == &good ? 1 : 0);
        EXPECT_TRUE(OpensExclusively(path)) << path;
        EXPECT_TRUE(::DeleteFileA(path.c_str())) << path;
    }
}

TEST(BmpFileTest, PathsLongerThan127CharactersLoad)
{
    // Removed deepest first, however the test ends.
    struct Folders : std::vector<std::string> {
        ~Folders()
        {
            for (auto folder = rbegin(); folder != rend(); ++folder)
                ::RemoveDirectoryA(folder->c_str());
        }
    } folders;
    folders.push_back(TemporaryDirectory() + "vornelle_long_" +
                      std::to_string(::GetCurrentProcessId()));
    while (folders.back().size() < 160)
        folders.push_back(folders.back() + "\\a_folder_with_a_rather_long_name");
    for (const std::string& folder : folders)
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS)
            << folder;
    BmpBuilder file;
    file.rows = {1, 0, 0, 0};
    const std::string path = file.Save(folders.back() + "\\picture.bmp");
    ASSERT_GT(path.size(), 127u);
    CImageImplBmp image;
    EXPECT_EQ(image.Read(path), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
}

TEST(BmpFileTest, WritingAnEightBitPictureGivesHeaderPaletteTableAndRows)
{
    std::uint8_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = static_cast<std::uint8_t>(i);
        green[i] = static_cast<std::uint8_t>(255 - i);
        blue[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (bool grey : {true, false}) {
        CImageImplBmp image;
        ASSERT_GT(image.Create(10, 3, 8, -1), 0);
        ASSERT_EQ(grey ? image.SetGreyPalette(256) : image.SetPalette(256, red, green, blue), 1);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 10; ++x)
                image.SetPixelIndex(x, y, 10 * y + x);
        const std::string path = TempName("write8");
        ASSERT_EQ(image.Write(path), 1);
        const std::vector<std::uint8_t> bytes = FileBytes(path);
        ::DeleteFileA(path.c_str());
        ASSERT_EQ(bytes.size(), 1114u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(U32At(bytes, 2), 1114u);
        EXPECT_EQ(U32At(bytes, 6), 0u);
        EXPECT_EQ(U32At(bytes, 10), 1078u);
        EXPECT_EQ(U32At(bytes, 14), 40u);
        EXPECT_EQ(U32At(bytes, 14 + 20), 36u);
        EXPECT_EQ(U32At(bytes, 14 + 32), 256u);
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t expected =
                grey ? 0x010101u * i
                     : static_cast<std::uint32_t>(red[i] << 16 | green[i] << 8 | blue[i]);
            EXPECT_EQ(U32At(bytes, 54 + 4 * i), expected) << "entry " << i;
        }
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(bytes[1078 + i / 10 * 12 + i % 10], i);
        // Drawing still needs the table as palette indices.
        ExpectIndexTable(image, 256);
    }
}

TEST(BmpFileTest, WritingWithoutPaletteUsesTheStockPalette)
{
    CImageImplBmp image;
    ASSERT_GT(image.Create(4, 1, 8, -1), 0);
    const std::string path = TempName("write_stock");
    ASSERT_EQ(image.Write(path), 1);
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    ::DeleteFileA(path.c_str());
    ASSERT_EQ(bytes.size(), 14u + 40 + 1024 + 4);
    EXPECT_EQ(U32At(bytes, 54 + 4 * 1), 0x800000u);  // dark red
    EXPECT_EQ(U32At(bytes, 54 + 4 * 19), 0xFFFFFFu); // white

    CImageImplBmp deep;
    ASSERT_GT(deep.Create(5, 2, 24, -1), 0);
    ASSERT_EQ(deep.Write(path), 1);
    const std::vector<std::uint8_t> deepBytes = FileBytes(path);
    ::DeleteFileA(path.c_str());
    ASSERT_EQ(deepBytes.size(), 86u);
    EXPECT_EQ(U32At(deepBytes, 2), 86u);
    EXPECT_EQ(U32At(deepBytes, 10), 54u);
}

TEST(BmpFileTest, WritingFailsWithoutPictureOrFolder)
{
    const std::string path = TempName("write_nothing");
    EXPECT_EQ(CImageImplBmp().Write(path), 0);
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    CImageImplBmp image;
    ASSERT_GT(image.Create(2, 2, 24, -1), 0);
    EXPECT_EQ(image.Write(TemporaryDirectory() + "no_such_folder_here\\picture.bmp"), 0);
    // /dev/full under Wine: it opens and takes no byte.
    EXPECT_EQ(image.Write("Z:\\dev\\full"), 0);
}

TEST(BmpFileTest, WrittenPicturesReadBackEqual)
{
    for (int depth : {1, 4, 8, 24}) {
        SCOPED_TRACE(depth);
        CImageImplBmp image;
        ASSERT_GT(image.Create(13, 5, depth, -1), 0);
        const int colours = depth <= 8 ? 1 << depth : 0;
        std::uint8_t red[256], green[256], blue[256];
        for (int i = 0; i < colours; ++i) {
            red[i] = static_cast<std::uint8_t>(i * 37);
            green[i] = static_cast<std::uint8_t>(i + 100);
            blue[i] = static_cast<std::uint8_t>(255 - i);
        }
        if (colours != 0) {
            ASSERT_EQ(image.SetPalette(colours, red, green, blue), 1);
        }
        const std::size_t size = static_cast<std::size_t>(image.GetRowBytes()) * 5;
        for (std::size_t i = 0; i < size; ++i)
            image.GetBits()[i] = static_cast<std::uint8_t>(i * 29 + 3);
        const std::string path = TempName("round_trip");
        ASSERT_EQ(image.Write(path), 1);
        CImageImplBmp back;
        const int read = back.Read(path);
        ::DeleteFileA(path.c_str());
        ASSERT_EQ(read, 1);
        EXPECT_EQ(back.GetWidth(), 13);
        EXPECT_EQ(back.GetHeight(), 5);
        EXPECT_EQ(back.GetDepth(), depth);
        EXPECT_EQ(std::vector<std::uint8_t>(back.GetBits(), back.GetBits() + size),
                  std::vector<std::uint8_t>(image.GetBits(), image.GetBits() + size));
        EXPECT_EQ(PaletteSize(back), colours == 0 ? -1 : colours);
        for (int i = 0; i < colours; ++i) {
            std::uint8_t r, g, b;
            ASSERT_EQ(back.GetPalette()->GetEntryRGB(i, &r, &g, &b), 1);
            EXPECT_EQ(r << 16 | g << 8 | b, red[i] << 16 | green[i] << 8 | blue[i]) << i;
        }
    }
}

// Records the size of every piece; from the piece numbered shortAt on it
// writes one byte less.
class RecordingSink : public ByteSink {
public:
    std::size_t Write(const void* data, std::size_t count) override
    {
        pieces.push_back(count);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        const std::size_t put = pieces.size() > shortAt && count > 0 ? count - 1 : count;
        written.insert(written.end(), bytes, bytes + put);
        return put;
    }
    std::size_t shortAt = SIZE_MAX;
    std::vector<std::size_t> pieces;
    std::vector<std::uint8_t> written;
};

TEST(BmpFileTest, WriteHugeWritesPiecesOf32768Bytes)
{
    std::vector<std::uint8_t> data(65536);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    const std::vector<std::pair<std::size_t, std::vector<std::size_t>>> cases = {
        {65536, {32768, 32768}}, {32769, {32768, 1}}, {32768, {32768}}, {10, {10}}};
    for (const auto& [size, pieces] : cases) {
        RecordingSink sink;
        EXPECT_EQ(WriteHuge(sink, data.data(), size), size);
        EXPECT_EQ(sink.pieces, pieces) << size;
        EXPECT_EQ(sink.written, std::vector<std::uint8_t>(data.begin(), data.begin() + size));
    }
    for (std::size_t shortAt : {0u, 1u, 2u}) {
        RecordingSink sink;
        sink.shortAt = shortAt;
        EXPECT_EQ(WriteHuge(sink, data.data(), 65536 + 5), 0u);
        EXPECT_EQ(sink.pieces.size(), shortAt + 1); // nothing more after a short piece
    }
}

TEST(BmpFileTest, PaletteSizeAndPaletteFollowTheTable)
{
    CGlobalBlock block = CGlobalBlock::Allocate(40 + 8, true);
    ASSERT_TRUE(block);
    const struct {
        std::uint32_t size;
        std::uint16_t depth;
        std::uint32_t used;
        std::size_t bytes;
    } cases[] = {{40, 8, 0, 1024}, {12, 8, 0, 768}, {40, 4, 0, 64},  {12, 1, 0, 6},
                 {40, 1, 5, 20},   {40, 24, 0, 0},  {40, 24, 3, 12}, {12, 24, 2, 6}};
    for (const auto& c : cases) {
        block.SetU32(dib::kSize, c.size);
        block.SetU16(dib::kBitCount, c.depth);
        block.SetU32(dib::kClrUsed, c.used);
        EXPECT_EQ(DibPaletteSize(block), c.bytes) << c.size << " " << c.depth << " " << c.used;
    }

    block.SetU32(dib::kSize, 40);
    block.SetU16(dib::kBitCount, 8);
    block.SetU32(dib::kClrUsed, 0);
    EXPECT_EQ(CreateDibPalette(block, 0), nullptr);
    block.SetU32(dib::kClrUsed, 2);
    block.SetU32(40, 0x00030201); // blue 1, green 2, red 3
    block.SetU32(44, 0x00302010);
    HPALETTE palette = CreateDibPalette(block, PC_NOCOLLAPSE);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[3] = {};
    EXPECT_EQ(::GetPaletteEntries(palette, 0, 3, entries), 2u);
    EXPECT_EQ(entries[0].peRed, 3);
    EXPECT_EQ(entries[0].peGreen, 2);
    EXPECT_EQ(entries[0].peBlue, 1);
    EXPECT_EQ(entries[0].peFlags, PC_NOCOLLAPSE);
    EXPECT_EQ(entries[1].peRed, 0x30);
    EXPECT_EQ(entries[1].peBlue, 0x10);
    ::DeleteObject(palette);
}

} // namespace
