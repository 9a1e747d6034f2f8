#pragma once

#include "SeedWriter.h"

// The seed families, one per format; each writes and checks its own seeds.
namespace seeds {

void WriteBmpSeeds();
void WriteGifSeeds();
void WriteJpegSeeds();
void WritePngSeeds();

// Small valid files of the other formats, for bitmaps that embed them.
Bytes SmallJpeg(int width, int height);
Bytes SmallPng(int width, int height);

} // namespace seeds
