#include "render/CGLScene.h"
#include "render/GlTestWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

std::uint32_t Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

const float kRest = 1.51f;
const float kTurn = 0.3f;
const float kWavePhase = static_cast<float>(1.0 / 60.0);

TEST(SceneStateConstants, DecimalValuesHaveTheExpectedBits)
{
    // The expectations below use the literals; these pin them to the bit patterns.
    EXPECT_EQ(Bits(kRest), 0x3FC147AEu);
    EXPECT_EQ(Bits(kTurn), 0x3E99999Au);
    EXPECT_EQ(Bits(kWavePhase), 0x3C888889u);
}

::testing::AssertionResult Is(const CGLScene& scene, AnimationState state, float distance)
{
    if (scene.GetState() != state)
        return ::testing::AssertionFailure() << "state " << static_cast<int>(scene.GetState());
    if (Bits(scene.GetCameraDistance()) != Bits(distance))
        return ::testing::AssertionFailure()
               << "distance " << scene.GetCameraDistance() << ", want " << distance;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AnglesAre(const CGLScene& scene, float xy)
{
    if (Bits(scene.GetGridAngleX()) != Bits(xy) || Bits(scene.GetGridAngleY()) != Bits(xy) ||
        Bits(scene.GetGridAngleZ()) != 0u) {
        return ::testing::AssertionFailure()
               << "angles " << scene.GetGridAngleX() << ", " << scene.GetGridAngleY() << ", "
               << scene.GetGridAngleZ() << ", want " << xy;
    }
    return ::testing::AssertionSuccess();
}

// Every tile's field against the value wanted for its column and row.
template <class Want>
::testing::AssertionResult TilesHave(const CGLScene& scene, float CPictureTile::*field, Want want)
{
    for (int c = 0; c < scene.GetColumnCount(); ++c) {
        for (int r = 0; r < scene.GetRowCount(); ++r) {
            const float has = scene.GetTile(c, r)->*field;
            if (Bits(has) != Bits(want(c, r))) {
                return ::testing::AssertionFailure()
                       << "tile " << c << ", " << r << " has " << has << ", want " << want(c, r);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

auto All(float value)
{
    return [value](int, int) { return value; };
}

// The Zoom 'n Rotate cycle from its first frame after the choice to its end:
// 485 frames in, 1000 spinning, 485 out.
void RunZoomAndRotate(CGLScene& scene)
{
    float distance = 500.0f;
    for (int frame = 1; frame <= 485; ++frame) {
        scene.StepAnimation();
        distance = distance - 1.0f;
        const auto state = frame < 485 ? AnimationState::ZoomIn : AnimationState::SpinTiles;
        ASSERT_TRUE(Is(scene, state, distance)) << "zooming in, frame " << frame;
    }
    ASSERT_EQ(distance, 15.0f);
    ASSERT_EQ(scene.GetStepCount(), 0);

    float spin = 0.0f;
    for (int frame = 1; frame < 1000; ++frame) {
        scene.StepAnimation();
        spin = spin + 1.0f;
        ASSERT_TRUE(Is(scene, AnimationState::SpinTiles, 15.0f)) << "spinning, frame " << frame;
        ASSERT_EQ(scene.GetStepCount(), frame);
        ASSERT_TRUE(TilesHave(scene, &CPictureTile::spinX, All(spin))) << "frame " << frame;
        ASSERT_TRUE(TilesHave(scene, &CPictureTile::spinY, All(spin))) << "frame " << frame;
        ASSERT_TRUE(TilesHave(scene, &CPictureTile::spinZ, All(0.0f))) << "frame " << frame;
    }
    scene.StepAnimation();
    ASSERT_TRUE(Is(scene, AnimationState::ZoomOutTurn, 15.0f)) << "after spinning";
    ASSERT_TRUE(TilesHave(scene, &CPictureTile::spinX, All(0.0f)));
    ASSERT_TRUE(TilesHave(scene, &CPictureTile::spinY, All(0.0f)));

    float angle = 0.0f;
    float lastAngle = 0.0f;
    for (int frame = 1; frame <= 485; ++frame) {
        scene.StepAnimation();
        distance = distance + 1.0f;
        angle = angle + kTurn;
        if (frame < 485) {
            ASSERT_TRUE(Is(scene, AnimationState::ZoomOutTurn, distance)) << "frame " << frame;
            ASSERT_TRUE(AnglesAre(scene, angle)) << "zooming out, frame " << frame;
            lastAngle = scene.GetGridAngleX();
        }
    }
    // Degrees, not radians: rounding drifts the sum only a little from 484 * 0.3.
    EXPECT_NEAR(lastAngle, 145.2f, 0.01f);
    EXPECT_TRUE(Is(scene, AnimationState::ChooseEffect, 500.0f));
    EXPECT_TRUE(AnglesAre(scene, 0.0f));
    EXPECT_TRUE(TilesHave(scene, &CPictureTile::posZ, All(0.0f)));
}

float WaveDepth(int c, int r, int step)
{
    const float argument = static_cast<float>(35 * c + 35 * r + step) * kWavePhase;
    return static_cast<float>(-6.0 + 3.0 * std::sin(static_cast<double>(argument)));
}

// The wave from its first frame after the choice to its end: 10001 frames.
void RunWave(CGLScene& scene)
{
    for (int step = 1; step <= 10000; ++step) {
        scene.StepAnimation();
        ASSERT_TRUE(Is(scene, AnimationState::Wave, 15.0f)) << "step " << step;
        ASSERT_EQ(scene.GetStepCount(), step);
        ASSERT_TRUE(TilesHave(scene, &CPictureTile::posZ,
                              [step](int c, int r) { return WaveDepth(c, r, step); }))
            << "step " << step;
    }
    scene.StepAnimation();
    EXPECT_TRUE(Is(scene, AnimationState::ChooseEffect, 15.0f));
    EXPECT_TRUE(TilesHave(scene, &CPictureTile::posZ, All(0.0f)));
}

// A scene with a 4 x 3 grid: its context is set up on a small window.
class SceneState : public ::testing::Test {
protected:
    SceneState() { settings.SetString("Picture", picture.Path()); }

    CGLScene& ReadyScene()
    {
        scene = std::make_unique<CGLScene>();
        scene->CreateContext(window.m_hWnd);
        EXPECT_TRUE(scene->IsReady());
        EXPECT_EQ(scene->GetColumnCount(), 4);
        EXPECT_EQ(scene->GetRowCount(), 3);
        return *scene;
    }

    RenderSettings settings;
    PictureFile picture{
        "state", 100, 70, [](int x, int y) {
            return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0};
        }};
    GlTestWindow window{16, 16};
    std::unique_ptr<CGLScene> scene;
};

TEST_F(SceneState, StartsStillAndMovesToTheRestingDistanceWithTheContext)
{
    scene = std::make_unique<CGLScene>();
    EXPECT_TRUE(Is(*scene, AnimationState::ChooseEffect, 0.0f));
    EXPECT_TRUE(AnglesAre(*scene, 0.0f));
    EXPECT_EQ(scene->GetStepCount(), 0);

    ReadyScene();
    EXPECT_TRUE(Is(*scene, AnimationState::ChooseEffect, kRest));
    EXPECT_TRUE(AnglesAre(*scene, 0.0f));
}

TEST_F(SceneState, ZoomAndRotateTakes1971FramesAndStartsAgain)
{
    CGLScene& s = ReadyScene(); // no "Effect" stored: 0
    s.StepAnimation();
    ASSERT_TRUE(Is(s, AnimationState::ZoomIn, 500.0f));
    ASSERT_EQ(s.GetStepCount(), 0);
    ASSERT_NO_FATAL_FAILURE(RunZoomAndRotate(s));

    s.StepAnimation();
    EXPECT_TRUE(Is(s, AnimationState::ZoomIn, 500.0f)) << "frame 1972 begins the next cycle";
}

TEST_F(SceneState, WaveTakes10002FramesAndStartsAgain)
{
    settings.SetInt("Effect", 1);
    CGLScene& s = ReadyScene();
    s.StepAnimation();
    ASSERT_TRUE(Is(s, AnimationState::Wave, 15.0f));
    ASSERT_EQ(s.GetStepCount(), 0);
    ASSERT_TRUE(TilesHave(s, &CPictureTile::posZ, All(0.0f)));
    ASSERT_NO_FATAL_FAILURE(RunWave(s));

    s.StepAnimation();
    EXPECT_TRUE(Is(s, AnimationState::Wave, 15.0f)) << "frame 10003 begins the next cycle";
    EXPECT_EQ(s.GetStepCount(), 0);
}

TEST_F(SceneState, OtherEffectValuesKeepTheGridStillWhileTheyLast)
{
    CGLScene& s = ReadyScene();
    for (int effect : {2, 7, -1}) {
        settings.SetInt("Effect", effect);
        for (int frame = 0; frame < 3; ++frame) {
            s.StepAnimation();
            ASSERT_TRUE(Is(s, AnimationState::ChooseEffect, kRest)) << "Effect " << effect;
            ASSERT_EQ(s.GetStepCount(), 0);
            ASSERT_TRUE(AnglesAre(s, 0.0f));
        }
    }
    settings.SetInt("Effect", 0);
    s.StepAnimation();
    EXPECT_TRUE(Is(s, AnimationState::ZoomIn, 500.0f));
}

TEST_F(SceneState, ChangedEffectWaitsForTheEndOfTheCycle)
{
    settings.SetInt("Effect", 1);
    CGLScene& s = ReadyScene();
    s.StepAnimation();
    settings.SetInt("Effect", 0);
    ASSERT_NO_FATAL_FAILURE(RunWave(s));
    s.StepAnimation();
    ASSERT_TRUE(Is(s, AnimationState::ZoomIn, 500.0f));

    settings.SetInt("Effect", 1);
    ASSERT_NO_FATAL_FAILURE(RunZoomAndRotate(s));
    s.StepAnimation();
    EXPECT_TRUE(Is(s, AnimationState::Wave, 15.0f));
}

TEST_F(SceneState, SceneWithoutContextStillAnimates)
{
    scene = std::make_unique<CGLScene>();
    scene->CreateContext(nullptr);
    ASSERT_FALSE(scene->IsReady());
    EXPECT_EQ(scene->GetColumnCount(), 0);

    scene->StepAnimation();
    ASSERT_TRUE(Is(*scene, AnimationState::ZoomIn, 500.0f));
    ASSERT_NO_FATAL_FAILURE(RunZoomAndRotate(*scene));

    settings.SetInt("Effect", 1);
    scene->StepAnimation();
    ASSERT_TRUE(Is(*scene, AnimationState::Wave, 15.0f));
    ASSERT_NO_FATAL_FAILURE(RunWave(*scene));
}

} // namespace
