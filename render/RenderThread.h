#pragma once

#include "framework/CSyncObjects.h"

#include <windows.h>

// The handshake between a picture window and its render thread.
extern CEvent startRenderEvent;
extern CEvent stopRenderEvent;
extern CEvent renderDoneEvent;

// The render thread: waits for the start signal, sets up a scene on the
// window passed (its HWND, taken on the window's thread when it starts this
// one), steps and draws frames back to back until the stop signal, destroys
// the scene and acknowledges.
DWORD WINAPI RenderThreadProc(void* window);
