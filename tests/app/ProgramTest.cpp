// The real program in its own process, once per role.
#include "support/ChildProcess.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

ChildResult RunProgram(const std::string& arguments)
{
    return RunChild("\"" + BesideTests("vornelle.scr") + "\" " + arguments, 60000);
}

void ExpectCleanEnd(const std::string& arguments)
{
    const ChildResult result = RunProgram(arguments);
    ASSERT_TRUE(result.started) << arguments;
    EXPECT_TRUE(result.finished) << arguments;
    EXPECT_EQ(result.exitCode, 0u) << arguments;
}

TEST(Program, EveryRoleStartsAndEndsCleanly)
{
    for (const char* arguments : {"", "/c", "-c 1234", "/s", "/a", "/C", "--c"})
        ExpectCleanEnd(arguments);
}

TEST(Program, PreviewEndsCleanlyWithOrWithoutAHostWindow)
{
    ExpectCleanEnd("/p");
    ExpectCleanEnd("/p 0");
    ExpectCleanEnd("/p notawindow");

    HWND host = ::CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    ExpectCleanEnd("/p " + std::to_string(reinterpret_cast<std::intptr_t>(host)));
    EXPECT_TRUE(::IsWindow(host));
    ::DestroyWindow(host);
}

} // namespace
