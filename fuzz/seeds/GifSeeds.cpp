// GIFs through our own LZW encoder: every minimum code size from 1 to 12
// (the reader decodes 2 to 9 and leaves the others blank), interlacing at
// every pass boundary, several images, every kind of extension, global and
// local tables of every size, clears and a full table without one, and files
// cut off inside each block.
#include "Seeds.h"

#include "image/CImageImplGif.h"

#include <algorithm>
#include <map>
#include <utility>

namespace seeds {

namespace {

constexpr int kExtension = 0x21;
constexpr int kGraphicControl = 0xF9;
constexpr int kComment = 0xFE;
constexpr int kPlainText = 0x01;
constexpr int kApplication = 0xFF;

struct Lzw {
    int clearEvery = 0;         // codes between clears; 0: only when the table is full
    bool deferredClear = false; // a full table stays in use, no clear follows
    std::size_t stopAfter = 0;  // pixels coded before an early end code; 0: all
};

// LZW as GIF decoders read it: the code width follows a mirror of the
// decoder's table, which adds no entry for the first code after a clear.
Bytes LzwEncode(const Bytes& pixels, int minimumCodeSize, const Lzw& options)
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
    int sinceClear = 0;

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
            sinceClear = 0;
            return;
        }
        ++sinceClear;
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

    const std::size_t count =
        options.stopAfter != 0 ? std::min(options.stopAfter, pixels.size()) : pixels.size();
    emit(clear);
    int prefix = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const int pixel = pixels[i];
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
        if (options.clearEvery != 0 && sinceClear >= options.clearEvery)
            emit(clear);
        else if (encoderNext < 4096)
            table[{prefix, pixel}] = encoderNext++;
        else if (!options.deferredClear)
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
    int width = 8;
    int height = 8;
    int colours = 4; // pixel values 0..colours-1, and the local table's entries
    bool localTable = false;
    bool interlaced = false;
    int minimumCodeSize = 2;
    std::size_t blockSize = 255;
    int left = 0;
    int top = 0;
    Lzw lzw;
};

GifImage Image(int width, int height, int colours, int minimumCodeSize)
{
    GifImage image;
    image.width = width;
    image.height = height;
    image.colours = colours;
    image.minimumCodeSize = minimumCodeSize;
    return image;
}

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
Bytes GifPixels(const GifImage& image, bool interlaced)
{
    std::vector<int> order;
    if (interlaced) {
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

Bytes Screen(int width, int height, int globalColours, const char* version = "89a")
{
    Writer w;
    w.Text("GIF");
    w.Text(version);
    w.U16(width);
    w.U16(height);
    w.U8(globalColours > 0 ? 0x80 | 0x70 | TableField(globalColours) : 0);
    w.U8(0);
    w.U8(0);
    if (globalColours > 0)
        Table(w, globalColours);
    return w.bytes;
}

Bytes SubBlocks(const Bytes& data, std::size_t blockSize = 255)
{
    Writer w;
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::size_t size = std::min(blockSize, data.size() - at);
        w.U8(static_cast<unsigned>(size));
        w.bytes.insert(w.bytes.end(), data.begin() + at, data.begin() + at + size);
    }
    w.U8(0);
    return w.bytes;
}

Bytes Extension(int label, const Bytes& first, const Bytes& rest = {})
{
    Writer w;
    w.U8(kExtension);
    w.U8(label);
    if (!first.empty()) {
        w.U8(static_cast<unsigned>(first.size()));
        w.Append(first);
    }
    w.Append(SubBlocks(rest));
    return w.bytes;
}

Bytes GraphicControl(int transparent, int disposal = 0, std::size_t size = 4)
{
    Bytes body = {static_cast<std::uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0)), 10, 0,
                  static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0)};
    body.resize(size, 0);
    return Extension(kGraphicControl, body);
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes ImageBlock(const GifImage& image)
{
    Writer w;
    w.U8(0x2C);
    w.U16(image.left);
    w.U16(image.top);
    w.U16(image.width);
    w.U16(image.height);
    w.U8((image.localTable ? 0x80 | TableField(image.colours) : 0) | (image.interlaced ? 0x40 : 0));
    if (image.localTable)
        Table(w, image.colours);
    w.U8(image.minimumCodeSize);
    w.Append(
        SubBlocks(LzwEncode(GifPixels(image, image.interlaced), image.minimumCodeSize, image.lzw),
                  image.blockSize));
    return w.bytes;
}

const Bytes kTrailer = {0x3B};

Bytes Join(const std::vector<Bytes>& parts)
{
    Writer w;
    for (const Bytes& part : parts)
        w.Append(part);
    return w.bytes;
}

enum class Pixels { Exact, Blank, Unchecked };

// Reads the file back: the picture of the first image, its pixels as coded
// (Exact), never decoded (Blank), or whatever a damaged file gives.
void Keep(const std::string& name, const Bytes& bytes, const GifImage& first, Pixels pixels,
          Expected expected)
{
    const std::string path = SaveSeed("gif", name + ".gif", bytes);
    CImageImplGif check;
    ExpectRead(check, path, expected);
    if (pixels == Pixels::Unchecked)
        return;
    const Bytes coded = GifPixels(first, false);
    for (int row = 0; row < first.height; ++row) {
        for (int x = 0; x < first.width; ++x) {
            const int want = pixels == Pixels::Exact
                                 ? coded[static_cast<std::size_t>(row) * first.width + x]
                                 : 0;
            if (check.GetPixelIndex(x, first.height - 1 - row) != want)
                Fail(path + " reads back with other pixels");
        }
    }
}

void Keep(const std::string& name, const Bytes& bytes, const GifImage& first)
{
    Keep(name, bytes, first, Pixels::Exact, Picture(first.width, first.height));
}

// A GIF of one image on a screen of its size, after the given blocks.
Bytes OneImage(const GifImage& image, int globalColours, const std::vector<Bytes>& before = {},
               const char* version = "89a")
{
    std::vector<Bytes> parts = {Screen(image.width, image.height, globalColours, version)};
    parts.insert(parts.end(), before.begin(), before.end());
    parts.push_back(ImageBlock(image));
    parts.push_back(kTrailer);
    return Join(parts);
}

const Expected kNoPicture = {1, 0, 0};

void Basics()
{
    const GifImage a = Image(8, 8, 4, 2);
    Keep("87a-global-8x8", OneImage(a, 4, {}, "87a"), a);
    const GifImage b = Image(5, 3, 2, 2);
    Keep("transparent-5x3", OneImage(b, 2, {GraphicControl(1)}), b);
    GifImage c = Image(6, 4, 16, 4);
    c.localTable = true;
    Keep("local-table-6x4", OneImage(c, 0), c);
    // Enough distinct strings to fill the table: 12-bit codes and a clear.
    const GifImage f = Image(64, 64, 256, 8);
    Keep("full-table-64x64", OneImage(f, 256), f);
    GifImage deferred = f;
    deferred.lzw.deferredClear = true;
    Keep("full-table-no-clear-64x64", OneImage(deferred, 256), deferred);
    GifImage clears = Image(16, 16, 16, 4);
    clears.lzw.clearEvery = 5;
    Keep("clear-every-5-codes", OneImage(clears, 16), clears);
    GifImage g = Image(9, 9, 16, 4);
    g.blockSize = 7;
    Keep("small-blocks-9x9", OneImage(g, 16), g);
    GifImage tiny = Image(9, 9, 16, 4);
    tiny.blockSize = 1;
    Keep("one-byte-blocks-9x9", OneImage(tiny, 16), tiny);
    GifImage early = Image(8, 8, 4, 2);
    early.lzw.stopAfter = 20;
    Keep("early-end-code", OneImage(early, 4), early, Pixels::Unchecked, Picture(8, 8));
}

// The reader decodes minimum code sizes 2 to 9 only; the others still make
// the picture, which stays blank.
void CodeSizes()
{
    for (int size = 1; size <= 12; ++size) {
        const GifImage image = Image(16, 16, std::min(1 << size, 256), size);
        const bool decoded = size >= 2 && size <= 9;
        Keep("codesize" + std::to_string(size), OneImage(image, image.colours), image,
             decoded ? Pixels::Exact : Pixels::Blank, Picture(16, 16));
    }
    const GifImage wide = Image(8, 8, 2, 8);
    Keep("codesize8-two-colours", OneImage(wide, 2), wide);
}

void Interlaced()
{
    for (int height : {1, 2, 3, 4, 5, 7, 8, 9, 11, 16}) {
        GifImage image = Image(3, height, 8, 3);
        image.interlaced = true;
        Keep("interlaced-3x" + std::to_string(height), OneImage(image, 8), image);
    }
}

void SeveralImages()
{
    const GifImage first = Image(7, 5, 4, 2);
    GifImage second = Image(3, 3, 8, 3);
    second.localTable = true;
    second.interlaced = true;
    second.left = 2;
    second.top = 1;
    GifImage third = Image(20, 20, 16, 4);
    third.localTable = true;
    third.left = 5;
    Keep("two-images", Join({Screen(7, 5, 4), ImageBlock(first), ImageBlock(second), kTrailer}),
         first);
    Keep("three-images-animated",
         Join({Screen(7, 5, 4), Extension(kApplication, Text("NETSCAPE2.0"), {1, 0, 0}),
               GraphicControl(-1, 1), ImageBlock(first), GraphicControl(2, 2), ImageBlock(second),
               GraphicControl(3, 3), ImageBlock(third), kTrailer}),
         first);
    GifImage offset = Image(4, 4, 4, 2);
    offset.left = 10;
    offset.top = 10;
    Keep("image-off-screen", Join({Screen(8, 8, 4), ImageBlock(offset), kTrailer}), offset);
    const GifImage larger = Image(12, 9, 4, 2);
    Keep("image-larger-than-screen", Join({Screen(4, 4, 4), ImageBlock(larger), kTrailer}), larger);
    Keep("no-images", Join({Screen(4, 4, 4), Extension(kComment, {}, Text("none")), kTrailer}),
         first, Pixels::Unchecked, kNoPicture);
}

void Extensions()
{
    const GifImage image = Image(4, 4, 4, 2);
    const Bytes plainTextGrid = {0, 0, 0, 0, 4, 0, 4, 0, 2, 2, 1, 0};
    const std::vector<std::pair<std::string, Bytes>> kinds = {
        {"gce-plain", GraphicControl(-1)},
        {"gce-transparent", GraphicControl(3)},
        {"gce-transparent-past-table", GraphicControl(200)},
        {"gce-disposal-restore", GraphicControl(0, 3)},
        {"comment", Extension(kComment, {}, Text("a seed comment"))},
        {"comment-empty", Extension(kComment, {})},
        {"comment-long", Extension(kComment, {}, Bytes(600, 'c'))},
        {"plain-text", Extension(kPlainText, plainTextGrid, Text("hi"))},
        {"netscape-loop", Extension(kApplication, Text("NETSCAPE2.0"), {1, 0, 0})},
        {"netscape-buffering", Extension(kApplication, Text("NETSCAPE2.0"), {2, 0, 1, 0, 0})},
        {"animexts", Extension(kApplication, Text("ANIMEXTS1.0"), {1, 5, 0})},
        {"xmp", Extension(kApplication, Text("XMP DataXMP"), Text("<x:xmpmeta/>"))},
        {"unknown-label", Extension(0x99, {}, {1, 2, 3, 4, 5})},
        {"label-zero", Extension(0x00, {}, {7})},
    };
    std::vector<Bytes> all;
    for (const auto& [name, block] : kinds) {
        Keep("extension-" + name, OneImage(image, 4, {block}), image);
        all.push_back(block);
    }
    Keep("extension-every-kind", OneImage(image, 4, all), image);
    Keep("extensions-after-image",
         Join({Screen(4, 4, 4), ImageBlock(image), GraphicControl(1), kinds[4].second, kTrailer}),
         image);
    Keep("extensions-in-87a", OneImage(image, 4, all, "87a"), image);
    // A graphic control block of another length ends the reading.
    for (std::size_t size : {3u, 5u})
        Keep("gce-size" + std::to_string(size), OneImage(image, 4, {GraphicControl(1, 0, size)}),
             image, Pixels::Unchecked, kNoPicture);
    Keep("unknown-introducer", OneImage(image, 4, std::vector<Bytes>{Bytes{0x99}}), image,
         Pixels::Unchecked, kNoPicture);
}

void Tables()
{
    for (int field = 0; field < 8; ++field) {
        const int colours = 2 << field;
        const GifImage global = Image(8, 4, colours, std::max(2, field + 1));
        Keep("global-table" + std::to_string(colours), OneImage(global, colours), global);
        GifImage local = global;
        local.localTable = true;
        Keep("local-table" + std::to_string(colours), OneImage(local, 0), local);
    }
    GifImage both = Image(6, 6, 8, 3);
    both.localTable = true;
    Keep("global-and-local", OneImage(both, 256), both);
    const GifImage bare = Image(6, 6, 4, 2);
    Keep("no-tables", OneImage(bare, 0), bare);
    Keep("no-tables-transparent", OneImage(bare, 0, {GraphicControl(2)}), bare);
    // Entry 15 of our 16-entry table is white-ish only by chance: make it
    // the transparent one, and leave a 2-entry table without white.
    const GifImage sixteen = Image(6, 6, 16, 4);
    Keep("transparent-last-entry", OneImage(sixteen, 16, {GraphicControl(15)}), sixteen);
    const GifImage two = Image(6, 6, 2, 2);
    Keep("transparent-no-white", OneImage(two, 2, {GraphicControl(0)}), two);
}

// One file, cut off inside each of its blocks.
void Truncations()
{
    GifImage image = Image(12, 10, 8, 3);
    image.localTable = true;
    image.blockSize = 16;
    const std::vector<Bytes> parts = {Screen(12, 10, 4), GraphicControl(1),
                                      Extension(kComment, {}, Text("cut")), ImageBlock(image),
                                      kTrailer};
    const Bytes whole = Join(parts);
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    for (const Bytes& part : parts) {
        starts.push_back(at);
        at += part.size();
    }
    const std::size_t table = 13;
    const std::size_t descriptor = starts[3];
    const std::size_t localTable = descriptor + 10;
    const std::size_t data = localTable + 3 * 8 + 1;
    struct Cut {
        std::string name;
        std::size_t length;
        Pixels pixels;
        Expected expected;
    };
    const std::vector<Cut> cuts = {
        {"in-signature", 4, Pixels::Unchecked, Refusal()},
        {"in-screen-descriptor", 10, Pixels::Unchecked, Refusal()},
        {"before-global-table", table, Pixels::Unchecked, kNoPicture},
        {"in-global-table", table + 5, Pixels::Unchecked, kNoPicture},
        {"after-global-table", starts[1], Pixels::Unchecked, kNoPicture},
        {"in-graphic-control", starts[1] + 4, Pixels::Unchecked, kNoPicture},
        {"in-comment", starts[2] + 5, Pixels::Unchecked, kNoPicture},
        {"in-image-descriptor", descriptor + 5, Pixels::Unchecked, kNoPicture},
        {"in-local-table", localTable + 7, Pixels::Unchecked, kNoPicture},
        {"before-code-size", data - 1, Pixels::Unchecked, Picture(12, 10)},
        {"after-code-size", data, Pixels::Unchecked, Picture(12, 10)},
        {"in-image-data", data + 9, Pixels::Unchecked, Picture(12, 10)},
        {"in-last-block", starts[4] - 3, Pixels::Unchecked, Picture(12, 10)},
        {"before-trailer", starts[4], Pixels::Exact, Picture(12, 10)},
    };
    for (const Cut& cut : cuts)
        Keep("cut-" + cut.name, Bytes(whole.begin(), whole.begin() + cut.length), image, cut.pixels,
             cut.expected);
}

} // namespace

void WriteGifSeeds()
{
    Basics();
    CodeSizes();
    Interlaced();
    SeveralImages();
    Extensions();
    Tables();
    Truncations();
}

} // namespace seeds
