#include "CGLScene.h"

#include "app/Settings.h"
#include "framework/CDC.h"
#include "image/CImageObject.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

float FloatFromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Where the camera stands once the context is set up: a close-up of the grid.
const float kRestingDistance = FloatFromBits(0x3FC147AE); // 1.51
const float kFarDistance = 500.0f;
const float kNearDistance = 15.0f;
const float kTurnPerFrame = FloatFromBits(0x3E99999A);      // 0.3 degrees
const float kWavePhasePerFrame = FloatFromBits(0x3C888889); // 1/60 radian
const int kWaveTileOffset = 35;
const int kSpinFrames = 1000;
const int kWaveFrames = 10000;

const PIXELFORMATDESCRIPTOR kPixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR),
    1,
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    PFD_TYPE_RGBA,
    24,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    32,
    0,
    0,
    PFD_MAIN_PLANE,
    0,
    0,
    0,
    0,
};

const std::uint8_t kOneBit[2] = {0, 255};
const std::uint8_t kTwoBits[4] = {0, 85, 170, 255};
const std::uint8_t kThreeBits[8] = {0, 36, 73, 109, 146, 182, 219, 255};

// System colours that a 3-3-2 palette keeps, so that the desktop survives.
const struct {
    int index;
    std::uint8_t red, green, blue;
} kThreeThreeTwoOverrides[] = {
    {3, 128, 0, 0},       {24, 0, 128, 0},      {27, 128, 128, 0},    {64, 0, 0, 128},
    {67, 128, 0, 128},    {88, 0, 128, 128},    {173, 192, 192, 192}, {181, 192, 220, 192},
    {236, 166, 202, 240}, {247, 255, 251, 240}, {164, 160, 160, 164}, {91, 128, 128, 128},
};

} // namespace

CGLScene::CGLScene()
    : picture(new CImageObject(ReadSettingString("Config", "Picture", "test.gif"),
                               CImageObject::kTypeFromExtension))
{
}

CGLScene::~CGLScene()
{
    DestroyContext();
    picture.reset();
    for (auto& column : tiles) {
        for (CPictureTile*& tile : column) {
            delete tile;
            tile = nullptr;
        }
    }
    deviceContext.reset();
    if (scenePalette != nullptr)
        ::DeleteObject(scenePalette);
}

std::uint8_t CGLScene::PaletteComponent(int index, int bits, int shift)
{
    const int value = index >> shift;
    switch (bits) {
    case 1:
        return kOneBit[value & 1];
    case 2:
        return kTwoBits[value & 3];
    case 3:
        return kThreeBits[value & 7];
    default:
        return 0;
    }
}

BOOL CGLScene::ChooseFormat()
{
    HDC hdc = deviceContext->GetSafeHdc();
    const int format = ::ChoosePixelFormat(hdc, &kPixelFormat);
    if (format == 0)
        return FALSE;
    return ::SetPixelFormat(hdc, format, &kPixelFormat);
}

PIXELFORMATDESCRIPTOR CGLScene::CurrentFormat() const
{
    HDC hdc = deviceContext->GetSafeHdc();
    PIXELFORMATDESCRIPTOR format = {};
    ::DescribePixelFormat(hdc, ::GetPixelFormat(hdc), sizeof format, &format);
    return format;
}

void CGLScene::BuildPalette(const PIXELFORMATDESCRIPTOR& format)
{
    HDC hdc = deviceContext ? deviceContext->GetSafeHdc() : nullptr;
    if (hdc == nullptr || (format.dwFlags & PFD_NEED_PALETTE) == 0)
        return;
    // A palette of 2^n entries exists only for formats of up to 8 bits; the
    // picture's own palette is selected whatever the depth.
    if (format.cColorBits <= 8 && scenePalette == nullptr)
        scenePalette = CreateFormatPalette(format);
    if (picture && picture->GetPalette() != nullptr) {
        previousPalette = ::SelectPalette(hdc, picture->GetPalette()->GetSafeHandle(), FALSE);
        ::RealizePalette(hdc);
    }
}

HPALETTE CGLScene::CreateFormatPalette(const PIXELFORMATDESCRIPTOR& format)
{
    const int count = 1 << format.cColorBits;
    std::vector<std::uint8_t> memory(offsetof(LOGPALETTE, palPalEntry) +
                                     sizeof(PALETTEENTRY) * count);
    auto* logical = reinterpret_cast<LOGPALETTE*>(memory.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    auto* entries =
        reinterpret_cast<PALETTEENTRY*>(memory.data() + offsetof(LOGPALETTE, palPalEntry));
    for (int i = 0; i < count; ++i) {
        entries[i].peRed = PaletteComponent(i, format.cRedBits, format.cRedShift);
        entries[i].peGreen = PaletteComponent(i, format.cGreenBits, format.cGreenShift);
        entries[i].peBlue = PaletteComponent(i, format.cBlueBits, format.cBlueShift);
        entries[i].peFlags = 0;
    }
    if (format.cColorBits == 8 && format.cRedBits == 3 && format.cRedShift == 0 &&
        format.cGreenBits == 3 && format.cGreenShift == 3 && format.cBlueBits == 2 &&
        format.cBlueShift == 6) {
        for (const auto& entry : kThreeThreeTwoOverrides)
            entries[entry.index] = PALETTEENTRY{entry.red, entry.green, entry.blue, 0};
    }
    return ::CreatePalette(logical);
}

void CGLScene::CreateContext(HWND window)
{
    CSingleLock lock(sceneLock);
    // A null handle would give the whole screen's device context; that of a
    // window destroyed meanwhile gives none.
    if (glReady || window == nullptr)
        return;
    deviceContext.reset(new CClientDC(window));
    if (deviceContext->GetSafeHdc() == nullptr || !ChooseFormat())
        return;
    BuildPalette(CurrentFormat());
    HGLRC context = wglCreateContext(deviceContext->GetSafeHdc());
    if (context == nullptr)
        return;
    if (!wglMakeCurrent(deviceContext->GetSafeHdc(), context)) {
        wglDeleteContext(context);
        return;
    }
    ::GetClientRect(window, &clientRect);
    glClearDepth(1.0);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const float aspect = clientRect.bottom != 0 ? static_cast<float>(clientRect.right) /
                                                      static_cast<float>(clientRect.bottom)
                                                : 1.0f;
    cameraDistance = kRestingDistance;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, aspect, static_cast<double>(0.01f), 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (picture)
        BuildGrid();
    glReady = 1;
}

void CGLScene::BuildGrid()
{
    // A block starts at every multiple of 32 up to and including the size, so a
    // size that is a multiple of 32 gets one wholly black block more.
    const int width = picture->GetWidth();
    const int height = picture->GetHeight();
    int c = 0;
    for (; c < kMaxTiles && CPictureTile::kSize * c <= width; ++c) {
        int r = 0;
        for (; r < kMaxTiles && CPictureTile::kSize * r <= height; ++r)
            tiles[c][r] = new CPictureTile(*picture, c, r);
        rowCount = r;
    }
    columnCount = c;
}

void CGLScene::DestroyContext()
{
    if (glReady) {
        glReady = 0;
        HGLRC context = wglGetCurrentContext();
        wglMakeCurrent(nullptr, nullptr);
        if (context != nullptr)
            wglDeleteContext(context);
    }
    // Also when the context failed after the picture's palette was selected:
    // the picture, and its palette with it, goes next.
    if (previousPalette != nullptr && deviceContext)
        ::SelectPalette(deviceContext->GetSafeHdc(), previousPalette, FALSE);
    previousPalette = nullptr;
    deviceContext.reset();
}

void CGLScene::StepAnimation()
{
    CSingleLock lock(sceneLock);
    switch (animationState) {
    case AnimationState::ChooseEffect: {
        // Read every time: other values keep the grid still until one of the
        // two effects is chosen.
        const int effect = ReadSettingInt("Config", "Effect", 0);
        if (effect == 0) {
            animationState = AnimationState::ZoomIn;
            cameraDistance = kFarDistance;
            stepCount = 0;
        } else if (effect == 1) {
            animationState = AnimationState::Wave;
            cameraDistance = kNearDistance;
            stepCount = 0;
        }
        break;
    }
    case AnimationState::ZoomIn: // the grid flies in
        cameraDistance = cameraDistance - 1.0f;
        if (cameraDistance <= kNearDistance) {
            animationState = AnimationState::SpinTiles;
            stepCount = 0;
        }
        break;
    case AnimationState::SpinTiles: { // every tile turns in place
        const bool last = ++stepCount >= kSpinFrames;
        for (int c = 0; c < columnCount; ++c) {
            for (int r = 0; r < rowCount; ++r) {
                if (CPictureTile* tile = tiles[c][r]) {
                    tile->spinX = last ? 0.0f : tile->spinX + 1.0f;
                    tile->spinY = last ? 0.0f : tile->spinY + 1.0f;
                }
            }
        }
        if (last)
            animationState = AnimationState::ZoomOutTurn;
        break;
    }
    case AnimationState::ZoomOutTurn: // the grid flies away, swinging round
        cameraDistance = cameraDistance + 1.0f;
        gridAngleX = gridAngleX + kTurnPerFrame;
        gridAngleY = gridAngleY + kTurnPerFrame;
        if (cameraDistance >= kFarDistance) {
            gridAngleX = 0.0f;
            gridAngleY = 0.0f;
            animationState = AnimationState::ChooseEffect;
        }
        break;
    case AnimationState::Wave: { // a diagonal wave runs through the tiles' depth
        ++stepCount;
        const bool last = stepCount > kWaveFrames;
        for (int c = 0; c < columnCount; ++c) {
            for (int r = 0; r < rowCount; ++r) {
                CPictureTile* tile = tiles[c][r];
                if (tile == nullptr)
                    continue;
                const int phase = kWaveTileOffset * c + kWaveTileOffset * r + stepCount;
                const float argument = static_cast<float>(phase) * kWavePhasePerFrame;
                // The sine in double: std::sin of a float would round it to float first.
                const double sine = std::sin(static_cast<double>(argument));
                tile->posZ = last ? 0.0f : static_cast<float>(-6.0 + 3.0 * sine);
            }
        }
        if (last)
            animationState = AnimationState::ChooseEffect;
        break;
    }
    }
}

void CGLScene::DrawFrame()
{
    if (!glReady || drawing)
        return;
    drawing = 1;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glRotatef(gridAngleX, 1.0f, 0.0f, 0.0f);
    glRotatef(gridAngleY, 0.0f, 1.0f, 0.0f);
    glRotatef(gridAngleZ, 0.0f, 0.0f, 1.0f);
    glTranslatef(-columnCount * 0.5f, -rowCount * 0.5f, -cameraDistance);
    for (const auto& column : tiles) {
        for (const CPictureTile* tile : column) {
            if (tile != nullptr)
                tile->Draw();
        }
    }
    glPopMatrix();
    glFinish();
    ::SwapBuffers(wglGetCurrentDC());
    drawing = 0;
}
