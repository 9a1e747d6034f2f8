#include "image/BmpBuilder.h"
#include "image/CImageObject.h"
#include "image/QuadrantFiles.h"
#include "render/CGLScene.h"
#include "render/GlTestWindow.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const Rgb kLowerLeft{200, 30, 40};
const Rgb kLowerRight{30, 200, 40};
const Rgb kUpperLeft{40, 30, 200};
const Rgb kUpperRight{220, 220, 30};
const Rgb kWhite{255, 255, 255};

// 100 x 90 gives a grid of 4 x 3 tiles. Tile c's square spans grid x from
// c - 0.5 to c + 0.5, and the view axis meets the grid at x = 4 / 2, so the
// picture point at the centre of the view is 32 * (2 + 0.5) = 80; likewise
// 32 * (3 / 2 + 0.5) = 64 upwards. The quadrants meet there.
const int kCentreX = 80;
const int kCentreY = 64;

Rgb Quadrants(int x, int y)
{
    if (y < kCentreY)
        return x < kCentreX ? kLowerLeft : kLowerRight;
    return x < kCentreX ? kUpperLeft : kUpperRight;
}

Rgb At(const std::vector<Rgb>& frame, const GlTestWindow& window, int x, int y)
{
    return frame.at(static_cast<std::size_t>(y) * window.Width() + x);
}

class SceneContext : public ::testing::Test {
protected:
    SceneContext() { settings.SetString("Picture", picture.Path()); }

    RenderSettings settings;
    PictureFile picture{"frame", 100, 90, Quadrants};
};

TEST_F(SceneContext, SecondSetUpChangesNothing)
{
    GlTestWindow window(32, 32);
    CGLScene scene;
    scene.CreateContext(window.m_hWnd);
    ASSERT_TRUE(scene.IsReady());
    const HGLRC context = wglGetCurrentContext();
    ASSERT_NE(context, nullptr);
    const CPictureTile* tile = scene.GetTile(0, 0);
    scene.StepAnimation(); // zooming in from 500

    scene.CreateContext(window.m_hWnd);
    EXPECT_TRUE(scene.IsReady());
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(scene.GetTile(0, 0), tile);
    EXPECT_EQ(scene.GetColumnCount(), 4);
    EXPECT_EQ(scene.GetCameraDistance(), 500.0f);
}

TEST_F(SceneContext, ProjectionFollowsTheClientAspect)
{
    const double pi = std::acos(-1.0);
    const double f = 1.0 / std::tan(22.5 * pi / 180.0);
    const double zNear = 0.01f; // the float, widened
    const double zFar = 500.0;
    // A client area without height falls back to a square view.
    const struct {
        int width, height;
        double aspect;
    } cases[] = {{80, 40, 2.0}, {40, 80, 0.5}, {64, 0, 1.0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.width) + " x " + std::to_string(k.height));
        GlTestWindow window(k.width, k.height);
        CGLScene scene;
        scene.CreateContext(window.m_hWnd);
        ASSERT_TRUE(scene.IsReady());
        GLfloat m[16] = {};
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        EXPECT_NEAR(m[0], f / k.aspect, 1e-5 * f / k.aspect);
        EXPECT_NEAR(m[5], f, 1e-5 * f);
        EXPECT_NEAR(m[10], -(zFar + zNear) / (zFar - zNear), 1e-6);
        EXPECT_EQ(m[11], -1.0f);
        EXPECT_NEAR(m[14], -2.0 * zFar * zNear / (zFar - zNear), 1e-8);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
    }
}

TEST_F(SceneContext, DestructionReleasesTheContext)
{
    GlTestWindow window(32, 32);
    {
        CGLScene scene;
        scene.CreateContext(window.m_hWnd);
        ASSERT_TRUE(scene.IsReady());
        ASSERT_NE(wglGetCurrentContext(), nullptr);
        scene.DestroyContext();
        EXPECT_FALSE(scene.IsReady());
        EXPECT_EQ(wglGetCurrentContext(), nullptr);
        EXPECT_NE(scene.GetTile(0, 0), nullptr) << "the tiles go with the scene";
    }
    {
        CGLScene scene;
        scene.CreateContext(window.m_hWnd);
        ASSERT_TRUE(scene.IsReady());
    }
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

class SceneFrame : public SceneContext {
protected:
    // Made after the test's settings: the scene reads its picture when made.
    CGLScene& ReadyScene()
    {
        scene = std::make_unique<CGLScene>();
        scene->CreateContext(window.m_hWnd);
        EXPECT_TRUE(scene->IsReady());
        return *scene;
    }

    GlTestWindow window{128, 128};
    std::unique_ptr<CGLScene> scene;
};

TEST_F(SceneFrame, StillGridShowsThePictureAroundItsCentre)
{
    settings.SetInt("Effect", 2);
    CGLScene& s = ReadyScene();
    s.StepAnimation();
    s.DrawFrame();
    const auto frame = ReadWindowPixels(window);
    // Rows count from the bottom, as in the picture. The view spans about
    // 27 picture pixels across, all inside the picture.
    const struct {
        int x, y;
        Rgb colour;
    } probes[] = {
        {0, 0, kLowerLeft},   {40, 40, kLowerLeft}, {127, 0, kLowerRight},   {88, 40, kLowerRight},
        {0, 127, kUpperLeft}, {40, 88, kUpperLeft}, {127, 127, kUpperRight}, {88, 88, kUpperRight},
    };
    for (const auto& p : probes)
        EXPECT_EQ(At(frame, window, p.x, p.y), p.colour) << p.x << ", " << p.y;
}

TEST_F(SceneFrame, PicturesWhosePixelsNeedDecodingShowTheirColours)
{
    static_assert(quadrants::kWidth == 100 && quadrants::kHeight == 90 &&
                      quadrants::kSplitX == kCentreX && quadrants::kSplitY == kCentreY,
                  "the quadrants meet at the centre of the view");
    settings.SetInt("Effect", 2);
    // Each corner of the window shows a point about 13 picture pixels inside a quadrant.
    const struct {
        int x, y, pictureX, pictureY;
    } corners[] = {{2, 2, 60, 50}, {125, 2, 95, 50}, {2, 125, 60, 80}, {125, 125, 95, 80}};
    for (const QuadrantKind& kind : QuadrantKinds()) {
        SCOPED_TRACE(kind.name);
        TempFile file(kind.extension);
        settings.SetString("Picture", SaveQuadrants(kind, file));
        scene.reset();
        CGLScene& s = ReadyScene();
        s.StepAnimation();
        s.DrawFrame();
        const auto frame = ReadWindowPixels(window);
        for (const auto& c : corners) {
            const Rgb have = At(frame, window, c.x, c.y);
            const std::uint32_t want = QuadrantColour(kind, c.pictureX, c.pictureY);
            EXPECT_TRUE(ColoursClose(
                static_cast<std::uint32_t>(have.red << 16 | have.green << 8 | have.blue), want,
                kind.tolerance))
                << c.x << ", " << c.y << ": have " << have << ", want " << std::hex << want;
        }
    }
}

TEST_F(SceneFrame, WaveFramesShowTheWholeGridSmall)
{
    settings.SetInt("Effect", 1);
    CGLScene& s = ReadyScene();
    for (int frame = 0; frame < 5; ++frame) {
        s.StepAnimation();
        s.DrawFrame();
    }
    ASSERT_EQ(s.GetState(), AnimationState::Wave);
    const auto frame = ReadWindowPixels(window);
    for (const Rgb& colour : {kLowerLeft, kLowerRight, kUpperLeft, kUpperRight})
        EXPECT_GT(CountPixels(frame, colour), 0) << colour;
    for (int x : {0, 127}) {
        for (int y : {0, 127})
            EXPECT_TRUE(At(frame, window, x, y).IsBlack()) << x << ", " << y;
    }
}

TEST_F(SceneFrame, SceneWithoutPictureShowsBlack)
{
    settings.SetString("Picture", "none.xyz");
    settings.SetInt("Effect", 2);
    PaintWindow(window, RGB(255, 255, 255));
    ASSERT_EQ(CountPixels(ReadWindowPixels(window), kWhite), 128 * 128);
    CGLScene& s = ReadyScene();
    s.StepAnimation();
    s.DrawFrame();
    EXPECT_EQ(CountPixels(ReadWindowPixels(window), Rgb{0, 0, 0}), 128 * 128);
}

TEST_F(SceneFrame, SceneWithoutContextDrawsNothing)
{
    PaintWindow(window, RGB(255, 255, 255));
    CGLScene unset;
    unset.CreateContext(nullptr);
    EXPECT_FALSE(unset.IsReady());
    unset.StepAnimation();
    unset.DrawFrame();
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(CountPixels(ReadWindowPixels(window), kWhite), 128 * 128);

    // The handle is all a scene gets: here that of a window already gone.
    GlTestWindow gone(32, 32);
    const HWND handle = gone.m_hWnd;
    ASSERT_TRUE(gone.DestroyWindow());
    CGLScene orphan;
    orphan.CreateContext(handle);
    EXPECT_FALSE(orphan.IsReady());
    orphan.StepAnimation();
    orphan.DrawFrame();
    EXPECT_EQ(wglGetCurrentContext(), nullptr);

    // A set-up that fails after the picture's palette was selected: a device
    // context that keeps its selection, on a window whose pixel format is
    // already another than the scene's, so that only the context fails.
    BmpBuilder file(2, 2, 8);
    file.clrUsed = 2;
    file.table = {0x102030, 0x405060};
    file.rows = BmpBuilder::Padded({{0, 1}, {1, 0}});
    settings.SetString("Picture", file.Save());
    GlTestWindow own(16, 16, true);
    HDC dc = ::GetDC(own.m_hWnd);
    PIXELFORMATDESCRIPTOR scenes = {};
    scenes.nSize = sizeof scenes;
    scenes.nVersion = 1;
    scenes.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    scenes.cColorBits = 24;
    scenes.cDepthBits = 32;
    const int other = ::ChoosePixelFormat(dc, &scenes) == 1 ? 2 : 1;
    PIXELFORMATDESCRIPTOR described = {};
    ASSERT_NE(::DescribePixelFormat(dc, other, sizeof described, &described), 0);
    ASSERT_TRUE(::SetPixelFormat(dc, other, &described));
    auto failed = std::make_unique<CGLScene>();
    failed->CreateContext(own.m_hWnd);
    ASSERT_FALSE(failed->IsReady());
    PIXELFORMATDESCRIPTOR indexed = {}; // what a format that needs a palette selects
    indexed.dwFlags = PFD_NEED_PALETTE;
    indexed.cColorBits = 16;
    failed->BuildPalette(indexed);
    ASSERT_NE(failed->GetPicture()->GetPalette(), nullptr);
    const HPALETTE picturePalette = failed->GetPicture()->GetPalette()->GetSafeHandle();
    ASSERT_EQ(::GetCurrentObject(dc, OBJ_PAL), picturePalette);
    failed.reset();
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_PAL), ::GetStockObject(DEFAULT_PALETTE));
    ::ReleaseDC(own.m_hWnd, dc);
}

} // namespace
