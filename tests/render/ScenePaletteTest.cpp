#include "image/BmpBuilder.h"
#include "image/CImageObject.h"
#include "render/CGLScene.h"
#include "render/GlTestWindow.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The field's level k of 2^bits - 1 spread over 0..255, rounded.
int Level(int index, int bits, int shift)
{
    const int top = (1 << bits) - 1;
    const int k = (index >> shift) & top;
    return static_cast<int>(std::lround(k * 255.0 / top));
}

TEST(ScenePalette, ThreeThreeTwoLayoutSpreadsEachFieldOverTheWholeRange)
{
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(CGLScene::PaletteComponent(i, 3, 0), Level(i, 3, 0)) << "red of " << i;
        EXPECT_EQ(CGLScene::PaletteComponent(i, 3, 3), Level(i, 3, 3)) << "green of " << i;
        EXPECT_EQ(CGLScene::PaletteComponent(i, 2, 6), Level(i, 2, 6)) << "blue of " << i;
    }
}

TEST(ScenePalette, NarrowFieldsAtAnyShift)
{
    for (int bits = 1; bits <= 3; ++bits) {
        for (int shift = 0; shift + bits <= 8; ++shift) {
            for (int i = 0; i < 256; ++i) {
                ASSERT_EQ(CGLScene::PaletteComponent(i, bits, shift), Level(i, bits, shift))
                    << bits << " bits at " << shift << ", index " << i;
            }
        }
    }
}

TEST(ScenePalette, OtherFieldWidthsGiveZero)
{
    for (int bits : {0, 4, 5, 8}) {
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(CGLScene::PaletteComponent(i, bits, 0), 0) << bits << " bits, index " << i;
    }
}

TEST(ScenePalette, MadeOnlyWhenThePixelFormatNeedsOne)
{
    RenderSettings settings;
    settings.SetString("Picture", "none.xyz");
    GlTestWindow window(16, 16);
    CGLScene scene;
    EXPECT_EQ(scene.GetScenePalette(), nullptr);
    scene.CreateContext(window.m_hWnd);
    ASSERT_TRUE(scene.IsReady());

    HDC dc = ::GetDC(window.m_hWnd);
    PIXELFORMATDESCRIPTOR format = {};
    ASSERT_NE(::DescribePixelFormat(dc, ::GetPixelFormat(dc), sizeof format, &format), 0);
    ::ReleaseDC(window.m_hWnd, dc);
    // A true-colour display here; an 8-bit one would need the palette.
    EXPECT_EQ(format.dwFlags & PFD_NEED_PALETTE, 0u);
    EXPECT_GT(format.cColorBits, 8);
    EXPECT_EQ(scene.GetScenePalette(), nullptr);
}

TEST(ScenePalette, DeepFormatsThatNeedOneStillSelectThePicturesPalette)
{
    RenderSettings settings;
    BmpBuilder file(2, 2, 8); // a picture with a palette of its own
    file.clrUsed = 2;
    file.table = {0x102030, 0x405060};
    file.rows = BmpBuilder::Padded({{0, 1}, {1, 0}});
    settings.SetString("Picture", file.Save());
    GlTestWindow window(16, 16);
    CGLScene scene;
    scene.CreateContext(window.m_hWnd);
    ASSERT_TRUE(scene.IsReady());
    ASSERT_NE(scene.GetPicture()->GetPalette(), nullptr);
    ASSERT_EQ(scene.GetPreviousPalette(), nullptr) << "a true-colour format needs none";

    PIXELFORMATDESCRIPTOR deep = {};
    deep.dwFlags = PFD_NEED_PALETTE;
    deep.cColorBits = 16;
    scene.BuildPalette(deep);
    EXPECT_EQ(scene.GetScenePalette(), nullptr) << "no palette of 2^16 entries";
    EXPECT_NE(scene.GetPreviousPalette(), nullptr) << "the picture's palette is selected";
}

} // namespace
