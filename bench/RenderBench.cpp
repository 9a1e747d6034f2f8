// Frames per second of the whole scene (the wave effect, where every tile
// moves) against two floors in the same window: a bare clear and swap, and a
// minimal loop drawing as many 32 x 32 textured quads from as many textures.
// Also the time from making the scene to its first frame on the screen.
// Needs a display at least 1920 x 1080. Usage: render_bench

#include "BenchSupport.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "image/CImageImplBmp.h"
#include "render/CGLScene.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

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

// The floors: a context of their own on the scene's window, with the scene's
// projection and drawing state, and textures made as the tiles make theirs.
class FloorLoops {
public:
    FloorLoops(HWND window, const CGLScene& scene) : m_window(window), m_scene(scene)
    {
        m_dc = ::GetDC(window);
        m_context = ::wglCreateContext(m_dc);
        if (m_context == nullptr || !::wglMakeCurrent(m_dc, m_context))
            return;
        RECT client = {};
        ::GetClientRect(window, &client);
        glEnable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(client.right) / client.bottom,
                       static_cast<double>(0.01f), 500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int c = 0; c < scene.GetColumnCount(); ++c) {
            for (int r = 0; r < scene.GetRowCount(); ++r)
                m_textures.push_back(MakeTexture(c, r));
        }
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glEnable(GL_TEXTURE_2D);
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
        m_ready = true;
    }
    ~FloorLoops()
    {
        if (m_ready && ::wglMakeCurrent(m_dc, m_context))
            glDeleteTextures(static_cast<GLsizei>(m_textures.size()), m_textures.data());
        ::wglMakeCurrent(nullptr, nullptr);
        if (m_context != nullptr)
            ::wglDeleteContext(m_context);
        ::ReleaseDC(m_window, m_dc);
    }
    FloorLoops(const FloorLoops&) = delete;
    FloorLoops& operator=(const FloorLoops&) = delete;

    bool IsReady() const { return m_ready; }
    void MakeCurrent() const { ::wglMakeCurrent(m_dc, m_context); }

    void BareFrame() const
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ::SwapBuffers(m_dc);
    }

    // The quads where the scene's tiles are now, with nothing else per quad
    // than its texture and corners.
    void QuadFrame() const
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const float left = -0.5f * static_cast<float>(m_scene.GetColumnCount());
        const float bottom = -0.5f * static_cast<float>(m_scene.GetRowCount());
        const float front = 0.5f - m_scene.GetCameraDistance();
        std::size_t texture = 0;
        for (int c = 0; c < m_scene.GetColumnCount(); ++c) {
            for (int r = 0; r < m_scene.GetRowCount(); ++r) {
                const CPictureTile* tile = m_scene.GetTile(c, r);
                const float x = left + tile->posX, y = bottom + tile->posY;
                const float z = front + tile->posZ;
                glBindTexture(GL_TEXTURE_2D, m_textures[texture++]);
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
        ::SwapBuffers(m_dc);
    }

private:
    static GLuint MakeTexture(int c, int r)
    {
        std::uint8_t texels[CPictureTile::kSize][CPictureTile::kSize][4] = {};
        for (int t = 0; t < CPictureTile::kSize; ++t) {
            for (int s = 0; s < CPictureTile::kSize; ++s) {
                const int x = CPictureTile::kSize * c + s, y = CPictureTile::kSize * r + t;
                if (x < kPictureWidth && y < kPictureHeight)
                    PictureColour(x, y, texels[t][s]);
                texels[t][s][3] = 255;
            }
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, CPictureTile::kSize, CPictureTile::kSize, GL_RGBA,
                          GL_UNSIGNED_BYTE, texels);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        return name;
    }

    HWND m_window;
    const CGLScene& m_scene;
    HDC m_dc = nullptr;
    HGLRC m_context = nullptr;
    std::vector<GLuint> m_textures;
    bool m_ready = false;
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
        const HGLRC sceneContext = ::wglGetCurrentContext();
        const HDC sceneDc = ::wglGetCurrentDC();
        if (!scene.IsReady() || scene.GetState() != AnimationState::Wave) {
            std::printf("%4dx%-5d the scene did not start its wave\n", width, height);
        } else {
            FloorLoops floors(window.m_hWnd, scene);
            const std::function<void()> loops[3] = {
                [&] {
                    scene.StepAnimation();
                    scene.DrawFrame();
                },
                [&] { floors.BareFrame(); },
                [&] { floors.QuadFrame(); },
            };
            std::vector<double> fps[3];
            for (int round = 0; floors.IsReady() && round <= kRounds; ++round) {
                // The order rotates so that no loop always follows the same one.
                for (int turn = 0; turn < 3; ++turn) {
                    const int which = (round + turn) % 3;
                    if (which == 0)
                        ::wglMakeCurrent(sceneDc, sceneContext);
                    else
                        floors.MakeCurrent();
                    if (round == 0) {
                        for (int i = 0; i < kWarmUpFrames; ++i)
                            loops[which]();
                    } else {
                        fps[which].push_back(MeasureFps(loops[which]));
                    }
                }
            }
            if (floors.IsReady()) {
                const double ours = Median(fps[0]), bare = Median(fps[1]), quads = Median(fps[2]);
                std::printf("%4dx%-5d %7d %9.1f %8.1f %9.1f %6.2f %6.2f %11.1f\n", width, height,
                            scene.GetColumnCount() * scene.GetRowCount(), ours, bare, quads,
                            ours / bare, ours / quads, firstFrame);
                ok = true;
            } else {
                std::printf("%4dx%-5d no OpenGL context of our own\n", width, height);
            }
        }
        // The scene deletes the context that is current.
        ::wglMakeCurrent(sceneDc, sceneContext);
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
                "the loops taking turns in one window. bare: clear and swap; quads: the same\n"
                "quads with one texture bind each and nothing else. first ms: from making the\n"
                "scene to its first frame shown. Target: ours/quads at least 0.9.\n",
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
