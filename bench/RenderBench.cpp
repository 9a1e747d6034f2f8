// Frames per second of the whole scene (the wave effect, where every tile
// moves) against two floors in the scene's own context: a bare clear and swap, and a
// minimal loop drawing the tiles' textured quads.
// Also the time from making the scene to its first frame on the screen.
// Needs a display at least 1920 x 1080. Usage: render_bench

#include "BenchSupport.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "image/CImageImplBmp.h"
#include "render/CGLScene.h"

#include <windows.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const int kRounds = 5;
const double kRoundMs = 500.0;
const int kWarmUpFrames = 10;
const int kPictureWidth = 640;
const int kPictureHeight = 480;
const char kCompany[] = "VornelleBench";
const char kApplication[] = "render_bench";

void RemoveSettings()
{
    const std::string company = std::string("Software\\") + kCompany;
    const std::string application = company + "\\" + kApplication;
    ::RegDeleteTreeA(HKEY_CURRENT_USER, application.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, application.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, company.c_str());
}

void PumpMessages()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// Red, green, blue of the picture at (x, y), y counted from the bottom.
void PictureColour(int x, int y, std::uint8_t* rgb)
{
    rgb[0] = static_cast<std::uint8_t>(x * 255 / kPictureWidth);
    rgb[1] = static_cast<std::uint8_t>(y * 255 / kPictureHeight);
    rgb[2] = static_cast<std::uint8_t>((x ^ y) & 255);
}

bool WritePicture(const std::string& path)
{
    CImageImplBmp image;
    if (image.Create(kPictureWidth, kPictureHeight, 24, -1) == 0)
        return false;
    for (int y = 0; y < kPictureHeight; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * image.GetRowBytes();
        for (int x = 0; x < kPictureWidth; ++x) {
            std::uint8_t rgb[3];
            PictureColour(x, y, rgb);
            row[3 * x] = rgb[2];
            row[3 * x + 1] = rgb[1];
            row[3 * x + 2] = rgb[0];
        }
    }
    return image.Write(path) == 1;
}

// Frames per second of frame() run back to back for a while, messages
// handled between frames as the saver's window gets them.
double MeasureFps(const std::function<void()>& frame)
{
    const double start = NowMs();
    int frames = 0;
    double elapsed = 0;
    do {
        frame();
        PumpMessages();
        ++frames;
        elapsed = NowMs() - start;
    } while (elapsed < kRoundMs);
    return 1000.0 * frames / elapsed;
}

// The floors draw in the scene's own context, with its textures and every bit
// of its GL state, so that they differ from its frame only in the work left
// out: a context and textures of their own drew slower than the scene.
class FloorLoops {
public:
    explicit FloorLoops(const CGLScene& scene) : m_scene(scene) {}

    // Clear, finish and swap, as every frame of the scene does.
    void BareFrame() const
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        ::SwapBuffers(::wglGetCurrentDC());
    }

    // The tiles' quads where they are now, with nothing else per quad than its
    // texture and corners: no matrices, spins or texture environment.
    void QuadFrame() const
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const float left = -0.5f * static_cast<float>(m_scene.GetColumnCount());
        const float bottom = -0.5f * static_cast<float>(m_scene.GetRowCount());
        const float front = 0.5f - m_scene.GetCameraDistance();
        for (int c = 0; c < m_scene.GetColumnCount(); ++c) {
            for (int r = 0; r < m_scene.GetRowCount(); ++r) {
                const CPictureTile* tile = m_scene.GetTile(c, r);
                const float x = left + tile->posX, y = bottom + tile->posY;
                const float z = front + tile->posZ;
                glBindTexture(GL_TEXTURE_2D, tile->GetTextureName());
                glBegin(GL_QUADS);
                glTexCoord2f(0.0f, 0.0f);
                glVertex3f(x - 0.5f, y - 0.5f, z);
                glTexCoord2f(1.0f, 0.0f);
                glVertex3f(x + 0.5f, y - 0.5f, z);
                glTexCoord2f(1.0f, 1.0f);
                glVertex3f(x + 0.5f, y + 0.5f, z);
                glTexCoord2f(0.0f, 1.0f);
                glVertex3f(x - 0.5f, y + 0.5f, z);
                glEnd();
            }
        }
        glFinish();
        ::SwapBuffers(::wglGetCurrentDC());
    }

private:
    const CGLScene& m_scene;
};

bool Measure(int width, int height)
{
    const char* className =
        CWnd::RegisterClassFor("VornelleRenderBench", 0, nullptr,
                               static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)), nullptr);
    CWnd window;
    // A popup has no frame, so the client area is the size asked for. Shown
    // without activation: Wine hands activated windows to the window manager.
    if (!window.CreateEx(0, className, "render bench", WS_POPUP, 0, 0, width, height, nullptr,
                         nullptr)) {
        std::printf("%4dx%-5d no window\n", width, height);
        return false;
    }
    ::ShowWindow(window.m_hWnd, SW_SHOWNOACTIVATE);
    PumpMessages();

    bool ok = false;
    {
        const double start = NowMs();
        CGLScene scene;
        scene.CreateContext(window.m_hWnd);
        scene.StepAnimation();
        scene.DrawFrame();
        const double firstFrame = NowMs() - start;
        if (!scene.IsReady() || scene.GetState() != AnimationState::Wave) {
            std::printf("%4dx%-5d the scene did not start its wave\n", width, height);
        } else {
            const FloorLoops floors(scene);
            const std::function<void()> loops[3] = {
                [&] {
                    scene.StepAnimation();
                    scene.DrawFrame();
                },
                [&] { floors.BareFrame(); },
                [&] { floors.QuadFrame(); },
            };
            std::vector<double> fps[3];
            for (int round = 0; round <= kRounds; ++round) {
                // The order rotates so that no loop always follows the same one.
                for (int turn = 0; turn < 3; ++turn) {
                    const int which = (round + turn) % 3;
                    if (round == 0) {
                        for (int i = 0; i < kWarmUpFrames; ++i)
                            loops[which]();
                    } else {
                        fps[which].push_back(MeasureFps(loops[which]));
                    }
                }
            }
            const double ours = Median(fps[0]), bare = Median(fps[1]), quads = Median(fps[2]);
            std::printf("%4dx%-5d %7d %9.1f %8.1f %9.1f %6.2f %6.2f %11.1f\n", width, height,
                        scene.GetColumnCount() * scene.GetRowCount(), ours, bare, quads,
                        ours / bare, ours / quads, firstFrame);
            ok = true;
        }
    }
    window.DestroyWindow();
    PumpMessages();
    return ok;
}

} // namespace

int main()
{
    const std::string folder = TempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "no temp folder\n");
        return 1;
    }
    const std::string picture = folder + "render_bench.bmp";
    if (!WritePicture(picture)) {
        std::fprintf(stderr, "could not write %s\n", picture.c_str());
        return 1;
    }
    RemoveSettings();
    bool ok = false;
    {
        CWinApp app(kApplication);
        app.SetRegistryKey(kCompany);
        if (app.WriteProfileString("Config", "Picture", picture) &&
            app.WriteProfileInt("Config", "Effect", 1)) {
            std::printf(
                "The wave effect on a %dx%d picture; median of %d rounds of %.1f s per loop,\n"
                "the loops taking turns in the scene's context. bare: clear, finish and swap;\n"
                "quads: the tiles' quads with one texture bind each and nothing else. first\n"
                "ms: from making the scene to its first frame shown. Target: ours/quads at\n"
                "least 0.9; above 1 the floor measures nothing.\n",
                kPictureWidth, kPictureHeight, kRounds, kRoundMs / 1000.0);
            std::printf("%-10s %7s %9s %8s %9s %6s %6s %11s\n", "window", "tiles", "ours fps",
                        "bare fps", "quads fps", "/bare", "/quads", "first ms");
            ok = Measure(640, 480);
            ok = Measure(1920, 1080) && ok;
        } else {
            std::fprintf(stderr, "could not store the settings\n");
        }
    }
    RemoveSettings();
    ::DeleteFileA(picture.c_str());
    return ok ? 0 : 1;
}
