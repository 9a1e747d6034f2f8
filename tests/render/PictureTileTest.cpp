#include "render/CGLScene.h"
#include "render/GlTestWindow.h"

#include "image/CImageObject.h"
#include "support/TestPaths.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

namespace {

// Red follows x alone and green y alone, so a swapped or shifted read shows.
Rgb Gradient(int x, int y)
{
    return Rgb{static_cast<std::uint8_t>(7 * x + 3), static_cast<std::uint8_t>(5 * y + 11),
               static_cast<std::uint8_t>(x + y)};
}

class PictureTiles : public ::testing::Test {
protected:
    // A scene set up on the window with the picture at path.
    std::unique_ptr<CGLScene> SceneOf(const std::string& path)
    {
        settings.SetString("Picture", path);
        auto scene = std::make_unique<CGLScene>();
        scene->CreateContext(window.m_hWnd);
        EXPECT_TRUE(scene->IsReady());
        return scene;
    }

    RenderSettings settings;
    GlTestWindow window{16, 16};
};

// Checks every tile's texels, in memory and in its texture, against the
// picture's pixels (black beyond it), and the tile's place.
void ExpectTilesShow(const CGLScene& scene, int width, int height,
                     const std::function<Rgb(int x, int y)>& colourAt)
{
    int wrongTexels = 0;
    for (int c = 0; c < scene.GetColumnCount(); ++c) {
        for (int r = 0; r < scene.GetRowCount(); ++r) {
            const CPictureTile* tile = scene.GetTile(c, r);
            ASSERT_NE(tile, nullptr) << c << ", " << r;
            EXPECT_EQ(tile->posX, static_cast<float>(c));
            EXPECT_EQ(tile->posY, static_cast<float>(r));
            EXPECT_EQ(tile->posZ, 0.0f);
            EXPECT_EQ(tile->spinX, 0.0f);
            EXPECT_EQ(tile->spinY, 0.0f);
            EXPECT_EQ(tile->spinZ, 0.0f);

            std::uint8_t uploaded[32][32][4] = {};
            glBindTexture(GL_TEXTURE_2D, tile->GetTextureName());
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, uploaded);
            for (int t = 0; t < 32; ++t) {
                for (int s = 0; s < 32; ++s) {
                    const int x = 32 * c + s;
                    const int y = 32 * r + t;
                    const Rgb want = x < width && y < height ? colourAt(x, y) : Rgb{0, 0, 0};
                    const std::uint8_t* texel = tile->GetTexel(s, t);
                    const bool right = texel[0] == want.red && texel[1] == want.green &&
                                       texel[2] == want.blue && texel[3] == 255;
                    const bool sameInTexture = std::equal(texel, texel + 4, uploaded[t][s]);
                    if ((!right || !sameInTexture) && ++wrongTexels <= 5) {
                        ADD_FAILURE()
                            << "tile " << c << ", " << r << " texel " << s << ", " << t << ": want "
                            << want << ", has " << Rgb{texel[0], texel[1], texel[2]} << " alpha "
                            << int{texel[3]} << (sameInTexture ? "" : ", texture differs");
                    }
                }
            }
        }
    }
    EXPECT_EQ(wrongTexels, 0);
}

TEST_F(PictureTiles, GridHasABlockStartingAtEveryMultipleOf32UpToTheSize)
{
    const struct {
        int width, height, columns, rows;
    } cases[] = {
        {100, 70, 4, 3}, {64, 64, 3, 3},  {31, 33, 1, 2},  {32, 31, 2, 1},
        {1, 1, 1, 1},    {650, 5, 20, 1}, {5, 641, 1, 20},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.width) + " x " + std::to_string(k.height));
        PictureFile file("grid", k.width, k.height, Gradient);
        const auto scene = SceneOf(file.Path());
        EXPECT_EQ(scene->GetColumnCount(), k.columns);
        EXPECT_EQ(scene->GetRowCount(), k.rows);
        for (int c = 0; c < CGLScene::kMaxTiles; ++c) {
            for (int r = 0; r < CGLScene::kMaxTiles; ++r) {
                EXPECT_EQ(scene->GetTile(c, r) != nullptr, c < k.columns && r < k.rows)
                    << c << ", " << r;
            }
        }
    }
}

TEST_F(PictureTiles, TexelsAreThePixelsOfTheirBlockAndBlackBeyond)
{
    for (const auto& size : {std::make_pair(100, 70), std::make_pair(64, 64)}) {
        SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
        PictureFile file("texels", size.first, size.second, Gradient);
        const auto scene = SceneOf(file.Path());
        ExpectTilesShow(*scene, size.first, size.second, Gradient);

        GLuint names[20 * 20] = {};
        int count = 0;
        for (int c = 0; c < scene->GetColumnCount(); ++c) {
            for (int r = 0; r < scene->GetRowCount(); ++r)
                names[count++] = scene->GetTile(c, r)->GetTextureName();
        }
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(glIsTexture(names[i])) << names[i];
            for (int j = 0; j < i; ++j)
                EXPECT_NE(names[i], names[j]);
        }
    }
}

TEST_F(PictureTiles, LargePictureIsCutOffAfterTwentyBlocks)
{
    PictureFile file("large", 800, 600, Gradient);
    const auto scene = SceneOf(file.Path());
    ASSERT_EQ(scene->GetColumnCount(), 20);
    ASSERT_EQ(scene->GetRowCount(), 19);
    ExpectTilesShow(*scene, 800, 600, Gradient);
}

TEST_F(PictureTiles, PaletteColoursReachTheTexels)
{
    const std::string path = TemporaryDirectory() + "vornelle-render-indexed" +
                             std::to_string(::GetCurrentProcessId()) + ".bmp";
    std::uint8_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = static_cast<std::uint8_t>(i);
        green[i] = static_cast<std::uint8_t>(255 - i);
        blue[i] = static_cast<std::uint8_t>(3 * i);
    }
    const auto indexAt = [](int x, int y) { return (3 * x + 5 * y) & 255; };
    {
        CImageObject picture("", CImageObject::kTypeBmp);
        ASSERT_GT(picture.Create(40, 33, 8, -1), 0);
        ASSERT_EQ(picture.SetPalette(256, red, green, blue), 1);
        for (int y = 0; y < 33; ++y) {
            for (int x = 0; x < 40; ++x)
                picture.SetPixelIndex(x, y, indexAt(x, y));
        }
        ASSERT_EQ(picture.GetImpl()->Write(path), 1);
    }
    {
        const auto scene = SceneOf(path);
        EXPECT_EQ(scene->GetColumnCount(), 2);
        EXPECT_EQ(scene->GetRowCount(), 2);
        ExpectTilesShow(*scene, 40, 33, [&](int x, int y) {
            const int i = indexAt(x, y);
            return Rgb{red[i], green[i], blue[i]};
        });
    }
    ::DeleteFileA(path.c_str());
}

TEST_F(PictureTiles, WithoutPictureThereIsOneBlackTile)
{
    const std::string missing = TemporaryDirectory() + "vornelle-render-missing.bmp";
    ::DeleteFileA(missing.c_str());
    for (const std::string& path : {missing, std::string("none.xyz")}) {
        SCOPED_TRACE(path);
        const auto scene = SceneOf(path);
        ASSERT_NE(scene->GetPicture(), nullptr);
        EXPECT_EQ(scene->GetPicture()->GetWidth(), 0);
        ASSERT_EQ(scene->GetColumnCount(), 1);
        ASSERT_EQ(scene->GetRowCount(), 1);
        ExpectTilesShow(*scene, 0, 0, Gradient);
    }
}

TEST_F(PictureTiles, PictureDefaultsToTestGif)
{
    CGLScene scene;
    ASSERT_NE(scene.GetPicture(), nullptr);
    EXPECT_EQ(scene.GetPicture()->GetImagePath(), "test.gif");
}

TEST_F(PictureTiles, FilterFollowsTheBilinearSetting)
{
    PictureFile file("filter", 40, 40, Gradient);
    const struct {
        bool stored;
        int value;
        GLint filter;
    } cases[] = {
        {false, 0, GL_LINEAR}, {true, 1, GL_LINEAR}, {true, 5, GL_LINEAR}, {true, 0, GL_NEAREST}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.stored ? "Bilinear " + std::to_string(k.value) : "Bilinear not stored");
        if (k.stored)
            settings.SetInt("Bilinear", k.value);
        const auto scene = SceneOf(file.Path());
        for (int c = 0; c < scene->GetColumnCount(); ++c) {
            for (int r = 0; r < scene->GetRowCount(); ++r) {
                glBindTexture(GL_TEXTURE_2D, scene->GetTile(c, r)->GetTextureName());
                GLint minFilter = 0;
                GLint magFilter = 0;
                glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
                glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
                EXPECT_EQ(minFilter, k.filter) << c << ", " << r;
                EXPECT_EQ(magFilter, k.filter) << c << ", " << r;
            }
        }
    }
}

} // namespace
