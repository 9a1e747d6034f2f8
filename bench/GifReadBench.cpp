// Times CImageImplGif::Read against giflib decoding the same file into a
// plain buffer, so that our decoder's cost shows as a ratio.
// Usage: gif_read_bench [more.gif ...]

#include "BenchSupport.h"
#include "image/CImageImplGif.h"

#include <windows.h>

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const int kRuns = 7;
// Small files are read this many pixels' worth of times per timing, so that
// the clock's resolution does not show.
const double kPixelsPerTiming = 4e6;

// Palette indices, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// A plain LZW encoder with a clear code whenever the table fills, as most
// writers do; the code width grows one code late, as decoders expect.
class LzwWriter {
public:
    explicit LzwWriter(std::vector<std::uint8_t>& out) : m_out(out) {}

    void Encode(const std::vector<std::uint8_t>& pixels)
    {
        m_out.push_back(kMinimumCodeSize);
        ResetTable();
        Put(kClear);
        int current = pixels.empty() ? -1 : pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            const int next = pixels[i];
            const int found = Find(current, next);
            if (found >= 0) {
                current = found;
                continue;
            }
            Put(current);
            if (m_nextFree >= kFull) {
                Put(kClear);
                ResetTable();
            } else {
                Insert(current, next, m_nextFree++);
            }
            current = next;
        }
        if (current >= 0)
            Put(current);
        Put(kClear + 1);
        if (m_bitCount > 0)
            Byte(static_cast<std::uint8_t>(m_bits));
        Flush();
        m_out.push_back(0);
    }

private:
    static constexpr int kMinimumCodeSize = 8;
    static constexpr int kClear = 1 << kMinimumCodeSize;
    static constexpr int kFull = 4095;
    static constexpr int kHashSize = 8192;

    void ResetTable()
    {
        std::fill(std::begin(m_keys), std::end(m_keys), -1);
        m_nextFree = kClear + 2;
        m_width = kMinimumCodeSize + 1;
    }
    static int Slot(int key) { return ((key * 2654435761u) >> 19) & (kHashSize - 1); }
    int Find(int prefix, int suffix) const
    {
        const int key = (prefix << 8) | suffix;
        for (int slot = Slot(key);; slot = (slot + 1) & (kHashSize - 1)) {
            if (m_keys[slot] == key)
                return m_codes[slot];
            if (m_keys[slot] < 0)
                return -1;
        }
    }
    void Insert(int prefix, int suffix, int code)
    {
        const int key = (prefix << 8) | suffix;
        int slot = Slot(key);
        while (m_keys[slot] >= 0)
            slot = (slot + 1) & (kHashSize - 1);
        m_keys[slot] = key;
        m_codes[slot] = static_cast<std::uint16_t>(code);
    }
    void Put(int code)
    {
        m_bits |= static_cast<std::uint32_t>(code) << m_bitCount;
        m_bitCount += m_width;
        while (m_bitCount >= 8) {
            Byte(static_cast<std::uint8_t>(m_bits));
            m_bits >>= 8;
            m_bitCount -= 8;
        }
        if (m_nextFree >= (1 << m_width) && m_width < 12)
            ++m_width;
    }
    void Byte(std::uint8_t value)
    {
        m_block[m_blockSize++] = value;
        if (m_blockSize == 255)
            Flush();
    }
    void Flush()
    {
        if (m_blockSize == 0)
            return;
        m_out.push_back(static_cast<std::uint8_t>(m_blockSize));
        m_out.insert(m_out.end(), m_block, m_block + m_blockSize);
        m_blockSize = 0;
    }

    std::vector<std::uint8_t>& m_out;
    int m_keys[kHashSize];
    std::uint16_t m_codes[kHashSize];
    int m_nextFree = 0;
    int m_width = 0;
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
    std::uint8_t m_block[255];
    int m_blockSize = 0;
};

void Put16(std::vector<std::uint8_t>& out, int value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

bool WriteGif(const std::string& path, const Picture& picture)
{
    std::vector<std::uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(bytes, picture.width);
    Put16(bytes, picture.height);
    bytes.insert(bytes.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i)
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i * 5)});
    bytes.push_back(0x2C);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put16(bytes, picture.width);
    Put16(bytes, picture.height);
    bytes.push_back(0);
    LzwWriter(bytes).Encode(picture.pixels);
    bytes.push_back(0x3B);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// What a dithered photograph looks like to LZW: short strings, every colour.
Picture Noise(int width, int height)
{
    Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
    std::uint32_t state = 2463534242u;
    for (std::uint8_t& pixel : picture.pixels) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        pixel = static_cast<std::uint8_t>(state >> 24);
    }
    return picture;
}

// Flat areas and bands: long strings, as in drawings.
Picture Bands(int width, int height)
{
    Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>((x / 40 + y / 30) * 7 + ((x * y) >> 15));
    return picture;
}

bool ReadOurs(const std::string& path)
{
    CImageImplGif image;
    return image.Read(path) == 1 && image.GetBits() != nullptr;
}

// giflib as its documentation shows it: records up to the first image, that
// image line by line into a buffer of its own.
std::unique_ptr<std::uint8_t[]> ReadGiflib(const std::string& path, int* width, int* height)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (gif == nullptr)
        return nullptr;
    std::unique_ptr<std::uint8_t[]> pixels;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    bool ok = true;
    while (ok && !pixels && type != TERMINATE_RECORD_TYPE) {
        ok = DGifGetRecordType(gif, &type) == GIF_OK;
        if (ok && type == IMAGE_DESC_RECORD_TYPE) {
            ok = DGifGetImageDesc(gif) == GIF_OK;
            *width = gif->Image.Width;
            *height = gif->Image.Height;
            pixels.reset(new std::uint8_t[static_cast<std::size_t>(*width) * *height]);
            for (int y = 0; ok && y < *height; ++y)
                ok = DGifGetLine(gif, pixels.get() + static_cast<std::size_t>(y) * *width,
                                 *width) == GIF_OK;
        } else if (ok && type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* extension = nullptr;
            ok = DGifGetExtension(gif, &code, &extension) == GIF_OK;
            while (ok && extension != nullptr)
                ok = DGifGetExtensionNext(gif, &extension) == GIF_OK;
        }
    }
    DGifCloseFile(gif, &error);
    return ok ? std::move(pixels) : nullptr;
}

bool SamePixels(const std::string& path, int* width, int* height)
{
    std::unique_ptr<std::uint8_t[]> theirs = ReadGiflib(path, width, height);
    CImageImplGif ours;
    if (!theirs || ours.Read(path) != 1 || ours.GetWidth() != *width || ours.GetHeight() != *height)
        return false;
    for (int y = 0; y < *height; ++y) {
        const std::uint8_t* row =
            ours.GetBits() + static_cast<std::size_t>(*height - 1 - y) * ours.GetRowBytes();
        if (!std::equal(row, row + *width, theirs.get() + static_cast<std::size_t>(y) * *width))
            return false;
    }
    return true;
}

// Milliseconds per read, or negative when a read failed.
double TimeReads(bool ours, const std::string& path, int repeats)
{
    const double start = NowMs();
    for (int i = 0; i < repeats; ++i) {
        int width = 0, height = 0;
        if (ours ? !ReadOurs(path) : !ReadGiflib(path, &width, &height))
            return -1;
    }
    return (NowMs() - start) / repeats;
}

bool Measure(const std::string& name, const std::string& path)
{
    int width = 0, height = 0;
    if (!SamePixels(path, &width, &height)) {
        std::printf("%-22s unreadable, or the two decoders disagree\n", name.c_str());
        return false;
    }
    const double pixels = static_cast<double>(width) * height;
    const int repeats = std::max(1, static_cast<int>(kPixelsPerTiming / std::max(pixels, 1.0)));
    std::vector<double> times[2];
    // Run 0 warms the cache and the allocator and is not counted; the order
    // alternates so that neither reader always goes first.
    for (int run = 0; run <= kRuns; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (run + turn) % 2;
            const double ms = TimeReads(which == 0, path, repeats);
            if (ms < 0) {
                std::printf("%-22s failed to read\n", name.c_str());
                return false;
            }
            if (run > 0)
                times[which].push_back(ms);
        }
    }
    const double ours = Median(times[0]), giflib = Median(times[1]);
    std::printf("%-22s %5dx%-5d %8.2f %9.2f %6.2f %9.1f %9.1f\n", name.c_str(), width, height, ours,
                giflib, ours / giflib, pixels / ours / 1000.0, pixels / giflib / 1000.0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = TempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "no temp folder\n");
        return 1;
    }
    const std::string noise = folder + "gif_read_bench_noise.gif";
    const std::string bands = folder + "gif_read_bench_bands.gif";
    if (!WriteGif(noise, Noise(4000, 3000)) || !WriteGif(bands, Bands(4000, 3000))) {
        std::fprintf(stderr, "could not write the pictures in %s\n", folder.c_str());
        return 1;
    }

    std::printf("giflib %d.%d.%d; files warm in the OS cache; median of %d runs after one\n"
                "warm-up, the two decoders alternating. Target on harvesters.gif: ours/giflib\n"
                "at most 0.8.\n",
                GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE, kRuns);
    std::printf("%-22s %11s %8s %9s %6s %9s %9s\n", "file", "size", "ours ms", "giflib ms",
                "/giflib", "ours MP/s", "gif MP/s");
    bool ok = Measure("4000x3000 noise", noise);
    ok = Measure("4000x3000 bands", bands) && ok;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        ok = Measure(path.substr(path.find_last_of("/\\") + 1), path) && ok;
    }

    ::DeleteFileA(noise.c_str());
    ::DeleteFileA(bands.c_str());
    return ok ? 0 : 1;
}
