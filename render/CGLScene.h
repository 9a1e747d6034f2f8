#pragma once

#include "CPictureTile.h"

#include "framework/CSyncObjects.h"

#include <windows.h>

#include <cstdint>
#include <memory>

class CClientDC;
class CImageObject;

enum class AnimationState { ChooseEffect, ZoomIn, SpinTiles, ZoomOutTurn, Wave };

// What the render thread owns: the window's device context and OpenGL context,
// the scene's own copy of the picture cut into tiles, the camera and the state
// of the animation. Made, used and destroyed on the render thread only.
class CGLScene {
public:
    static constexpr int kMaxTiles = 20; // per side: at most 640 x 640 pixels show

    CGLScene();
    virtual ~CGLScene();
    CGLScene(const CGLScene&) = delete;
    CGLScene& operator=(const CGLScene&) = delete;

    // Sets up OpenGL on the window's client area and builds the tile grid;
    // success shows as IsReady(). The handle, not the window object: that
    // belongs to the user-interface thread, which may be destroying it.
    void CreateContext(HWND window);
    // Releases the context, the palette selection and the device context,
    // also what a set-up that failed half-way holds.
    void DestroyContext();
    // One frame of the state machine; no OpenGL call.
    void StepAnimation();
    // Draws the grid and shows it.
    void DrawFrame();

    // A palette index's component: the index shifted right, looked up in the
    // table for 1, 2 or 3 bits; 0 for other bit counts.
    static std::uint8_t PaletteComponent(int index, int bits, int shift);
    // For a format that needs a palette: makes the format's own (up to 8 bits)
    // and selects and realises the picture's. CreateContext passes its format.
    void BuildPalette(const PIXELFORMATDESCRIPTOR& format);

    bool IsReady() const { return glReady != 0; }
    AnimationState GetState() const { return animationState; }
    int GetStepCount() const { return stepCount; }
    float GetCameraDistance() const { return cameraDistance; }
    float GetGridAngleX() const { return gridAngleX; }
    float GetGridAngleY() const { return gridAngleY; }
    float GetGridAngleZ() const { return gridAngleZ; }
    int GetColumnCount() const { return columnCount; }
    int GetRowCount() const { return rowCount; }
    const CPictureTile* GetTile(int c, int r) const { return tiles[c][r]; }
    const CImageObject* GetPicture() const { return picture.get(); }
    HPALETTE GetScenePalette() const { return scenePalette; }
    // What the picture's palette replaced in the device context; null when none was selected.
    HPALETTE GetPreviousPalette() const { return previousPalette; }

private:
    BOOL ChooseFormat();
    PIXELFORMATDESCRIPTOR CurrentFormat() const;
    static HPALETTE CreateFormatPalette(const PIXELFORMATDESCRIPTOR& format);
    void BuildGrid();

    CCriticalSection sceneLock;
    int drawing = 0;
    AnimationState animationState = AnimationState::ChooseEffect;
    int stepCount = 0;
    HPALETTE scenePalette = nullptr;
    HPALETTE previousPalette = nullptr;
    std::unique_ptr<CImageObject> picture;
    CPictureTile* tiles[kMaxTiles][kMaxTiles] = {};
    int columnCount = 0;
    int rowCount = 0;
    int glReady = 0;
    RECT clientRect = {};
    std::unique_ptr<CClientDC> deviceContext;
    float cameraDistance = 0.0f;
    float gridAngleX = 0.0f;
    float gridAngleY = 0.0f;
    float gridAngleZ = 0.0f;
};
