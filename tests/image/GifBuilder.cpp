#include "image/GifBuilder.h"

#include "support/TestPaths.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <unordered_map>

namespace {

const int kMaxCodes = 4096;
const int kMaxCodeWidth = 12;

int SizeFieldFor(std::size_t entries)
{
    int field = 0;
    while (field < 7 && (2u << field) < entries)
        ++field;
    return field;
}

} // namespace

int GifCodeWidth(int minimumCodeSize, int codesSinceClear)
{
    const int firstFree = (1 << minimumCodeSize) + 2;
    const int nextFree = std::min(firstFree + codesSinceClear - 1, kMaxCodes);
    int width = minimumCodeSize + 1;
    while (width < kMaxCodeWidth && nextFree >= (1 << width))
        ++width;
    return width;
}

std::vector<GifCode> LzwEncode(const std::vector<std::uint8_t>& pixels, int minimumCodeSize,
                               const LzwOptions& options)
{
    const int clear = 1 << minimumCodeSize;
    std::vector<GifCode> codes;
    std::unordered_map<int, int> table; // prefix code * 256 + pixel -> code
    int nextFree = clear + 2;
    int sinceClear = 0;
    auto put = [&](int code) {
        codes.push_back({code, GifCodeWidth(minimumCodeSize, sinceClear)});
        ++sinceClear;
    };
    auto putClear = [&] {
        put(clear);
        table.clear();
        nextFree = clear + 2;
        sinceClear = 0;
    };

    if (options.leadingClear)
        putClear();
    int prefix = -1; // the longest string in the table so far, as its code
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const auto& marks = options.clearsBefore;
        if (std::find(marks.begin(), marks.end(), i) != marks.end()) {
            if (prefix >= 0)
                put(prefix);
            prefix = -1;
            putClear();
        }
        const int pixel = pixels[i];
        if (prefix < 0) {
            prefix = pixel;
            continue;
        }
        const auto found = table.find(prefix * 256 + pixel);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        put(prefix);
        if (nextFree < kMaxCodes)
            table[prefix * 256 + pixel] = nextFree++;
        else if (options.clearWhenFull)
            putClear();
        prefix = pixel;
    }
    if (prefix >= 0)
        put(prefix);
    if (options.endCode)
        put(clear + 1);
    return codes;
}

std::vector<std::uint8_t> PackCodes(const std::vector<GifCode>& codes)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (const GifCode& code : codes) {
        bits |= static_cast<std::uint32_t>(code.code & ((1 << code.width) - 1)) << count;
        count += code.width;
        for (; count >= 8; count -= 8, bits >>= 8)
            bytes.push_back(static_cast<std::uint8_t>(bits));
    }
    if (count > 0)
        bytes.push_back(static_cast<std::uint8_t>(bits));
    return bytes;
}

std::vector<int> InterlacedRowOrder(int height)
{
    const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}}; // first row, step
    std::vector<int> order;
    for (const auto& pass : passes) {
        for (int row = pass[0]; row < height; row += pass[1])
            order.push_back(row);
    }
    return order;
}

std::vector<GifRgb> GifColours(int count)
{
    std::vector<GifRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7 + 1),
                           static_cast<std::uint8_t>(200 - i / 2)});
    return colours;
}

GifPicture GifPicture::Filled(int width, int height, int value)
{
    return {width, height,
            std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height,
                                      static_cast<std::uint8_t>(value))};
}

GifPicture GifPicture::Pattern(int width, int height, int colours)
{
    GifPicture picture = Filled(width, height, 0);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x)
            picture.pixels[static_cast<std::size_t>(row) * width + x] =
                static_cast<std::uint8_t>((x / 3 + row * row / 5) % colours);
    }
    return picture;
}

GifPicture GifPicture::Noise(int width, int height, int colours, unsigned seed)
{
    GifPicture picture = Filled(width, height, 0);
    std::mt19937 generator(seed); // its output is the same everywhere
    for (std::uint8_t& pixel : picture.pixels)
        pixel = static_cast<std::uint8_t>(generator() % static_cast<unsigned>(colours));
    return picture;
}

GifBuilder::GifBuilder()
{
    static std::atomic<int> counter{0};
    m_path = TemporaryDirectory() + "vornelle_gif_" + std::to_string(::GetCurrentProcessId()) +
             "_" + std::to_string(counter++) + ".gif";
}

GifBuilder::~GifBuilder()
{
    std::remove(m_path.c_str());
}

void GifBuilder::Put16(int value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void GifBuilder::SubBlocks(const std::vector<std::uint8_t>& data, std::size_t blockSize)
{
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::size_t size = std::min(blockSize, data.size() - at);
        m_bytes.push_back(static_cast<std::uint8_t>(size));
        m_bytes.insert(m_bytes.end(), data.begin() + at, data.begin() + at + size);
    }
}

GifBuilder& GifBuilder::Header(const char* signature, int width, int height)
{
    m_bytes.insert(m_bytes.end(), signature, signature + 6);
    Put16(width);
    Put16(height);
    m_packedAt = m_bytes.size();
    m_bytes.push_back(0x70); // colour resolution 8 bits
    m_bytes.push_back(0);    // background index
    m_bytes.push_back(0);    // aspect ratio
    return *this;
}

GifBuilder& GifBuilder::GlobalTable(const std::vector<GifRgb>& colours, int sizeField)
{
    return LocalTable(colours, sizeField);
}

GifBuilder& GifBuilder::GraphicControl(int transparent, int blockSize)
{
    const std::uint8_t fields[4] = {static_cast<std::uint8_t>(transparent >= 0 ? 1 : 0), 10, 0,
                                    static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0)};
    Raw({0x21, 0xF9, blockSize});
    m_bytes.insert(m_bytes.end(), fields, fields + 4);
    return Raw({0});
}

GifBuilder& GifBuilder::Comment(const std::string& text)
{
    Raw({0x21, 0xFE});
    SubBlocks(std::vector<std::uint8_t>(text.begin(), text.end()), 255);
    return Raw({0});
}

GifBuilder& GifBuilder::Application(const std::string& identifier,
                                    const std::vector<std::uint8_t>& data)
{
    Raw({0x21, 0xFF, 11});
    for (std::size_t i = 0; i < 11; ++i)
        m_bytes.push_back(i < identifier.size() ? identifier[i] : ' ');
    SubBlocks(data, 255);
    return Raw({0});
}

GifBuilder& GifBuilder::Descriptor(int width, int height, bool interlaced)
{
    Raw({0x2C});
    Put16(0); // left
    Put16(0); // top
    Put16(width);
    Put16(height);
    m_packedAt = m_bytes.size();
    return Raw({interlaced ? 0x40 : 0});
}

GifBuilder& GifBuilder::LocalTable(const std::vector<GifRgb>& colours, int sizeField)
{
    m_bytes[m_packedAt] |= static_cast<std::uint8_t>(
        0x80 | (sizeField >= 0 ? sizeField : SizeFieldFor(colours.size())));
    for (const GifRgb& colour : colours)
        m_bytes.insert(m_bytes.end(), colour.begin(), colour.end());
    return *this;
}

GifBuilder& GifBuilder::ImageData(int minimumCodeSize, const std::vector<std::uint8_t>& data,
                                  std::size_t blockSize, bool terminator)
{
    Raw({minimumCodeSize});
    SubBlocks(data, blockSize);
    if (terminator)
        Raw({0});
    return *this;
}

GifBuilder& GifBuilder::Codes(int minimumCodeSize, const std::vector<GifCode>& codes)
{
    return ImageData(minimumCodeSize, PackCodes(codes));
}

GifBuilder& GifBuilder::Pixels(const GifPicture& picture, int minimumCodeSize, bool interlaced,
                               const LzwOptions& options)
{
    std::vector<std::uint8_t> stored;
    if (interlaced) {
        for (int row : InterlacedRowOrder(picture.height)) {
            const auto first =
                picture.pixels.begin() + static_cast<std::ptrdiff_t>(row) * picture.width;
            stored.insert(stored.end(), first, first + picture.width);
        }
    } else {
        stored = picture.pixels;
    }
    return Codes(minimumCodeSize, LzwEncode(stored, minimumCodeSize, options));
}

GifBuilder& GifBuilder::Image(const GifPicture& picture, int minimumCodeSize, bool interlaced,
                              const LzwOptions& options)
{
    Descriptor(picture.width, picture.height, interlaced);
    return Pixels(picture, minimumCodeSize, interlaced, options);
}

GifBuilder& GifBuilder::Trailer()
{
    return Raw({0x3B});
}

GifBuilder& GifBuilder::Raw(std::initializer_list<int> bytes)
{
    for (int byte : bytes)
        m_bytes.push_back(static_cast<std::uint8_t>(byte));
    return *this;
}

const std::string& GifBuilder::Write(std::size_t size)
{
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(m_bytes.data(), 1, std::min(size, m_bytes.size()), file);
        std::fclose(file);
    }
    return m_path;
}
