// The picture window in this process, mostly as a child of a test window:
// what it shows and when its render thread runs.
#include "windows/CPictureWnd.h"
#include "windows/SaverProcess.h"

#include "framework/CWinApp.h"
#include "image/CImageObject.h"
#include "render/RenderThread.h"
#include "resources/resource.h"
#include "support/RegistryCleaner.h"

#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

const Rgb kParentColour{40, 200, 120};
const int kChildWidth = 128;
const int kChildHeight = 96;

// Eight exact colours, four across and two down: blocks of 32 x 48 pixels.
const Rgb kBlocks[2][4] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}},
    {{255, 0, 255}, {0, 255, 255}, {255, 255, 255}, {128, 64, 0}},
};

bool IsBlack(const Rgb& colour)
{
    return colour == Rgb{0, 0, 0};
}

Rgb BlockColour(int x, int y)
{
    return kBlocks[y][x];
}

// The middle and the four corner pixels of every block.
::testing::AssertionResult ShowsBlocks(const Capture& shown)
{
    const int width = kChildWidth / 4;
    const int height = kChildHeight / 2;
    for (int by = 0; by < 2; ++by) {
        for (int bx = 0; bx < 4; ++bx) {
            const int left = bx * width;
            const int top = by * height;
            const POINT probes[] = {{left + width / 2, top + height / 2},
                                    {left, top},
                                    {left + width - 1, top},
                                    {left, top + height - 1},
                                    {left + width - 1, top + height - 1}};
            for (const POINT& p : probes) {
                if (shown.At(p.x, p.y) != kBlocks[by][bx])
                    return ::testing::AssertionFailure()
                           << "(" << p.x << ", " << p.y << ") shows " << shown.At(p.x, p.y)
                           << " in block " << bx << ", " << by;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

const char* ParentClass()
{
    static HBRUSH brush =
        ::CreateSolidBrush(RGB(kParentColour.red, kParentColour.green, kParentColour.blue));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = brush;
    wc.lpszClassName = "VornellePictureTestParent";
    ::RegisterClassA(&wc);
    return wc.lpszClassName;
}

void Repaint(HWND parent)
{
    ::RedrawWindow(parent, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

class PictureWindow : public ::testing::Test {
protected:
    PictureWindow()
    {
        // A signal left by another test would steer this one's render thread.
        startRenderEvent.Wait(0);
        stopRenderEvent.Wait(0);
        renderDoneEvent.Wait(0);
        app.SetRegistryKey("VornelleTests");
        SetInt("Effect", 2); // the grid stands still at its first distance
        // Not clipping its children: what it paints shows where they don't.
        parent = ::CreateWindowExA(0, ParentClass(), "", WS_POPUP, 40, 40, 160, 120, nullptr,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(parent, nullptr);
        ::ShowWindow(parent, SW_SHOWNOACTIVATE);
        // GoogleTest starts a thread of its own on the first failure: started
        // now, it can't pass for a render thread later.
        ::testing::ScopedFakeTestPartResultReporter startsIt(nullptr);
    }

    ~PictureWindow() override
    {
        child.reset();
        ::DestroyWindow(parent);
    }

    void SetInt(const char* entry, int value)
    {
        EXPECT_TRUE(app.WriteProfileInt("Config", entry, value));
    }

    void UsePicture(const TestPicture& picture)
    {
        EXPECT_TRUE(app.WriteProfileString("Config", "Picture", picture.Path()));
    }

    // The window under test, in the middle of the parent or on its own.
    void MakeChild(bool topLevel = false)
    {
        child = std::make_unique<CPictureWnd>(0);
        const RECT rect = {16, 12, 16 + kChildWidth, 12 + kChildHeight};
        ASSERT_TRUE(child->Create(0, (topLevel ? WS_POPUP : WS_CHILD) | WS_VISIBLE, rect,
                                  topLevel ? nullptr : parent, 0, nullptr));
    }

    const DWORD self = ::GetCurrentProcessId();
    RegistryCleaner cleaner{"VornelleTests", "windows_tests"};
    CWinApp app{"windows_tests"};
    TestPicture palettePicture{"blocks", 4, 2, true, BlockColour};
    HWND parent = nullptr;
    std::unique_ptr<CPictureWnd> child;
};

TEST_F(PictureWindow, ReadsItsPictureFromTheSettings)
{
    {
        CPictureWnd unset(0);
        EXPECT_EQ(unset.GetPicture()->GetImagePath(), "test.gif");
        EXPECT_FALSE(unset.IsAnimating());
    }
    UsePicture(palettePicture);
    CPictureWnd window(0);
    EXPECT_EQ(window.GetPicture()->GetWidth(), 4);
    EXPECT_EQ(window.GetPicture()->GetHeight(), 2);
    EXPECT_NE(window.GetPicture()->GetPalette(), nullptr);
}

TEST_F(PictureWindow, ClassHasTheBlankCursorAndNoBackground)
{
    MakeChild();
    HWND hwnd = child->m_hWnd;
    char className[64] = {};
    ::GetClassNameA(hwnd, className, sizeof className);
    EXPECT_STREQ(className, "VornellePictureWindow");
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HICON), 0u);
    HCURSOR blank = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_BLANK));
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HCURSOR), reinterpret_cast<ULONG_PTR>(blank));
    EXPECT_EQ(::GetWindowTextLengthA(hwnd), 0);

    // A second window shares the class; a child without a parent is refused.
    CPictureWnd second(0);
    const RECT rect = {0, 0, 10, 10};
    EXPECT_TRUE(second.Create(0, WS_CHILD, rect, parent, 0, nullptr));
    CPictureWnd orphan(0);
    EXPECT_FALSE(orphan.Create(0, WS_CHILD, rect, reinterpret_cast<HWND>(0x7ff0), 0, nullptr));
    EXPECT_EQ(orphan.m_hWnd, nullptr);
}

TEST_F(PictureWindow, PictureWithPaletteFillsTheClientArea)
{
    UsePicture(palettePicture);
    const int threads = SettledThreadCount(self);
    ASSERT_NO_FATAL_FAILURE(MakeChild());
    Repaint(parent);
    EXPECT_FALSE(::GetUpdateRect(child->m_hWnd, nullptr, FALSE));
    EXPECT_TRUE(ShowsBlocks(CaptureWindow(child->m_hWnd)));
    // Not animating: painting starts nothing.
    EXPECT_EQ(ThreadCount(self), threads);
    EXPECT_FALSE(child->RenderStarted());
}

TEST_F(PictureWindow, PictureWithoutPaletteLeavesTheAreaAsItWas)
{
    TestPicture trueColour{"true-colour", 4, 2, false, BlockColour};
    UsePicture(trueColour);
    ASSERT_NO_FATAL_FAILURE(MakeChild());
    Repaint(parent);
    EXPECT_FALSE(::GetUpdateRect(child->m_hWnd, nullptr, FALSE)) << "not painted";
    const Capture shown = CaptureWindow(child->m_hWnd);
    for (int y = 0; y < kChildHeight; y += 7) {
        for (int x = 0; x < kChildWidth; x += 9)
            ASSERT_EQ(shown.At(x, y), kParentColour) << x << ", " << y;
    }
}

TEST_F(PictureWindow, WindowedPreviewRunsOneRenderThreadFromItsFirstPaint)
{
    UsePicture(palettePicture);
    SetInt("WindowPrev", 1);
    const int threads = SettledThreadCount(self);
    ASSERT_NO_FATAL_FAILURE(MakeChild());
    EXPECT_EQ(ThreadCount(self), threads);

    Repaint(parent);
    EXPECT_TRUE(child->RenderStarted());
    EXPECT_EQ(ThreadCount(self), threads + 1);
    PumpFor(500);
    for (int i = 0; i < 3; ++i)
        Repaint(parent);
    EXPECT_EQ(SettledThreadCount(self), threads + 1);

    const ULONGLONG start = ::GetTickCount64();
    child.reset();
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_EQ(ThreadCount(self), threads) << "the render thread outlives its window";
    EXPECT_GE(elapsed, 1000u);
}

// Wine keeps a child window's OpenGL frames off the screen and out of its
// device context: the frames are looked at in a window of its own.
TEST_F(PictureWindow, WindowedPreviewFramesReplaceThePicture)
{
    UsePicture(palettePicture);
    SetInt("WindowPrev", 1);
    ASSERT_NO_FATAL_FAILURE(MakeChild(true));
    ::RedrawWindow(child->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_TRUE(child->RenderStarted());
    // The still grid leaves the corners to the cleared background.
    EXPECT_TRUE(PumpUntil(
        [&] {
            const Capture shown = CaptureWindow(child->m_hWnd);
            return !ShowsBlocks(shown) && IsBlack(shown.At(0, 0)) &&
                   IsBlack(shown.At(kChildWidth - 1, kChildHeight - 1));
        },
        5000))
        << "no frame over the picture";
}

TEST_F(PictureWindow, AnimatingWindowDestroyedBeforeItsFirstPaintWaitsForNothing)
{
    UsePicture(palettePicture);
    SetInt("WindowPrev", 1);
    const int threads = SettledThreadCount(self);
    ASSERT_NO_FATAL_FAILURE(MakeChild());
    ::ValidateRect(child->m_hWnd, nullptr);
    // Signalled beforehand so that a wait for a thread never started returns.
    renderDoneEvent.SetEvent();
    const ULONGLONG start = ::GetTickCount64();
    child.reset();
    EXPECT_LT(::GetTickCount64() - start, 900u);
    EXPECT_EQ(ThreadCount(self), threads);
    EXPECT_EQ(stopRenderEvent.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "stop signalled";
    EXPECT_EQ(renderDoneEvent.Wait(0), static_cast<DWORD>(WAIT_OBJECT_0)) << "waited";
}

} // namespace
