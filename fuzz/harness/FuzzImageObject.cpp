#include "FuzzSupport.h"

#include "image/CImageObject.h"

#include <cstdio>

namespace {

// Every extension CImageObject knows, XPM included though it has no reader.
const char* const kExtensions[] = {"bmp", "gif", "jpg", "png", "xpm"};

void Exercise(CImageObject& picture)
{
    const bool valid = picture.IsValid() != 0;
    if (valid != (picture.GetImpl() != nullptr && picture.GetImpl()->HasPicture())) {
        std::fprintf(stderr, "IsValid disagrees with the format object\n");
        std::abort();
    }
    fuzz::TouchPixels(picture);
    fuzz::DrawPicture(picture);
    (void)picture.GetPalette();
    (void)picture.GetBits();
    (void)picture.GetRowBytes();
    (void)picture.GetDepth();
    (void)picture.GetColorType();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string path = fuzz::WriteInput(data, size, kExtensions[0]);
    for (const char* extension : kExtensions) {
        const std::string named = fuzz::WorkFolder() + "/input." + extension;
        if (named != path) {
            // Windows renames onto no existing file.
            std::remove(named.c_str());
            std::rename(path.c_str(), named.c_str());
            path = named;
        }
        CImageObject picture(path, CImageObject::kTypeFromExtension);
        Exercise(picture);
    }
    return 0;
}
