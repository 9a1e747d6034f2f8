#pragma once

#include "app/CScreensaverApp.h"
#include "framework/CFileDialog.h"
#include "framework/MessageBoxService.h"
#include "support/RegistryCleaner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

extern const char kSettingsCaption[];
extern const char kAboutCaption[];

// Drives a modal dialog from a second thread while the test's thread sits in
// the dialog's loop: the loop pumps, so cross-thread SendMessage reaches the
// dialog. Every wait gives up after a few seconds so that a fault fails the
// test instead of hanging it.
class DialogDriver {
public:
    using Script = std::function<void(DialogDriver&)>;

    // Runs modal() on this thread and script on a driver thread; returns when
    // both have ended. Dialogs the script leaves open are cancelled.
    static void Run(const std::function<void()>& modal, const Script& script);

    // The visible dialog of the modal thread with this caption; null on timeout.
    HWND WaitForDialog(const char* caption) const;
    // Whether the window went away before the timeout.
    bool WaitUntilGone(HWND window) const;
    // Whether the modal call returned before the timeout.
    bool WaitUntilModalEnded() const;
    // Whether the condition held before the timeout.
    bool WaitUntil(const std::function<bool()>& condition) const;

    // Handled before the call returns.
    void Click(HWND dialog, int id) const;
    // Queued, for buttons that open a modal dialog of their own.
    void PostClick(HWND dialog, int id) const;
    void SetText(HWND dialog, int id, const std::string& text) const;

    // The window with the keyboard focus in the modal thread.
    HWND Focus() const;

private:
    DialogDriver() = default;

    DWORD m_modalThread = 0;
    std::atomic<bool> m_modalEnded{false};
};

bool operator==(const RECT& a, const RECT& b);
std::ostream& operator<<(std::ostream& out, const RECT& rect);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// A child's window rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// A dialog-unit rectangle in the dialog's pixels.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height);
RECT WorkArea();
// Centred on the rectangle within a pixel or two, and inside the work area.
void ExpectCentredOn(HWND window, const RECT& around);
// Children of a window in creation order.
std::vector<HWND> ChildrenOf(HWND parent);

struct MessageBoxRequest {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Records every message box and answers from a queue; unscripted boxes get
// their first button, as if Enter had been pressed.
class ScriptedMessageBoxes : public MessageBoxService {
public:
    ScriptedMessageBoxes() : m_install(*this) {}
    void Answer(int button);
    std::vector<MessageBoxRequest> TakeRequests();
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;

private:
    std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<MessageBoxRequest> m_requests;
    ScopedMessageBoxService m_install;
};

struct OpenFileRequest {
    HWND owner;
    std::vector<std::string> filter; // description, pattern, description, ...
    DWORD filterIndex;
    std::string defaultExtension;
    std::string fileName;
    DWORD flags;
};

// Records every open-file request and answers from a queue of chosen paths;
// an empty path, or no answer left, is Cancel.
class ScriptedFileDialog : public FileDialogService {
public:
    ScriptedFileDialog() : m_install(*this) {}
    void Answer(const std::string& path);
    std::vector<OpenFileRequest> Requests();
    BOOL ShowOpenFile(OPENFILENAMEA* request) override;

private:
    std::mutex m_mutex;
    std::deque<std::string> m_answers;
    std::vector<OpenFileRequest> m_requests;
    ScopedFileDialogService m_install;
};

// Settings under a key of the test program's own, removed before and after.
class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() { app.SetRegistryKey("VornelleTests"); }

    // Runs the configure role with a script for its dialog. The dialog was the
    // main window: its end leaves the quit message, checked and taken here.
    void RunSettings(const std::function<void(DialogDriver&, HWND)>& script);

    RegistryCleaner cleaner{"VornelleTests", "ui_tests"};
    CScreensaverApp app;
};
