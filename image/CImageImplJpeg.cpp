#include "CImageImplJpeg.h"

#include "CStdioFile.h"
#include "Dib.h"
#include "LibraryRecovery.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// The library's error record followed by the way back to the caller.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo)
{
    char message[JMSG_LENGTH_MAX > 200 ? JMSG_LENGTH_MAX : 200];
    cinfo->err->format_message(cinfo, message);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

// A failed write says why, as the library's own exit would, but ends only
// the write.
[[noreturn]] void JpegWriteErrorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

// Real progressive files have about ten scans; a file of hundreds of empty
// ones would make every scan a pass over the whole picture.
constexpr int kMaxScans = 100;

void JpegProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        JpegErrorExit(cinfo);
}

// Owns a decompression object: destroyed on every path out of a read.
struct Decompressor {
    jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    jpeg_progress_mgr progress;
    Decompressor()
    {
        // Zeroed, so that destroying it before it was created does nothing.
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = JpegErrorExit;
        std::memset(&progress, 0, sizeof progress);
        progress.progress_monitor = JpegProgress;
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

struct Compressor {
    jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    Compressor()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = JpegWriteErrorExit;
    }
    ~Compressor() { jpeg_destroy_compress(&cinfo); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

} // namespace

CImageImplJpeg::CImageImplJpeg(std::string fileName) : CImageImplFile(std::move(fileName))
{
}

int CImageImplJpeg::Read(const std::string& fileName)
{
    ApplyFileName(fileName);
    CStdioFile file(imageFileName, "rb");
    if (!file)
        return 0;
    // Made outside the recovery frame: a jump leaves them intact for their
    // destructors, which destroy the library object and close the file.
    Decompressor jpeg;
    jpeg_decompress_struct& cinfo = jpeg.cinfo;
    return RunRecoverable(jpeg.errors.recovery, [&] {
        jpeg_create_decompress(&cinfo);
        // Buffers past this fail the read instead of taking gigabytes.
        cinfo.mem->max_memory_to_use = 256L << 20;
        cinfo.progress = &jpeg.progress;
        jpeg_stdio_src(&cinfo, file.Get());
        jpeg_read_header(&cinfo, TRUE);
        const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
        // The palette is made from the quantiser's colour map, one row per
        // output component: three for RGB, four for CMYK (YCCK comes out as
        // CMYK). Files of other component counts have no such rows.
        const J_COLOR_SPACE space = cinfo.out_color_space;
        if (!grey && space != JCS_RGB && space != JCS_CMYK)
            return 0;
        if (!grey) {
            cinfo.quantize_colors = TRUE;
            cinfo.desired_number_of_colors = kQuantisedColours;
        }
        // The quantiser holds the whole picture: refuse what could not be held
        // before the library allocates it. Even an empty block costs a bit or so,
        // and no real file packs 1024 pixels into a byte beyond a few megapixels.
        const std::uint64_t pixels =
            static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height;
        if (pixels > dib::kMaxPixels || pixels > 1024 * file.Size() + (1u << 22))
            return 0;
        jpeg_start_decompress(&cinfo);
        const int mapRows = space == JCS_CMYK ? 4 : 3;
        if (cinfo.output_components != 1 ||
            (!grey && (cinfo.out_color_components != mapRows ||
                       cinfo.actual_number_of_colors > kQuantisedColours)))
            return 0;
        if (!Create(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height), 8,
                    -1))
            return 0;
        if (grey)
            SetGreyPalette(256);
        else if (space == JCS_RGB)
            SetPalette(cinfo.actual_number_of_colors, cinfo.colormap[0], cinfo.colormap[1],
                       cinfo.colormap[2]);
        else
            SetCmykPalette(cinfo.actual_number_of_colors, cinfo.colormap);

        JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                    JPOOL_IMAGE, cinfo.output_width, 1);
        const std::size_t copy = cinfo.output_width < static_cast<JDIMENSION>(imageRowBytes)
                                     ? cinfo.output_width
                                     : imageRowBytes;
        while (cinfo.output_scanline < cinfo.output_height) {
            const int storedRow = imageHeight - 1 - static_cast<int>(cinfo.output_scanline);
            jpeg_read_scanlines(&cinfo, row, 1);
            std::memcpy(imageBits + static_cast<std::size_t>(storedRow) * imageRowBytes, row[0],
                        copy);
        }
        jpeg_finish_decompress(&cinfo);
        return 1;
    });
}

void CImageImplJpeg::SetCmykPalette(int count, unsigned char* const* cmyk)
{
    // CMYK files carry Adobe's marker (libjpeg and Photoshop write one) and
    // Adobe's inverted samples: 255 is no ink. libjpeg reads a file without the
    // marker as the same CMYK and hands on its samples unchanged, so they are
    // taken the same way.
    std::uint8_t red[kQuantisedColours], green[kQuantisedColours], blue[kQuantisedColours];
    for (int i = 0; i < count; ++i) {
        const int black = cmyk[3][i];
        red[i] = static_cast<std::uint8_t>((cmyk[0][i] * black + 127) / 255);
        green[i] = static_cast<std::uint8_t>((cmyk[1][i] * black + 127) / 255);
        blue[i] = static_cast<std::uint8_t>((cmyk[2][i] * black + 127) / 255);
    }
    SetPalette(count, red, green, blue);
}

int CImageImplJpeg::Write(const std::string& fileName)
{
    ApplyFileName(fileName);
    const bool knownDepth = imageDepth == 1 || imageDepth == 2 || imageDepth == 4 ||
                            imageDepth == 8 || imageDepth == 16 || imageDepth == 24 ||
                            imageDepth == 32;
    if (!HasPicture() || !knownDepth || imageWidth <= 0 || imageHeight <= 0)
        return 0;
    Compressor jpeg;
    jpeg_compress_struct& cinfo = jpeg.cinfo;
    CStdioFile file(imageFileName, "wb");
    if (!file)
        return 0;
    return RunRecoverable(jpeg.errors.recovery, [&] {
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, file.Get());
        cinfo.image_width = static_cast<JDIMENSION>(imageWidth);
        cinfo.image_height = static_cast<JDIMENSION>(imageHeight);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, imageQuality, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                    JPOOL_IMAGE, 3 * cinfo.image_width, 1);
        while (cinfo.next_scanline < cinfo.image_height) {
            StoredRowToRgb(imageHeight - 1 - static_cast<int>(cinfo.next_scanline), row[0]);
            jpeg_write_scanlines(&cinfo, row, 1);
        }
        jpeg_finish_compress(&cinfo);
        return file.Close() ? 1 : 0;
    });
}

void CImageImplJpeg::StoredRowToRgb(int storedRow, std::uint8_t* rgb) const
{
    const std::uint8_t* stored = imageBits + static_cast<std::size_t>(storedRow) * imageRowBytes;
    for (int x = 0; x < imageWidth; ++x) {
        std::uint8_t* out = rgb + 3 * x;
        if (imageDepth <= 8) {
            const int index = OwnIndex(x, storedRow);
            if (imagePalette) {
                out[0] = out[1] = out[2] = 0;
                imagePalette->GetEntryRGB(index, &out[0], &out[1], &out[2]);
            } else {
                // Without a palette the colour table is in its RGB form.
                const std::uint8_t* entry =
                    imageDib.At(imageDib.U32(dib::kSize) + 4 * static_cast<std::size_t>(index), 4);
                out[0] = entry ? entry[2] : 0;
                out[1] = entry ? entry[1] : 0;
                out[2] = entry ? entry[0] : 0;
            }
        } else if (imagePixelFormat.Decodes()) {
            // 5-5-5 or bit fields, exactly as GetPixelRGB reads them.
            imagePixelFormat.Decode(stored +
                                        static_cast<std::size_t>(x) * imagePixelFormat.PixelBytes(),
                                    &out[0], &out[1], &out[2]);
        } else {
            const std::uint8_t* pixel = stored + static_cast<std::size_t>(x) * (imageDepth / 8);
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
        }
    }
}
