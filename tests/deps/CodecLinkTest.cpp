// The picture libraries built for the target link into our programs and work.
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(CodecLibraries, ZlibCompressesAndRestores)
{
    const std::string text(1000, 'v');
    uLongf packedSize = compressBound(text.size());
    std::vector<Bytef> packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(text.data()),
                       text.size()),
              Z_OK);
    EXPECT_LT(packedSize, text.size());
    std::vector<Bytef> restored(text.size());
    uLongf restoredSize = restored.size();
    ASSERT_EQ(uncompress(restored.data(), &restoredSize, packed.data(), packedSize), Z_OK);
    EXPECT_EQ(std::string(restored.begin(), restored.end()), text);
}

TEST(CodecLibraries, LibpngIsTheVersionWeCompiledAgainst)
{
    EXPECT_EQ(png_access_version_number(), static_cast<png_uint_32>(PNG_LIBPNG_VER));
    EXPECT_EQ(PNG_LIBPNG_VER_MAJOR * 100 + PNG_LIBPNG_VER_MINOR, 106);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    ASSERT_NE(png, nullptr);
    png_infop info = png_create_info_struct(png);
    EXPECT_NE(info, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

TEST(CodecLibraries, LibjpegCompressesARow)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 1;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    unsigned char row[8 * 3];
    std::memset(row, 200, sizeof row);
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    ASSERT_GT(size, 4u);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xD8); // start of image
    free(buffer);
}

} // namespace
