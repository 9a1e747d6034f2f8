#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImageImpl;

// JPEG and PNG files for the codec tests, made and checked with libjpeg and
// libpng directly, so that the readers and writers are measured against the
// libraries rather than against themselves.

using Bytes = std::vector<std::uint8_t>;

// A unique name in the temporary folder, deleted with the object.
class TempFile {
public:
    explicit TempFile(const std::string& extension);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return m_path; }
    // Writes the bytes; the path.
    const std::string& Save(const Bytes& bytes) const;

private:
    std::string m_path;
};

Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// False while anyone still holds the file open.
bool OpensExclusively(const std::string& path);

// A stored row of the picture counted from the top, its first count bytes.
Bytes TopRow(const CImageImpl& picture, int row, std::size_t count);
// GetPixelRGB as 0xRRGGBB, y counted from the top; 0xFFFFFFFF without an answer.
std::uint32_t TopRgb(const CImageImpl& picture, int x, int yFromTop);
// The palette's entry as 0xRRGGBB, or 0xFFFFFFFF without one.
std::uint32_t PaletteEntry(const CImageImpl& picture, int index);
// Entries of the picture's GDI palette, -1 without one.
int PaletteSize(const CImageImpl& picture);

// ---- JPEG ----

struct JpegSpec {
    int width = 16;
    int height = 16;
    int components = 3; // 1 grey, 3 RGB, 4 CMYK, others of no colour space
    int quality = 95;
    bool progressive = false;
    int fileColorSpace = -1; // a J_COLOR_SPACE to store, -1 for the library's choice
    bool adobeMarker = true; // where the library writes one
    Bytes pixels;            // top row first, components bytes per pixel
};
Bytes MakeJpeg(const JpegSpec& spec);

// A plain decode to RGB or grey, without colour quantisation.
struct JpegImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    bool baseline = false; // a SOF0 marker
    int luminanceTable[64] = {};
    int chrominanceTable[64] = {};
    Bytes pixels; // top row first
    std::uint32_t Rgb(int x, int y) const;
};
JpegImage DecodeJpeg(const Bytes& file);

// Where the marker's length field begins, or npos.
std::size_t FindJpegMarker(const Bytes& file, std::uint8_t marker);

// ---- PNG ----

struct PngSpec {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    int bitDepth = 8;
    int colorType = 0;
    bool interlaced = false;
    Bytes palette; // red, green, blue triples; a PLTE chunk when not empty
    Bytes alphas;  // tRNS for palette files
    bool transColour = false;
    std::uint16_t trans[3] = {}; // grey, or red, green, blue, for tRNS
    std::vector<Bytes> rows;     // top first, packed as in the file
};
Bytes MakePng(const PngSpec& spec);

// The file as libpng sees it without transformations.
struct PngImage {
    bool ok = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colorType = 0;
    Bytes palette; // empty without a PLTE chunk
    std::vector<Bytes> rows;
};
PngImage DecodePng(const std::string& path);

// Rows of pseudo-random samples for a file of this kind.
std::vector<Bytes> NoiseRows(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType,
                             unsigned seed);

// Where the chunk's length field begins, or npos.
std::size_t FindPngChunk(const Bytes& file, const char* type);
void FixPngCrc(Bytes& file, std::size_t chunk);
void FixAllPngCrcs(Bytes& file);
void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value); // big-endian
