#include "FuzzSupport.h"

#include "image/CImagePalette.h"

#include <cstring>
#include <filesystem>
#include <random>

namespace fuzz {

namespace {

// Word by word: blocks reach hundreds of megabytes.
std::uint64_t Hash(std::uint64_t hash, const std::uint8_t* bytes, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        hash = (hash ^ word) * 0x100000001B3ull;
    }
    for (; i < count; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

void RemoveWorkFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(WorkFolder(), ignored);
}

[[noreturn]] void Fail(const std::string& what)
{
    std::perror(what.c_str());
    std::abort();
}

} // namespace

const std::string& WorkFolder()
{
    static const std::string folder = [] {
        namespace fs = std::filesystem;
        std::random_device random;
        for (;;) {
            const fs::path path =
                fs::temp_directory_path() / ("vornelle-fuzz-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(path, error))
                return path.string();
            if (error)
                Fail(path.string());
        }
    }();
    static const bool registered = (std::atexit(RemoveWorkFolder), true);
    (void)registered;
    return folder;
}

std::string WriteInput(const std::uint8_t* data, std::size_t size, const std::string& extension)
{
    const std::string path = WorkFolder() + "/input." + extension;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail(path);
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        Fail(path);
    return path;
}

ReadResult ReadResult::Of(int result, const CImageImpl& image)
{
    ReadResult r;
    r.result = result;
    r.width = image.GetWidth();
    r.height = image.GetHeight();
    r.depth = image.GetDepth();
    r.colorType = image.GetColorType();
    r.rowBytes = image.GetRowBytes();
    r.transparent = image.GetTransparent();
    r.dibSize = image.GetDib().size();
    r.dibHash = image.GetDib() ? Hash(0xCBF29CE484222325ull, image.GetDib().data(), r.dibSize) : 0;
    if (const CImagePalette* palette = image.GetPalette()) {
        r.hasPalette = true;
        std::uint64_t hash = 0xCBF29CE484222325ull;
        for (int i = 0; i < 256; ++i) {
            std::uint8_t rgb[3] = {};
            const std::uint8_t ok =
                static_cast<std::uint8_t>(palette->GetEntryRGB(i, &rgb[0], &rgb[1], &rgb[2]));
            hash = Hash(Hash(hash, &ok, 1), rgb, sizeof rgb);
        }
        r.paletteHash = hash;
    }
    return r;
}

bool ReadResult::operator==(const ReadResult& o) const
{
    return result == o.result && width == o.width && height == o.height && depth == o.depth &&
           colorType == o.colorType && rowBytes == o.rowBytes && transparent == o.transparent &&
           dibSize == o.dibSize && dibHash == o.dibHash && paletteHash == o.paletteHash &&
           hasPalette == o.hasPalette;
}

void ReadResult::Print(const char* label) const
{
    std::fprintf(stderr,
                 "%s: result %d, %dx%d, depth %d, colour type %d, row bytes %d, transparent %d, "
                 "block %zu bytes (hash %016llx), palette %s (hash %016llx)\n",
                 label, result, width, height, depth, colorType, rowBytes, transparent, dibSize,
                 static_cast<unsigned long long>(dibHash), hasPalette ? "yes" : "no",
                 static_cast<unsigned long long>(paletteHash));
}

void ReadTwiceAndExercise(CImageImpl& image, const std::string& path)
{
    const ReadResult first = ReadResult::Of(image.Read(path), image);
    // An empty name reads the remembered file again.
    const ReadResult second = ReadResult::Of(image.Read(std::string()), image);
    if (!(first == second)) {
        first.Print("first read");
        second.Print("second read");
        std::fprintf(stderr, "a second read of the same file gave another picture\n");
        std::abort();
    }
    TouchPixels(image);
    DrawPicture(image);
    // Drawing a transparent picture changes its pixels for a while: all of
    // them must be back afterwards.
    const ReadResult drawn = ReadResult::Of(second.result, image);
    if (!(drawn == second)) {
        second.Print("before drawing");
        drawn.Print("after drawing");
        std::fprintf(stderr, "drawing changed the picture\n");
        std::abort();
    }
}

} // namespace fuzz
