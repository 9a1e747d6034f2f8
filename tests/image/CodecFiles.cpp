#include "CodecFiles.h"

#include "image/CImageImpl.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace {

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf back;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->back, 1);
}

void Silent(j_common_ptr, int)
{
}

void AppendToBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
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

std::uint32_t U32At(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
           bytes[at + 3];
}

} // namespace

TempFile::TempFile(const std::string& extension)
{
    static int counter = 0;
    m_path = TemporaryDirectory() + "vornelle_codec_" + std::to_string(::GetCurrentProcessId()) +
             "_" + std::to_string(++counter) + extension;
}

TempFile::~TempFile()
{
    ::DeleteFileA(m_path.c_str());
}

const std::string& TempFile::Save(const Bytes& bytes) const
{
    if (std::FILE* file = std::fopen(m_path.c_str(), "wb")) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return m_path;
}

Bytes ReadBytes(const std::string& path)
{
    Bytes bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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

Bytes TopRow(const CImageImpl& picture, int row, std::size_t count)
{
    const std::uint8_t* stored =
        picture.GetBits() +
        static_cast<std::size_t>(picture.GetHeight() - 1 - row) * picture.GetRowBytes();
    return Bytes(stored, stored + count);
}

std::uint32_t TopRgb(const CImageImpl& picture, int x, int yFromTop)
{
    std::uint8_t r = 0, g = 0, b = 0;
    if (!picture.GetPixelRGB(x, picture.GetHeight() - 1 - yFromTop, &r, &g, &b))
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(r) << 16 | g << 8 | b;
}

std::uint32_t PaletteEntry(const CImageImpl& picture, int index)
{
    std::uint8_t r = 0, g = 0, b = 0;
    if (picture.GetPalette() == nullptr || !picture.GetPalette()->GetEntryRGB(index, &r, &g, &b))
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(r) << 16 | g << 8 | b;
}

int PaletteSize(const CImageImpl& picture)
{
    WORD entries = 0;
    if (picture.GetPalette() == nullptr ||
        ::GetObjectA(picture.GetPalette()->GetSafeHandle(), sizeof entries, &entries) == 0)
        return -1;
    return entries;
}

Bytes MakeJpeg(const JpegSpec& spec)
{
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JumpBack;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Bytes out;
    if (setjmp(errors.back) == 0) {
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = static_cast<JDIMENSION>(spec.width);
        cinfo.image_height = static_cast<JDIMENSION>(spec.height);
        cinfo.input_components = spec.components;
        cinfo.in_color_space = spec.components == 1   ? JCS_GRAYSCALE
                               : spec.components == 3 ? JCS_RGB
                               : spec.components == 4 ? JCS_CMYK
                                                      : JCS_UNKNOWN;
        jpeg_set_defaults(&cinfo);
        if (spec.fileColorSpace >= 0)
            jpeg_set_colorspace(&cinfo, static_cast<J_COLOR_SPACE>(spec.fileColorSpace));
        cinfo.write_Adobe_marker = cinfo.write_Adobe_marker && spec.adobeMarker;
        jpeg_set_quality(&cinfo, spec.quality, TRUE);
        if (spec.progressive)
            jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        const std::size_t stride = static_cast<std::size_t>(spec.width) * spec.components;
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(spec.pixels.data() + cinfo.next_scanline * stride);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        out.assign(buffer, buffer + size);
    }
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::uint32_t JpegImage::Rgb(int x, int y) const
{
    const std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * components;
    if (components == 1)
        return static_cast<std::uint32_t>(p[0]) * 0x010101;
    return static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
}

JpegImage DecodeJpeg(const Bytes& file)
{
    JpegImage image;
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JumpBack;
    errors.pub.emit_message = Silent;
    if (setjmp(errors.back) == 0) {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&cinfo, TRUE);
        image.progressive = cinfo.progressive_mode != 0;
        image.baseline = FindJpegMarker(file, 0xC0) != std::string::npos;
        for (int i = 0; i < 64; ++i) {
            image.luminanceTable[i] =
                cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[i] : 0;
            image.chrominanceTable[i] =
                cinfo.quant_tbl_ptrs[1] ? cinfo.quant_tbl_ptrs[1]->quantval[i] : 0;
        }
        jpeg_start_decompress(&cinfo);
        image.width = static_cast<int>(cinfo.output_width);
        image.height = static_cast<int>(cinfo.output_height);
        image.components = cinfo.output_components;
        const std::size_t stride = static_cast<std::size_t>(image.width) * image.components;
        image.pixels.resize(stride * image.height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = image.pixels.data() + cinfo.output_scanline * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        image.ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    return image;
}

std::size_t FindJpegMarker(const Bytes& file, std::uint8_t marker)
{
    // Segments follow each other up to the first scan.
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        if (file[at + 1] == marker)
            return at + 2;
        if (file[at + 1] == 0xDA)
            break;
        at += 2 + (file[at + 2] << 8 | file[at + 3]);
    }
    return std::string::npos;
}

Bytes MakePng(const PngSpec& spec)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<Bytes> rows = spec.rows;
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, AppendToBytes, NoFlush);
        png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                     spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!spec.palette.empty())
            png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(spec.palette.data()),
                         static_cast<int>(spec.palette.size() / 3));
        png_color_16 colour = {0, spec.trans[0], spec.trans[1], spec.trans[2], spec.trans[0]};
        if (!spec.alphas.empty())
            png_set_tRNS(png, info, spec.alphas.data(), static_cast<int>(spec.alphas.size()),
                         nullptr);
        else if (spec.transColour)
            png_set_tRNS(png, info, nullptr, 0, &colour);
        png_write_info(png, info);
        png_write_image(png, pointers.data());
        png_write_end(png, info);
    } else {
        out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

PngImage DecodePng(const std::string& path)
{
    PngImage image;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        image.width = png_get_image_width(png, info);
        image.height = png_get_image_height(png, info);
        image.bitDepth = png_get_bit_depth(png, info);
        image.colorType = png_get_color_type(png, info);
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) != 0) {
            const auto* first = reinterpret_cast<const std::uint8_t*>(palette);
            image.palette.assign(first, first + 3 * entries);
        }
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        image.rows.assign(image.height, Bytes(png_get_rowbytes(png, info)));
        std::vector<png_bytep> pointers;
        for (Bytes& row : image.rows)
            pointers.push_back(row.data());
        png_read_image(png, pointers.data());
        png_read_end(png, nullptr);
        image.ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return image;
}

std::vector<Bytes> NoiseRows(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType,
                             unsigned seed)
{
    const std::size_t bits = static_cast<std::size_t>(width) * bitDepth * Channels(colorType);
    const std::size_t rowBytes = (bits + 7) / 8;
    std::vector<Bytes> rows(height, Bytes(rowBytes));
    std::uint32_t state = seed * 2654435761u + 1;
    for (Bytes& row : rows) {
        for (std::uint8_t& byte : row) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        // Bits past the last pixel are left 0: readers need not keep them.
        if (bits % 8 != 0)
            row.back() &= static_cast<std::uint8_t>(0xFF << (8 - bits % 8));
    }
    return rows;
}

std::size_t FindPngChunk(const Bytes& file, const char* type)
{
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        if (std::memcmp(&file[at + 4], type, 4) == 0)
            return at;
        at += 12 + static_cast<std::size_t>(U32At(file, at));
    }
    return std::string::npos;
}

void FixPngCrc(Bytes& file, std::size_t chunk)
{
    const std::size_t length = U32At(file, chunk);
    const uLong crc = crc32(crc32(0, nullptr, 0), &file[chunk + 4], static_cast<uInt>(length + 4));
    PutU32(file, chunk + 8 + length, static_cast<std::uint32_t>(crc));
}

void FixAllPngCrcs(Bytes& file)
{
    std::size_t at = 8;
    while (at + 12 <= file.size() && U32At(file, at) <= file.size() - at - 12) {
        FixPngCrc(file, at);
        at += 12 + static_cast<std::size_t>(U32At(file, at));
    }
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}
