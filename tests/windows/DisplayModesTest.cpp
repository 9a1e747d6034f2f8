#include "windows/DisplayModes.h"
#include "windows/SaverProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A mode that cannot be enumerated.
const DEVMODEA kGap = {};

TEST(SwitchToSaverMode, RequestsOnlyTheSizeOfTheLast640x480x16Mode)
{
    DEVMODEA at75 = Mode(640, 480, 16, 75);
    std::strcpy(reinterpret_cast<char*>(at75.dmDeviceName), "second");
    ListedModes display({Mode(640, 480, 8, 60), Mode(640, 480, 16, 60), Mode(1024, 768, 16, 60),
                         at75, Mode(800, 600, 32, 60)});

    EXPECT_TRUE(SwitchToSaverMode(display));

    EXPECT_EQ(display.asked, (std::vector<DWORD>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(display.changes.size(), 1u);
    const DEVMODEA& requested = display.changes[0];
    EXPECT_EQ(requested.dmFields, static_cast<DWORD>(DM_PELSWIDTH | DM_PELSHEIGHT));
    EXPECT_EQ(display.changeFlags[0], 0u);
    // The rest is the last matching mode as enumerated.
    EXPECT_EQ(requested.dmPelsWidth, 640u);
    EXPECT_EQ(requested.dmPelsHeight, 480u);
    EXPECT_EQ(requested.dmBitsPerPel, 16u);
    EXPECT_EQ(requested.dmDisplayFrequency, 75u);
    EXPECT_STREQ(reinterpret_cast<const char*>(requested.dmDeviceName), "second");
}

TEST(SwitchToSaverMode, LeavesTheDisplayAloneWithoutA640x480x16Mode)
{
    ListedModes display({Mode(640, 480, 32, 60), Mode(800, 600, 16, 60), Mode(640, 400, 16, 60),
                         Mode(320, 480, 16, 60)});
    EXPECT_FALSE(SwitchToSaverMode(display));
    EXPECT_TRUE(display.changes.empty());

    ListedModes none({});
    EXPECT_FALSE(SwitchToSaverMode(none));
    EXPECT_EQ(none.asked, std::vector<DWORD>{0});
    EXPECT_TRUE(none.changes.empty());
}

TEST(SwitchToSaverMode, StopsAtTheFirstModeThatCannotBeEnumerated)
{
    ListedModes display({Mode(640, 480, 16, 60), kGap, Mode(640, 480, 16, 85)});
    EXPECT_TRUE(SwitchToSaverMode(display));
    EXPECT_EQ(display.asked, (std::vector<DWORD>{0, 1}));
    ASSERT_EQ(display.changes.size(), 1u);
    EXPECT_EQ(display.changes[0].dmDisplayFrequency, 60u);
}

TEST(SystemDisplayModes, EnumeratesWhatTheSystemReports)
{
    SystemDisplayModes system;
    DEVMODEA ours = {};
    ASSERT_TRUE(system.Enumerate(0, &ours));
    DEVMODEA theirs = {};
    theirs.dmSize = sizeof theirs;
    ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, 0, &theirs));
    EXPECT_EQ(ours.dmPelsWidth, theirs.dmPelsWidth);
    EXPECT_EQ(ours.dmPelsHeight, theirs.dmPelsHeight);
    EXPECT_EQ(ours.dmBitsPerPel, theirs.dmBitsPerPel);

    DWORD count = 0;
    DEVMODEA mode = {};
    while (count < 10000 && system.Enumerate(count, &mode))
        ++count;
    EXPECT_LT(count, 10000u);
    EXPECT_FALSE(system.Enumerate(count, &mode));
}

} // namespace
