#include "CImagePalette.h"

#include <cstddef>

int CImagePalette::CreateFromComponents(int count, const std::uint8_t* red,
                                        const std::uint8_t* green, const std::uint8_t* blue)
{
    if (m_hObject != nullptr || count < 0 || count > 256)
        return 0;
    HLOCAL memory = ::LocalAlloc(LMEM_FIXED, 8 + 4 * count);
    if (memory == nullptr)
        return 0;
    auto* logical = static_cast<LOGPALETTE*>(memory);
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    // The entries run past the one that LOGPALETTE declares.
    std::uint8_t* entries = static_cast<std::uint8_t*>(memory) + offsetof(LOGPALETTE, palPalEntry);
    for (int i = 0; i < count; ++i) {
        entries[4 * i] = red[i];
        entries[4 * i + 1] = green[i];
        entries[4 * i + 2] = blue[i];
        entries[4 * i + 3] = 0;
    }
    HPALETTE palette = ::CreatePalette(logical);
    ::LocalFree(memory);
    Attach(palette);
    return 1;
}

unsigned CImagePalette::GetNearestIndex(std::uint8_t red, std::uint8_t green,
                                        std::uint8_t blue) const
{
    return ::GetNearestPaletteIndex(m_hObject, RGB(red, green, blue));
}

int CImagePalette::GetEntryRGB(int index, std::uint8_t* red, std::uint8_t* green,
                               std::uint8_t* blue) const
{
    if (index < 0 || index > 255)
        return 0;
    PALETTEENTRY entry;
    if (::GetPaletteEntries(m_hObject, static_cast<UINT>(index), 1, &entry) == 0)
        return 0;
    *red = entry.peRed;
    *green = entry.peGreen;
    *blue = entry.peBlue;
    return 1;
}
