#pragma once

#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "support/RegistryCleaner.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// A visible popup window whose client area is exactly the size asked for, so
// that a scene can set up OpenGL on it and its frames can be read back.
// ownDc: a device context of its own, which keeps what is selected into it.
class GlTestWindow : public CWnd {
public:
    GlTestWindow(int width, int height, bool ownDc = false);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
};

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb& other) const
    {
        return red == other.red && green == other.green && blue == other.blue;
    }
    bool IsBlack() const { return red == 0 && green == 0 && blue == 0; }
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

// What the window shows, rows bottom-up as OpenGL counts them. Read through
// GDI: under Wine glReadPixels of GL_FRONT gives black after SwapBuffers.
std::vector<Rgb> ReadWindowPixels(const GlTestWindow& window);

// Fills the client area through GDI, so that a frame not drawn shows.
void PaintWindow(const GlTestWindow& window, COLORREF colour);

int CountPixels(const std::vector<Rgb>& pixels, const Rgb& colour);

// A 24-bit picture written to a .bmp file in the temporary folder; the file
// goes when the object does.
class PictureFile {
public:
    PictureFile(const std::string& name, int width, int height,
                const std::function<Rgb(int x, int y)>& colourAt);
    ~PictureFile();
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The application object the scene reads its settings through, on a registry
// key that is removed before and after the test.
class RenderSettings {
public:
    RenderSettings();
    void SetInt(const char* entry, int value) const;
    void SetString(const char* entry, const std::string& value) const;

private:
    RegistryCleaner m_cleaner;
    CWinApp m_app;
};
