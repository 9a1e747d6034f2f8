#include "BmpBuilder.h"
#include "QuadrantFiles.h"

#include "image/CImageObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A point well inside each quadrant (lossy files blur the edges), y from the bottom.
const struct {
    int x, y;
} kProbes[] = {{40, 32}, {90, 32}, {40, 77}, {90, 77}};

std::uint32_t PixelColour(const CImageObject& picture, int x, int y)
{
    std::uint8_t red = 0, green = 0, blue = 0;
    if (!picture.GetPixelRGB(x, y, &red, &green, &blue))
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

TEST(TrueColourTest, EveryKindShowsItsColoursInItsPixelsAndWhenDrawn)
{
    for (const QuadrantKind& kind : QuadrantKinds()) {
        SCOPED_TRACE(kind.name);
        TempFile file(kind.extension);
        CImageObject picture(SaveQuadrants(kind, file), CImageObject::kTypeFromExtension);
        ASSERT_TRUE(picture.IsValid());
        ASSERT_EQ(picture.GetWidth(), quadrants::kWidth);
        const std::vector<std::uint32_t> drawn = DrawnPixels(*picture.GetImpl());
        for (const auto& p : kProbes) {
            const std::uint32_t want = QuadrantColour(kind, p.x, p.y);
            const std::uint32_t pixel = PixelColour(picture, p.x, p.y);
            const std::uint32_t shown = drawn.at(p.y * quadrants::kWidth + p.x) & 0xFFFFFF;
            EXPECT_TRUE(ColoursClose(pixel, want, kind.tolerance))
                << "pixel " << p.x << ", " << p.y << ": have " << std::hex << pixel << ", want "
                << want;
            EXPECT_TRUE(ColoursClose(shown, want, kind.tolerance))
                << "drawn " << p.x << ", " << p.y << ": have " << std::hex << shown << ", want "
                << want;
        }
    }
}

} // namespace
