#include "render/RenderThread.h"
#include "render/CGLScene.h"
#include "render/GlTestWindow.h"

#include "framework/CSyncObjects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Long enough for a slow machine, short enough that a lost acknowledgement
// fails the test instead of hanging it.
const DWORD kAcknowledgeMs = 10000;

const Rgb kPictureColour{90, 160, 220};
const Rgb kOtherColour{230, 120, 10};
const Rgb kWhite{255, 255, 255};

// The still grid fills the 64 x 64 window with the picture; the probes keep
// away from the seam between two rows of tiles across the middle.
::testing::AssertionResult ShowsPicture(const std::vector<Rgb>& frame, const Rgb& colour)
{
    for (int x : {8, 56}) {
        for (int y : {8, 24, 40, 56}) {
            const Rgb& pixel = frame.at(static_cast<std::size_t>(y) * 64 + x);
            if (!(pixel == colour))
                return ::testing::AssertionFailure() << x << ", " << y << " shows " << pixel;
        }
    }
    return ::testing::AssertionSuccess();
}

// Sleeps while handling the window's messages, as the window's thread does in
// the program: under Wine another thread's frames reach the window only then.
void PumpMessages(DWORD milliseconds)
{
    const DWORD end = ::GetTickCount() + milliseconds;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        const DWORD now = ::GetTickCount();
        if (static_cast<int>(end - now) <= 0)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

class RenderThread : public ::testing::Test {
protected:
    RenderThread()
    {
        // A signal left over from another test would steer this one's thread.
        startRenderEvent.Wait(0);
        stopRenderEvent.Wait(0);
        renderDoneEvent.Wait(0);
        settings.SetString("Picture", picture.Path());
        settings.SetInt("Effect", 2); // a still grid: the window shows the picture
    }

    // A thread still running after a failed check must not outlive the window.
    ~RenderThread() override
    {
        if (running) {
            startRenderEvent.SetEvent();
            Stop();
        }
    }

    void Start(HWND target)
    {
        ASSERT_TRUE(StartWorkerThread(RenderThreadProc, target));
        running = true;
    }

    bool Stop()
    {
        stopRenderEvent.SetEvent();
        if (renderDoneEvent.Wait(kAcknowledgeMs) != WAIT_OBJECT_0)
            return false;
        running = false;
        return true;
    }

    // Whether the thread's frames show the picture within a few seconds: the
    // first context of the process takes a while.
    ::testing::AssertionResult WaitForPicture(const Rgb& colour)
    {
        const DWORD start = ::GetTickCount();
        ::testing::AssertionResult shown = ::testing::AssertionFailure();
        while (!(shown = ShowsPicture(ReadWindowPixels(window), colour)) &&
               ::GetTickCount() - start < 5000)
            PumpMessages(20);
        return shown;
    }

    RenderSettings settings;
    PictureFile picture{"thread", 100, 90, [](int, int) { return kPictureColour; }};
    GlTestWindow window{64, 64};
    bool running = false;
};

TEST_F(RenderThread, DrawsFramesFromTheStartSignalUntilTheStopSignal)
{
    PaintWindow(window, RGB(255, 255, 255));
    ASSERT_NO_FATAL_FAILURE(Start(window.m_hWnd));
    PumpMessages(100);
    EXPECT_EQ(renderDoneEvent.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(CountPixels(ReadWindowPixels(window), kWhite), 64 * 64) << "drawn before the start";

    startRenderEvent.SetEvent();
    EXPECT_TRUE(WaitForPicture(kPictureColour));
    PumpMessages(100);
    EXPECT_EQ(renderDoneEvent.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "ended by itself";
    ASSERT_TRUE(Stop());

    // Both signals were taken by the thread: none is left for the next run.
    EXPECT_EQ(startRenderEvent.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(stopRenderEvent.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(RenderThread, FailedSetUpStillAcknowledgesTheStop)
{
    ASSERT_NO_FATAL_FAILURE(Start(nullptr));
    startRenderEvent.SetEvent();
    PumpMessages(50);
    EXPECT_TRUE(Stop());

    // The window went between the thread's start and its set-up.
    GlTestWindow gone(32, 32);
    const HWND handle = gone.m_hWnd;
    ASSERT_NO_FATAL_FAILURE(Start(handle));
    ASSERT_TRUE(gone.DestroyWindow());
    startRenderEvent.SetEvent();
    PumpMessages(50);
    EXPECT_TRUE(Stop());
}

TEST_F(RenderThread, WindowIsFreeForAnotherSceneAfterTheAcknowledgement)
{
    ASSERT_NO_FATAL_FAILURE(Start(window.m_hWnd));
    startRenderEvent.SetEvent();
    ASSERT_TRUE(WaitForPicture(kPictureColour));
    ASSERT_TRUE(Stop());

    PictureFile other("thread-other", 100, 90, [](int, int) { return kOtherColour; });
    settings.SetString("Picture", other.Path());
    {
        CGLScene scene;
        scene.CreateContext(window.m_hWnd);
        ASSERT_TRUE(scene.IsReady());
        scene.StepAnimation();
        scene.DrawFrame();
        EXPECT_TRUE(ShowsPicture(ReadWindowPixels(window), kOtherColour));
    }
    EXPECT_TRUE(window.DestroyWindow());
}

} // namespace
