// JPEGs through libjpeg's compressor: 1 to 5 components in every colour
// space the library writes, with and without the JFIF and Adobe markers,
// every luma sampling factor (non-interleaved scans where an interleaved
// MCU would hold too many blocks), chroma sampled apart from luma, baseline,
// optimised, progressive and arithmetic coding, restart intervals in rows and
// in MCUs, comment and APP markers, 16-bit quantisation tables.
#include "Seeds.h"

#include "image/CImageImplJpeg.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <jpeglib.h>

namespace seeds {

namespace {

enum class Marker { Default, On, Off };

struct Jpeg {
    int width = 16;
    int height = 16;
    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_UNKNOWN;        // JCS_UNKNOWN: the library's choice for the input
    std::vector<std::pair<int, int>> sampling; // per component; empty: the library's
    bool progressive = false;
    bool arithmetic = false;
    bool optimise = false;
    bool scanPerComponent = false; // sequential, one scan for each component
    int restartRows = 0;
    unsigned restartMcus = 0;
    Marker jfif = Marker::Default;
    Marker adobe = Marker::Default;
    int densityUnit = -1;
    bool markers = false;
    int quality = 60;
    bool forceBaseline = true;
};

Jpeg Components(int components, J_COLOR_SPACE input, J_COLOR_SPACE stored = JCS_UNKNOWN)
{
    Jpeg options;
    options.components = components;
    options.input = input;
    options.stored = stored;
    return options;
}

Jpeg Sampled(std::vector<std::pair<int, int>> sampling)
{
    Jpeg options =
        Components(static_cast<int>(sampling.size()), sampling.size() == 1   ? JCS_GRAYSCALE
                                                      : sampling.size() == 4 ? JCS_CMYK
                                                                             : JCS_RGB);
    options.sampling = std::move(sampling);
    return options;
}

void Apply(jpeg_compress_struct& cinfo, const Jpeg& options, jpeg_scan_info* scans)
{
    jpeg_set_defaults(&cinfo);
    if (options.stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, options.stored);
    jpeg_set_quality(&cinfo, options.quality, options.forceBaseline ? TRUE : FALSE);
    for (std::size_t i = 0; i < options.sampling.size(); ++i) {
        cinfo.comp_info[i].h_samp_factor = options.sampling[i].first;
        cinfo.comp_info[i].v_samp_factor = options.sampling[i].second;
    }
    if (options.jfif != Marker::Default)
        cinfo.write_JFIF_header = options.jfif == Marker::On ? TRUE : FALSE;
    if (options.adobe != Marker::Default)
        cinfo.write_Adobe_marker = options.adobe == Marker::On ? TRUE : FALSE;
    if (options.densityUnit >= 0) {
        cinfo.density_unit = static_cast<UINT8>(options.densityUnit);
        cinfo.X_density = 300;
        cinfo.Y_density = 150;
        cinfo.JFIF_minor_version = 2;
    }
    cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    cinfo.optimize_coding = options.optimise ? TRUE : FALSE;
    cinfo.restart_in_rows = options.restartRows;
    cinfo.restart_interval = options.restartMcus;
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    if (options.scanPerComponent) {
        for (int i = 0; i < cinfo.num_components; ++i)
            scans[i] = {1, {i, 0, 0, 0}, 0, 63, 0, 0};
        cinfo.scan_info = scans;
        cinfo.num_scans = cinfo.num_components;
    }
}

void WriteMarkers(jpeg_compress_struct& cinfo)
{
    const std::string comment = "a seed comment";
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                      static_cast<unsigned>(comment.size()));
    const Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    Bytes icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    icc.resize(64, 0);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 2, icc.data(), static_cast<unsigned>(icc.size()));
    const Bytes app15(40, 0xAB);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 15, app15.data(), static_cast<unsigned>(app15.size()));
    const Bytes longComment(2000, 'x');
    jpeg_write_marker(&cinfo, JPEG_COM, longComment.data(),
                      static_cast<unsigned>(longComment.size()));
}

Bytes Encode(const Jpeg& options)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors); // exits with the library's message
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(options.width);
    cinfo.image_height = static_cast<JDIMENSION>(options.height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.input;
    jpeg_scan_info scans[MAX_COMPONENTS];
    Apply(cinfo, options, scans);
    jpeg_start_compress(&cinfo, TRUE);
    if (options.markers)
        WriteMarkers(cinfo);
    Bytes row(static_cast<std::size_t>(options.width) * options.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(11 * i + 23 * cinfo.next_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes bytes(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

void Keep(const std::string& name, const Jpeg& options, const Expected& expected)
{
    SaveAndCheck<CImageImplJpeg>("jpeg", name + ".jpg", Encode(options), expected);
}

void Keep(const std::string& name, const Jpeg& options)
{
    Keep(name, options, Picture(options.width, options.height));
}

void OurWriter(int width, int height, int depth)
{
    CImageImplJpeg image;
    if (image.Create(width, height, depth, -1) == 0)
        Fail("cannot create a JPEG picture");
    if (depth <= 8) {
        Bytes rgb;
        for (int i = 0; i < 256; ++i) {
            rgb.push_back(static_cast<std::uint8_t>(i));
            rgb.push_back(static_cast<std::uint8_t>(255 - i));
            rgb.push_back(static_cast<std::uint8_t>((i * 3) & 0xFF));
        }
        image.SetPaletteRGB(256, rgb.data());
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int i = 0; i < image.GetRowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(9 * i + 17 * y);
    }
    const std::string path =
        SeedPath("jpeg", "writer-" + std::to_string(depth) + "bit-" + std::to_string(width) + "x" +
                             std::to_string(height) + ".jpg");
    if (image.Write(path) != 1)
        Fail("our JPEG writer failed on " + path);
    CImageImplJpeg check;
    ExpectRead(check, path, Picture(width, height));
}

// Our reader makes palettes from RGB and CMYK output only: two components
// and more than four have no such output.
void ColourSpaces()
{
    Keep("grey", Components(1, JCS_GRAYSCALE));
    Keep("two-components-refused", Components(2, JCS_UNKNOWN), Refusal());
    Keep("ycc", Components(3, JCS_RGB));
    Keep("rgb-stored-as-rgb", Components(3, JCS_RGB, JCS_RGB));
    Keep("three-unknown-components", Components(3, JCS_UNKNOWN));
    Keep("cmyk", Components(4, JCS_CMYK));
    Keep("ycck", Components(4, JCS_CMYK, JCS_YCCK));
    Keep("four-unknown-components", Components(4, JCS_UNKNOWN));
    // A scan holds four components at most.
    Jpeg five = Components(5, JCS_UNKNOWN);
    five.scanPerComponent = true;
    Keep("five-components-refused", five, Refusal());
    const std::vector<std::pair<std::string, Jpeg>> marked = {
        {"grey", Components(1, JCS_GRAYSCALE)},
        {"ycc", Components(3, JCS_RGB)},
        {"rgb-stored-as-rgb", Components(3, JCS_RGB, JCS_RGB)},
        {"cmyk", Components(4, JCS_CMYK)},
        {"ycck", Components(4, JCS_CMYK, JCS_YCCK)},
    };
    for (const auto& [name, options] : marked) {
        Jpeg adobe = options;
        adobe.adobe = Marker::On;
        Keep(name + "-adobe", adobe);
        Jpeg bare = options;
        bare.adobe = Marker::Off;
        bare.jfif = Marker::Off;
        Keep(name + "-no-jfif-no-adobe", bare);
    }
    for (int unit : {0, 1, 2}) {
        Jpeg density = Components(3, JCS_RGB);
        density.densityUnit = unit;
        Keep("jfif-density-unit" + std::to_string(unit), density);
    }
}

// The library limits an interleaved MCU to ten blocks; past that each
// component gets a scan of its own, whose MCU is one block.
void Sampling()
{
    for (int h = 1; h <= 4; ++h) {
        for (int v = 1; v <= 4; ++v) {
            const std::string factors = std::to_string(h) + "x" + std::to_string(v);
            Keep("grey-sampling" + factors, Sampled({{h, v}}));
            Jpeg colour = Sampled({{h, v}, {1, 1}, {1, 1}});
            colour.width = 19;
            colour.height = 13;
            colour.scanPerComponent = h * v + 2 > 10;
            Keep("ycc-sampling" + factors + (colour.scanPerComponent ? "-scan-each" : ""), colour);
        }
    }
    const std::vector<std::pair<std::string, std::vector<std::pair<int, int>>>> mixed = {
        {"ycc-2x2-2x1-2x1", {{2, 2}, {2, 1}, {2, 1}}},
        {"ycc-2x2-1x2-1x2", {{2, 2}, {1, 2}, {1, 2}}},
        {"ycc-4x1-2x1-2x1", {{4, 1}, {2, 1}, {2, 1}}},
        {"ycc-1x1-2x2-1x1", {{1, 1}, {2, 2}, {1, 1}}},
        {"ycc-2x1-1x1-2x1", {{2, 1}, {1, 1}, {2, 1}}},
        {"ycc-3x1-3x1-3x1", {{3, 1}, {3, 1}, {3, 1}}},
        {"ycc-1x2-1x2-1x2", {{1, 2}, {1, 2}, {1, 2}}},
        {"ycc-1x1-1x1-2x2", {{1, 1}, {1, 1}, {2, 2}}},
        {"cmyk-2x2-1x1-1x1-1x1", {{2, 2}, {1, 1}, {1, 1}, {1, 1}}},
        {"cmyk-1x1-1x1-1x1-2x2", {{1, 1}, {1, 1}, {1, 1}, {2, 2}}},
    };
    for (const auto& [name, sampling] : mixed) {
        Jpeg options = Sampled(sampling);
        options.width = 21;
        options.height = 11;
        Keep(name, options);
    }
    Jpeg scans = Components(3, JCS_RGB);
    scans.scanPerComponent = true;
    Keep("ycc-scan-each", scans);
    Jpeg cmykScans = Components(4, JCS_CMYK);
    cmykScans.scanPerComponent = true;
    Keep("cmyk-scan-each", cmykScans);
}

void Coding()
{
    const std::vector<std::pair<std::string, Jpeg>> bases = {
        {"grey", Components(1, JCS_GRAYSCALE)},
        {"ycc420", Components(3, JCS_RGB)},
        {"ycc444", Sampled({{1, 1}, {1, 1}, {1, 1}})},
        {"cmyk", Components(4, JCS_CMYK)},
    };
    for (const auto& [name, base] : bases) {
        Jpeg optimised = base;
        optimised.optimise = true;
        Keep(name + "-optimised", optimised);
        Jpeg progressive = base;
        progressive.progressive = true;
        Keep(name + "-progressive", progressive);
        Jpeg arithmetic = base;
        arithmetic.arithmetic = true;
        Keep(name + "-arithmetic", arithmetic);
        Jpeg both = base;
        both.arithmetic = true;
        both.progressive = true;
        Keep(name + "-arithmetic-progressive", both);
    }
    for (int quality : {1, 100}) {
        Jpeg options = Components(3, JCS_RGB);
        options.quality = quality;
        Keep("quality" + std::to_string(quality), options);
    }
    // Quantisation values past 255 need 16-bit tables.
    Jpeg wide = Components(3, JCS_RGB);
    wide.quality = 1;
    wide.forceBaseline = false;
    Keep("quality1-16bit-tables", wide);
    wide.progressive = true;
    Keep("quality1-16bit-tables-progressive", wide);
}

void Restarts()
{
    const std::vector<std::pair<std::string, Jpeg>> bases = {
        {"", Components(3, JCS_RGB)},
        {"-grey", Components(1, JCS_GRAYSCALE)},
        {"-444", Sampled({{1, 1}, {1, 1}, {1, 1}})},
    };
    for (const auto& [name, base] : bases) {
        for (int rows : {1, 2}) {
            Jpeg options = base;
            options.height = 40;
            options.restartRows = rows;
            Keep("restart-rows" + std::to_string(rows) + name, options);
        }
        for (unsigned mcus : {1u, 3u}) {
            Jpeg options = base;
            options.width = 40;
            options.restartMcus = mcus;
            Keep("restart-mcus" + std::to_string(mcus) + name, options);
        }
    }
    Jpeg progressive = Components(3, JCS_RGB);
    progressive.progressive = true;
    progressive.restartRows = 1;
    Keep("restart-rows1-progressive", progressive);
    Jpeg arithmetic = Components(3, JCS_RGB);
    arithmetic.arithmetic = true;
    arithmetic.restartMcus = 1;
    Keep("restart-mcus1-arithmetic", arithmetic);
    arithmetic.progressive = true;
    Keep("restart-mcus1-arithmetic-progressive", arithmetic);
    Jpeg scans = Components(3, JCS_RGB);
    scans.scanPerComponent = true;
    scans.restartMcus = 2;
    Keep("restart-mcus2-scan-each", scans);
}

void MarkersAndSizes()
{
    Jpeg marked = Components(3, JCS_RGB);
    marked.markers = true;
    Keep("markers", marked);
    marked.progressive = true;
    Keep("markers-progressive", marked);
    Jpeg greyMarked = Components(1, JCS_GRAYSCALE);
    greyMarked.markers = true;
    greyMarked.jfif = Marker::Off;
    Keep("markers-grey-no-jfif", greyMarked);
    for (auto [width, height] :
         std::vector<std::pair<int, int>>{{1, 1}, {1, 17}, {17, 1}, {33, 9}}) {
        Jpeg options = Components(3, JCS_RGB);
        options.width = width;
        options.height = height;
        Keep("size" + std::to_string(width) + "x" + std::to_string(height), options);
        options.progressive = true;
        Keep("size" + std::to_string(width) + "x" + std::to_string(height) + "-progressive",
             options);
    }
}

} // namespace

Bytes SmallJpeg(int width, int height)
{
    Jpeg options;
    options.width = width;
    options.height = height;
    return Encode(options);
}

void WriteJpegSeeds()
{
    OurWriter(16, 16, 24);
    OurWriter(9, 7, 8);
    ColourSpaces();
    Sampling();
    Coding();
    Restarts();
    MarkersAndSizes();
}

} // namespace seeds
