#include "FuzzSupport.h"

#include "image/CImageImplGif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CImageImplGif image;
    fuzz::ReadTwiceAndExercise(image, fuzz::WriteInput(data, size, "gif"));
    return 0;
}
