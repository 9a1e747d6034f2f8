#include "FuzzSupport.h"

#include "image/CImageImplBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CImageImplBmp image;
    fuzz::ReadTwiceAndExercise(image, fuzz::WriteInput(data, size, "bmp"));
    return 0;
}
