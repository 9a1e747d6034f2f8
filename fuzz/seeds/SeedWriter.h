#pragma once

#include "image/CImageImpl.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What every seed family shares: building bytes, saving a seed under its
// format's folder and reading it back with our reader, so that a seed that
// does not behave as intended fails the generator instead of seeding nothing.
namespace seeds {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Fail(const std::string& what);

// Little-endian byte building; BE16 and BE32 for PNG's chunk fields.
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
    void BE32(std::uint32_t v)
    {
        U8(v >> 24);
        U8((v >> 16) & 0xFF);
        U8((v >> 8) & 0xFF);
        U8(v & 0xFF);
    }
    void Text(const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    void Append(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    void PadTo(std::size_t size)
    {
        if (bytes.size() < size)
            bytes.resize(size, 0);
    }
};

// Where the seeds go: OUT/FORMAT/NAME.
void SetOutputFolder(const std::string& folder);
// The path for a new seed (its folder made); counts it for its format.
std::string SeedPath(const std::string& format, const std::string& name);
std::string SaveSeed(const std::string& format, const std::string& name, const Bytes& bytes);
// Fails when a seed is longer than its harness' -max_len; prints the count
// of each format.
void CheckAndSummarise();

// What reading a seed back must give. Readers that make the picture before
// they decode it (GIF) give a size even when the pixels fail; a reader that
// succeeds without a picture (a GIF without images) gives 1 and 0x0.
struct Expected {
    int result = 1;
    int width = 0;
    int height = 0;
};
inline Expected Picture(int width, int height)
{
    return {1, width, height};
}
inline Expected Refusal()
{
    return {0, 0, 0};
}

void ExpectRead(CImageImpl& reader, const std::string& path, const Expected& expected);

template <class Reader>
void SaveAndCheck(const std::string& format, const std::string& name, const Bytes& bytes,
                  const Expected& expected)
{
    Reader reader;
    ExpectRead(reader, SaveSeed(format, name, bytes), expected);
}

// A pattern every format can hold: index = (x + 2y) mod colours.
inline int PatternIndex(int x, int y, int colours)
{
    return (x + 2 * y) % colours;
}

} // namespace seeds
