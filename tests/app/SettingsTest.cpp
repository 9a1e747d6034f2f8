#include "app/CScreensaverApp.h"

#include "support/ChildProcess.h"
#include "support/RegistryCleaner.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The test program's own application object, named after this file, with a
// company key of its own.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : m_cleaner("VornelleTests", "app_tests")
    {
        app.SetRegistryKey("VornelleTests");
    }

    RegistryCleaner m_cleaner;
    CScreensaverApp app;
};

TEST_F(SettingsTest, ApplicationIsNamedAfterTheProgramFile)
{
    EXPECT_EQ(app.AppName(), "app_tests");
    EXPECT_EQ(CScreensaverApp::Get(), &app);
}

TEST_F(SettingsTest, NothingStoredGivesEveryReaderItsOwnDefault)
{
    EXPECT_EQ(app.ReadSettingString("Config", "Picture", "3deng.jpg"), "3deng.jpg");
    EXPECT_EQ(app.ReadSettingString("Config", "Picture", "test.gif"), "test.gif");
    EXPECT_EQ(app.ReadSettingInt("Config", "Effect", 1), 1);
    EXPECT_EQ(app.ReadSettingInt("Config", "Effect", 0), 0);
    EXPECT_EQ(app.ReadSettingInt("Config", "Bilinear", 1), 1);
    EXPECT_EQ(app.ReadSettingInt("Config", "WindowPrev", 0), 0);
    EXPECT_TRUE(RegistryKeyExists("Software\\VornelleTests\\app_tests\\Config"));
}

TEST_F(SettingsTest, WrittenValuesAreReadBackByEveryReader)
{
    EXPECT_TRUE(app.WriteSettingInt("Config", "Effect", -1));
    EXPECT_TRUE(app.WriteSettingInt("Config", "Bilinear", 5));
    EXPECT_TRUE(app.WriteSettingString("Config", "Picture", ""));
    EXPECT_EQ(app.ReadSettingInt("Config", "Effect", 1), -1);
    EXPECT_EQ(app.ReadSettingInt("Config", "Bilinear", 1), 5);
    // An empty path is a stored value, not a missing one.
    EXPECT_EQ(app.ReadSettingString("Config", "Picture", "test.gif"), "");
}

TEST(SettingsWithoutCompany, ReadsGiveDefaultsAndWritesFail)
{
    CScreensaverApp app;
    EXPECT_EQ(app.ReadSettingInt("Config", "Effect", 4), 4);
    EXPECT_FALSE(app.WriteSettingInt("Config", "Effect", 1));
}

// A copy of a program under another file name keeps its settings under that name.
TEST(SettingsUnderAnotherName, CopyReadsAndWritesItsOwnKey)
{
    const std::string copyName = "Another Saver";
    RegistryCleaner copyKey(kCompanyKey, copyName);
    RegistryCleaner probeKey(kCompanyKey, "settings_probe");
    const std::string copy = TemporaryDirectory() + copyName + ".exe";
    ASSERT_TRUE(::CopyFileA(BesideTests("settings_probe.exe").c_str(), copy.c_str(), FALSE));

    ChildResult result = RunChild("\"" + copy + "\" 42 \"my picture.gif\"", 60000);
    ::DeleteFileA(copy.c_str());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 42u);

    CProfile copyProfile(kCompanyKey, copyName);
    EXPECT_EQ(copyProfile.GetInt("Config", "Effect", -5), 42);
    EXPECT_EQ(copyProfile.GetString("Config", "Picture", "none"), "my picture.gif");
    EXPECT_FALSE(RegistryKeyExists("Software\\Ombrelune\\settings_probe"));
}

TEST(SettingsUnderAnotherName, CopyStartsFromItsOwnDefaults)
{
    RegistryCleaner copyKey(kCompanyKey, "Fresh Copy");
    RegistryCleaner probeKey(kCompanyKey, "settings_probe");
    CProfile(kCompanyKey, "settings_probe").WriteInt("Config", "Effect", 9);
    const std::string copy = TemporaryDirectory() + "Fresh Copy.scr";
    ASSERT_TRUE(::CopyFileA(BesideTests("settings_probe.exe").c_str(), copy.c_str(), FALSE));
    // Without arguments the probe only reads "Effect" (default 1) and exits with it.
    ChildResult result = RunChild("\"" + copy + "\"", 60000);
    ::DeleteFileA(copy.c_str());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(RegistryKeyExists("Software\\Ombrelune\\Fresh Copy\\Config"));
}

} // namespace
