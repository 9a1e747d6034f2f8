#include "framework/CWnd.h"
#include "framework/CWinApp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const UINT kAsk = WM_APP + 1;      // both classes have a row
const UINT kBaseOnly = WM_APP + 2; // only the base class has a row
const UINT kNobody = WM_APP + 3;   // no row anywhere

const char* TestClass()
{
    return CWnd::RegisterClassFor("VornelleTestWindow", 0, nullptr, nullptr, nullptr);
}

class BaseWnd : public CWnd {
public:
    bool Create(HWND parent = nullptr)
    {
        return CreateEx(0, TestClass(), "base", parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 100,
                        100, parent, nullptr);
    }
    int setTextCalls = 0;
    int minMaxInfoCalls = 0;
    bool attachedAtMinMaxInfo = false;

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageRow messageRows[];
    static const MessageTable messageTable;

private:
    LRESULT OnAsk(WPARAM, LPARAM) { return 1; }
    LRESULT OnBaseOnly(WPARAM wParam, LPARAM lParam) { return 2 + wParam + lParam; }
    // Counts, then lets the default procedure store the text.
    LRESULT OnSetText(WPARAM, LPARAM)
    {
        ++setTextCalls;
        return Default();
    }
    LRESULT OnGetMinMaxInfo(WPARAM, LPARAM)
    {
        ++minMaxInfoCalls;
        attachedAtMinMaxInfo = CWnd::FromHandle(m_hWnd) == this;
        return Default();
    }
};

const MessageRow BaseWnd::messageRows[] = {
    OnMessage<&BaseWnd::OnAsk>(kAsk),
    OnMessage<&BaseWnd::OnBaseOnly>(kBaseOnly),
    OnMessage<&BaseWnd::OnSetText>(WM_SETTEXT),
    OnMessage<&BaseWnd::OnGetMinMaxInfo>(WM_GETMINMAXINFO),
};
const MessageTable BaseWnd::messageTable = MakeMessageTable(&CWnd::messageTable, messageRows);

class DerivedWnd : public BaseWnd {
public:
    int clicks = 0;
    int editChanges = 0;

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageRow messageRows[];
    static const MessageTable messageTable;

private:
    LRESULT OnAsk(WPARAM, LPARAM) { return 10; }
    void OnClickInRange() { ++clicks; }
    void OnEditChange() { ++editChanges; }
};

const MessageRow DerivedWnd::messageRows[] = {
    OnMessage<&DerivedWnd::OnAsk>(kAsk),
    OnCommandRange<&DerivedWnd::OnClickInRange>(BN_CLICKED, 100, 105),
    OnCommandRange<&DerivedWnd::OnEditChange>(EN_CHANGE, 200, 200),
};
const MessageTable DerivedWnd::messageTable = MakeMessageTable(&BaseWnd::messageTable, messageRows);

// Deletes itself after its last message and reports it.
class SelfDeletingWnd : public BaseWnd {
public:
    explicit SelfDeletingWnd(bool* deleted) : m_deleted(deleted) {}
    ~SelfDeletingWnd() override { *m_deleted = true; }

protected:
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

// Destroys each child as it is made, as a preview's host may go meanwhile.
LRESULT CALLBACK DestroysNewChildren(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_CREATE)
        ::DestroyWindow(reinterpret_cast<HWND>(lParam));
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(CWndDispatch, OwnRowWinsOverTheBaseClassRow)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(::SendMessageA(wnd.m_hWnd, kAsk, 0, 0), 10);

    BaseWnd base;
    ASSERT_TRUE(base.Create());
    EXPECT_EQ(::SendMessageA(base.m_hWnd, kAsk, 0, 0), 1);
}

TEST(CWndDispatch, BaseRowsServeWhatTheOwnTableLacks)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(::SendMessageA(wnd.m_hWnd, kBaseOnly, 3, 4), 9);
}

TEST(CWndDispatch, MessagesWithoutRowGetDefaultProcessing)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(::SendMessageA(wnd.m_hWnd, kNobody, 1, 2), 0);
    // WM_GETTEXT has no row: only the default procedure can answer it.
    ASSERT_TRUE(::SetWindowTextA(wnd.m_hWnd, "changed"));
    char text[32] = {};
    EXPECT_EQ(::GetWindowTextA(wnd.m_hWnd, text, sizeof text), 7);
    EXPECT_STREQ(text, "changed");
    EXPECT_EQ(wnd.setTextCalls, 1);
}

TEST(CWndDispatch, CommandRowsMatchCodeAndIdRange)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    for (UINT id : {99u, 100u, 103u, 105u, 106u})
        ::SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    EXPECT_EQ(wnd.clicks, 3);
    ::SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(200, BN_CLICKED), 0);
    ::SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(101, EN_CHANGE), 0);
    EXPECT_EQ(wnd.clicks, 3);
    EXPECT_EQ(wnd.editChanges, 0);
    ::SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(200, EN_CHANGE), 0);
    EXPECT_EQ(wnd.editChanges, 1);
}

TEST(CWndDispatch, ObjectReceivesMessagesSentDuringCreation)
{
    BaseWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_GE(wnd.minMaxInfoCalls, 1);
    EXPECT_TRUE(wnd.attachedAtMinMaxInfo);
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);
}

TEST(CWndLifetime, DeletesItselfAfterItsLastMessageWhenAsked)
{
    bool deleted = false;
    auto* wnd = new SelfDeletingWnd(&deleted);
    ASSERT_TRUE(wnd->Create());
    HWND hwnd = wnd->m_hWnd;
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
}

TEST(CWndLifetime, WindowDestroyedWhileBeingMadeLeavesTheObjectToTheCaller)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &DestroysNewChildren;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "VornelleChildDestroyer";
    ::RegisterClassA(&wc);
    HWND parent = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 100, 100, nullptr,
                                    nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    bool deleted = false;
    auto* wnd = new SelfDeletingWnd(&deleted);
    EXPECT_FALSE(wnd->Create(parent));
    EXPECT_FALSE(deleted) << "deleted before its caller knew of the failure";
    if (!deleted) {
        EXPECT_EQ(wnd->m_hWnd, nullptr);
        delete wnd;
    }
    ::DestroyWindow(parent);
}

TEST(CWndLifetime, CloseByDefaultProcessingDeletesTheObjectSafely)
{
    bool deleted = false;
    auto* wnd = new SelfDeletingWnd(&deleted);
    ASSERT_TRUE(wnd->Create());
    HWND hwnd = wnd->m_hWnd;
    // WM_CLOSE has no row: the default procedure destroys the window while the
    // message is still being dispatched.
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(CWndLifetime, StaysAliveWithoutHandleWhenNotAskedToDelete)
{
    BaseWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND hwnd = wnd.m_hWnd;
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(wnd.DestroyWindow());
}

TEST(CWndLifetime, DestructorDestroysALiveWindow)
{
    HWND hwnd;
    {
        BaseWnd wnd;
        ASSERT_TRUE(wnd.Create());
        hwnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(CWndLifetime, DestroyingTheMainWindowEndsTheMessageLoop)
{
    CWinApp app("framework_tests");
    bool deleted = false;
    auto* wnd = new SelfDeletingWnd(&deleted);
    ASSERT_TRUE(wnd->Create());
    app.m_pMainWnd = wnd;
    ::PostMessageA(wnd->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(CWndLifetime, OtherWindowsDoNotEndTheMessageLoop)
{
    CWinApp app("framework_tests");
    BaseWnd mainWnd;
    ASSERT_TRUE(mainWnd.Create());
    app.m_pMainWnd = &mainWnd;
    BaseWnd other;
    ASSERT_TRUE(other.Create());
    other.DestroyWindow();
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(app.m_pMainWnd, &mainWnd);
    app.m_pMainWnd = nullptr;
}

} // namespace
