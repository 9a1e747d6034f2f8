#include "MessageBoxService.h"

#include "CWinApp.h"
#include "CWnd.h"

namespace {

class SystemMessageBox : public MessageBoxService {
public:
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) override
    {
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    }
};

SystemMessageBox s_systemMessageBox;
MessageBoxService* s_service = &s_systemMessageBox;

UINT WithDefaultIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0)
        return type;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return type | MB_ICONEXCLAMATION;
    default:
        return type;
    }
}

} // namespace

int AfxMessageBox(const std::string& text, UINT type)
{
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    const std::string caption = app ? app->AppName() : std::string();
    return s_service->Show(owner, text, caption, WithDefaultIcon(type));
}

ScopedMessageBoxService::ScopedMessageBoxService(MessageBoxService& service) : m_previous(s_service)
{
    s_service = &service;
}

ScopedMessageBoxService::~ScopedMessageBoxService()
{
    s_service = m_previous;
}
