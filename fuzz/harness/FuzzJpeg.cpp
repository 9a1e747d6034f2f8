#include "FuzzSupport.h"

#include "image/CImageImplJpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CImageImplJpeg image;
    fuzz::ReadTwiceAndExercise(image, fuzz::WriteInput(data, size, "jpg"));
    return 0;
}
