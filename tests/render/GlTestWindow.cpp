#include "render/GlTestWindow.h"

#include "image/CImageObject.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <ostream>

GlTestWindow::GlTestWindow(int width, int height, bool ownDc) : m_width(width), m_height(height)
{
    const char* className =
        ownDc ? CWnd::RegisterClassFor("VornelleGlTestWindowOwnDc", CS_OWNDC, nullptr, nullptr,
                                       nullptr)
              : CWnd::RegisterClassFor("VornelleGlTestWindow", 0, nullptr, nullptr, nullptr);
    // A popup has no frame: the window size is the client size.
    const BOOL created =
        CreateEx(0, className, "render test", WS_POPUP, 0, 0, width, height, nullptr, nullptr);
    EXPECT_TRUE(created);
    // Not activated: Wine hands activated windows to the window manager and then
    // waits two seconds for their destruction. Hidden ones show no frames.
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour)
{
    return out << '(' << int{colour.red} << ", " << int{colour.green} << ", " << int{colour.blue}
               << ')';
}

std::vector<Rgb> ReadWindowPixels(const GlTestWindow& window)
{
    const int width = window.Width();
    const int height = window.Height();
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = ::GetDC(window.m_hWnd);
    HDC memoryDc = ::CreateCompatibleDC(windowDc);
    HBITMAP section = ::CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memoryDc, section);
    EXPECT_TRUE(::BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY));
    std::vector<Rgb> pixels(static_cast<std::size_t>(width) * height);
    const auto* bgrx = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = Rgb{bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]};
    ::SelectObject(memoryDc, previous);
    ::DeleteObject(section);
    ::DeleteDC(memoryDc);
    ::ReleaseDC(window.m_hWnd, windowDc);
    return pixels;
}

void PaintWindow(const GlTestWindow& window, COLORREF colour)
{
    HDC dc = ::GetDC(window.m_hWnd);
    HBRUSH brush = ::CreateSolidBrush(colour);
    const RECT all = {0, 0, window.Width(), window.Height()};
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    ::ReleaseDC(window.m_hWnd, dc);
}

int CountPixels(const std::vector<Rgb>& pixels, const Rgb& colour)
{
    int count = 0;
    for (const Rgb& pixel : pixels)
        count += pixel == colour;
    return count;
}

PictureFile::PictureFile(const std::string& name, int width, int height,
                         const std::function<Rgb(int x, int y)>& colourAt)
    : m_path(TemporaryDirectory() + "vornelle-render-" + name +
             std::to_string(::GetCurrentProcessId()) + ".bmp")
{
    CImageObject picture("", CImageObject::kTypeBmp);
    EXPECT_GT(picture.Create(width, height, 24, -1), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb colour = colourAt(x, y);
            picture.SetPixelRGB(x, y, colour.red, colour.green, colour.blue);
        }
    }
    EXPECT_EQ(picture.GetImpl()->Write(m_path), 1);
}

PictureFile::~PictureFile()
{
    ::DeleteFileA(m_path.c_str());
}

RenderSettings::RenderSettings() : m_cleaner("VornelleTests", "render_tests"), m_app("render_tests")
{
    m_app.SetRegistryKey("VornelleTests");
}

void RenderSettings::SetInt(const char* entry, int value) const
{
    EXPECT_TRUE(m_app.WriteProfileInt("Config", entry, value));
}

void RenderSettings::SetString(const char* entry, const std::string& value) const
{
    EXPECT_TRUE(m_app.WriteProfileString("Config", entry, value));
}
