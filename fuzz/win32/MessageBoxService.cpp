// Stands in for framework/MessageBoxService.cpp, whose default service needs
// the application object and real windows. The interface is the framework's own.
#include "framework/MessageBoxService.h"

#include <cstdio>
#include <cstdlib>

namespace {

// image/ shows a message box only for a state it should never reach, so under
// a fuzzer one is a finding: the input that caused it is kept.
class FailingMessageBox : public MessageBoxService {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override
    {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        std::abort();
    }
};

FailingMessageBox s_failingMessageBox;
MessageBoxService* s_service = &s_failingMessageBox;

} // namespace

int AfxMessageBox(const std::string& text, UINT type)
{
    return s_service->Show(nullptr, text, std::string(), type);
}

ScopedMessageBoxService::ScopedMessageBoxService(MessageBoxService& service) : m_previous(s_service)
{
    s_service = &service;
}

ScopedMessageBoxService::~ScopedMessageBoxService()
{
    s_service = m_previous;
}
