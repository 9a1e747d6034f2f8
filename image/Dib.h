#pragma once

#include "CGlobalBlock.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Offsets of the BITMAPINFOHEADER fields at the start of a packed bitmap block.
namespace dib {
constexpr std::size_t kSize = 0;
constexpr std::size_t kWidth = 4;
constexpr std::size_t kHeight = 8;
constexpr std::size_t kPlanes = 12;
constexpr std::size_t kBitCount = 14;
constexpr std::size_t kCompression = 16;
constexpr std::size_t kSizeImage = 20;
constexpr std::size_t kClrUsed = 32;
constexpr std::size_t kInfoHeaderSize = 40;

// A new block has room for the header and 256 table entries whatever its depth.
constexpr std::size_t kNewBlockOverhead = kInfoHeaderSize + 256 * 4;

// No picture may have more pixels than this: larger sizes come from damaged
// or hostile files, and the block could not be allocated anyway.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;
} // namespace dib

// Bytes of one stored row, padded to 4 bytes; -1 when width or depth make no
// sense or the row would not fit a 32-bit count.
std::int64_t DibRowBytes(std::int64_t depth, std::int64_t width);

// Table entries of a block: biClrUsed, or 1 << depth for depths up to 8 when
// that is 0.
std::uint32_t DibColorCount(const CGlobalBlock& dib);

// Where the rows of the block begin: after three masks for BI_BITFIELDS,
// after the colour table otherwise.
std::size_t DibRowsOffset(const CGlobalBlock& dib);

// A new zero-filled block for a blank picture, or an empty one when the size
// is impossible or the memory can't be had.
CGlobalBlock AllocateDib(int depth, int width, int height);

// Rewrites the colour table as palette indices 0..n-1 or as the palette's
// colours (a null palette stands for the stock default palette). 0 for an
// empty block, else 1.
int FillDibColorTable(CGlobalBlock& dib, HPALETTE palette, bool asIndices);
