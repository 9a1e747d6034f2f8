#include "FuzzSupport.h"

#include "image/CImageImplPng.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CImageImplPng image;
    fuzz::ReadTwiceAndExercise(image, fuzz::WriteInput(data, size, "png"));
    return 0;
}
