// Times CImageImplJpeg::Read and CImageImplPng::Read against libjpeg and
// libpng alone doing the same work into a plain buffer, so that what our
// readers add shows as a ratio. For JPEG it also shows what the quantiser
// costs: our read over a plain RGB decode.
// Usage: codec_read_bench [more.jpg|.jpeg|.png ...]

#include "BenchSupport.h"
#include "image/CImageImplJpeg.h"
#include "image/CImageImplPng.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

const int kRuns = 7;
// Small files are read this many pixels' worth of times per timing.
const double kPixelsPerTiming = 4e6;

// Smooth shading with some grain, so that JPEG and PNG see something like a
// photograph rather than flat colour.
bool MakePicture(CImageImpl& image, int width, int height)
{
    if (image.Create(width, height, 24, -1) == 0)
        return false;
    std::uint32_t state = 2463534242u;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int grain = static_cast<int>(state >> 28) - 8;
            row[3 * x] = static_cast<std::uint8_t>(std::clamp(x * 255 / width + grain, 0, 255));
            row[3 * x + 1] =
                static_cast<std::uint8_t>(std::clamp(y * 255 / height + grain, 0, 255));
            row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(
                128 + ((x / 50 + y / 50) % 2 ? 60 : -60) + (x * y >> 14) % 32 + grain, 0, 255));
        }
    }
    return true;
}

// A file of its own, closed on every way out.
struct File {
    std::FILE* handle;
    explicit File(const std::string& path) : handle(std::fopen(path.c_str(), "rb")) {}
    ~File()
    {
        if (handle != nullptr)
            std::fclose(handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->recovery, 1);
}

struct JpegReader {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    JpegReader()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = JpegErrorExit;
    }
    ~JpegReader() { jpeg_destroy_decompress(&cinfo); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;
};

// libjpeg alone, with our reader's parameters when quantise is set (the
// library's defaults do the rest: two passes, Floyd-Steinberg dithering).
bool ReadJpegLibrary(const std::string& path, bool quantise)
{
    File file(path);
    if (file.handle == nullptr)
        return false;
    JpegReader reader;
    jpeg_decompress_struct& cinfo = reader.cinfo;
    std::unique_ptr<std::uint8_t[]> pixels;
    if (setjmp(reader.errors.recovery) != 0)
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file.handle);
    jpeg_read_header(&cinfo, TRUE);
    if (quantise && cinfo.jpeg_color_space != JCS_GRAYSCALE) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
    }
    jpeg_start_decompress(&cinfo);
    const std::size_t rowBytes =
        static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
    pixels.reset(new std::uint8_t[rowBytes * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.get() + rowBytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

struct PngReader {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~PngReader()
    {
        if (png != nullptr)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    PngReader() = default;
};

// libpng alone with our reader's transformations.
bool ReadPngLibrary(const std::string& path)
{
    File file(path);
    if (file.handle == nullptr)
        return false;
    PngReader reader;
    png_structp png = reader.png;
    png_infop info = reader.info;
    std::unique_ptr<std::uint8_t[]> pixels;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_init_io(png, file.handle);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    png_color_16 background = {0, 31, 127, 255, 0};
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_background(png, &background, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    if (png_get_bit_depth(png, info) == 16)
        png_set_strip_16(png);
    const int passes = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE
                           ? png_set_interlace_handling(png)
                           : 1;
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    pixels.reset(new std::uint8_t[rowBytes * height]());
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, pixels.get() + rowBytes * y, nullptr);
    png_read_end(png, info);
    return true;
}

bool IsPng(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "png";
}

// Milliseconds per read, or negative when a read failed.
double TimeReads(const std::function<bool()>& read, int repeats)
{
    const double start = NowMs();
    for (int i = 0; i < repeats; ++i) {
        if (!read())
            return -1;
    }
    return (NowMs() - start) / repeats;
}

bool Measure(const std::string& name, const std::string& path)
{
    const bool png = IsPng(path);
    int width = 0, height = 0;
    {
        std::unique_ptr<CImageImpl> probe;
        if (png)
            probe.reset(new CImageImplPng);
        else
            probe.reset(new CImageImplJpeg);
        if (probe->Read(path) != 1) {
            std::printf("%-22s unreadable\n", name.c_str());
            return false;
        }
        width = probe->GetWidth();
        height = probe->GetHeight();
    }
    // Ours, the library with the same parameters and, for JPEG, the library
    // decoding to RGB.
    std::vector<std::function<bool()>> readers;
    if (png) {
        readers.push_back([&] { return CImageImplPng().Read(path) == 1; });
        readers.push_back([&] { return ReadPngLibrary(path); });
    } else {
        readers.push_back([&] { return CImageImplJpeg().Read(path) == 1; });
        readers.push_back([&] { return ReadJpegLibrary(path, true); });
        readers.push_back([&] { return ReadJpegLibrary(path, false); });
    }
    const double pixels = static_cast<double>(width) * height;
    const int repeats = std::max(1, static_cast<int>(kPixelsPerTiming / std::max(pixels, 1.0)));
    const int count = static_cast<int>(readers.size());
    std::vector<std::vector<double>> times(readers.size());
    // Run 0 warms the cache and the allocator and is not counted; the order
    // rotates so that no reader always follows the same one.
    for (int run = 0; run <= kRuns; ++run) {
        for (int turn = 0; turn < count; ++turn) {
            const int which = (run + turn) % count;
            const double ms = TimeReads(readers[static_cast<std::size_t>(which)], repeats);
            if (ms < 0) {
                std::printf("%-22s failed to read\n", name.c_str());
                return false;
            }
            if (run > 0)
                times[static_cast<std::size_t>(which)].push_back(ms);
        }
    }
    const double ours = Median(times[0]), library = Median(times[1]);
    std::printf("%-22s %5dx%-5d %8.2f %8.2f %6.2f", name.c_str(), width, height, ours, library,
                ours / library);
    if (!png) {
        const double rgb = Median(times[2]);
        std::printf(" %8.2f %6.2f", rgb, ours / rgb);
    }
    std::printf("\n");
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
    const std::string jpeg = folder + "codec_read_bench.jpg";
    const std::string png = folder + "codec_read_bench.png";
    {
        CImageImplJpeg jpegPicture;
        CImageImplPng pngPicture;
        if (!MakePicture(jpegPicture, 4000, 3000) || jpegPicture.Write(jpeg) != 1 ||
            !MakePicture(pngPicture, 4000, 3000) || pngPicture.Write(png) != 1) {
            std::fprintf(stderr, "could not write the pictures in %s\n", folder.c_str());
            return 1;
        }
    }

    std::printf("Files warm in the OS cache; median of %d runs after one warm-up, the readers\n"
                "taking turns. lib: libjpeg or libpng alone with the same parameters, rows\n"
                "into a plain buffer; rgb: libjpeg decoding to RGB, without quantising.\n"
                "Target: ours/lib at most 1.05.\n",
                kRuns);
    std::printf("%-22s %11s %8s %8s %6s %8s %6s\n", "file", "size", "ours ms", "lib ms", "/lib",
                "rgb ms", "/rgb");
    bool ok = Measure("4000x3000 24-bit .jpg", jpeg);
    ok = Measure("4000x3000 24-bit .png", png) && ok;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        ok = Measure(path.substr(path.find_last_of("/\\") + 1), path) && ok;
    }

    ::DeleteFileA(jpeg.c_str());
    ::DeleteFileA(png.c_str());
    return ok ? 0 : 1;
}
