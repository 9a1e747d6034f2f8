// Writes small pictures of every format into OUT/bmp, OUT/gif, OUT/jpeg and
// OUT/png: the fuzzers' seeds, chosen to lead each reader down its rarer
// paths. Each is read back with our readers first.
//
//   make_seeds OUT                  writes the seeds
//   make_seeds --refused jpeg FILE  checks that our reader refuses files
//                                   made elsewhere (12-bit JPEGs)
#include "Seeds.h"

#include "image/CImageImplJpeg.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--refused") == 0 && std::strcmp(argv[2], "jpeg") == 0) {
        for (int i = 3; i < argc; ++i) {
            CImageImplJpeg reader;
            seeds::ExpectRead(reader, argv[i], seeds::Refusal());
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER | --refused jpeg FILE...\n", argv[0]);
        return 2;
    }
    seeds::SetOutputFolder(argv[1]);
    seeds::WriteBmpSeeds();
    seeds::WriteGifSeeds();
    seeds::WriteJpegSeeds();
    seeds::WritePngSeeds();
    seeds::CheckAndSummarise();
    return 0;
}
