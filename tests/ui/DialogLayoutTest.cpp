// Where the dialogs' controls are, measured on the open dialogs against their
// templates' dialog units, with their styles and texts.
#include "ui/DialogDriver.h"

#include "resources/resource.h"
#include "ui/CAboutDialog.h"
#include "ui/CConfigDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Control {
    int id;           // -1: found by its text
    const char* text; // null: not checked
    const char* windowClass;
    int x, y, width, height;
    DWORD styleMask;
    DWORD style;
};

const DWORD kButtonStyle = BS_TYPEMASK | BS_MULTILINE;

const std::vector<Control> kSettingsControls = {
    {IDC_PICTURE, nullptr, "Edit", 55, 20, 143, 12, ES_AUTOHSCROLL | ES_MULTILINE, ES_AUTOHSCROLL},
    {IDC_BROWSE, "Browse", "Button", 217, 19, 52, 14, kButtonStyle, BS_PUSHBUTTON},
    {IDC_EFFECT, nullptr, "ComboBox", 54, 42, 144, 67, 0x3, CBS_DROPDOWNLIST},
    {IDC_ABOUT, "About", "Button", 217, 41, 52, 14, kButtonStyle, BS_PUSHBUTTON},
    {IDC_USELESS, "This button is \ntotally useless", "Button", 139, 68, 55, 49, kButtonStyle,
     BS_PUSHBUTTON | BS_MULTILINE},
    {IDC_WINDOWPREV, "Windowed Preview\n (Rush only!)", "Button", 210, 82, 59, 32, kButtonStyle,
     BS_AUTOCHECKBOX | BS_MULTILINE},
    {IDC_BILINEAR, "Bilinear filtered", "Button", 210, 124, 65, 12, kButtonStyle, BS_AUTOCHECKBOX},
    {IDOK, "OK", "Button", 143, 146, 50, 14, kButtonStyle, BS_DEFPUSHBUTTON},
    {IDCANCEL, "Cancel", "Button", 225, 146, 50, 14, kButtonStyle, BS_PUSHBUTTON},
    {-1, "Picture", "Static", 11, 22, 23, 8, SS_TYPEMASK, SS_LEFT},
    {IDC_PREVIEW, "", "Static", 15, 75, 109, 79, SS_TYPEMASK, SS_LEFT},
    {-1, "Preview", "Button", 9, 65, 122, 95, kButtonStyle, BS_GROUPBOX},
    {-1, "Effect", "Static", 11, 43, 23, 8, SS_TYPEMASK, SS_LEFT},
};

const std::vector<Control> kAboutControls = {
    {-1, "Vornelle Screensaver, version 1.0", "Static", 40, 10, 119, 8, SS_TYPEMASK, SS_LEFT},
    {-1,
     "Your picture, cut into tiles and set\nspinning or waving in OpenGL.\nBy the Vornelle team "
     "for Ombrelune.",
     "Static", 40, 25, 119, 27, SS_TYPEMASK, SS_LEFT},
    {IDOK, "OK", "Button", 176, 6, 32, 14, kButtonStyle, BS_DEFPUSHBUTTON},
};

HWND Find(HWND dialog, const Control& control)
{
    if (control.id != -1)
        return ::GetDlgItem(dialog, control.id);
    for (HWND child : ChildrenOf(dialog)) {
        if (WindowText(child) == control.text)
            return child;
    }
    return nullptr;
}

void ExpectControls(HWND dialog, const std::vector<Control>& controls)
{
    for (const Control& control : controls) {
        SCOPED_TRACE(control.text ? control.text : std::to_string(control.id));
        HWND child = Find(dialog, control);
        ASSERT_NE(child, nullptr);
        EXPECT_STRCASEEQ(ClassOf(child).c_str(), control.windowClass);
        if (control.text != nullptr) {
            EXPECT_EQ(WindowText(child), control.text);
        }
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE)) & control.styleMask,
                  control.style);
        const RECT expected =
            DialogUnits(dialog, control.x, control.y, control.width, control.height);
        if (control.id != IDC_EFFECT) {
            EXPECT_EQ(ChildRect(child), expected);
            continue;
        }
        // A drop-down list's window is as tall as its selection field; the
        // template's height is that of the field with the list dropped.
        // Windows reports exactly that dropped height, Wine the list's height
        // from the field's top, so the dropped bottom is only bounded.
        const RECT closed = ChildRect(child);
        EXPECT_EQ(closed.left, expected.left);
        EXPECT_EQ(closed.top, expected.top);
        EXPECT_EQ(closed.right, expected.right);
        EXPECT_LT(closed.bottom, expected.bottom);
        RECT dropped;
        ::SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&dropped), 2);
        EXPECT_EQ(dropped.top, expected.top);
        EXPECT_GT(dropped.bottom, closed.bottom + (expected.bottom - closed.bottom) / 2);
        EXPECT_LE(dropped.bottom, expected.bottom);
    }
}

void ExpectClientSize(HWND dialog, int width, int height)
{
    RECT client;
    ::GetClientRect(dialog, &client);
    EXPECT_EQ(client, DialogUnits(dialog, 0, 0, width, height));
}

// The size the template gives its first control, in dialog units: a static
// icon control takes the icon's size on screen, so only the template shows it.
SIZE FirstControlSize(int templateId)
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
    const auto* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, info)));
    if (words == nullptr)
        return SIZE{-1, -1};
    const DWORD style = words[0] | static_cast<DWORD>(words[1]) << 16;
    const WORD* at = words + 9; // past style, extended style, count and rectangle
    const auto skipNameOrOrdinal = [&at] {
        if (*at == 0xFFFF) {
            at += 2;
            return;
        }
        while (*at != 0)
            ++at;
        ++at;
    };
    skipNameOrOrdinal(); // menu
    skipNameOrOrdinal(); // class
    skipNameOrOrdinal(); // caption
    if (style & DS_SETFONT) {
        ++at; // point size
        skipNameOrOrdinal();
    }
    // Items begin on a 4-byte boundary; cx and cy follow style, extended style, x and y.
    const std::uintptr_t offset =
        reinterpret_cast<const std::uint8_t*>(at) - reinterpret_cast<const std::uint8_t*>(words);
    const WORD* item = words + (offset + 3) / 4 * 2;
    return SIZE{item[6], item[7]};
}

using DialogLayoutTest = SettingsDialogTest;

TEST_F(DialogLayoutTest, SettingsDialogControlsSitWhereTheTemplatePutsThem)
{
    CConfigDialog dialog;
    INT_PTR result = 0;
    DialogDriver::Run([&] { result = dialog.DoModal(); },
                      [](DialogDriver& driver) {
                          HWND hwnd = driver.WaitForDialog(kSettingsCaption);
                          ASSERT_NE(hwnd, nullptr);
                          ExpectClientSize(hwnd, 275, 197);
                          ExpectControls(hwnd, kSettingsControls);
                          EXPECT_EQ(::SendMessageA(hwnd, DM_GETDEFID, 0, 0),
                                    MAKELONG(IDOK, DC_HASDEFID));
                          driver.Click(hwnd, IDOK);
                      });
    EXPECT_EQ(result, IDOK);
}

TEST_F(DialogLayoutTest, AboutBoxControlsSitWhereTheTemplatePutsThem)
{
    CAboutDialog about;
    DialogDriver::Run([&] { about.DoModal(); },
                      [](DialogDriver& driver) {
                          HWND hwnd = driver.WaitForDialog(kAboutCaption);
                          ASSERT_NE(hwnd, nullptr);
                          ExpectClientSize(hwnd, 217, 55);
                          ExpectControls(hwnd, kAboutControls);
                          // An icon control takes the icon's size; only its
                          // corner comes from the template.
                          HWND icon = ::GetWindow(hwnd, GW_CHILD);
                          const RECT expected = DialogUnits(hwnd, 10, 15, 20, 20);
                          EXPECT_EQ(ChildRect(icon).left, expected.left);
                          EXPECT_EQ(ChildRect(icon).top, expected.top);
                          driver.Click(hwnd, IDOK);
                      });
    const SIZE icon = FirstControlSize(IDD_ABOUTBOX);
    EXPECT_EQ(icon.cx, 20);
    EXPECT_EQ(icon.cy, 20);
}

} // namespace
