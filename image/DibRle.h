#pragma once

#include <cstddef>
#include <cstdint>

// Expands BI_RLE8 (depth 8) or BI_RLE4 (depth 4) data into bottom-up rows of
// rowBytes bytes each, already zeroed by the caller. Runs that would leave the
// picture are cut at its edge; the data ends at its end-of-bitmap code or its
// last byte. False for a depth other than 4 or 8.
bool DecodeDibRle(const std::uint8_t* data, std::size_t size, int depth, int width, int height,
                  std::uint8_t* rows, std::size_t rowBytes);
