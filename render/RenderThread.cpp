#include "RenderThread.h"

#include "CGLScene.h"

#include <memory>

CEvent startRenderEvent;
CEvent stopRenderEvent;
CEvent renderDoneEvent;

DWORD WINAPI RenderThreadProc(void* window)
{
    startRenderEvent.Wait(INFINITE);
    {
        auto scene = std::make_unique<CGLScene>();
        scene->CreateContext(static_cast<HWND>(window));
        while (stopRenderEvent.Wait(0) != WAIT_OBJECT_0) {
            scene->StepAnimation();
            scene->DrawFrame();
        }
    }
    renderDoneEvent.SetEvent();
    return 0;
}
