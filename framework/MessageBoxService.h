#pragma once

#include <windows.h>

#include <string>

// Shows the program's message boxes. Tests install one of their own that
// records what it was asked and answers without a window.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int Show(HWND owner, const std::string& text, const std::string& caption,
                     UINT type) = 0;
};

// The application's message box: caption the application name, owner the main
// window; OK, OK-Cancel, Yes-No-Cancel and Yes-No boxes that name no icon get
// the exclamation mark.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);

// Installs a service for the guard's life, then restores the previous one.
class ScopedMessageBoxService {
public:
    explicit ScopedMessageBoxService(MessageBoxService& service);
    ~ScopedMessageBoxService();
    ScopedMessageBoxService(const ScopedMessageBoxService&) = delete;
    ScopedMessageBoxService& operator=(const ScopedMessageBoxService&) = delete;

private:
    MessageBoxService* m_previous;
};
