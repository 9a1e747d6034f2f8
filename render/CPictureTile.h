#pragma once

#include <windows.h>

#include <GL/gl.h>

#include <cstdint>

class CImageObject;

// One 32 x 32 block of the picture as its own texture on a unit square. Needs
// a current OpenGL context to be made, drawn and destroyed.
class CPictureTile {
public:
    static constexpr int kSize = 32;

    // The block at column c, row r (pixels 32c.., 32r.., row 0 at the bottom).
    CPictureTile(const CImageObject& picture, int c, int r);
    virtual ~CPictureTile();
    CPictureTile(const CPictureTile&) = delete;
    CPictureTile& operator=(const CPictureTile&) = delete;

    void Draw() const;

    // The effects move these.
    float spinX = 0.0f;
    float spinY = 0.0f;
    float spinZ = 0.0f;
    float posY;
    float posX;
    float posZ = 0.0f;

    GLuint GetTextureName() const { return textureName; }
    // Texel (s, t) as red, green, blue, alpha; t = 0 is the block's bottom row.
    const std::uint8_t* GetTexel(int s, int t) const { return texels[t][s]; }

private:
    // 255 rather than 1: clamped by OpenGL, and the decal mode ignores it anyway.
    float red = 255.0f;
    float green = 255.0f;
    float blue = 255.0f;
    int envMode = GL_DECAL;
    GLuint textureName = 0;
    std::uint8_t texels[kSize][kSize][4];
};
