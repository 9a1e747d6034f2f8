// The preview role of the real program, in a preview area of this process as
// the display properties show it. Wine shows nothing that one process draws
// into another's window, so only the window, its paints and threads are seen.
#include "windows/SaverProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

const int kAreaWidth = 152;
const int kAreaHeight = 112;
const DWORD kAppearMs = 15000;
const DWORD kExitMs = 10000;

const char* HostClass()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "VornellePreviewTestHost";
    ::RegisterClassA(&wc);
    return wc.lpszClassName;
}

// Eight by six squares of different colours.
Rgb Squares(int x, int y)
{
    return Rgb{static_cast<std::uint8_t>(x / 8 * 32), 90, static_cast<std::uint8_t>(y / 8 * 40)};
}

std::string Handle(HWND hwnd)
{
    return std::to_string(reinterpret_cast<std::intptr_t>(hwnd));
}

class PreviewRun : public ::testing::Test {
protected:
    PreviewRun()
    {
        saver.SetString("Picture", picture.Path());
        saver.SetInt("Effect", 1);
        saver.SetInt("Bilinear", 0);
        // The host stays hidden until the test lets the preview paint.
        host = ::CreateWindowExA(0, HostClass(), "host", WS_POPUP, 100, 100, 320, 240, nullptr,
                                 nullptr, ::GetModuleHandleA(nullptr), nullptr);
        area = ::CreateWindowExA(0, HostClass(), "", WS_CHILD | WS_VISIBLE, 24, 16, kAreaWidth,
                                 kAreaHeight, host, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }

    ~PreviewRun() override
    {
        saver.Kill();
        ::DestroyWindow(host);
        PumpFor(0);
    }

    // Starts the preview in the area and finds its window there.
    void Start(int windowPrev)
    {
        ASSERT_NE(area, nullptr);
        saver.SetInt("WindowPrev", windowPrev);
        ASSERT_TRUE(saver.Start("/p " + Handle(area)));
        preview = saver.FindChildWindow(area, kAppearMs);
        ASSERT_NE(preview, nullptr) << "no preview window in the area";
    }

    // Shows the host: the preview gets its first paint.
    void ShowAndPaint()
    {
        ::ShowWindow(host, SW_SHOWNOACTIVATE);
        EXPECT_TRUE(PumpUntil([&] { return !::GetUpdateRect(preview, nullptr, FALSE); }, 5000))
            << "the preview is not painted";
    }

    TestPicture picture{"preview", 64, 48, true, Squares};
    SaverProcess saver{"vornelle_e2e_preview"};
    HWND host = nullptr;
    HWND area = nullptr;
    HWND preview = nullptr;
};

TEST_F(PreviewRun, FillsTheAreaAndEndsWithIt)
{
    ASSERT_NO_FATAL_FAILURE(Start(0));
    EXPECT_EQ(::GetParent(preview), area);
    EXPECT_TRUE(::GetWindowLongA(preview, GWL_STYLE) & WS_CHILD);
    // Found while it may still be being made: it shows itself at the end.
    EXPECT_TRUE(
        PumpUntil([&] { return (::GetWindowLongA(preview, GWL_STYLE) & WS_VISIBLE) != 0; }, 5000));
    RECT client = {};
    ::GetClientRect(preview, &client);
    EXPECT_EQ(client.right, kAreaWidth);
    EXPECT_EQ(client.bottom, kAreaHeight);
    RECT onScreen = {};
    RECT areaOnScreen = {};
    ::GetWindowRect(preview, &onScreen);
    ::GetWindowRect(area, &areaOnScreen);
    EXPECT_TRUE(::EqualRect(&onScreen, &areaOnScreen));

    // Without "WindowPrev" painting starts no render thread.
    const int before = SettledThreadCount(saver.Id());
    ASSERT_GT(before, 0);
    ShowAndPaint();
    ::RedrawWindow(preview, nullptr, nullptr, RDW_INVALIDATE);
    EXPECT_EQ(SettledThreadCount(saver.Id()), before);

    EXPECT_TRUE(::DestroyWindow(area));
    ASSERT_TRUE(saver.WaitForExit(kExitMs)) << "still running without its host";
    EXPECT_EQ(saver.ExitCode(), 0u);
}

TEST_F(PreviewRun, WindowedPreviewAnimatesFromItsFirstPaintAndStopsWithTheHost)
{
    ASSERT_NO_FATAL_FAILURE(Start(1));
    const int before = SettledThreadCount(saver.Id());
    ASSERT_GT(before, 0);
    ShowAndPaint();
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount(saver.Id()) == before + 1; }, 5000));
    // Later paints start no more threads.
    for (int i = 0; i < 3; ++i) {
        ::RedrawWindow(preview, nullptr, nullptr, RDW_INVALIDATE);
        PumpFor(100);
    }
    EXPECT_EQ(SettledThreadCount(saver.Id()), before + 1);

    const ULONGLONG destroyedAt = ::GetTickCount64();
    EXPECT_TRUE(::DestroyWindow(area));
    const SaverProcess::Exit exit = saver.WatchExit(before + 1, destroyedAt, kExitMs);
    ASSERT_TRUE(exit.ended) << "still running without its host";
    EXPECT_EQ(saver.ExitCode(), 0u);
    // The render thread acknowledges just before it goes.
    EXPECT_GE(exit.msAfterThreadsLastSeen, 950u);
}

TEST_F(PreviewRun, EndsAtOnceWithoutAHostWindow)
{
    HWND gone = ::CreateWindowExA(0, HostClass(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    ::DestroyWindow(gone);
    for (const std::string& arguments :
         {std::string("/p"), std::string("/p 0"), "/p " + Handle(gone)}) {
        ASSERT_TRUE(saver.Start(arguments));
        EXPECT_TRUE(saver.WaitForExit(5000)) << arguments;
        EXPECT_EQ(saver.ExitCode(), 0u) << arguments;
    }
}

} // namespace
