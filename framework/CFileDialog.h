#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

// Shows the system's open-file dialog. Tests install one of their own that
// records what it was asked and answers by script.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual BOOL ShowOpenFile(OPENFILENAMEA* request) = 0;
};

// Installs a service for the guard's life, then restores the previous one.
class ScopedFileDialogService {
public:
    explicit ScopedFileDialogService(FileDialogService& service);
    ~ScopedFileDialogService();
    ScopedFileDialogService(const ScopedFileDialogService&) = delete;
    ScopedFileDialogService& operator=(const ScopedFileDialogService&) = delete;

private:
    FileDialogService* m_previous;
};

// The open-file dialog: filter pairs separated by "|", owned by the main window.
class CFileDialog {
public:
    CFileDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                const char* filter);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    std::string GetPathName() const { return m_fileName; }

private:
    std::string m_defaultExtension;
    std::string m_filter; // with zero bytes in place of "|"
    std::string m_fileName;
    DWORD m_flags;
};
