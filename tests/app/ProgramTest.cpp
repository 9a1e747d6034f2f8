// The real program in its own process, once per role: the role chosen from
// the command line shows its window, and the program ends cleanly.
#include "app/CScreensaverApp.h"
#include "support/ChildProcess.h"
#include "support/RegistryCleaner.h"
#include "support/TestPaths.h"
#include "support/WidePaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className; // or, when null, the caption
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->processId || !::IsWindowVisible(hwnd))
        return TRUE;
    char text[128] = {};
    if (search->className != nullptr)
        ::GetClassNameA(hwnd, text, sizeof text);
    else
        ::GetWindowTextA(hwnd, text, sizeof text);
    if (std::string(text) == (search->className ? search->className : search->caption))
        search->found = hwnd;
    return search->found == nullptr;
}

// A copy of the program under a name of its own keeps its settings apart.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(::CopyFileA(BesideTests("vornelle.scr").c_str(), m_program.c_str(), FALSE));
    }
    void TearDown() override
    {
        EndRun();
        ::DeleteFileA(m_program.c_str());
    }

    // Lets the run go, killed if it still runs: a hung run must not hold the
    // program file that the next one starts from.
    void EndRun()
    {
        if (m_process.hProcess == nullptr)
            return;
        if (::WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0)
            ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 5000);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
        m_process = {};
    }

    bool Start(const std::string& arguments)
    {
        std::string line = "\"" + m_program + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        return ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &m_process) != FALSE;
    }

    // A visible top-level window of the program whose class or caption is given.
    HWND WaitForWindow(const char* className, const char* caption)
    {
        WindowSearch search = {m_process.dwProcessId, className, caption, nullptr};
        for (int i = 0; i < 200 && search.found == nullptr; ++i) {
            ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr)
                ::Sleep(50);
        }
        return search.found;
    }

    // The exit code, or a value no run gives when it did not end in time.
    DWORD WaitForExit()
    {
        DWORD code = 0xDEAD;
        if (::WaitForSingleObject(m_process.hProcess, 30000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

    std::string m_program = TemporaryDirectory() + "vornelle_roles.scr";
    RegistryCleaner m_settings{kCompanyKey, "vornelle_roles"};
    PROCESS_INFORMATION m_process = {};
};

TEST_F(ProgramTest, ConfigureRoleShowsTheSettingsDialog)
{
    for (const char* arguments : {"", "/c", "-c 1234", "c"}) {
        ASSERT_TRUE(Start(arguments)) << arguments;
        HWND dialog = WaitForWindow(nullptr, "Vornelle Saver");
        ASSERT_NE(dialog, nullptr) << arguments;
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(WaitForExit(), 0u) << arguments;
        EndRun();
    }
}

TEST_F(ProgramTest, SaverRoleCoversTheScreenUntilAKey)
{
    for (const char* arguments : {"/s", "/a", "/C", "--c", "-x"}) {
        ASSERT_TRUE(Start(arguments)) << arguments;
        HWND saver = WaitForWindow("VornellePictureWindow", nullptr);
        ASSERT_NE(saver, nullptr) << arguments;
        RECT rect;
        ::GetWindowRect(saver, &rect);
        EXPECT_EQ(rect.right - rect.left, ::GetSystemMetrics(SM_CXSCREEN)) << arguments;
        ::PostMessageA(saver, WM_KEYDOWN, VK_SPACE, 0);
        EXPECT_EQ(WaitForExit(), 0u) << arguments;
        EndRun();
    }
}

TEST_F(ProgramTest, PreviewWithoutAHostWindowEndsAtOnce)
{
    for (const char* arguments : {"/p", "/p 0", "/p notawindow"}) {
        ASSERT_TRUE(Start(arguments)) << arguments;
        EXPECT_EQ(WaitForExit(), 0u) << arguments;
        EndRun();
    }
}

TEST_F(ProgramTest, PreviewLivesInTheHostWindowUntilItIsDestroyed)
{
    HWND host = ::CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(Start("/p " + std::to_string(reinterpret_cast<std::intptr_t>(host))));
    HWND child = nullptr;
    for (int i = 0; i < 200 && child == nullptr; ++i) {
        child = ::FindWindowExA(host, nullptr, "VornellePictureWindow", nullptr);
        if (child == nullptr) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&msg);
            ::Sleep(50);
        }
    }
    ASSERT_NE(child, nullptr);
    ::DestroyWindow(host);
    EXPECT_EQ(WaitForExit(), 0u);
}

// In the UTF-8 code page a folder name in another script takes more bytes
// than characters: the program's path outgrows a buffer of MAX_PATH bytes,
// and the settings must still live under the file's name.
TEST_F(ProgramTest, InALongFolderOfAnyScriptKeepsItsSettingsUnderItsFileName)
{
    for (const wchar_t* name : kWideFolderNames) {
        SCOPED_TRACE(Utf8(name));
        RegistryCleaner settings(kCompanyKey, "vornelle_roles");
        std::wstring folder = name;
        while (Utf8(folder).size() < 240)
            folder += L" " + std::wstring(name);
        const FileInFolder program(m_program, folder);
        ASSERT_TRUE(program.Made());
        std::wstring line = L"\"" + program.Path() + L"\" /c";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &m_process));
        HWND dialog = WaitForWindow(nullptr, "Vornelle Saver");
        ASSERT_NE(dialog, nullptr);
        // The dialog opens with the stored values: reading them made the key.
        EXPECT_TRUE(RegistryKeyExists(settings.Path() + "\\Config"));
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(WaitForExit(), 0u);
        EndRun();
    }
}

} // namespace
