#include "CPictureTile.h"

#include "app/Settings.h"
#include "image/CImageObject.h"

#include <GL/glu.h>

CPictureTile::CPictureTile(const CImageObject& picture, int c, int r)
    : posY(static_cast<float>(r)), posX(static_cast<float>(c))
{
    for (int i = 0; i < kSize; ++i) {
        for (int j = 0; j < kSize; ++j) {
            std::uint8_t* texel = texels[i][j];
            texel[0] = texel[1] = texel[2] = 0;
            // A pixel outside the picture stays opaque black.
            picture.GetPixelRGB(kSize * c + j, kSize * r + i, &texel[0], &texel[1], &texel[2]);
            texel[3] = 255;
        }
    }
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (gluBuild2DMipmaps(GL_TEXTURE_2D, 4, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, texels) != 0)
        return;
    glTexImage2D(GL_TEXTURE_2D, 0, 4, kSize, kSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    const GLfloat filter = ReadSettingInt("Config", "Bilinear", 1) != 0 ? GL_LINEAR : GL_NEAREST;
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(envMode));
    glEnable(GL_TEXTURE_2D);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

CPictureTile::~CPictureTile()
{
    glDeleteTextures(1, &textureName);
}

void CPictureTile::Draw() const
{
    // Corners of the unit square facing +z, half a unit in front of the centre.
    static const struct {
        GLfloat s, t, x, y;
    } kCorners[4] = {
        {0.0f, 0.0f, -0.5f, -0.5f},
        {1.0f, 0.0f, 0.5f, -0.5f},
        {1.0f, 1.0f, 0.5f, 0.5f},
        {0.0f, 1.0f, -0.5f, 0.5f},
    };
    glPushMatrix();
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(envMode));
    glTranslatef(posX, posY, posZ);
    glRotatef(spinX, 1.0f, 0.0f, 0.0f);
    glRotatef(spinY, 0.0f, 1.0f, 0.0f);
    glRotatef(spinZ, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glBegin(GL_QUADS);
    for (const auto& corner : kCorners) {
        glTexCoord2f(corner.s, corner.t);
        glColor3f(red, green, blue);
        glVertex3f(corner.x, corner.y, 0.5f);
    }
    glEnd();
    glPopMatrix();
}
