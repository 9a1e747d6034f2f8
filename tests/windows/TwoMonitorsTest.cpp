// The real program on two monitors side by side. The display for it comes
// from two_monitors.sh; elsewhere there is one monitor and the test skips.
#include "windows/SaverProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

POINT Inside(const RECT& rect, int dx, int dy)
{
    return POINT{(rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2 + dy};
}

TEST(TwoMonitors, BothAreCoveredAndAMoveOverTheSecondEndsTheSaver)
{
    const std::vector<RECT> others = SystemMonitors().OtherMonitors();
    if (std::getenv("VORNELLE_TWO_MONITORS") == nullptr && others.empty())
        GTEST_SKIP() << "one monitor here";
    ASSERT_EQ(others.size(), 1u);
    const RECT second = others[0];
    const RECT primary = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};

    TestPicture picture("two monitors", 160, 120, false, [](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 200};
    });
    SaverProcess saver("vornelle_two");
    saver.SetString("Picture", picture.Path());
    saver.SetInt("Effect", 1);
    ASSERT_TRUE(::SetCursorPos(10, 10));
    ASSERT_TRUE(saver.Start("/s"));
    HWND window = saver.FindTopWindow(15000);
    ASSERT_NE(window, nullptr);
    std::vector<HWND> covers;
    PumpUntil(
        [&] { return !(covers = WindowsOfClass(saver.Id(), "VornelleMonitorCover")).empty(); },
        5000);
    ASSERT_EQ(covers.size(), 1u);
    PumpFor(1500);
    ASSERT_TRUE(saver.Running());

    RECT rect = {};
    ::GetWindowRect(covers[0], &rect);
    EXPECT_TRUE(::EqualRect(&rect, &second));
    EXPECT_EQ(::WindowFromPoint(Inside(primary, 0, 0)), window);
    EXPECT_EQ(::WindowFromPoint(Inside(second, 0, 0)), covers[0]);
    HDC screen = ::GetDC(nullptr);
    const bool black = Capture(screen, second).AllBlack();
    ::ReleaseDC(nullptr, screen);
    EXPECT_TRUE(black) << "the second monitor still shows the desktop";

    // Real pointer moves, over the second monitor only.
    for (int step = 0; step < 5 && ::IsWindow(window); ++step) {
        const POINT to = Inside(second, 10 * step, 5 * step);
        ::SetCursorPos(to.x, to.y);
        PumpFor(300);
    }
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(window); }, 15000)) << "still running";
    // Gone with the saver window, before the second it waits for its render thread.
    EXPECT_FALSE(::IsWindow(covers[0]));
    EXPECT_TRUE(saver.WaitForExit(15000));
    EXPECT_EQ(saver.ExitCode(), 0u);
}

} // namespace
