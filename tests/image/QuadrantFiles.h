#pragma once

#include "CodecFiles.h"

#include <cstdint>
#include <string>
#include <vector>

// Pictures of four solid quadrants saved as the kinds of file whose pixels
// must be decoded before they show their colours: packed indices, 16-bit and
// bit-field pixels, CMYK samples.
namespace quadrants {
// The quadrants meet at (kSplitX, kSplitY), counted from the bottom left;
// for JPEG the split column falls on a block edge.
constexpr int kWidth = 100;
constexpr int kHeight = 90;
constexpr int kSplitX = 80;
constexpr int kSplitY = 64;
} // namespace quadrants

struct QuadrantKind {
    const char* name;
    const char* extension; // with its dot
    int colours;           // 2: the diagonal quadrants alike
    int tolerance;         // per component: lossy files, and 5 or 6 bits of grey
    std::vector<std::uint8_t> (*make)(const QuadrantKind& kind);
};
const std::vector<QuadrantKind>& QuadrantKinds();

// The colour of picture pixel (x, y), y counted from the bottom, as 0xRRGGBB.
std::uint32_t QuadrantColour(const QuadrantKind& kind, int x, int y);

// The kind's file, saved to the temporary file.
const std::string& SaveQuadrants(const QuadrantKind& kind, const TempFile& file);

// Whether two 0xRRGGBB colours differ by at most tolerance in each component.
bool ColoursClose(std::uint32_t have, std::uint32_t want, int tolerance);
