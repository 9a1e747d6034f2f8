// The useless button: what each click in the cycle asks, with which buttons
// and icon, and which answers lead to a second box.
#include "ui/DialogDriver.h"

#include "framework/CWnd.h"
#include "resources/resource.h"
#include "ui/UselessButton.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const char kTrust[] = "You don't really trust people, do you ?";
const char kGrownUp[] = "That's right, ignore me...\nYou're a real grown-up !";
const char kFunny[] = "Try to be funny eh...";
const char kPayed[] = "Are you being payed for watching screensavers ?";
const char kSad[] = "You ARE sad :) ";
const char kRsi[] = "You'll get RSI if you go on like this.";

struct Box {
    std::string text;
    UINT type;
};

// A plain window as the application's main window: the boxes' owner.
class UselessButtonTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        UselessButton::ResetClicks();
        const char* windowClass =
            CWnd::RegisterClassFor("VornelleUiTestMain", 0, nullptr, nullptr, nullptr);
        ASSERT_TRUE(mainWindow.CreateEx(0, windowClass, "main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                        nullptr, nullptr));
        app.m_pMainWnd = &mainWindow;
    }
    void TearDown() override { UselessButton::ResetClicks(); }

    // Clicks once with these answers queued; checks every box's caption and
    // owner and gives their texts and types.
    std::vector<Box> Click(std::initializer_list<int> answers)
    {
        for (int answer : answers)
            boxes.Answer(answer);
        UselessButton::Click();
        std::vector<Box> shown;
        for (const MessageBoxRequest& request : boxes.TakeRequests()) {
            EXPECT_EQ(request.caption, "ui_tests");
            EXPECT_EQ(request.owner, mainWindow.m_hWnd);
            shown.push_back({request.text, request.type});
        }
        return shown;
    }

    ScriptedMessageBoxes boxes;
    CWnd mainWindow;
};

bool operator==(const Box& a, const Box& b)
{
    return a.text == b.text && a.type == b.type;
}

void PrintTo(const Box& box, std::ostream* out)
{
    *out << "{\"" << box.text << "\", 0x" << std::hex << box.type << std::dec << "}";
}

using Boxes = std::vector<Box>;

TEST_F(UselessButtonTest, FirstClickAddsASecondBoxOnlyWhenIgnored)
{
    EXPECT_EQ(Click({IDIGNORE}),
              (Boxes{{kTrust, MB_ABORTRETRYIGNORE}, {kGrownUp, MB_OK | MB_ICONEXCLAMATION}}));
    for (int answer : {IDABORT, IDRETRY}) {
        UselessButton::ResetClicks();
        EXPECT_EQ(Click({answer}), (Boxes{{kTrust, MB_ABORTRETRYIGNORE}})) << answer;
    }
}

TEST_F(UselessButtonTest, ThirdClickAddsASecondBoxOnlyOnYes)
{
    EXPECT_EQ(Click({IDRETRY}).size(), 1u);
    EXPECT_EQ(Click({IDRETRY}), (Boxes{{kFunny, MB_RETRYCANCEL}}));
    EXPECT_EQ(Click({IDYES}),
              (Boxes{{kPayed, MB_YESNOCANCEL | MB_ICONEXCLAMATION}, {kSad, MB_ABORTRETRYIGNORE}}));
    for (int answer : {IDNO, IDCANCEL}) {
        UselessButton::ResetClicks();
        Click({IDABORT});
        Click({IDCANCEL});
        EXPECT_EQ(Click({answer}), (Boxes{{kPayed, MB_YESNOCANCEL | MB_ICONEXCLAMATION}}))
            << answer;
    }
}

// Answers that lead to a second box elsewhere change nothing in the countdown.
TEST_F(UselessButtonTest, FifthClickCountsBackInTenBoxesThenTheCycleRestartsAtTheSecond)
{
    Click({IDABORT});
    Click({IDCANCEL});
    Click({IDNO});
    EXPECT_EQ(Click({IDOK}), (Boxes{{kRsi, MB_OK | MB_ICONEXCLAMATION}}));
    const Boxes countdown = {
        {"Let's count back... 8 !", MB_OK | MB_ICONEXCLAMATION},
        {"Let's count back... 7 !", MB_OKCANCEL | MB_ICONEXCLAMATION},
        {"Let's count back... 6 !", MB_ABORTRETRYIGNORE},
        {"Let's count back... 5 !", MB_YESNOCANCEL | MB_ICONEXCLAMATION},
        {"Let's count back... 4 !", MB_YESNO | MB_ICONEXCLAMATION},
        {"Let's count back... 3 !", MB_RETRYCANCEL},
        {"Let's count back... 3 !", MB_RETRYCANCEL},
        {"Let's count back... 3 !", MB_RETRYCANCEL},
        {"Let's count back... 3 !", MB_RETRYCANCEL},
        {"Let's count back... 3 !", MB_RETRYCANCEL},
    };
    EXPECT_EQ(Click({IDOK, IDCANCEL, IDIGNORE, IDYES, IDYES, IDRETRY, IDRETRY, IDRETRY, IDRETRY,
                     IDRETRY}),
              countdown);
    EXPECT_EQ(Click({IDIGNORE}), (Boxes{{kFunny, MB_RETRYCANCEL}}));
    EXPECT_EQ(Click({IDYES}).size(), 2u);
}

// Through the real button: the settings dialog is the main window and owner.
TEST_F(UselessButtonTest, TheDialogsButtonClicksItWithTheDialogAsOwner)
{
    app.m_pMainWnd = nullptr;
    boxes.Answer(IDIGNORE);
    boxes.Answer(IDOK);
    boxes.Answer(IDRETRY);
    HWND settings = nullptr;
    RunSettings([&settings](DialogDriver& driver, HWND dialog) {
        settings = dialog;
        driver.Click(dialog, IDC_USELESS);
        driver.Click(dialog, IDC_USELESS);
        driver.Click(dialog, IDCANCEL);
    });
    const std::vector<MessageBoxRequest> shown = boxes.TakeRequests();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, kTrust);
    EXPECT_EQ(shown[1].text, kGrownUp);
    EXPECT_EQ(shown[2].text, kFunny);
    for (const MessageBoxRequest& request : shown) {
        EXPECT_EQ(request.owner, settings);
        EXPECT_EQ(request.caption, "ui_tests");
    }
    EXPECT_EQ(UselessButton::Clicks(), 2);
}

} // namespace
