#include "ui/DialogDriver.h"

#include "framework/CWnd.h"

#include <ostream>
#include <thread>

const char kSettingsCaption[] = "Vornelle Saver";
const char kAboutCaption[] = "About Vornelle Screensaver";

namespace {

const DWORD kTimeoutMs = 5000;
const DWORD kPollMs = 10;

bool WaitFor(const std::function<bool()>& condition)
{
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
        if (condition())
            return true;
        ::Sleep(kPollMs);
    }
    return condition();
}

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM list)
{
    if (ClassOf(hwnd) == "#32770" && ::IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ThreadDialogs(DWORD thread)
{
    std::vector<HWND> found;
    ::EnumThreadWindows(thread, &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

void DialogDriver::Run(const std::function<void()>& modal, const Script& script)
{
    // A quit message left by an earlier test would end the dialog at once.
    MSG quit;
    if (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        ADD_FAILURE() << "a quit message was waiting before the dialog";
    DialogDriver driver;
    driver.m_modalThread = ::GetCurrentThreadId();
    std::thread thread([&driver, &script] {
        script(driver);
        // A script that failed half-way leaves its dialogs open: cancel the
        // innermost first, until the modal call has returned. The grace period
        // covers Wine's two-second wait to hide a dialog without a window manager.
        for (int round = 0; round < 200 && !driver.m_modalEnded; ++round) {
            if (round >= 80) {
                const std::vector<HWND> open = ThreadDialogs(driver.m_modalThread);
                if (!open.empty())
                    ::PostMessageA(open.front(), WM_COMMAND, IDCANCEL, 0);
            }
            ::Sleep(50);
        }
    });
    modal();
    driver.m_modalEnded = true;
    thread.join();
}

HWND DialogDriver::WaitForDialog(const char* caption) const
{
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND hwnd : ThreadDialogs(m_modalThread)) {
            if (WindowText(hwnd) == caption)
                found = hwnd;
        }
        return found != nullptr || m_modalEnded;
    });
    // Returns once the dialog's thread is back in its loop.
    if (found != nullptr)
        ::SendMessageA(found, WM_NULL, 0, 0);
    return found;
}

bool DialogDriver::WaitUntilGone(HWND window) const
{
    return WaitFor([window] { return !::IsWindow(window); });
}

bool DialogDriver::WaitUntilModalEnded() const
{
    return WaitFor([this] { return m_modalEnded.load(); });
}

bool DialogDriver::WaitUntil(const std::function<bool()>& condition) const
{
    return WaitFor(condition);
}

void DialogDriver::Click(HWND dialog, int id) const
{
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void DialogDriver::PostClick(HWND dialog, int id) const
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void DialogDriver::SetText(HWND dialog, int id, const std::string& text) const
{
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND DialogDriver::Focus() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(m_modalThread, &info) ? info.hwndFocus : nullptr;
}

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& out, const RECT& rect)
{
    return out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom
               << ")";
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ClassOf(HWND window)
{
    char name[128] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

RECT ChildRect(HWND child)
{
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT DialogUnits(HWND dialog, int x, int y, int width, int height)
{
    // The dialog manager converts the corner and the size, not the far corner.
    RECT rect = {x, y, width, height};
    ::MapDialogRect(dialog, &rect);
    rect.right += rect.left;
    rect.bottom += rect.top;
    return rect;
}

RECT WorkArea()
{
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void ExpectCentredOn(HWND window, const RECT& around)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_NEAR(rect.left + rect.right, around.left + around.right, 3) << rect << " on " << around;
    EXPECT_NEAR(rect.top + rect.bottom, around.top + around.bottom, 3) << rect << " on " << around;
    const RECT work = WorkArea();
    EXPECT_GE(rect.left, work.left);
    EXPECT_GE(rect.top, work.top);
    EXPECT_LE(rect.right, work.right);
    EXPECT_LE(rect.bottom, work.bottom);
}

std::vector<HWND> ChildrenOf(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

void ScriptedMessageBoxes::Answer(int button)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(button);
}

std::vector<MessageBoxRequest> ScriptedMessageBoxes::TakeRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<MessageBoxRequest> taken;
    taken.swap(m_requests);
    return taken;
}

int ScriptedMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption,
                               UINT type)
{
    static const int kFirstButton[] = {IDOK, IDOK, IDABORT, IDYES, IDYES, IDRETRY};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back({owner, text, caption, type});
    if (m_answers.empty())
        return kFirstButton[(type & MB_TYPEMASK) % 6];
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedFileDialog::Answer(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(path);
}

std::vector<OpenFileRequest> ScriptedFileDialog::Requests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

BOOL ScriptedFileDialog::ShowOpenFile(OPENFILENAMEA* request)
{
    OpenFileRequest seen = {request->hwndOwner,
                            {},
                            request->nFilterIndex,
                            request->lpstrDefExt ? request->lpstrDefExt : "",
                            request->lpstrFile ? request->lpstrFile : "",
                            request->Flags};
    // Zero-separated strings up to the empty one.
    for (const char* part = request->lpstrFilter; part != nullptr && *part != '\0';
         part += seen.filter.back().size() + 1)
        seen.filter.emplace_back(part);

    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(seen);
    if (m_answers.empty() || m_answers.front().empty()) {
        if (!m_answers.empty())
            m_answers.pop_front();
        return FALSE;
    }
    const std::string chosen = m_answers.front();
    m_answers.pop_front();
    if (chosen.size() >= request->nMaxFile)
        return FALSE;
    chosen.copy(request->lpstrFile, chosen.size());
    request->lpstrFile[chosen.size()] = '\0';
    return TRUE;
}

void SettingsDialogTest::RunSettings(const std::function<void(DialogDriver&, HWND)>& script)
{
    DialogDriver::Run([this] { app.RunSettingsDialog(); },
                      [this, &script](DialogDriver& driver) {
                          HWND dialog = driver.WaitForDialog(kSettingsCaption);
                          ASSERT_NE(dialog, nullptr) << "the settings dialog did not open";
                          EXPECT_EQ(app.m_pMainWnd ? app.m_pMainWnd->m_hWnd : nullptr, dialog);
                          script(driver, dialog);
                      });
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    MSG quit = {};
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}
