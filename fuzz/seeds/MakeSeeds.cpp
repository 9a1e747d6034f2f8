// Writes small valid pictures of every format into OUT/bmp, OUT/gif, OUT/jpeg
// and OUT/png: the fuzzers' seeds. Our own writers make what they can; the
// layouts they never write (RLE and core bitmaps, interlaced PNGs,
// progressive JPEGs, every GIF) are built here byte by byte or through the
// codec libraries. Each seed is read back with our readers, so a seed that
// does not decode fails the program instead of seeding nothing.
#include "image/CImageImplBmp.h"
#include "image/CImageImplGif.h"
#include "image/CImageImplJpeg.h"
#include "image/CImageImplPng.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string g_out;
int g_written = 0;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "make_seeds: %s\n", what.c_str());
    std::exit(1);
}

std::string PathFor(const std::string& format, const std::string& name)
{
    const std::string folder = g_out + "/" + format;
    std::filesystem::create_directories(folder);
    ++g_written;
    return folder + "/" + name;
}

void SaveBytes(const std::string& path, const Bytes& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        Fail("cannot write " + path);
    std::fclose(file);
}

// A pattern every format can hold: index = (x + 2y) mod colours.
int PatternIndex(int x, int y, int colours)
{
    return (x + 2 * y) % colours;
}

void ExpectSize(CImageImpl& image, const std::string& path, int width, int height)
{
    if (image.Read(path) != 1 || image.GetWidth() != width || image.GetHeight() != height)
        Fail(path + " does not read back as " + std::to_string(width) + "x" +
             std::to_string(height));
}

// ---- little-endian byte building ----------------------------------------

struct Writer {
    Bytes bytes;
    void U8(unsigned v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void U16(unsigned v)
    {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(std::uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Append(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
};

// ---- BMP ------------------------------------------------------------------

void BmpWithOurWriter(int width, int height, int depth)
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
        PathFor("bmp", "writer-" + std::to_string(depth) + "bit-" + std::to_string(width) + "x" +
                           std::to_string(height) + ".bmp");
    if (image.Write(path) != 1)
        Fail("our bitmap writer failed on " + path);
    CImageImplBmp check;
    ExpectSize(check, path, width, height);
}

// A file header, then the DIB; offBits points past the table.
Bytes BmpFile(const Bytes& dib, std::size_t rowsAt)
{
    Writer w;
    w.U8('B');
    w.U8('M');
    w.U32(static_cast<std::uint32_t>(14 + dib.size()));
    w.U32(0);
    w.U32(static_cast<std::uint32_t>(14 + rowsAt));
    w.Append(dib);
    return w.bytes;
}

void InfoHeader(Writer& w, std::uint32_t size, std::int32_t width, std::int32_t height,
                unsigned depth, std::uint32_t compression, std::uint32_t sizeImage,
                std::uint32_t used)
{
    w.U32(size);
    w.U32(static_cast<std::uint32_t>(width));
    w.U32(static_cast<std::uint32_t>(height));
    w.U16(1);
    w.U16(depth);
    w.U32(compression);
    w.U32(sizeImage);
    w.U32(2835);
    w.U32(2835);
    w.U32(used);
    w.U32(0);
}

void GreyTable(Writer& w, int entries, int bytesPerEntry = 4)
{
    for (int i = 0; i < entries; ++i) {
        const unsigned level = static_cast<unsigned>(i * 255 / (entries > 1 ? entries - 1 : 1));
        w.U8(level);
        w.U8(255 - level);
        w.U8(level / 2);
        if (bytesPerEntry == 4)
            w.U8(0);
    }
}

void HandBuiltBmps()
{
    struct Seed {
        std::string name;
        Bytes bytes;
        int width;
        int height;
    };
    std::vector<Seed> seeds;

    { // RLE8: runs, an absolute run, a delta, ends of line and of bitmap
        const Bytes rle = {3, 1, 0, 3, 2, 3, 4, 0, 2, 5, 0, 0, 0, 2, 1,
                           1, 2, 7, 0, 0, 8, 6, 0, 0, 1, 9, 2, 3, 0, 1};
        Writer w;
        InfoHeader(w, 40, 8, 4, 8, BI_RLE8, static_cast<std::uint32_t>(rle.size()), 16);
        GreyTable(w, 16);
        const std::size_t rowsAt = w.bytes.size();
        w.Append(rle);
        seeds.push_back({"rle8-8x4.bmp", BmpFile(w.bytes, rowsAt), 8, 4});
    }
    { // RLE4: both nibbles of a run alternate
        const Bytes rle = {5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 0, 8, 0x7A, 0, 0, 2, 0xF0, 0, 1};
        Writer w;
        InfoHeader(w, 40, 8, 4, 4, BI_RLE4, static_cast<std::uint32_t>(rle.size()), 0);
        GreyTable(w, 16);
        const std::size_t rowsAt = w.bytes.size();
        w.Append(rle);
        seeds.push_back({"rle4-8x4.bmp", BmpFile(w.bytes, rowsAt), 8, 4});
    }
    { // top-down 24-bit rows
        Writer w;
        InfoHeader(w, 40, 3, -3, 24, BI_RGB, 0, 0);
        const std::size_t rowsAt = w.bytes.size();
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                w.U8(80 * x);
                w.U8(80 * y);
                w.U8(200);
            }
            for (int pad = 0; pad < 3; ++pad)
                w.U8(0);
        }
        seeds.push_back({"topdown-24bit-3x3.bmp", BmpFile(w.bytes, rowsAt), 3, 3});
    }
    { // core header with 3-byte entries
        Writer w;
        w.U32(12);
        w.U16(4);
        w.U16(2);
        w.U16(1);
        w.U16(4);
        GreyTable(w, 16, 3);
        const std::size_t rowsAt = w.bytes.size();
        for (int y = 0; y < 2; ++y) {
            w.U8(0x01 + 0x22 * y);
            w.U8(0x45 + 0x11 * y);
            w.U8(0);
            w.U8(0);
        }
        seeds.push_back({"core-4bit-4x2.bmp", BmpFile(w.bytes, rowsAt), 4, 2});
    }
    { // 16-bit 5-6-5 with the masks after a 40-byte header
        Writer w;
        InfoHeader(w, 40, 4, 2, 16, BI_BITFIELDS, 16, 0);
        w.U32(0xF800);
        w.U32(0x07E0);
        w.U32(0x001F);
        const std::size_t rowsAt = w.bytes.size();
        for (int i = 0; i < 8; ++i)
            w.U16(0x1234 * (i + 1));
        seeds.push_back({"bitfields-16bit-4x2.bmp", BmpFile(w.bytes, rowsAt), 4, 2});
    }
    { // 32-bit with the masks inside a 108-byte header
        Writer w;
        InfoHeader(w, 108, 3, 2, 32, BI_BITFIELDS, 24, 0);
        w.U32(0x00FF0000);
        w.U32(0x0000FF00);
        w.U32(0x000000FF);
        w.U32(0xFF000000);
        while (w.bytes.size() < 108)
            w.U8(0);
        const std::size_t rowsAt = w.bytes.size();
        for (int i = 0; i < 6; ++i)
            w.U32(0x00102030u * static_cast<std::uint32_t>(i + 1));
        seeds.push_back({"v4-bitfields-32bit-3x2.bmp", BmpFile(w.bytes, rowsAt), 3, 2});
    }
    { // a DIB without the file header, fewer entries than the depth allows
        Writer w;
        InfoHeader(w, 40, 2, 2, 8, BI_RGB, 0, 3);
        GreyTable(w, 3);
        w.U8(0);
        w.U8(1);
        w.U16(0);
        w.U8(2);
        w.U8(1);
        w.U16(0);
        seeds.push_back({"headerless-8bit-2x2.dib.bmp", w.bytes, 2, 2});
    }
    { // a 124-byte header, 1-bit
        Writer w;
        InfoHeader(w, 124, 9, 3, 1, BI_RGB, 0, 0);
        while (w.bytes.size() < 124)
            w.U8(0);
        GreyTable(w, 2);
        const std::size_t rowsAt = w.bytes.size();
        for (int y = 0; y < 3; ++y) {
            w.U8(0xA5 ^ y);
            w.U8(0x80);
            w.U16(0);
        }
        seeds.push_back({"v5-1bit-9x3.bmp", BmpFile(w.bytes, rowsAt), 9, 3});
    }

    for (const Seed& seed : seeds) {
        const std::string path = PathFor("bmp", seed.name);
        SaveBytes(path, seed.bytes);
        CImageImplBmp check;
        ExpectSize(check, path, seed.width, seed.height);
    }
}

// ---- GIF ------------------------------------------------------------------

// LZW as GIF decoders read it: the code width follows a mirror of the
// decoder's table, which adds no entry for the first code after a clear.
Bytes LzwEncode(const Bytes& pixels, int minimumCodeSize)
{
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    std::map<std::pair<int, int>, int> table;
    int encoderNext = firstFree;
    int width = minimumCodeSize + 1;
    int decoderNext = firstFree;
    int topSlot = 1 << width;
    bool first = true;

    Bytes packed;
    std::uint32_t bits = 0;
    int bitCount = 0;
    auto emit = [&](int code) {
        bits |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
        if (code == clear) {
            width = minimumCodeSize + 1;
            decoderNext = firstFree;
            topSlot = 1 << width;
            first = true;
            table.clear();
            encoderNext = firstFree;
            return;
        }
        if (first) {
            first = false;
        } else {
            if (decoderNext < topSlot)
                ++decoderNext;
            if (decoderNext >= topSlot && width < 12) {
                topSlot <<= 1;
                ++width;
            }
        }
    };

    emit(clear);
    int prefix = -1;
    for (std::uint8_t pixel : pixels) {
        if (prefix < 0) {
            prefix = pixel;
            continue;
        }
        const auto found = table.find({prefix, pixel});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (encoderNext < 4096)
            table[{prefix, pixel}] = encoderNext++;
        else
            emit(clear);
        prefix = pixel;
    }
    if (prefix >= 0)
        emit(prefix);
    emit(end);
    if (bitCount > 0)
        packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    return packed;
}

struct GifImage {
    int width;
    int height;
    int colours; // entries of the table that goes with it
    bool localTable;
    bool interlaced;
    int minimumCodeSize;
    std::size_t blockSize = 255;
};

int TableField(int colours)
{
    int field = 0;
    while ((2 << field) < colours)
        ++field;
    return field;
}

void Table(Writer& w, int colours)
{
    const int entries = 2 << TableField(colours);
    for (int i = 0; i < entries; ++i) {
        w.U8((i * 53) & 0xFF);
        w.U8((i * 101 + 40) & 0xFF);
        w.U8(255 - ((i * 17) & 0xFF));
    }
}

// Rows from the top, in the order the file stores them.
Bytes GifPixels(const GifImage& image)
{
    std::vector<int> order;
    if (image.interlaced) {
        const int starts[4] = {0, 4, 2, 1};
        const int steps[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int row = starts[pass]; row < image.height; row += steps[pass])
                order.push_back(row);
        }
    } else {
        for (int row = 0; row < image.height; ++row)
            order.push_back(row);
    }
    Bytes pixels;
    for (int row : order) {
        for (int x = 0; x < image.width; ++x)
            pixels.push_back(static_cast<std::uint8_t>(
                image.colours >= 64 ? (x * 7 + row * 13 + (x * row) % 5) % image.colours
                                    : PatternIndex(x, row, image.colours)));
    }
    return pixels;
}

void ImageBlock(Writer& w, const GifImage& image)
{
    w.U8(0x2C);
    w.U16(0);
    w.U16(0);
    w.U16(image.width);
    w.U16(image.height);
    w.U8((image.localTable ? 0x80 | TableField(image.colours) : 0) | (image.interlaced ? 0x40 : 0));
    if (image.localTable)
        Table(w, image.colours);
    w.U8(image.minimumCodeSize);
    const Bytes data = LzwEncode(GifPixels(image), image.minimumCodeSize);
    for (std::size_t at = 0; at < data.size(); at += image.blockSize) {
        const std::size_t size = std::min(image.blockSize, data.size() - at);
        w.U8(static_cast<unsigned>(size));
        w.bytes.insert(w.bytes.end(), data.begin() + at, data.begin() + at + size);
    }
    w.U8(0);
}

struct GifFile {
    std::string name;
    const char* version = "89a";
    int globalColours = 0; // 0: no global table
    int transparent = -1;  // a graphic control extension when not -1
    bool extensions = false;
    std::vector<GifImage> images;
};

void WriteGif(const GifFile& gif)
{
    Writer w;
    for (const char* c = "GIF"; *c; ++c)
        w.U8(*c);
    for (const char* c = gif.version; *c; ++c)
        w.U8(*c);
    w.U16(gif.images.front().width);
    w.U16(gif.images.front().height);
    w.U8(gif.globalColours > 0 ? 0x80 | 0x70 | TableField(gif.globalColours) : 0);
    w.U8(0);
    w.U8(0);
    if (gif.globalColours > 0)
        Table(w, gif.globalColours);
    if (gif.extensions) {
        const char comment[] = "seed";
        w.U8(0x21);
        w.U8(0xFE);
        w.U8(sizeof comment - 1);
        for (const char* c = comment; *c; ++c)
            w.U8(*c);
        w.U8(0);
        const char application[] = "NETSCAPE2.0";
        w.U8(0x21);
        w.U8(0xFF);
        w.U8(11);
        for (const char* c = application; *c; ++c)
            w.U8(*c);
        w.U8(3);
        w.U8(1);
        w.U16(0);
        w.U8(0);
    }
    if (gif.transparent >= 0) {
        w.U8(0x21);
        w.U8(0xF9);
        w.U8(4);
        w.U8(1);
        w.U16(10);
        w.U8(gif.transparent);
        w.U8(0);
    }
    for (const GifImage& image : gif.images)
        ImageBlock(w, image);
    w.U8(0x3B);

    const std::string path = PathFor("gif", gif.name);
    SaveBytes(path, w.bytes);
    // Every pixel must come back: the encoder above is ours too.
    const GifImage& image = gif.images.front();
    CImageImplGif check;
    ExpectSize(check, path, image.width, image.height);
    GifImage plain = image;
    plain.interlaced = false;
    const Bytes expected = GifPixels(plain);
    for (int row = 0; row < image.height; ++row) {
        for (int x = 0; x < image.width; ++x) {
            if (check.GetPixelIndex(x, image.height - 1 - row) !=
                expected[static_cast<std::size_t>(row) * image.width + x])
                Fail(path + " reads back with other pixels");
        }
    }
}

void Gifs()
{
    GifFile a;
    a.name = "87a-global-8x8.gif";
    a.version = "87a";
    a.globalColours = 4;
    a.images = {{8, 8, 4, false, false, 2}};
    WriteGif(a);

    GifFile b;
    b.name = "transparent-5x3.gif";
    b.globalColours = 2;
    b.transparent = 1;
    b.images = {{5, 3, 2, false, false, 2}};
    WriteGif(b);

    GifFile c;
    c.name = "local-table-6x4.gif";
    c.images = {{6, 4, 16, true, false, 4}};
    WriteGif(c);

    GifFile d;
    d.name = "interlaced-10x11.gif";
    d.globalColours = 8;
    d.images = {{10, 11, 8, false, true, 3}};
    WriteGif(d);

    GifFile e;
    e.name = "extensions-4x4.gif";
    e.globalColours = 4;
    e.extensions = true;
    e.transparent = 0;
    e.images = {{4, 4, 4, false, false, 2}};
    WriteGif(e);

    // Enough distinct strings to fill the table: 12-bit codes and a clear.
    GifFile f;
    f.name = "full-table-64x64.gif";
    f.globalColours = 256;
    f.images = {{64, 64, 256, false, false, 8}};
    WriteGif(f);

    GifFile g;
    g.name = "small-blocks-9x9.gif";
    g.globalColours = 16;
    g.images = {{9, 9, 16, false, false, 4, 7}};
    WriteGif(g);

    GifFile h;
    h.name = "two-images-7x5.gif";
    h.globalColours = 4;
    h.images = {{7, 5, 4, false, false, 2}, {3, 3, 8, true, true, 3}};
    WriteGif(h);
}

// ---- PNG ------------------------------------------------------------------

void PngWithOurWriter(int width, int height, int depth, int colorType)
{
    CImageImplPng image;
    if (image.Create(width, height, depth, colorType) == 0)
        Fail("cannot create a PNG picture");
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        const int colours = 1 << depth;
        Bytes rgb;
        for (int i = 0; i < colours; ++i) {
            rgb.push_back(static_cast<std::uint8_t>(i * 255 / (colours - 1)));
            rgb.push_back(static_cast<std::uint8_t>(200 - i * 150 / colours));
            rgb.push_back(static_cast<std::uint8_t>((i * 71) & 0xFF));
        }
        image.SetPaletteRGB(colours, rgb.data());
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int i = 0; i < image.GetRowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(29 * i + 7 * y);
    }
    const std::string path =
        PathFor("png", "writer-type" + std::to_string(colorType) + "-" + std::to_string(depth) +
                           "bit-" + std::to_string(width) + "x" + std::to_string(height) + ".png");
    if (image.Write(path) != 1)
        Fail("our PNG writer failed on " + path);
    CImageImplPng check;
    ExpectSize(check, path, width, height);
}

// Layouts our writer never makes: alpha, 16 bits, tRNS, Adam7, text.
void PngWithLibpng(const std::string& name, int width, int height, int bitDepth, int colorType,
                   bool interlaced)
{
    const std::string path = PathFor("png", name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0)
        Fail("libpng failed on " + path);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 bitDepth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[16];
        png_byte alpha[16];
        for (int i = 0; i < 16; ++i) {
            palette[i] = {static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 16),
                          static_cast<png_byte>(i * 5)};
            alpha[i] = static_cast<png_byte>(i * 17);
        }
        png_set_PLTE(png, info, palette, 1 << std::min(bitDepth, 4));
        png_set_tRNS(png, info, alpha, 1 << std::min(bitDepth, 4), nullptr);
    }
    png_set_gAMA(png, info, 0.45455);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>("seed");
    png_set_text(png, info, &text, 1);
    png_write_info(png, info);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    Bytes row(png_get_rowbytes(png, info));
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = static_cast<std::uint8_t>(13 * i + 31 * y + 50 * (i % 4 == 3));
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    CImageImplPng check;
    ExpectSize(check, path, width, height);
}

// ---- JPEG -----------------------------------------------------------------

void JpegWithOurWriter(int width, int height, int depth)
{
    CImageImplJpeg image;
    if (image.Create(width, height, depth, -1) == 0)
        Fail("cannot create a JPEG picture");
    if (depth <= 8) {
        Bytes rgb;
        for (int i = 0; i < 256; ++i) {
            rgb.push_back(static_cast<std::uint8_t>(i));
            rgb.push_back(static_cast<std::uint8_t>(255 - i));
            rgb.push_back(static_cast<std::uint8_t>((i * 3) & 0xFF));
        }
        image.SetPaletteRGB(256, rgb.data());
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int i = 0; i < image.GetRowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(9 * i + 17 * y);
    }
    const std::string path =
        PathFor("jpeg", "writer-" + std::to_string(depth) + "bit-" + std::to_string(width) + "x" +
                            std::to_string(height) + ".jpg");
    if (image.Write(path) != 1)
        Fail("our JPEG writer failed on " + path);
    CImageImplJpeg check;
    ExpectSize(check, path, width, height);
}

struct JpegOptions {
    J_COLOR_SPACE space = JCS_RGB;
    int components = 3;
    bool progressive = false;
    bool arithmetic = false;
    bool fullChroma = false;
    unsigned restartRows = 0;
};

// What our writer never makes: grey, CMYK, progressive, arithmetic coding,
// restart markers, 4:4:4.
void JpegWithLibjpeg(const std::string& name, int width, int height, const JpegOptions& options)
{
    const std::string path = PathFor("jpeg", name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("cannot write " + path);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 60, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    if (options.fullChroma && options.components == 3) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    cinfo.restart_in_rows = static_cast<int>(options.restartRows);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(static_cast<std::size_t>(width) * options.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(11 * i + 23 * cinfo.next_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
    CImageImplJpeg check;
    ExpectSize(check, path, width, height);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    g_out = argv[1];

    for (int depth : {1, 4, 8, 16, 24, 32})
        BmpWithOurWriter(depth == 1 ? 13 : 5, 3, depth);
    HandBuiltBmps();

    Gifs();

    for (int depth : {1, 2, 4, 8})
        PngWithOurWriter(7, 3, depth, PNG_COLOR_TYPE_PALETTE);
    PngWithOurWriter(6, 4, 8, PNG_COLOR_TYPE_GRAY);
    PngWithOurWriter(5, 5, 24, PNG_COLOR_TYPE_RGB);
    PngWithLibpng("libpng-adam7-rgb-9x9.png", 9, 9, 8, PNG_COLOR_TYPE_RGB, true);
    PngWithLibpng("libpng-rgba-4x4.png", 4, 4, 8, PNG_COLOR_TYPE_RGB_ALPHA, false);
    PngWithLibpng("libpng-grey-alpha-4x3.png", 4, 3, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false);
    PngWithLibpng("libpng-16bit-rgb-3x3.png", 3, 3, 16, PNG_COLOR_TYPE_RGB, false);
    PngWithLibpng("libpng-16bit-grey-3x2.png", 3, 2, 16, PNG_COLOR_TYPE_GRAY, true);
    PngWithLibpng("libpng-trns-4bit-5x4.png", 5, 4, 4, PNG_COLOR_TYPE_PALETTE, false);
    PngWithLibpng("libpng-2bit-grey-11x2.png", 11, 2, 2, PNG_COLOR_TYPE_GRAY, false);

    JpegWithOurWriter(16, 16, 24);
    JpegWithOurWriter(9, 7, 8);
    JpegOptions grey;
    grey.space = JCS_GRAYSCALE;
    grey.components = 1;
    JpegWithLibjpeg("libjpeg-grey-16x8.jpg", 16, 8, grey);
    JpegOptions progressive;
    progressive.progressive = true;
    JpegWithLibjpeg("libjpeg-progressive-17x9.jpg", 17, 9, progressive);
    JpegOptions arithmetic;
    arithmetic.arithmetic = true;
    JpegWithLibjpeg("libjpeg-arithmetic-8x8.jpg", 8, 8, arithmetic);
    JpegOptions restarts;
    restarts.fullChroma = true;
    restarts.restartRows = 1;
    JpegWithLibjpeg("libjpeg-444-restarts-16x24.jpg", 16, 24, restarts);
    JpegOptions cmyk;
    cmyk.space = JCS_CMYK;
    cmyk.components = 4;
    JpegWithLibjpeg("libjpeg-cmyk-8x8.jpg", 8, 8, cmyk);

    std::printf("make_seeds: %d pictures in %s\n", g_written, g_out.c_str());
    return 0;
}
