// The saver window in this process. Its windows stay hidden: no paint starts
// a render thread and no real input reaches them, only what the test sends.
#include "windows/CSaverWnd.h"
#include "windows/SaverProcess.h"

#include "framework/CWinApp.h"
#include "support/RegistryCleaner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool ClosePosted(HWND hwnd)
{
    MSG msg;
    return ::PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
}

class SaverWindow : public ::testing::Test {
protected:
    SaverWindow() { app.SetRegistryKey("VornelleTests"); }

    ~SaverWindow() override
    {
        for (HWND hwnd : windows) {
            if (::IsWindow(hwnd))
                ::DestroyWindow(hwnd);
        }
        // What the windows posted must not reach the next test.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // A hidden saver window; it deletes itself when destroyed.
    HWND Make()
    {
        auto* saver = new CSaverWnd(noSaverMode);
        const RECT rect = {0, 0, 64, 48};
        EXPECT_TRUE(saver->Create(0, WS_POPUP, rect, nullptr, 0, nullptr));
        windows.push_back(saver->m_hWnd);
        return saver->m_hWnd;
    }

    RegistryCleaner cleaner{"VornelleTests", "windows_tests"};
    CWinApp app{"windows_tests"};
    ListedModes noSaverMode{{Mode(640, 480, 32, 60), Mode(800, 600, 16, 60)}};
    std::vector<HWND> windows;
};

TEST_F(SaverWindow, SwitchesTheDisplayBeforeItHasAWindow)
{
    ListedModes twoMatches(
        {Mode(640, 480, 16, 60), Mode(1024, 768, 32, 60), Mode(640, 480, 16, 75)});
    auto* saver = new CSaverWnd(twoMatches);
    EXPECT_EQ(saver->m_hWnd, nullptr);
    ASSERT_EQ(twoMatches.changes.size(), 1u);
    EXPECT_EQ(twoMatches.changes[0].dmDisplayFrequency, 75u);
    EXPECT_EQ(twoMatches.changes[0].dmFields, static_cast<DWORD>(DM_PELSWIDTH | DM_PELSHEIGHT));
    EXPECT_EQ(twoMatches.changeFlags[0], 0u);
    EXPECT_TRUE(saver->IsAnimating());
    delete saver;

    delete new CSaverWnd(noSaverMode);
    EXPECT_TRUE(noSaverMode.changes.empty());
}

struct Input {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool closes;
};

void PrintTo(const Input& input, std::ostream* out)
{
    *out << input.name;
}

class SaverInput : public SaverWindow, public ::testing::WithParamInterface<Input> {};

// A close is posted, never sent: the window outlives the message that ends it.
TEST_P(SaverInput, PostsACloseOnlyForTheUsersSigns)
{
    HWND hwnd = Make();
    const Input& input = GetParam();
    ::SendMessageA(hwnd, input.message, input.wParam, input.lParam);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(ClosePosted(hwnd), input.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SaverInput,
    ::testing::Values(Input{"LeftButton", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5), true},
                      Input{"MiddleButton", WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5), true},
                      Input{"RightButton", WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5), true},
                      Input{"KeyDown", WM_KEYDOWN, VK_SPACE, 1, true},
                      Input{"SysKeyDown", WM_SYSKEYDOWN, VK_MENU, 0x20000001, true},
                      Input{"Inactive", WM_ACTIVATE, WA_INACTIVE, 0, true},
                      Input{"InactiveMinimized", WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, TRUE), 0,
                            true},
                      Input{"OtherApplication", WM_ACTIVATEAPP, FALSE, 0, true},
                      Input{"KeyUp", WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001), false},
                      Input{"LeftButtonUp", WM_LBUTTONUP, 0, MAKELPARAM(5, 5), false},
                      Input{"Active", WM_ACTIVATE, WA_ACTIVE, 0, false},
                      Input{"ClickActive", WM_ACTIVATE, WA_CLICKACTIVE, 0, false},
                      Input{"ThisApplication", WM_ACTIVATEAPP, TRUE, 0, false},
                      Input{"ScreenSave", WM_SYSCOMMAND, SC_SCREENSAVE, 0, false},
                      Input{"SystemClose", WM_SYSCOMMAND, SC_CLOSE, 0, false},
                      Input{"FirstMouseReport", WM_MOUSEMOVE, 0, MAKELPARAM(30, 20), false}),
    [](const ::testing::TestParamInfo<Input>& info) { return std::string(info.param.name); });

TEST_F(SaverWindow, OnlyAMoveAwayFromTheFirstMouseReportCloses)
{
    HWND hwnd = Make();
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 20));
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 20));
    EXPECT_FALSE(ClosePosted(hwnd));
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(31, 20));
    EXPECT_TRUE(ClosePosted(hwnd));

    HWND other = Make();
    ::SendMessageA(other, WM_MOUSEMOVE, 0, MAKELPARAM(30, 20));
    ::SendMessageA(other, WM_MOUSEMOVE, 0, MAKELPARAM(30, 21));
    EXPECT_TRUE(ClosePosted(other));
}

TEST_F(SaverWindow, SystemCloseWithOtherBitsClosesAtOnce)
{
    HWND hwnd = Make();
    ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE | 1, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(SaverWindow, APostedCloseEndsTheWindowAndTheLoop)
{
    HWND hwnd = Make();
    ::SendMessageA(hwnd, WM_KEYDOWN, VK_SPACE, 1);
    MSG msg = {};
    // A lost close fails the test instead of hanging it.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 5000, nullptr);
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER)
        ::DispatchMessageA(&msg);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(SaverWindow, HidesTheCursorAndStaysActiveLooking)
{
    HWND hwnd = Make();
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(::SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), nullptr);

    EXPECT_EQ(::SendMessageA(hwnd, WM_NCACTIVATE, FALSE, 0), FALSE);
    EXPECT_NE(::SendMessageA(hwnd, WM_NCACTIVATE, TRUE, 0), FALSE);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(ClosePosted(hwnd));
}

const RECT kCoverRect = {100, 100, 300, 200};

class SaverCover : public SaverWindow {
protected:
    // A hidden saver window with one cover at kCoverRect.
    void MakeCovered()
    {
        saverWindow = Make();
        ListedMonitors one({kCoverRect});
        Saver().CoverMonitors(one);
        const std::vector<HWND> covers = WindowsOfClass(::GetCurrentProcessId(), kCoverClass);
        ASSERT_EQ(covers.size(), 1u);
        cover = covers[0];
    }
    CSaverWnd& Saver() { return *static_cast<CSaverWnd*>(CWnd::FromHandle(saverWindow)); }

    static constexpr const char* kCoverClass = "VornelleMonitorCover";
    HWND saverWindow = nullptr;
    HWND cover = nullptr;
};

TEST_F(SaverCover, EveryOtherMonitorIsCoveredBlackUntilTheSaverGoes)
{
    HWND single = Make();
    ListedMonitors none({});
    static_cast<CSaverWnd*>(CWnd::FromHandle(single))->CoverMonitors(none);
    EXPECT_TRUE(WindowsOfClass(::GetCurrentProcessId(), kCoverClass).empty());

    ASSERT_NO_FATAL_FAILURE(MakeCovered());
    RECT rect = {};
    ::GetWindowRect(cover, &rect);
    EXPECT_TRUE(::EqualRect(&rect, &kCoverRect));
    EXPECT_TRUE(::IsWindowVisible(cover));
    EXPECT_TRUE(::GetWindowLongA(cover, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(::GetWindow(cover, GW_OWNER), saverWindow);
    EXPECT_NE(::GetActiveWindow(), cover);
    EXPECT_EQ(::SendMessageA(cover, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(cover),
                             MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(::SendMessageA(cover, WM_SETCURSOR, reinterpret_cast<WPARAM>(cover),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), nullptr);
    ::UpdateWindow(cover);
    EXPECT_TRUE(CaptureWindow(cover).AllBlack());

    ::DestroyWindow(saverWindow);
    EXPECT_FALSE(::IsWindow(cover));
}

TEST_F(SaverCover, InputOverACoverPostsTheSaversCloseOnlyForTheUsersSigns)
{
    // Positions in the cover's client coordinates; the cover is at (100, 100)
    // on the screen, where the saver window's client coordinates begin at 0.
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool closes;
    } inputs[] = {
        {"left button", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5), true},
        {"middle button", WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5), true},
        {"right button", WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5), true},
        {"key", WM_KEYDOWN, VK_SPACE, 1, true},
        {"system key", WM_SYSKEYDOWN, VK_MENU, 0x20000001, true},
        {"key up", WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001), false},
        {"button up", WM_LBUTTONUP, 0, MAKELPARAM(5, 5), false},
        {"first mouse report", WM_MOUSEMOVE, 0, MAKELPARAM(10, 10), false},
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        ASSERT_NO_FATAL_FAILURE(MakeCovered());
        ::SendMessageA(cover, input.message, input.wParam, input.lParam);
        EXPECT_EQ(ClosePosted(saverWindow), input.closes);
        EXPECT_FALSE(ClosePosted(cover));
        EXPECT_TRUE(::IsWindow(cover));
        ::DestroyWindow(saverWindow);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

TEST_F(SaverCover, CoverAndSaverShareTheFirstMousePositionOnTheScreen)
{
    ASSERT_NO_FATAL_FAILURE(MakeCovered());
    ::SendMessageA(cover, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ::SendMessageA(saverWindow, WM_MOUSEMOVE, 0, MAKELPARAM(110, 110)); // the same point
    EXPECT_FALSE(ClosePosted(saverWindow));
    ::SendMessageA(cover, WM_MOUSEMOVE, 0, MAKELPARAM(11, 10));
    EXPECT_TRUE(ClosePosted(saverWindow));
    ::DestroyWindow(saverWindow);

    ASSERT_NO_FATAL_FAILURE(MakeCovered());
    ::SendMessageA(saverWindow, WM_MOUSEMOVE, 0, MAKELPARAM(30, 20));
    ::SendMessageA(cover, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(ClosePosted(saverWindow));
}

} // namespace
