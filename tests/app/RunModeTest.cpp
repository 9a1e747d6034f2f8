#include "app/RunMode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

RunMode Choose(std::vector<const char*> args)
{
    args.insert(args.begin(), "C:\\Windows\\vornelle.scr");
    return ChooseRunMode(static_cast<int>(args.size()), args.data());
}

std::intptr_t HandleValue(HWND hwnd)
{
    return reinterpret_cast<std::intptr_t>(hwnd);
}

TEST(RoleChoice, ConfigureWithoutArgumentsOrWithLetterC)
{
    EXPECT_EQ(Choose({}).role, Role::Configure);
    for (const char* arg : {"/c", "-c", "c", "/c:1234", "cfg"})
        EXPECT_EQ(Choose({arg}).role, Role::Configure) << arg;
    // The second argument is not looked at.
    EXPECT_EQ(Choose({"/c", "1234"}).role, Role::Configure);
    EXPECT_EQ(Choose({"/c", "1234"}).previewParent, nullptr);
}

TEST(RoleChoice, LettersAreCaseSensitive)
{
    EXPECT_EQ(Choose({"/C"}).role, Role::Saver);
    EXPECT_EQ(Choose({"/P", "1234"}).role, Role::Saver);
}

TEST(RoleChoice, AnythingElseIsTheSaver)
{
    for (const char* arg : {"/s", "/a", "-x", "--c", "", "/", "-", "//c", "s"})
        EXPECT_EQ(Choose({arg}).role, Role::Saver) << '"' << arg << '"';
}

TEST(RoleChoice, PreviewTakesTheHostHandleFromArgumentTwo)
{
    RunMode mode = Choose({"/p", "1234"});
    EXPECT_EQ(mode.role, Role::Preview);
    EXPECT_EQ(HandleValue(mode.previewParent), 1234);

    mode = Choose({"/p", "+1234xyz"});
    EXPECT_EQ(mode.role, Role::Preview);
    EXPECT_EQ(HandleValue(mode.previewParent), 1234);

    EXPECT_EQ(Choose({"-p", "77"}).role, Role::Preview);
    EXPECT_EQ(Choose({"p:5", "77"}).role, Role::Preview);
}

TEST(RoleChoice, PreviewWithoutUsableHandleGivesNone)
{
    EXPECT_EQ(Choose({"/p"}).role, Role::Preview);
    EXPECT_EQ(Choose({"/p"}).previewParent, nullptr);
    EXPECT_EQ(Choose({"/p", "xyz"}).previewParent, nullptr);
    EXPECT_EQ(Choose({"/p", ""}).previewParent, nullptr);
}

TEST(WindowHandleParsing, FollowsAtol)
{
    EXPECT_EQ(HandleValue(ParseWindowHandle("  \t42")), 42);
    EXPECT_EQ(HandleValue(ParseWindowHandle("-42")), -42);
    EXPECT_EQ(HandleValue(ParseWindowHandle("+0099")), 99);
    EXPECT_EQ(HandleValue(ParseWindowHandle("12 34")), 12);
    EXPECT_EQ(HandleValue(ParseWindowHandle("+-5")), 0);
    EXPECT_EQ(HandleValue(ParseWindowHandle("- 5")), 0);
    EXPECT_EQ(HandleValue(ParseWindowHandle(nullptr)), 0);
}

TEST(WindowHandleParsing, HandlesPrintedUnsignedNameTheSameWindow)
{
    // 0xFFFF1234 printed as unsigned and as signed 32-bit.
    EXPECT_EQ(ParseWindowHandle("4294906420"), ParseWindowHandle("-60876"));
    EXPECT_EQ(HandleValue(ParseWindowHandle("4294906420")), -60876);
    // Far too many digits never overflow into undefined behaviour.
    ParseWindowHandle("99999999999999999999999999999999");
}

} // namespace
