// The saver role of the real program, each case in a process of its own.
#include "windows/SaverProcess.h"
#include "support/WidePaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const DWORD kAppearMs = 15000;
const DWORD kExitMs = 15000;
// Long enough for a close posted by mistake to have ended the program.
const DWORD kStaysMs = 700;
// Where the pointer rests while the saver runs: its window's client
// coordinates are screen coordinates.
const POINT kRest = {200, 150};

struct DisplayMode {
    DWORD width, height, bits;
    bool operator==(const DisplayMode& other) const
    {
        return width == other.width && height == other.height && bits == other.bits;
    }
};

std::ostream& operator<<(std::ostream& out, const DisplayMode& mode)
{
    return out << mode.width << " x " << mode.height << " x " << mode.bits;
}

DisplayMode CurrentDisplayMode()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EXPECT_TRUE(::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    return DisplayMode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel};
}

// A big picture of many colours, so that moving tiles change the screen.
Rgb Gradient(int x, int y)
{
    return Rgb{static_cast<std::uint8_t>(x * 255 / 319), static_cast<std::uint8_t>(y * 255 / 239),
               static_cast<std::uint8_t>(255 - (x + y) * 255 / 558)};
}

class SaverRun : public ::testing::Test {
protected:
    SaverRun()
    {
        saver.SetString("Picture", picture.Path());
        saver.SetInt("Effect", 1); // the wave: tiles keep moving
        saver.SetInt("Bilinear", 0);
        saver.SetInt("WindowPrev", 0);
    }

    // Starts the saver with the pointer at rest and lets it draw a while.
    // Wine without a window manager now and then takes the activation from a
    // window that has just appeared, which rightly ends the saver: such a
    // start is made again.
    void Start()
    {
        for (int attempt = 1; attempt <= 3; ++attempt) {
            ASSERT_TRUE(::SetCursorPos(kRest.x, kRest.y));
            ASSERT_TRUE(saver.Start("/s"));
            window = saver.FindTopWindow(kAppearMs);
            ASSERT_NE(window, nullptr) << "no saver window";
            PumpFor(1500);
            if (saver.Running() && ::IsWindowVisible(window))
                break;
            std::printf("The saver ended by itself; starting it again.\n");
        }
        ASSERT_TRUE(::IsWindowVisible(window)) << "the saver keeps ending by itself";
        // Painted once: the window's thread and the render thread.
        runningThreads = ThreadCount(saver.Id());
        ASSERT_EQ(runningThreads, 2);
    }

    void Post(UINT message, WPARAM wParam, LPARAM lParam)
    {
        postedAt = ::GetTickCount64();
        EXPECT_TRUE(::PostMessageA(window, message, wParam, lParam));
    }

    ::testing::AssertionResult StaysOpen()
    {
        PumpFor(kStaysMs);
        if (saver.Running() && ::IsWindowVisible(window))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "closed";
    }

    // The last post closed the saver: it ended cleanly, a second or more after
    // its render thread had ended (which acknowledges just before it goes).
    void ExpectClosedByLastPost()
    {
        const SaverProcess::Exit exit = saver.WatchExit(runningThreads, postedAt, kExitMs);
        ASSERT_TRUE(exit.ended) << "still running";
        EXPECT_EQ(saver.ExitCode(), 0u);
        EXPECT_GE(::GetTickCount64() - postedAt, 1000u);
        EXPECT_GE(exit.msAfterThreadsLastSeen, 950u);
        EXPECT_FALSE(::IsWindow(window));
    }

    TestPicture picture{"saver", 320, 240, false, Gradient};
    SaverProcess saver{"vornelle_e2e"};
    HWND window = nullptr;
    int runningThreads = 0;
    ULONGLONG postedAt = 0;
};

TEST_F(SaverRun, CoversTheScreenAnimatesAndEndsWhenTheMouseMoves)
{
    const DisplayMode before = CurrentDisplayMode();
    ASSERT_NO_FATAL_FAILURE(Start());

    RECT rect = {};
    ASSERT_TRUE(::GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(WindowsOfClass(saver.Id(), "VornelleMonitorCover").empty()) << "one monitor";

    const Capture first = CaptureScreen();
    const bool moved = PumpUntil([&] { return !(CaptureScreen() == first); }, 5000);
    EXPECT_TRUE(moved) << "the screen stays the same";
    EXPECT_FALSE(first.AllBlack());

    // The first report only says where the pointer rests.
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(kRest.x, kRest.y));
    EXPECT_TRUE(StaysOpen());
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(kRest.x, kRest.y));
    EXPECT_TRUE(StaysOpen());
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(kRest.x + 40, kRest.y + 30));
    ExpectClosedByLastPost();

    EXPECT_EQ(CurrentDisplayMode(), before);
}

TEST_F(SaverRun, KeyReleasesAndExactSystemCommandsLeaveItRunning)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Post(WM_KEYUP, 'A', 0xC0000001);
    EXPECT_TRUE(StaysOpen()) << "key release";
    Post(WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    Post(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(StaysOpen()) << "system commands";
    // With low bits set the command is not the one swallowed.
    Post(WM_SYSCOMMAND, SC_CLOSE | 1, 0);
    ExpectClosedByLastPost();
}

struct Press {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void PrintTo(const Press& press, std::ostream* out)
{
    *out << press.name;
}

class SaverPress : public SaverRun, public ::testing::WithParamInterface<Press> {};

TEST_P(SaverPress, ClosesIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Post(GetParam().message, GetParam().wParam, GetParam().lParam);
    ExpectClosedByLastPost();
}

const LPARAM kAtRest = MAKELPARAM(kRest.x, kRest.y);

INSTANTIATE_TEST_SUITE_P(
    EveryButtonAndKey, SaverPress,
    ::testing::Values(Press{"KeyDown", WM_KEYDOWN, 'A', 1},
                      Press{"SysKeyDown", WM_SYSKEYDOWN, 'A', 1},
                      Press{"LeftButton", WM_LBUTTONDOWN, MK_LBUTTON, kAtRest},
                      Press{"MiddleButton", WM_MBUTTONDOWN, MK_MBUTTON, kAtRest},
                      Press{"RightButton", WM_RBUTTONDOWN, MK_RBUTTON, kAtRest}),
    [](const ::testing::TestParamInfo<Press>& info) { return std::string(info.param.name); });

const Rgb kSolid{200, 90, 30};

// The path arrives as a Unicode registry holds it, whatever the folder's
// script; a picture the saver can't open leaves the screen black.
class SaverPictureFolder : public SaverRun, public ::testing::WithParamInterface<int> {
protected:
    TestPicture solid{"solid", 320, 240, false, [](int, int) { return kSolid; }};
};

TEST_P(SaverPictureFolder, ShowsThePictureInAFolderOfAnyScript)
{
    const FileInFolder copy(solid.Path(), kWideFolderNames[GetParam()]);
    ASSERT_TRUE(copy.Made());
    ASSERT_TRUE(SetRegistryText(saver.ConfigPath(), L"Picture", copy.Path()));
    saver.SetInt("Effect", 2); // the grid stands still
    ASSERT_NO_FATAL_FAILURE(Start());
    // A busy machine may take a while over the first frame.
    Rgb centre{};
    PumpUntil(
        [&] {
            const Capture shown = CaptureScreen();
            centre = shown.At(shown.Width() / 2, shown.Height() / 2);
            return centre == kSolid;
        },
        10000);
    EXPECT_EQ(centre, kSolid);
    Post(WM_KEYDOWN, 'A', 1);
    ExpectClosedByLastPost();
}

std::string ScriptName(const ::testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"Accented", "Japanese", "Cyrillic"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Scripts, SaverPictureFolder, ::testing::Values(0, 1, 2), ScriptName);

} // namespace
