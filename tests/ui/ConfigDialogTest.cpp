// The configure role: the settings dialog opens with the stored values, OK
// stores what the controls show, every other way out stores nothing.
#include "ui/DialogDriver.h"

#include "image/CImageObject.h"
#include "resources/resource.h"
#include "support/TestPaths.h"
#include "support/WidePaths.h"
#include "ui/CConfigDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::wstring WideText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

const COLORREF kPaneColour = RGB(30, 144, 200);

// One colour with a palette, so that the pane paints it.
class PanePicture {
public:
    PanePicture()
    {
        CImageObject picture("", CImageObject::kTypeBmp);
        const std::uint8_t rgb[] = {GetRValue(kPaneColour), GetGValue(kPaneColour),
                                    GetBValue(kPaneColour)};
        m_written = picture.Create(4, 4, 8, -1) > 0 && picture.SetPaletteRGB(1, rgb) == 1 &&
                    picture.GetImpl()->Write(m_path) == 1;
    }
    ~PanePicture() { ::DeleteFileA(m_path.c_str()); }
    PanePicture(const PanePicture&) = delete;
    PanePicture& operator=(const PanePicture&) = delete;
    bool Written() const { return m_written; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path = TemporaryDirectory() + "vornelle-ui-pane.bmp";
    bool m_written;
};

// The middle of a window as it shows now.
COLORREF CentrePixel(HWND window)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    HDC dc = ::GetDC(window);
    const COLORREF colour = ::GetPixel(dc, client.right / 2, client.bottom / 2);
    ::ReleaseDC(window, dc);
    return colour;
}

class ConfigDialogTest : public SettingsDialogTest {
protected:
    std::string SectionPath() const { return cleaner.Path() + "\\Config"; }

    // Straight from the registry, so that a missing value is not a default.
    std::optional<int> StoredInt(const char* name) const
    {
        DWORD value = 0, size = sizeof value, type = 0;
        if (::RegGetValueA(HKEY_CURRENT_USER, SectionPath().c_str(), name, RRF_RT_ANY, &type,
                           &value, &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return static_cast<int>(value);
    }
    std::optional<std::string> StoredText(const char* name) const
    {
        char text[MAX_PATH] = {};
        DWORD size = sizeof text, type = 0;
        if (::RegGetValueA(HKEY_CURRENT_USER, SectionPath().c_str(), name, RRF_RT_ANY, &type, text,
                           &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return std::nullopt;
        return std::string(text);
    }
    DWORD StoredValueCount() const
    {
        HKEY key = nullptr;
        DWORD values = 0;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath().c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return 0xFFFFFFFF;
        ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
        return values;
    }

    void Store(int effect, int windowPrev, int bilinear, const std::string& picture)
    {
        ASSERT_TRUE(app.WriteSettingInt("Config", "Effect", effect));
        ASSERT_TRUE(app.WriteSettingInt("Config", "WindowPrev", windowPrev));
        ASSERT_TRUE(app.WriteSettingInt("Config", "Bilinear", bilinear));
        ASSERT_TRUE(app.WriteSettingString("Config", "Picture", picture));
    }
    void ExpectStored(int effect, int windowPrev, int bilinear, const std::string& picture) const
    {
        EXPECT_EQ(StoredInt("Effect"), effect);
        EXPECT_EQ(StoredInt("WindowPrev"), windowPrev);
        EXPECT_EQ(StoredInt("Bilinear"), bilinear);
        EXPECT_EQ(StoredText("Picture"), picture);
    }
};

int Checked(HWND dialog, int id)
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

int Selection(HWND dialog)
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, IDC_EFFECT, CB_GETCURSEL, 0, 0));
}

std::string ComboItem(HWND dialog, int index)
{
    char text[128] = {};
    ::SendDlgItemMessageA(dialog, IDC_EFFECT, CB_GETLBTEXT, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(text));
    return text;
}

const CConfigDialog* DialogObject(HWND dialog)
{
    return dynamic_cast<const CConfigDialog*>(CWnd::FromHandle(dialog));
}

std::string PanePicturePath(HWND dialog)
{
    const CConfigDialog* object = DialogObject(dialog);
    const CImageObject* picture = object ? object->GetPreview().GetPicture() : nullptr;
    return picture ? picture->GetImagePath() : "<no picture>";
}

// Sets a check box as a click would, from the state it shows.
void SetChecked(HWND dialog, int id, int state)
{
    if (Checked(dialog, id) != state)
        ::SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
}

TEST_F(ConfigDialogTest, ShowsDefaultsWhenNothingIsStoredAndCancelStoresNothing)
{
    RunSettings([](DialogDriver& driver, HWND dialog) {
        EXPECT_EQ(WindowText(::GetDlgItem(dialog, IDC_PICTURE)), "3deng.jpg");
        EXPECT_EQ(Checked(dialog, IDC_BILINEAR), BST_CHECKED);
        EXPECT_EQ(Checked(dialog, IDC_WINDOWPREV), BST_UNCHECKED);
        ASSERT_EQ(::SendDlgItemMessageA(dialog, IDC_EFFECT, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(ComboItem(dialog, 0), " Zoom 'n Rotate");
        EXPECT_EQ(ComboItem(dialog, 1), "Wave");
        EXPECT_EQ(ComboItem(dialog, 2), "Random (not implemented yet)");
        EXPECT_EQ(Selection(dialog), 1);
        // The pane has its own default, read when the dialog object was made.
        EXPECT_EQ(PanePicturePath(dialog), "test.gif");
        EXPECT_EQ(driver.Focus(), ::GetDlgItem(dialog, IDC_PICTURE));
        driver.Click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(RegistryKeyExists(SectionPath()));
    EXPECT_EQ(StoredValueCount(), 0u);
}

TEST_F(ConfigDialogTest, OpensCentredWithThePaneOverItsPlaceholder)
{
    RunSettings([](DialogDriver& driver, HWND dialog) {
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr);
        ExpectCentredOn(dialog, WorkArea());

        HWND pane = ::FindWindowExA(dialog, nullptr, "VornellePictureWindow", nullptr);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(::GetParent(pane), dialog);
        EXPECT_TRUE(::IsWindowVisible(pane));
        EXPECT_EQ(ChildRect(pane), ChildRect(::GetDlgItem(dialog, IDC_PREVIEW)));

        HMENU menu = ::GetSystemMenu(dialog, FALSE);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_NE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
        EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(ID_SYSMENU_ABOUT));
        char text[64] = {};
        ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, "&About Kestrine...");

        const auto icon = reinterpret_cast<HICON>(::SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0));
        EXPECT_NE(icon, nullptr);
        EXPECT_EQ(icon, ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VORNELLE)));
        driver.Click(dialog, IDCANCEL);
    });
}

struct ChosenValues {
    int effect;
    int windowPrev;
    int bilinear;
    const char* picture;
};

void PrintTo(const ChosenValues& v, std::ostream* out)
{
    *out << "{" << v.effect << ", " << v.windowPrev << ", " << v.bilinear << ", \"" << v.picture
         << "\"}";
}

class ConfigDialogOkTest : public ConfigDialogTest,
                           public ::testing::WithParamInterface<ChosenValues> {};

// The stored values differ from each row's, and the two check boxes differ from
// each other, so a value stored under the wrong name shows.
TEST_P(ConfigDialogOkTest, OkStoresWhatTheControlsShow)
{
    const ChosenValues chosen = GetParam();
    Store(1, 0, 1 - chosen.bilinear, "C:\\before\\old.gif");
    RunSettings([&chosen](DialogDriver& driver, HWND dialog) {
        driver.SetText(dialog, IDC_PICTURE, chosen.picture);
        ::SendDlgItemMessageA(dialog, IDC_EFFECT, CB_SETCURSEL, chosen.effect, 0);
        SetChecked(dialog, IDC_WINDOWPREV, chosen.windowPrev);
        SetChecked(dialog, IDC_BILINEAR, chosen.bilinear);
        EXPECT_EQ(Checked(dialog, IDC_WINDOWPREV), chosen.windowPrev);
        EXPECT_EQ(Checked(dialog, IDC_BILINEAR), chosen.bilinear);
        driver.Click(dialog, IDOK);
    });
    ExpectStored(chosen.effect, chosen.windowPrev, chosen.bilinear, chosen.picture);
}

INSTANTIATE_TEST_SUITE_P(Values, ConfigDialogOkTest,
                         ::testing::Values(ChosenValues{0, 1, 0, "C:\\no such folder\\gone.gif"},
                                           ChosenValues{2, 0, 1, "pictures\\typed name.bmp"}));

enum class WayOut { CancelButton, Escape, CloseBox };

void LeaveWithoutOk(DialogDriver& driver, HWND dialog, WayOut way)
{
    switch (way) {
    case WayOut::CancelButton:
        driver.PostClick(dialog, IDCANCEL);
        break;
    case WayOut::Escape: {
        // Through the dialog manager, as a key press in the focused control.
        HWND focus = driver.Focus();
        ASSERT_NE(focus, nullptr);
        ::PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        break;
    }
    case WayOut::CloseBox:
        ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    EXPECT_TRUE(driver.WaitUntilModalEnded());
}

void ChangeEverything(DialogDriver& driver, HWND dialog)
{
    driver.SetText(dialog, IDC_PICTURE, "C:\\changed.bmp");
    ::SendDlgItemMessageA(dialog, IDC_EFFECT, CB_SETCURSEL, 2, 0);
    SetChecked(dialog, IDC_WINDOWPREV, 1);
    SetChecked(dialog, IDC_BILINEAR, 1);
}

class ConfigDialogCancelTest : public ConfigDialogTest,
                               public ::testing::WithParamInterface<WayOut> {};

TEST_P(ConfigDialogCancelTest, StoresNothing)
{
    const WayOut way = GetParam();
    Store(0, 0, 0, "C:\\kept\\before.gif");
    RunSettings([way](DialogDriver& driver, HWND dialog) {
        ChangeEverything(driver, dialog);
        LeaveWithoutOk(driver, dialog, way);
    });
    ExpectStored(0, 0, 0, "C:\\kept\\before.gif");
}

std::string WayName(const ::testing::TestParamInfo<WayOut>& info)
{
    static const char* const names[] = {"CancelButton", "Escape", "CloseBox"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, ConfigDialogCancelTest,
                         ::testing::Values(WayOut::CancelButton, WayOut::Escape, WayOut::CloseBox),
                         WayName);

TEST_F(ConfigDialogTest, CancelledDialogLeavesItsMembers)
{
    CConfigDialog dialog;
    dialog.m_strPicture = "member.gif";
    dialog.m_nEffect = 0;
    INT_PTR result = 0;
    DialogDriver::Run([&] { result = dialog.DoModal(); },
                      [](DialogDriver& driver) {
                          HWND hwnd = driver.WaitForDialog(kSettingsCaption);
                          ASSERT_NE(hwnd, nullptr);
                          ChangeEverything(driver, hwnd);
                          LeaveWithoutOk(driver, hwnd, WayOut::CloseBox);
                      });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_strPicture, "member.gif");
    EXPECT_EQ(dialog.m_nEffect, 0);
    EXPECT_EQ(dialog.m_bBilinear, 0);
    EXPECT_EQ(dialog.m_bWindowPrev, 0);
}

// Values no control can show: no selection, an unchecked box, and OK stores
// what the controls show rather than what was read.
TEST_F(ConfigDialogTest, OutOfRangeValuesShowAsNothingAndStoreAsShown)
{
    const int effects[] = {5, 3};
    const int bilinears[] = {5, -1};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        Store(effects[i], 0, bilinears[i], "a.gif");
        RunSettings([](DialogDriver& driver, HWND dialog) {
            EXPECT_EQ(Selection(dialog), CB_ERR);
            EXPECT_EQ(Checked(dialog, IDC_BILINEAR), BST_UNCHECKED);
            driver.Click(dialog, IDOK);
        });
        ExpectStored(-1, 0, 0, "a.gif");
    }
}

TEST_F(ConfigDialogTest, BrowseAsksForAPictureAndCancelChangesNothing)
{
    ScriptedFileDialog files;
    files.Answer(""); // Cancel
    Store(0, 0, 1, "C:\\kept\\old.gif");
    HWND settings = nullptr;
    RunSettings([&settings](DialogDriver& driver, HWND dialog) {
        settings = dialog;
        driver.Click(dialog, IDC_BROWSE);
        EXPECT_EQ(WindowText(::GetDlgItem(dialog, IDC_PICTURE)), "C:\\kept\\old.gif");
        driver.Click(dialog, IDOK);
    });
    ExpectStored(0, 0, 1, "C:\\kept\\old.gif");

    const std::vector<OpenFileRequest> requests = files.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const OpenFileRequest& request = requests[0];
    EXPECT_EQ(request.owner, settings);
    const std::vector<std::string> filter = {
        "Gif Files (*.gif)",  "*.gif", "Bitmap Files (*.bmp)", "*.bmp",
        "Jpeg Files (*.jpg)", "*.jpg", "All Files (*.*)",      "*.*"};
    EXPECT_EQ(request.filter, filter);
    EXPECT_EQ(request.filterIndex, 1u);
    EXPECT_EQ(request.defaultExtension, "gif");
    EXPECT_EQ(request.fileName, "*.gif");
    EXPECT_EQ(request.flags & (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY), 0u);
}

TEST_F(ConfigDialogTest, BrowseChoiceFillsTheBoxAndOkStoresIt)
{
    ScriptedFileDialog files;
    files.Answer("C:\\pics\\chosen.bmp");
    Store(0, 0, 1, "C:\\kept\\old.gif");
    RunSettings([](DialogDriver& driver, HWND dialog) {
        driver.Click(dialog, IDC_BROWSE);
        EXPECT_EQ(WindowText(::GetDlgItem(dialog, IDC_PICTURE)), "C:\\pics\\chosen.bmp");
        const CConfigDialog* object = DialogObject(dialog);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->m_strPicture, "C:\\pics\\chosen.bmp");
        // The pane shows what was stored when the dialog was made.
        EXPECT_EQ(PanePicturePath(dialog), "C:\\kept\\old.gif");
        driver.Click(dialog, IDOK);
    });
    ExpectStored(0, 0, 1, "C:\\pics\\chosen.bmp");
    EXPECT_EQ(files.Requests().size(), 1u);
}

// The stored text arrives whole in the box and in the pane, which shows the
// picture, and OK stores it again unchanged.
TEST_F(ConfigDialogTest, PictureInAFolderOfAnyScriptShowsInThePaneAndOkKeepsItsPath)
{
    const PanePicture written;
    ASSERT_TRUE(written.Written());
    for (const wchar_t* folder : kWideFolderNames) {
        SCOPED_TRACE(Utf8(folder));
        const FileInFolder picture(written.Path(), folder);
        ASSERT_TRUE(picture.Made());
        ASSERT_TRUE(SetRegistryText(SectionPath(), L"Picture", picture.Path()));
        // The script runs on its own thread, which the trace does not reach.
        RunSettings([&picture, folder](DialogDriver& driver, HWND dialog) {
            EXPECT_EQ(WideText(::GetDlgItem(dialog, IDC_PICTURE)), picture.Path()) << Utf8(folder);
            HWND pane = ::FindWindowExA(dialog, nullptr, "VornellePictureWindow", nullptr);
            ASSERT_NE(pane, nullptr);
            // The new dialog's first paint comes on its own thread's time.
            COLORREF shown = 0;
            driver.WaitUntil([pane, &shown] { return (shown = CentrePixel(pane)) == kPaneColour; });
            EXPECT_EQ(shown, kPaneColour) << Utf8(folder);
            driver.Click(dialog, IDOK);
        });
        EXPECT_EQ(RegistryText(SectionPath(), L"Picture"), picture.Path());
    }
}

TEST_F(ConfigDialogTest, BrowseTakesAPathOfMaxPathCharactersInAnyScript)
{
    for (const wchar_t* folder : kWideFolderNames) {
        SCOPED_TRACE(Utf8(folder));
        std::wstring path = L"C:";
        while (path.size() < MAX_PATH)
            path += L"\\" + std::wstring(folder);
        path.resize(MAX_PATH - 1 - 4);
        path += L".gif";
        ScriptedFileDialog files;
        // What the system's dialog gives in the UTF-8 code page.
        files.Answer(Utf8(path));
        RunSettings([&path](DialogDriver& driver, HWND dialog) {
            driver.Click(dialog, IDC_BROWSE);
            EXPECT_EQ(WideText(::GetDlgItem(dialog, IDC_PICTURE)), path);
            driver.Click(dialog, IDOK);
        });
        EXPECT_EQ(RegistryText(SectionPath(), L"Picture"), path);
    }
}

} // namespace
