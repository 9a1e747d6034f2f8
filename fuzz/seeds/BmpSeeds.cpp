// Bitmaps: every header size the reader knows (and some it refuses), every
// compression, bit fields with odd masks, top-down rows, RLE streams that
// jump, stop early and run past the edge, tables of many lengths, with and
// without the file header.
#include "Seeds.h"

#include "image/CImageImplBmp.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace seeds {

namespace {

constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kJpegCompression = 4; // BI_JPEG; OS/2's RLE24
constexpr std::uint32_t kPngCompression = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

// A hand-built bitmap. Fields past a short OS/2 header's length are cut off
// as the format does.
struct Bitmap {
    std::uint32_t headerSize = kInfoHeader;
    // The reader takes 40 bytes after the file header before it looks at the
    // header's size: a smaller core or OS/2 file would be refused.
    std::int32_t width = 6;
    std::int32_t height = 6;
    unsigned depth = 8;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colorsUsed = 0;
    int tableEntries = -1; // entries written; -1: what the header calls for
    // Inside a header long enough to hold them, else right after it.
    std::vector<std::uint32_t> masks;
    Bytes data;                  // rows or packed data; empty: a pattern of rows
    std::int64_t sizeImage = -1; // -1: the data's length
    bool fileHeader = true;
    bool zeroOffBits = false;
    std::size_t gap = 0; // bytes between the table and the rows
};

int TableEntries(const Bitmap& b)
{
    if (b.tableEntries >= 0)
        return b.tableEntries;
    if (b.colorsUsed != 0)
        return static_cast<int>(b.colorsUsed);
    return b.depth <= 8 ? 1 << b.depth : 0;
}

Bytes PatternRows(const Bitmap& b)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(b.width) * b.depth + 31) / 32 * 4;
    const int rows = std::abs(b.height);
    const int entries = TableEntries(b);
    const int colours = b.depth > 8 ? 0 : std::max(1, std::min(entries, 1 << b.depth));
    Bytes data(rowBytes * rows, 0);
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* row = data.data() + rowBytes * y;
        if (colours == 0 || rowBytes == 0) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                row[i] = static_cast<std::uint8_t>(37 * i + 11 * y);
            continue;
        }
        for (int x = 0; x < b.width; ++x) {
            const unsigned index = static_cast<unsigned>(PatternIndex(x, y, colours));
            const std::size_t bit = static_cast<std::size_t>(x) * b.depth;
            row[bit / 8] |= static_cast<std::uint8_t>(index << (8 - b.depth - bit % 8));
        }
    }
    return data;
}

Bytes Header(const Bitmap& b, std::uint32_t sizeImage)
{
    Writer w;
    if (b.headerSize == kCoreHeader) {
        w.U32(kCoreHeader);
        w.U16(static_cast<std::uint16_t>(b.width));
        w.U16(static_cast<std::uint16_t>(b.height));
        w.U16(1);
        w.U16(b.depth);
        return w.bytes;
    }
    w.U32(b.headerSize);
    w.U32(static_cast<std::uint32_t>(b.width));
    w.U32(static_cast<std::uint32_t>(b.height));
    w.U16(1);
    w.U16(b.depth);
    w.U32(b.compression);
    w.U32(sizeImage);
    w.U32(2835);
    w.U32(2835);
    w.U32(b.colorsUsed);
    w.U32(0);
    if (b.headerSize >= kInfoHeader + 4 * b.masks.size()) {
        for (std::uint32_t mask : b.masks)
            w.U32(mask);
    }
    if (b.headerSize >= 108) {
        w.PadTo(56);
        w.U32(0x73524742); // LCS_sRGB
    }
    w.bytes.resize(b.headerSize, 0);
    return w.bytes;
}

Bytes Build(const Bitmap& b)
{
    const Bytes data = b.data.empty() ? PatternRows(b) : b.data;
    const std::uint32_t sizeImage =
        static_cast<std::uint32_t>(b.sizeImage < 0 ? data.size() : b.sizeImage);
    Writer dib;
    dib.Append(Header(b, sizeImage));
    if (b.headerSize < kInfoHeader + 4 * b.masks.size()) {
        for (std::uint32_t mask : b.masks)
            dib.U32(mask);
    }
    const int entries = TableEntries(b);
    for (int i = 0; i < entries; ++i) {
        const unsigned level = static_cast<unsigned>(i * 255 / std::max(1, entries - 1));
        dib.U8(level);
        dib.U8(255 - level);
        dib.U8((i * 73) & 0xFF);
        if (b.headerSize != kCoreHeader)
            dib.U8(0);
    }
    dib.PadTo(dib.bytes.size() + b.gap);
    const std::size_t rowsAt = dib.bytes.size();
    dib.Append(data);
    if (!b.fileHeader)
        return dib.bytes;
    Writer file;
    file.Text("BM");
    file.U32(static_cast<std::uint32_t>(14 + dib.bytes.size()));
    file.U32(0);
    file.U32(b.zeroOffBits ? 0 : static_cast<std::uint32_t>(14 + rowsAt));
    file.Append(dib.bytes);
    return file.bytes;
}

void Keep(const std::string& name, const Bitmap& b, const Expected& expected)
{
    SaveAndCheck<CImageImplBmp>("bmp", name + ".bmp", Build(b), expected);
}

void Keep(const std::string& name, const Bitmap& b)
{
    Keep(name, b, Picture(b.width, std::abs(b.height)));
}

Bitmap Of(unsigned depth, std::uint32_t headerSize = kInfoHeader)
{
    Bitmap b;
    b.depth = depth;
    b.headerSize = headerSize;
    return b;
}

std::string Num(std::int64_t value)
{
    return std::to_string(value);
}

void OurWriter(int width, int height, int depth)
{
    CImageImplBmp image;
    if (image.Create(width, height, depth, -1) == 0)
        Fail("cannot create a bitmap");
    if (depth <= 8) {
        const int colours = 1 << depth;
        Bytes rgb;
        for (int i = 0; i < colours; ++i) {
            rgb.push_back(static_cast<std::uint8_t>(i * 255 / (colours - 1)));
            rgb.push_back(static_cast<std::uint8_t>((i * 97) & 0xFF));
            rgb.push_back(static_cast<std::uint8_t>(255 - i * 255 / (colours - 1)));
        }
        image.SetPaletteRGB(colours, rgb.data());
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int i = 0; i < image.GetRowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(37 * i + 11 * y);
    }
    const std::string path =
        SeedPath("bmp", "writer-" + Num(depth) + "bit-" + Num(width) + "x" + Num(height) + ".bmp");
    if (image.Write(path) != 1)
        Fail("our bitmap writer failed on " + path);
    CImageImplBmp check;
    ExpectRead(check, path, Picture(width, height));
}

// OS/2 2.x headers stop after any field; 41 and 100 are Windows headers
// of no published length, which the reader takes as long ones.
void HeaderSizes()
{
    const std::initializer_list<unsigned> allDepths = {1, 4, 8, 16, 24, 32};
    const std::initializer_list<unsigned> someDepths = {8, 24};
    for (std::uint32_t size : {12u, 16u, 20u, 24u, 28u, 32u, 36u, 40u,  41u,  42u,
                               44u, 46u, 48u, 52u, 56u, 60u, 64u, 100u, 108u, 124u}) {
        const bool full =
            size == 12 || size == 16 || size == 40 || size == 64 || size == 108 || size == 124;
        for (unsigned depth : full ? allDepths : someDepths) {
            if (size == kCoreHeader && (depth == 16 || depth == 32))
                continue;
            Keep("header" + Num(size) + "-" + Num(depth) + "bit", Of(depth, size));
        }
    }
    for (std::uint32_t size : {0u, 13u, 18u, 38u, 1028u})
        Keep("header" + Num(size) + "-refused", Of(8, size), Refusal());
}

Bitmap Rle(unsigned depth, int width, int height, Bytes data)
{
    Bitmap b = Of(depth);
    b.compression = depth == 8 ? BI_RLE8 : BI_RLE4;
    b.width = width;
    b.height = height;
    b.colorsUsed = 16;
    b.data = std::move(data);
    return b;
}

void Rle8()
{
    // runs, an absolute run, a delta, ends of line and of bitmap
    const Bytes mixed = {3, 1, 0, 3, 2, 3, 4, 0, 2, 5, 0, 0, 0, 2, 1,
                         1, 2, 7, 0, 0, 8, 6, 0, 0, 1, 9, 2, 3, 0, 1};
    Keep("rle8-mixed", Rle(8, 8, 4, mixed));
    Keep("rle8-run-past-edge", Rle(8, 6, 3, {20, 1, 0, 0, 3, 2, 0, 0, 6, 3, 0, 1}));
    Keep("rle8-absolute-odd-and-past-edge",
         Rle(8, 8, 3, {0, 3, 1, 2, 3, 0, 0, 5, 4, 5, 6, 7, 8, 0, 0,
                       0, 0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1}));
    Keep("rle8-deltas",
         Rle(8, 8, 4, {2, 1, 0, 2, 3, 1, 2, 2, 0, 2, 50, 0, 0, 0, 1, 3, 0, 2, 0, 10, 5, 5}));
    Keep("rle8-early-end", Rle(8, 8, 4, {4, 1, 0, 1, 9, 9, 9, 9}));
    Keep("rle8-no-end", Rle(8, 8, 4, {4, 1, 0, 0, 4, 2, 0}));
    Keep("rle8-extra-lines", Rle(8, 4, 2, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 1}));
    Bitmap zero = Rle(8, 8, 4, mixed);
    zero.sizeImage = 0;
    Keep("rle8-sizeimage-zero", zero);
    Bitmap large = Rle(8, 8, 4, mixed);
    large.sizeImage = 100000;
    Keep("rle8-sizeimage-past-end", large);
    Bitmap shortSize = Rle(8, 8, 4, mixed);
    shortSize.sizeImage = 6;
    Keep("rle8-sizeimage-short", shortSize);
    Bitmap headerless = Rle(8, 8, 4, mixed);
    headerless.fileHeader = false;
    Keep("rle8-headerless", headerless);
    Bitmap os2 = Rle(8, 8, 4, mixed);
    os2.headerSize = 64;
    Keep("rle8-os2-header64", os2);
    Bitmap topDown = Rle(8, 8, -4, mixed);
    Keep("rle8-topdown-refused", topDown, Refusal());
    Keep(
        "rle8-at-4bit-refused",
        [&] {
            Bitmap b = Rle(8, 8, 4, mixed);
            b.depth = 4;
            return b;
        }(),
        Refusal());
}

void Rle4()
{
    Keep("rle4-mixed",
         Rle(4, 8, 4, {5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 0, 8, 0x7A, 0, 0, 2, 0xF0, 0, 1}));
    Keep("rle4-odd-runs", Rle(4, 7, 3, {3, 0x12, 0, 0, 7, 0x34, 0, 0, 1, 0x50, 0, 1}));
    Keep("rle4-absolute-odd-and-past-edge",
         Rle(4, 7, 3, {0, 3, 0x12, 0x30, 0,    0,    0,    5,    0x12, 0x34, 0x50, 0,
                       0, 0, 0,    9,    0x12, 0x34, 0x56, 0x78, 0x90, 0,    0,    1}));
    Keep("rle4-deltas", Rle(4, 8, 4, {0, 2, 1, 1, 2, 0xAB, 0, 0, 0, 2, 9, 1, 3, 0xCD, 0, 1}));
    Keep("rle4-run-past-edge", Rle(4, 5, 2, {30, 0x9A, 0, 0, 30, 0x9A, 0, 1}));
    Keep("rle4-early-end", Rle(4, 8, 4, {4, 0x11, 0, 1, 4, 0x22}));
    Bitmap headerless = Rle(4, 7, 3, {3, 0x12, 0, 0, 7, 0x34, 0, 0, 1, 0x50, 0, 1});
    headerless.fileHeader = false;
    Keep("rle4-headerless", headerless);
    Keep(
        "rle4-at-8bit-refused",
        [] {
            Bitmap b = Rle(4, 8, 4, {4, 0x11, 0, 1});
            b.depth = 8;
            return b;
        }(),
        Refusal());
    Keep("rle4-topdown-refused", Rle(4, 8, -4, {4, 0x11, 0, 1}), Refusal());
}

Bitmap Fields(unsigned depth, std::vector<std::uint32_t> masks,
              std::uint32_t headerSize = kInfoHeader)
{
    Bitmap b = Of(depth, headerSize);
    b.compression = BI_BITFIELDS;
    b.masks = std::move(masks);
    return b;
}

void BitFields()
{
    const std::vector<std::vector<std::uint32_t>> masks16 = {
        {0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F},
        {0x0F00, 0x00F0, 0x000F}, {0x001F, 0x07E0, 0xF800},
        {0x8000, 0x4000, 0x2000}, {0xAAAA, 0x5555, 0},
        {0xFFFF, 0xFFFF, 0xFFFF}, {0, 0, 0}};
    const std::vector<std::vector<std::uint32_t>> masks32 = {
        {0xFF0000, 0xFF00, 0xFF},        {0x3FF00000, 0x000FFC00, 0x000003FF},
        {0xFF000000, 0xFF0000, 0xFF00},  {0xFFFFFFFF, 0, 0},
        {0x80000001, 0x7FFFFFFE, 0x100}, {1, 2, 4}};
    for (std::size_t i = 0; i < masks16.size(); ++i)
        Keep("bitfields16-masks" + Num(i), Fields(16, masks16[i]));
    for (std::size_t i = 0; i < masks32.size(); ++i)
        Keep("bitfields32-masks" + Num(i), Fields(32, masks32[i]));
    for (std::uint32_t size : {52u, 56u, 108u, 124u}) {
        Keep("bitfields16-header" + Num(size), Fields(16, masks16[0], size));
        Keep("bitfields32-header" + Num(size), Fields(32, masks32[1], size));
    }
    Bitmap headerless = Fields(16, masks16[2]);
    headerless.fileHeader = false;
    Keep("bitfields16-headerless", headerless);
    Bitmap inside = Fields(32, masks32[0], 108);
    inside.fileHeader = false;
    Keep("bitfields32-header108-headerless", inside);
    Bitmap topDown = Fields(32, masks32[0]);
    topDown.height = -6;
    Keep("bitfields32-topdown", topDown);
    Bitmap table = Fields(16, masks16[0]);
    table.colorsUsed = 5;
    Keep("bitfields16-with-table", table);
    table.fileHeader = false;
    Keep("bitfields16-with-table-headerless", table);
    Keep("bitfields-8bit-refused", Fields(8, masks16[0]), Refusal());
    Keep("bitfields-24bit-refused", Fields(24, masks32[0]), Refusal());
    // OS/2's compression 3 is Huffman coding.
    Keep("os2-huffman-1bit-refused", Fields(1, {}, 64), Refusal());
}

void OtherCompressions()
{
    Bitmap jpeg = Of(24);
    jpeg.compression = kJpegCompression;
    jpeg.width = jpeg.height = 8;
    jpeg.data = SmallJpeg(8, 8);
    Keep("jpeg-in-bmp-refused", jpeg, Refusal());
    jpeg.depth = 0;
    Keep("jpeg-in-bmp-depth0-refused", jpeg, Refusal());
    Bitmap png = Of(0);
    png.compression = kPngCompression;
    png.width = png.height = 8;
    png.data = SmallPng(8, 8);
    Keep("png-in-bmp-refused", png, Refusal());
    Bitmap alpha = Fields(32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 56);
    alpha.compression = kAlphaBitFields;
    Keep("alphabitfields32-header56-refused", alpha, Refusal());
    Bitmap alpha16 = Fields(16, {0x0F00, 0x00F0, 0x000F, 0xF000});
    alpha16.compression = kAlphaBitFields;
    Keep("alphabitfields16-refused", alpha16, Refusal());
    Bitmap rle24 = Of(24, 64);
    rle24.compression = kJpegCompression;
    Keep("os2-rle24-refused", rle24, Refusal());
    for (std::uint32_t compression : {7u, 11u, 0x7FFFFFFFu}) {
        Bitmap b = Of(8);
        b.compression = compression;
        Keep("compression" + Num(compression) + "-refused", b, Refusal());
    }
    for (unsigned depth : {0u, 2u, 64u})
        Keep("rgb-" + Num(depth) + "bit-refused", Of(depth), Refusal());
}

void TopDown()
{
    for (unsigned depth : {1u, 4u, 8u, 16u, 24u, 32u}) {
        Bitmap b = Of(depth);
        b.height = -6;
        Keep("topdown-" + Num(depth) + "bit", b);
    }
    Bitmap one = Of(24);
    one.height = -1;
    Keep("topdown-one-row", one);
    Bitmap lowest = Of(8);
    lowest.height = INT_MIN;
    lowest.data = Bytes(16, 0x55);
    Keep("topdown-lowest-height-refused", lowest, Refusal());
}

void Tables()
{
    for (std::uint32_t used : {0u, 1u, 2u}) {
        Bitmap b = Of(1);
        b.colorsUsed = used;
        Keep("table-1bit-" + Num(used), b);
    }
    for (std::uint32_t used = 0; used <= 16; ++used) {
        Bitmap b = Of(4);
        b.colorsUsed = used;
        Keep("table-4bit-" + Num(used), b);
    }
    for (std::uint32_t used : {0u, 1u, 2u, 3u, 15u, 16u, 17u, 100u, 255u, 256u}) {
        Bitmap b = Of(8);
        b.colorsUsed = used;
        Keep("table-8bit-" + Num(used), b);
    }
    Bitmap tooMany = Of(8);
    tooMany.colorsUsed = 257;
    Keep("table-8bit-257-refused", tooMany, Refusal());
    // Deeper pictures may carry a table to be skipped, of any length.
    for (std::uint32_t used : {1u, 256u, 300u}) {
        Bitmap b = Of(24);
        b.colorsUsed = used;
        Keep("table-24bit-" + Num(used), b);
    }
    Bitmap deep = Of(16);
    deep.colorsUsed = 2;
    Keep("table-16bit-2", deep);
    Bitmap skipped = Of(32);
    skipped.colorsUsed = 1000;
    skipped.fileHeader = false;
    Keep("table-32bit-1000-headerless", skipped);
    Bitmap shortTable = Of(8);
    shortTable.colorsUsed = 256;
    shortTable.tableEntries = 16;
    Keep("table-8bit-shorter-than-said", shortTable);
}

void FileHeaders()
{
    for (unsigned depth : {1u, 4u, 8u, 24u}) {
        Bitmap b = Of(depth, kCoreHeader);
        b.fileHeader = false;
        Keep("headerless-core-" + Num(depth) + "bit", b);
    }
    for (std::uint32_t size : {16u, 40u, 64u, 124u}) {
        Bitmap b = Of(8, size);
        b.fileHeader = false;
        Keep("headerless-header" + Num(size) + "-8bit", b);
    }
    Bitmap table = Of(24);
    table.colorsUsed = 3;
    table.fileHeader = false;
    Keep("headerless-24bit-table3", table);
    Bitmap zero = Of(8);
    zero.zeroOffBits = true;
    Keep("offbits-zero", zero);
    Bitmap gap = Of(8);
    gap.gap = 6;
    Keep("offbits-past-gap", gap);
    Bitmap coreGap = Of(4, kCoreHeader);
    coreGap.gap = 10;
    Keep("offbits-past-gap-core", coreGap);

    Bytes noRows = Build(Of(8));
    noRows.resize(14 + 40 + 4 * 256);
    SaveAndCheck<CImageImplBmp>("bmp", "rows-missing.bmp", noRows, Picture(6, 6));
    Bytes half = Build([] {
        Bitmap b = Of(8);
        b.width = b.height = 16;
        return b;
    }());
    half.resize(half.size() - 8 * 16);
    SaveAndCheck<CImageImplBmp>("bmp", "rows-half.bmp", half, Picture(16, 16));
    Bytes array = Build(Of(8));
    array[1] = 'A';
    SaveAndCheck<CImageImplBmp>("bmp", "array-type-refused.bmp", array, Refusal());
    Bytes alone = Build(Of(8));
    alone.resize(14);
    SaveAndCheck<CImageImplBmp>("bmp", "file-header-alone-refused.bmp", alone, Refusal());
    Bytes cutInHeader = Build(Of(8, 124));
    cutInHeader.resize(14 + 60);
    SaveAndCheck<CImageImplBmp>("bmp", "cut-in-header124.bmp", cutInHeader, Picture(6, 6));
}

void Sizes()
{
    for (unsigned depth : {1u, 4u, 8u, 16u, 24u, 32u}) {
        Bitmap b = Of(depth);
        b.width = b.height = 1;
        Keep("one-pixel-" + Num(depth) + "bit", b);
    }
    Bitmap wide = Of(1);
    wide.width = 33;
    wide.height = 1;
    Keep("wide-1bit-33x1", wide);
    for (auto [width, height] :
         std::initializer_list<std::pair<int, int>>{{0, 3}, {5, 0}, {-5, 3}}) {
        Bitmap b = Of(8);
        b.width = width;
        b.height = height;
        b.data = Bytes(32, 0x33);
        Keep("size-" + Num(width) + "x" + Num(height) + "-refused", b, Refusal());
    }
    Bitmap huge = Of(24);
    huge.width = huge.height = 30000;
    huge.data = Bytes(16, 0x55);
    Keep("claims-30000x30000-refused", huge, Refusal());
}

} // namespace

void WriteBmpSeeds()
{
    for (int depth : {1, 4, 8, 16, 24, 32})
        OurWriter(depth == 1 ? 13 : 5, 3, depth);
    HeaderSizes();
    Rle8();
    Rle4();
    BitFields();
    OtherCompressions();
    TopDown();
    Tables();
    FileHeaders();
    Sizes();
}

} // namespace seeds
