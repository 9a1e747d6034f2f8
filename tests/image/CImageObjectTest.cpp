#include "image/CImageObject.h"

#include "image/CImageImplBmp.h"
#include "image/CImageImplGif.h"
#include "image/CImageImplJpeg.h"
#include "image/CImageImplPng.h"

#include "framework/CDC.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

bool HasBitmapFormat(const CImageObject& image)
{
    return dynamic_cast<CImageImplBmp*>(image.GetImpl()) != nullptr;
}

// A file name in the temporary folder, deleted when the test ends.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& name)
        : m_path(TemporaryDirectory() + name + std::to_string(::GetCurrentProcessId()) + ".bmp")
    {
    }
    ~TemporaryFile() { ::DeleteFileA(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

TEST(CImageObjectNames, ExtensionIsWhatFollowsTheLastDot)
{
    EXPECT_EQ(CImageObject::GetFileExtension("a/photo.Jpg"), "Jpg");
    EXPECT_EQ(CImageObject::GetFileExtension("c:\\x.y\\photo.tar.bmp"), "bmp");
    // The whole path counts, not just the file name.
    EXPECT_EQ(CImageObject::GetFileExtension("dir.d\\file"), "d\\file");
    EXPECT_EQ(CImageObject::GetFileExtension("file."), "");
    EXPECT_EQ(CImageObject::GetFileExtension("file"), "");
    EXPECT_EQ(CImageObject::GetFileExtension(""), "");
}

TEST(CImageObjectNames, TypesAreLookedUpIgnoringCase)
{
    const struct {
        const char* extension;
        int type;
    } known[] = {{"BMP", 0}, {"bmp", 0}, {"bMp", 0}, {"GIF", 2}, {"gif", 2}, {"JPG", 1},
                 {"Jpg", 1}, {"PNG", 4}, {"png", 4}, {"XPM", 3}, {"xpm", 3}};
    for (const auto& k : known)
        EXPECT_EQ(CImageObject::LookUpImageType(k.extension), k.type) << k.extension;
    for (const char* unknown : {"jpeg", "dib", "", "BM", "BMPX", "B", "ZZZ", "AAA", "tif"})
        EXPECT_EQ(CImageObject::LookUpImageType(unknown), -1) << '"' << unknown << '"';
}

TEST(CImageObjectConstruction, BitmapNamesGetABitmapFormatObject)
{
    const std::string missing = TemporaryDirectory() + "vornelle-no-such-picture.BMP";
    CImageObject byName(missing, -1);
    EXPECT_EQ(byName.GetImageType(), 0);
    EXPECT_EQ(byName.GetImagePath(), missing);
    EXPECT_TRUE(HasBitmapFormat(byName));
    EXPECT_EQ(byName.IsValid(), 0) << "the file does not exist";

    // An explicit type wins over the name.
    CImageObject byType("picture.gif", 0);
    EXPECT_EQ(byType.GetImageType(), 0);
    EXPECT_TRUE(HasBitmapFormat(byType));
}

TEST(CImageObjectConstruction, NamesAndTypesWithoutFormatObject)
{
    CImageObject xpm("x.xpm", -1);
    EXPECT_EQ(xpm.GetImageType(), 3);
    EXPECT_EQ(xpm.GetImpl(), nullptr);
    EXPECT_EQ(xpm.IsValid(), 0);

    for (const char* name : {"noending", "ends.in.dot.", "picture.tif"}) {
        CImageObject image(name, -1);
        EXPECT_EQ(image.GetImageType(), -1) << name;
        EXPECT_EQ(image.GetImpl(), nullptr) << name;
    }
    for (int type : {3, 7}) {
        CImageObject image("picture.bmp", type);
        EXPECT_EQ(image.GetImageType(), type);
        EXPECT_EQ(image.GetImpl(), nullptr) << "type " << type;
    }
}

TEST(CImageObjectConstruction, ReaderFormatsGetTheirOwnFormatObject)
{
    CImageObject gif("p.gif", -1);
    EXPECT_EQ(gif.GetImageType(), 2);
    EXPECT_NE(dynamic_cast<CImageImplGif*>(gif.GetImpl()), nullptr);
    CImageObject jpeg("p.JPG", -1);
    EXPECT_EQ(jpeg.GetImageType(), 1);
    EXPECT_NE(dynamic_cast<CImageImplJpeg*>(jpeg.GetImpl()), nullptr);
    CImageObject png("p.png", -1);
    EXPECT_EQ(png.GetImageType(), 4);
    EXPECT_NE(dynamic_cast<CImageImplPng*>(png.GetImpl()), nullptr);
    EXPECT_EQ(png.IsValid(), 0) << "the file does not exist";
}

TEST(CImageObjectForwarding, WithoutFormatObjectEveryCallIsSafe)
{
    CImageObject image("x.xpm", -1);
    ASSERT_EQ(image.GetImpl(), nullptr);
    EXPECT_EQ(image.GetRowBytes(), 0);
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_EQ(image.GetHeight(), 0);
    EXPECT_EQ(image.GetDepth(), 0);
    EXPECT_EQ(image.GetColorType(), 0);
    EXPECT_EQ(image.IsInside(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
    std::uint8_t r = 7, g = 7, b = 7;
    EXPECT_EQ(image.GetPixelRGB(0, 0, &r, &g, &b), 0);
    EXPECT_EQ(r, 7);
    EXPECT_EQ(image.SetPixelIndex(0, 0, 1), 0);
    EXPECT_EQ(image.SetPixelRGB(0, 0, 1, 2, 3), 0);
    const std::uint8_t level[] = {50, 60, 70};
    EXPECT_EQ(image.SetPalette(1, level, level, level), 0);
    EXPECT_EQ(image.SetPaletteRGB(1, level), 0);
    EXPECT_EQ(image.SetPaletteObject(std::make_unique<CImagePalette>()), 0);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetBits(), nullptr);

    HDC memory = ::CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    CDC dc(memory);
    EXPECT_EQ(image.Draw(&dc, 0, 0, -1, -1, 0, 0), 0);
    EXPECT_EQ(image.Draw(nullptr, 0, 0, -1, -1, 0, 0), 0);
    EXPECT_EQ(image.StretchDraw(&dc, 0, 0, 10, 10, 0, 0, -1, -1), 0);
    EXPECT_EQ(image.StretchDraw(nullptr, 0, 0, 10, 10, 0, 0, -1, -1), 0);
    ::DeleteDC(memory);
}

TEST(CImageObjectCreate, MakesABitmapFormatObjectWhenThereIsNone)
{
    CImageObject image("x.xpm", -1);
    EXPECT_EQ(image.Create(64, 64, 8, -1), 64);
    EXPECT_EQ(image.GetImageType(), 0);
    EXPECT_EQ(image.GetImagePath(), "");
    EXPECT_TRUE(HasBitmapFormat(image));
    EXPECT_EQ(image.IsValid(), 1);
    EXPECT_EQ(image.GetWidth(), 64);
    EXPECT_EQ(image.GetDepth(), 8);

    // A format object already there is kept, and so is the name.
    CImageObject named("somewhere.bmp", -1);
    CImageImpl* format = named.GetImpl();
    EXPECT_EQ(named.Create(3, 2, 24, -1), 12);
    EXPECT_EQ(named.GetImpl(), format);
    EXPECT_EQ(named.GetImagePath(), "somewhere.bmp");
}

TEST(CImageObjectCreate, CreateImplWithoutFormatDropsTheOldOne)
{
    CImageObject image("", -1);
    image.Create(2, 2, 8, -1);
    EXPECT_EQ(image.CreateImpl("", 3), 0);
    EXPECT_EQ(image.GetImpl(), nullptr);
    EXPECT_EQ(image.CreateImpl("", 0), 1);
    EXPECT_TRUE(HasBitmapFormat(image));
}

TEST(CImageObjectCreate, PicturesSurviveAFileRoundTrip)
{
    CImageObject image("", -1);
    ASSERT_EQ(image.Create(37, 23, 8, -1), 40);
    std::uint8_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = static_cast<std::uint8_t>(i);
        green[i] = static_cast<std::uint8_t>(255 - i);
        blue[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_EQ(image.SetPalette(256, red, green, blue), 1);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x)
            image.SetPixelIndex(x, y, x * 5 + y * 11);
    }

    TemporaryFile file("vornelle-roundtrip-");
    ASSERT_EQ(image.GetImpl()->Write(file.Path()), 1);
    CImageObject back(file.Path(), -1);
    ASSERT_EQ(back.IsValid(), 1);
    EXPECT_EQ(back.GetImageType(), 0);
    EXPECT_EQ(back.GetWidth(), 37);
    EXPECT_EQ(back.GetHeight(), 23);
    EXPECT_EQ(back.GetDepth(), 8);
    ASSERT_NE(back.GetPalette(), nullptr);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            const int want = (x * 5 + y * 11) & 0xFF;
            ASSERT_EQ(back.GetPixelIndex(x, y), want) << "pixel " << x << "," << y;
            std::uint8_t r = 0, g = 0, b = 0;
            ASSERT_EQ(back.GetPixelRGB(x, y, &r, &g, &b), 1);
            ASSERT_EQ(r, red[want]) << "pixel " << x << "," << y;
            ASSERT_EQ(g, green[want]) << "pixel " << x << "," << y;
            ASSERT_EQ(b, blue[want]) << "pixel " << x << "," << y;
        }
    }
}

} // namespace
