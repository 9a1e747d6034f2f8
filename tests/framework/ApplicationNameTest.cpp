#include "framework/ApplicationName.h"

#include <gtest/gtest.h>

namespace {

TEST(ApplicationName, FileNameWithoutFolderAndExtension)
{
    EXPECT_EQ(ApplicationNameFromPath("C:\\Windows\\vornelle.scr"), "vornelle");
    EXPECT_EQ(ApplicationNameFromPath("C:\\Program Files\\My Saver.scr"), "My Saver");
    EXPECT_EQ(ApplicationNameFromPath("\\\\server\\share\\saver.exe"), "saver");
    EXPECT_EQ(ApplicationNameFromPath("Z:/work/build/bin/app_tests.exe"), "app_tests");
}

TEST(ApplicationName, DriveColonSeparatesLikeASlash)
{
    EXPECT_EQ(ApplicationNameFromPath("D:relative.scr"), "relative");
}

TEST(ApplicationName, OnlyTheLastDotCuts)
{
    EXPECT_EQ(ApplicationNameFromPath("C:\\savers\\old.vornelle.scr"), "old.vornelle");
    EXPECT_EQ(ApplicationNameFromPath("C:\\savers\\plain"), "plain");
    // The cut comes before the folder is dropped, so a dot in a folder name
    // decides when the file has none.
    EXPECT_EQ(ApplicationNameFromPath("C:\\my.savers\\plain"), "my");
}

TEST(ApplicationName, RunningProgramIsNamedAfterItsFile)
{
    EXPECT_EQ(ApplicationNameFromPath(CurrentModulePath()), "framework_tests");
}

} // namespace
