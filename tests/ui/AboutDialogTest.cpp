// The About box: alone it is centred on the work area; from the settings
// dialog (button or system menu) it is owned by that dialog and centred on it.
#include "ui/DialogDriver.h"

#include "resources/resource.h"
#include "ui/CAboutDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using AboutDialogTest = SettingsDialogTest;

TEST_F(AboutDialogTest, AloneItIsCentredOnTheWorkAreaAndEndsWithItsButton)
{
    CAboutDialog about;
    INT_PTR result = 0;
    DialogDriver::Run([&] { result = about.DoModal(); },
                      [](DialogDriver& driver) {
                          HWND dialog = driver.WaitForDialog(kAboutCaption);
                          ASSERT_NE(dialog, nullptr);
                          EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr);
                          ExpectCentredOn(dialog, WorkArea());
                          HWND icon = ::GetWindow(dialog, GW_CHILD);
                          EXPECT_EQ(ClassOf(icon), "Static");
                          EXPECT_EQ(::GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
                          EXPECT_NE(::SendMessageA(icon, STM_GETICON, 0, 0), 0);
                          driver.Click(dialog, IDOK);
                      });
    EXPECT_EQ(result, IDOK);
}

enum class AboutBy { Button, MenuItem, MenuItemWithLowBits };

// Moved away from the middle first, so that centring on the work area shows.
TEST_F(AboutDialogTest, ButtonAndMenuItemOpenItOwnedByAndCentredOnTheSettingsDialog)
{
    RunSettings([](DialogDriver& driver, HWND settings) {
        ::SetWindowPos(settings, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (AboutBy by : {AboutBy::Button, AboutBy::MenuItem, AboutBy::MenuItemWithLowBits}) {
            SCOPED_TRACE(static_cast<int>(by));
            if (by == AboutBy::Button)
                driver.PostClick(settings, IDC_ABOUT);
            else
                ::PostMessageA(settings, WM_SYSCOMMAND,
                               by == AboutBy::MenuItem ? ID_SYSMENU_ABOUT : ID_SYSMENU_ABOUT | 0x2,
                               0);
            HWND about = driver.WaitForDialog(kAboutCaption);
            ASSERT_NE(about, nullptr);
            EXPECT_EQ(::GetWindow(about, GW_OWNER), settings);
            EXPECT_FALSE(::IsWindowEnabled(settings));
            RECT owner;
            ::GetWindowRect(settings, &owner);
            ExpectCentredOn(about, owner);
            driver.Click(about, IDOK);
            ASSERT_TRUE(driver.WaitUntilGone(about));
            EXPECT_TRUE(::IsWindowEnabled(settings));
        }
        driver.Click(settings, IDCANCEL);
    });
}

} // namespace
