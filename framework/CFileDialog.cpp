#include "CFileDialog.h"

#include "CWinApp.h"
#include "CWnd.h"

#include <commdlg.h>

namespace {

class SystemFileDialog : public FileDialogService {
public:
    BOOL ShowOpenFile(OPENFILENAMEA* request) override { return ::GetOpenFileNameA(request); }
};

SystemFileDialog s_systemFileDialog;
FileDialogService* s_fileDialogService = &s_systemFileDialog;

} // namespace

ScopedFileDialogService::ScopedFileDialogService(FileDialogService& service)
    : m_previous(s_fileDialogService)
{
    s_fileDialogService = &service;
}

ScopedFileDialogService::~ScopedFileDialogService()
{
    s_fileDialogService = m_previous;
}

CFileDialog::CFileDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter)
    : m_defaultExtension(defaultExtension ? defaultExtension : ""), m_filter(filter ? filter : ""),
      m_fileName(fileName ? fileName : ""), m_flags(flags)
{
    for (char& c : m_filter) {
        if (c == '|')
            c = '\0';
    }
}

INT_PTR CFileDialog::DoModal()
{
    // A path of MAX_PATH characters in the UTF-8 code page: up to 4 bytes each.
    char fileName[MAX_PATH * 4] = {};
    m_fileName.copy(fileName, sizeof fileName - 1);
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    CWinApp* app = AfxGetApp();
    request.hwndOwner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    request.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = fileName;
    request.nMaxFile = sizeof fileName;
    request.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
    request.Flags = m_flags | OFN_EXPLORER;
    if (!s_fileDialogService->ShowOpenFile(&request))
        return IDCANCEL;
    m_fileName = fileName;
    return IDOK;
}
