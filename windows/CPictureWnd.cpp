#include "CPictureWnd.h"

#include "app/Settings.h"
#include "framework/CDC.h"
#include "image/CImageObject.h"
#include "render/RenderThread.h"
#include "resources/resource.h"

namespace {

const char* PictureWindowClass()
{
    // The blank cursor hides the pointer; no background brush: what is not
    // painted keeps what was there.
    HCURSOR blank = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_BLANK));
    return CWnd::RegisterClassFor("VornellePictureWindow", CS_HREDRAW | CS_VREDRAW, blank, nullptr,
                                  nullptr);
}

} // namespace

const MessageRow CPictureWnd::messageRows[] = {
    OnMessage<&CPictureWnd::OnPaint>(WM_PAINT),
};
const MessageTable CPictureWnd::messageTable = MakeMessageTable(&CWnd::messageTable, messageRows);

CPictureWnd::CPictureWnd(int autoDelete)
    : picturePath(ReadSettingString("Config", "Picture", "test.gif")),
      picture(new CImageObject(picturePath, CImageObject::kTypeFromExtension)),
      autoDelete(autoDelete), windowedPreview(ReadSettingInt("Config", "WindowPrev", 0))
{
}

CPictureWnd::~CPictureWnd()
{
    picture.reset();
    if (IsAnimating()) {
        // A window destroyed before its first paint started no thread.
        if (!renderPending) {
            stopRenderEvent.SetEvent();
            renderDoneEvent.Wait(INFINITE);
            ::Sleep(1000);
        }
        ::ChangeDisplaySettingsA(nullptr, 0);
    }
}

BOOL CPictureWnd::Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, UINT, void*)
{
    return CreateEx(exStyle, PictureWindowClass(), "", style, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr);
}

void CPictureWnd::PostNcDestroy()
{
    if (autoDelete)
        delete this;
}

void CPictureWnd::OnPaint()
{
    // Pending until a thread really runs: the destructor waits for its answer.
    // The thread gets the handle itself: this object may be going meanwhile.
    if (IsAnimating() && renderPending && StartWorkerThread(&RenderThreadProc, m_hWnd)) {
        startRenderEvent.SetEvent();
        renderPending = 0;
    }
    CPaintDC dc(m_hWnd);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!fullScreen && picture && picture->GetPalette() != nullptr) {
        CPaletteSelection selection(dc.GetSafeHdc(), picture->GetPalette()->GetSafeHandle(), TRUE);
        ::RealizePalette(dc.GetSafeHdc());
        picture->StretchDraw(&dc, 0, 0, client.right, client.bottom, 0, 0, -1, -1);
    }
}
