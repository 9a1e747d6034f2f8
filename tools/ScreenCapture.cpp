// Saves what the screen shows as a PNG file, the way a person would see it.
//   screen_capture OUTPUT.png
#include "image/CImageImplPng.h"

#include <windows.h>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as the picture store keeps rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    int result = 1;
    if (bitmap != nullptr) {
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        ::GdiFlush();
        CImageImplPng picture;
        const int rowBytes = picture.Create(width, height, 24, -1);
        if (rowBytes != 0) {
            std::memcpy(picture.GetBits(), pixels, static_cast<std::size_t>(rowBytes) * height);
            result = picture.Write(argv[1]) ? 0 : 1;
        }
        ::SelectObject(memory, previous);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return result;
}
