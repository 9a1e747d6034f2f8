#pragma once

#include "framework/CPalette.h"

#include <cstdint>

// A GDI logical palette made from colour components.
class CImagePalette : public CPalette {
public:
    // Builds the palette and attaches it (a null handle when GDI refuses it).
    // 0 when a palette is held already, the count is not 0..256 or memory fails.
    int CreateFromComponents(int count, const std::uint8_t* red, const std::uint8_t* green,
                             const std::uint8_t* blue);

    unsigned GetNearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

    // 0 for an index outside 0..255 or an entry the palette does not have.
    int GetEntryRGB(int index, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue) const;
};
