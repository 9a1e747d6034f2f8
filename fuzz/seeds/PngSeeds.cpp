// PNGs through libpng's writer: every colour type at every bit depth it
// allows, plain and interlaced, with each kind of tRNS, bKGD, gAMA, sBIT,
// cHRM and sRGB, then files whose chunks are edited: unknown ancillary and
// critical chunks, a chunk longer than the file, IDAT split into many small
// chunks, a damaged CRC, a missing end.
#include "Seeds.h"

#include "image/CImageImplPng.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>

#include <png.h>
#include <zlib.h>

namespace seeds {

namespace {

enum class Trns { None, Full, Partial };

struct Png {
    int width = 7;
    int height = 5;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    int paletteEntries = 0; // 0: all the depth can index
    Trns trns = Trns::None;
    bool background = false;
    double gamma = 0; // 0: no gAMA
    bool significantBits = false;
    bool chromaticities = false;
    bool srgb = false;
    bool text = false;
};

Png Of(int colorType, int bitDepth, bool interlaced = false)
{
    Png png;
    png.colorType = colorType;
    png.bitDepth = bitDepth;
    png.interlaced = interlaced;
    return png;
}

void AppendToBytes(png_structp png, png_bytep data, png_size_t size)
{
    auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + size);
}

void NoFlush(png_structp)
{
}

int Channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

void SetChunks(png_structp png, png_infop info, const Png& o)
{
    const int maxIndex = o.colorType == PNG_COLOR_TYPE_PALETTE ? 1 << o.bitDepth : 0;
    const int entries = o.paletteEntries != 0 ? o.paletteEntries : maxIndex;
    if (o.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[256];
        for (int i = 0; i < entries; ++i)
            palette[i] = {static_cast<png_byte>(i * 255 / std::max(1, entries - 1)),
                          static_cast<png_byte>(255 - i * 3), static_cast<png_byte>(i * 5)};
        png_set_PLTE(png, info, palette, entries);
    }
    const int top = (1 << std::min(o.bitDepth, 16)) - 1;
    if (o.trns != Trns::None) {
        if (o.colorType == PNG_COLOR_TYPE_PALETTE) {
            png_byte alpha[256];
            const int count = o.trns == Trns::Full ? entries : std::max(1, entries / 2);
            for (int i = 0; i < count; ++i)
                alpha[i] = static_cast<png_byte>(i * 97);
            png_set_tRNS(png, info, alpha, count, nullptr);
        } else {
            png_color_16 colour = {0, static_cast<png_uint_16>(top / 3),
                                   static_cast<png_uint_16>(top / 2), static_cast<png_uint_16>(top),
                                   static_cast<png_uint_16>(1)};
            png_set_tRNS(png, info, nullptr, 0, &colour);
        }
    }
    if (o.background) {
        png_color_16 colour = {1, static_cast<png_uint_16>(top), 0,
                               static_cast<png_uint_16>(top / 2), static_cast<png_uint_16>(top)};
        png_set_bKGD(png, info, &colour);
    }
    if (o.gamma > 0)
        png_set_gAMA(png, info, o.gamma);
    if (o.significantBits) {
        const png_byte bits = static_cast<png_byte>(std::max(1, std::min(o.bitDepth, 8) - 3));
        png_color_8 sig = {bits, static_cast<png_byte>(bits + 1), bits, bits, bits};
        png_set_sBIT(png, info, &sig);
    }
    if (o.chromaticities)
        png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
    if (o.srgb)
        png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (o.text) {
        png_text texts[3] = {};
        const char* keys[3] = {"Comment", "Title", "Author"};
        const int kinds[3] = {PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_zTXt,
                              PNG_ITXT_COMPRESSION_NONE};
        for (int i = 0; i < 3; ++i) {
            texts[i].compression = kinds[i];
            texts[i].key = const_cast<char*>(keys[i]);
            texts[i].text = const_cast<char*>("a seed");
            // libpng copies an international text's language fields even
            // when empty: a null one is undefined behaviour inside it.
            texts[i].lang = const_cast<char*>("");
            texts[i].lang_key = const_cast<char*>("");
        }
        png_set_text(png, info, texts, 3);
        png_time time = {2024, 5, 17, 12, 30, 0};
        png_set_tIME(png, info, &time);
        png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
    }
}

Bytes Encode(const Png& o)
{
    Bytes bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0)
        Fail("libpng could not write a seed");
    png_set_write_fn(png, &bytes, AppendToBytes, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(o.width), static_cast<png_uint_32>(o.height),
                 o.bitDepth, o.colorType, o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    SetChunks(png, info, o);
    png_write_info(png, info);
    const int passes = o.interlaced ? png_set_interlace_handling(png) : 1;
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const int samples = o.width * Channels(o.colorType);
    const int entries = o.paletteEntries != 0 ? o.paletteEntries : 1 << o.bitDepth;
    Bytes row(rowBytes);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < o.height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int s = 0; s < samples; ++s) {
                if (o.bitDepth >= 8) {
                    const std::size_t bytesPer = static_cast<std::size_t>(o.bitDepth / 8);
                    for (std::size_t b = 0; b < bytesPer; ++b)
                        row[s * bytesPer + b] = static_cast<std::uint8_t>(
                            o.colorType == PNG_COLOR_TYPE_PALETTE ? PatternIndex(s, y, entries)
                                                                  : 13 * s + 31 * y + 7 * b);
                    continue;
                }
                const int levels =
                    o.colorType == PNG_COLOR_TYPE_PALETTE ? entries : 1 << o.bitDepth;
                const unsigned value = static_cast<unsigned>(PatternIndex(s, y, levels));
                const int bit = s * o.bitDepth;
                row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - o.bitDepth - bit % 8));
            }
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// ---- chunk editing ----------------------------------------------------------

struct Chunk {
    std::string type;
    Bytes data;
    bool badCrc = false;
    std::int64_t claimedLength = -1; // -1: the data's
};

std::vector<Chunk> Chunks(const Bytes& file)
{
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = static_cast<std::uint32_t>(file[at]) << 24 |
                                     static_cast<std::uint32_t>(file[at + 1]) << 16 |
                                     static_cast<std::uint32_t>(file[at + 2]) << 8 | file[at + 3];
        Chunk chunk;
        chunk.type.assign(file.begin() + at + 4, file.begin() + at + 8);
        chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

Bytes Assemble(const std::vector<Chunk>& chunks)
{
    Writer w;
    w.Append({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    for (const Chunk& chunk : chunks) {
        w.BE32(static_cast<std::uint32_t>(chunk.claimedLength < 0 ? chunk.data.size()
                                                                  : chunk.claimedLength));
        Bytes typed(chunk.type.begin(), chunk.type.end());
        typed.insert(typed.end(), chunk.data.begin(), chunk.data.end());
        w.Append(typed);
        const auto crc = crc32(0, typed.data(), static_cast<uInt>(typed.size()));
        w.BE32(static_cast<std::uint32_t>(crc) ^ (chunk.badCrc ? 1u : 0u));
    }
    return w.bytes;
}

std::size_t IndexOf(const std::vector<Chunk>& chunks, const std::string& type)
{
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].type == type)
            return i;
    }
    Fail("no " + type + " chunk");
}

void Keep(const std::string& name, const Bytes& bytes, const Expected& expected)
{
    SaveAndCheck<CImageImplPng>("png", name + ".png", bytes, expected);
}

void Keep(const std::string& name, const Png& o)
{
    Keep(name, Encode(o), Picture(o.width, o.height));
}

std::string Name(const Png& o)
{
    static const std::pair<int, const char*> names[] = {{PNG_COLOR_TYPE_GRAY, "grey"},
                                                        {PNG_COLOR_TYPE_RGB, "rgb"},
                                                        {PNG_COLOR_TYPE_PALETTE, "palette"},
                                                        {PNG_COLOR_TYPE_GRAY_ALPHA, "grey-alpha"},
                                                        {PNG_COLOR_TYPE_RGB_ALPHA, "rgba"}};
    std::string name;
    for (const auto& [type, text] : names) {
        if (type == o.colorType)
            name = text;
    }
    return name + std::to_string(o.bitDepth) + (o.interlaced ? "-adam7" : "");
}

struct TypeDepths {
    int colorType;
    std::vector<int> depths;
};

const std::vector<TypeDepths> kTypes = {
    {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}}, {PNG_COLOR_TYPE_RGB, {8, 16}},
    {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},  {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
    {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
};

void OurWriter(int width, int height, int depth, int colorType)
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
        SeedPath("png", "writer-type" + std::to_string(colorType) + "-" + std::to_string(depth) +
                            "bit-" + std::to_string(width) + "x" + std::to_string(height) + ".png");
    if (image.Write(path) != 1)
        Fail("our PNG writer failed on " + path);
    CImageImplPng check;
    ExpectRead(check, path, Picture(width, height));
}

void EveryTypeAndDepth()
{
    for (const TypeDepths& type : kTypes) {
        for (int depth : type.depths) {
            for (bool interlaced : {false, true})
                Keep(Name(Of(type.colorType, depth, interlaced)),
                     Of(type.colorType, depth, interlaced));
        }
    }
}

void AncillaryChunks()
{
    for (const TypeDepths& type : kTypes) {
        for (int depth : type.depths) {
            const Png base = Of(type.colorType, depth);
            const bool alpha = (type.colorType & PNG_COLOR_MASK_ALPHA) != 0;
            if (!alpha) {
                Png trns = base;
                trns.trns = Trns::Full;
                Keep(Name(base) + "-trns", trns);
                if (type.colorType == PNG_COLOR_TYPE_PALETTE) {
                    trns.trns = Trns::Partial;
                    Keep(Name(base) + "-trns-partial", trns);
                    trns.interlaced = true;
                    Keep(Name(base) + "-trns-partial-adam7", trns);
                }
            }
            Png background = base;
            background.background = true;
            Keep(Name(base) + "-bkgd", background);
            Png sig = base;
            sig.significantBits = true;
            Keep(Name(base) + "-sbit", sig);
        }
    }
    for (double gamma : {1.0, 0.45455, 2.2}) {
        for (int type : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE}) {
            Png o = Of(type, 8);
            o.gamma = gamma;
            o.trns = type == PNG_COLOR_TYPE_PALETTE ? Trns::Full : Trns::None;
            Keep(Name(o) + "-gama" + std::to_string(static_cast<int>(gamma * 100000)), o);
        }
    }
    Png chrm = Of(PNG_COLOR_TYPE_RGB, 8);
    chrm.chromaticities = true;
    chrm.gamma = 0.45455;
    Keep("rgb8-chrm-gama", chrm);
    Png srgb = Of(PNG_COLOR_TYPE_RGB_ALPHA, 8);
    srgb.srgb = true;
    Keep("rgba8-srgb", srgb);
    Png text = Of(PNG_COLOR_TYPE_PALETTE, 4, true);
    text.text = true;
    text.trns = Trns::Partial;
    text.background = true;
    text.gamma = 0.45455;
    Keep("palette4-adam7-everything", text);
    Png few = Of(PNG_COLOR_TYPE_PALETTE, 8);
    few.paletteEntries = 3;
    Keep("palette8-three-entries", few);
    Png grey16 = Of(PNG_COLOR_TYPE_GRAY, 16, true);
    grey16.trns = Trns::Full;
    grey16.background = true;
    grey16.gamma = 1.0;
    Keep("grey16-adam7-trns-bkgd-gama", grey16);
    for (auto [width, height] : std::vector<std::pair<int, int>>{{1, 1}, {1, 9}, {9, 1}, {33, 2}}) {
        Png o = Of(PNG_COLOR_TYPE_PALETTE, 2, true);
        o.width = width;
        o.height = height;
        Keep("palette2-adam7-" + std::to_string(width) + "x" + std::to_string(height), o);
    }
}

// Edits of one file's chunks. libpng stops at an unknown critical chunk, a
// chunk that runs past the end and a damaged critical CRC; a damaged
// ancillary CRC only drops that chunk.
void EditedChunks()
{
    Png base = Of(PNG_COLOR_TYPE_PALETTE, 8);
    base.trns = Trns::Full;
    base.width = 24;
    base.height = 12;
    const std::vector<Chunk> chunks = Chunks(Encode(base));
    const Expected picture = Picture(base.width, base.height);
    using Edit = std::function<void(std::vector<Chunk>&)>;
    const auto at = [](std::vector<Chunk>& c, const std::string& type) {
        return c.begin() + static_cast<std::ptrdiff_t>(IndexOf(c, type));
    };
    const std::vector<std::tuple<std::string, Edit, Expected>> edits = {
        {"unknown-ancillary-before-idat",
         [&](auto& c) {
             c.insert(at(c, "IDAT"), Chunk{"vrNl", {1, 2, 3}});
         },
         picture},
        {"unknown-ancillary-after-idat",
         [&](auto& c) {
             c.insert(at(c, "IEND"), Chunk{"vrNl", Bytes(40, 7)});
         },
         picture},
        {"unknown-critical-before-idat",
         [&](auto& c) {
             c.insert(at(c, "IDAT"), Chunk{"VRNL", {1, 2, 3}});
         },
         Refusal()},
        {"unknown-critical-after-idat",
         [&](auto& c) {
             c.insert(at(c, "IEND"), Chunk{"VRNL", {1}});
         },
         Refusal()},
        {"oversized-ancillary",
         [&](auto& c) {
             Chunk big{"vrNl", {1, 2, 3, 4}};
             big.claimedLength = 100000;
             c.insert(at(c, "IDAT"), big);
         },
         Refusal()},
        {"oversized-skipped-text",
         [&](auto& c) {
             Chunk big{"tEXt", {'a', 0, 'b'}};
             big.claimedLength = 0x7FFFFFFF;
             c.insert(at(c, "IDAT"), big);
         },
         Refusal()},
        {"oversized-idat", [&](auto& c) { at(c, "IDAT")->claimedLength = 60000; }, Refusal()},
        {"bad-crc-ancillary", [&](auto& c) { at(c, "tRNS")->badCrc = true; }, picture},
        {"bad-crc-ihdr", [&](auto& c) { at(c, "IHDR")->badCrc = true; }, Refusal()},
        {"no-iend", [&](auto& c) { c.erase(at(c, "IEND")); }, Refusal()},
        {"idat-in-small-chunks",
         [&](auto& c) {
             const auto idat = at(c, "IDAT");
             const Bytes data = idat->data;
             const std::size_t index = static_cast<std::size_t>(idat - c.begin());
             c.erase(idat);
             for (std::size_t i = data.size(); i-- > 0;)
                 c.insert(c.begin() + static_cast<std::ptrdiff_t>(index), Chunk{"IDAT", {data[i]}});
             c.insert(c.begin() + static_cast<std::ptrdiff_t>(index), Chunk{"IDAT", {}});
         },
         picture},
    };
    for (const auto& [name, edit, expected] : edits) {
        std::vector<Chunk> edited = chunks;
        edit(edited);
        Keep(name, Assemble(edited), expected);
    }
}

} // namespace

Bytes SmallPng(int width, int height)
{
    Png o = Of(PNG_COLOR_TYPE_RGB, 8);
    o.width = width;
    o.height = height;
    return Encode(o);
}

void WritePngSeeds()
{
    for (int depth : {1, 2, 4, 8})
        OurWriter(7, 3, depth, PNG_COLOR_TYPE_PALETTE);
    OurWriter(6, 4, 8, PNG_COLOR_TYPE_GRAY);
    OurWriter(5, 5, 24, PNG_COLOR_TYPE_RGB);
    EveryTypeAndDepth();
    AncillaryChunks();
    EditedChunks();
}

} // namespace seeds
