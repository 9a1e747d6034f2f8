#include "CImageImplGif.h"

#include "ByteView.h"
#include "CGifByteSource.h"
#include "CGifLzwDecoder.h"
#include "CGifRowWriter.h"
#include "CStdioFile.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

const int kHeaderSize = 13;
const int kDescriptorSize = 9;
const int kIntroducerExtension = 0x21;
const int kIntroducerImage = 0x2C;
const int kLabelGraphicControl = 0xF9;

int TableEntries(std::uint8_t packed)
{
    return 2 << (packed & 7);
}

// Skips data sub-blocks up to their terminator; false at the end of the file.
bool SkipSubBlocks(CStdioFile& file)
{
    for (;;) {
        const int size = file.ReadByte();
        if (size <= 0)
            return size == 0;
        if (!file.Skip(size))
            return false;
    }
}

} // namespace

int CImageImplGif::Read(const std::string& fileName)
{
    ApplyFileName(fileName);
    imageTransparent = -1; // an earlier file's transparent index is not this one's
    CStdioFile file(imageFileName, "rb");
    if (!file)
        return 0;
    std::uint8_t header[kHeaderSize];
    if (file.Read(header, sizeof header) < sizeof header || std::memcmp(header, "GIF8", 4) != 0)
        return 0;

    // One table area serves the global table and every local one.
    std::uint8_t table[768] = {};
    int tableEntries = 0;
    const bool globalTable = (header[10] & 0x80) != 0;
    if (globalTable) {
        tableEntries = TableEntries(header[10]);
        if (file.Read(table, 3 * tableEntries) < static_cast<std::size_t>(3 * tableEntries))
            return 1;
    }

    for (;;) {
        const int introducer = file.ReadByte();
        if (introducer == kIntroducerExtension) {
            const int label = file.ReadByte();
            if (label < 0)
                break;
            if (label == kLabelGraphicControl) {
                const int blockSize = file.ReadByte();
                std::uint8_t control[4];
                if (blockSize < 0 ||
                    file.Read(control, sizeof control) != static_cast<std::size_t>(blockSize))
                    break;
                if (control[0] & 1)
                    imageTransparent = control[3];
            }
            if (!SkipSubBlocks(file))
                break;
            continue;
        }
        if (introducer != kIntroducerImage)
            break;

        std::uint8_t descriptorBytes[kDescriptorSize];
        if (file.Read(descriptorBytes, sizeof descriptorBytes) < sizeof descriptorBytes)
            break;
        const ByteView descriptor(descriptorBytes, sizeof descriptorBytes);
        const std::uint8_t packed = descriptor.U8(8);
        const bool localTable = (packed & 0x80) != 0;
        if (localTable) {
            tableEntries = TableEntries(packed);
            if (file.Read(table, 3 * tableEntries) < static_cast<std::size_t>(3 * tableEntries))
                break;
        }
        const int width = descriptor.U16(4);
        const int height = descriptor.U16(6);
        // A code of w bits comes from a table of fewer than 2^w entries, so
        // it gives at most 2^w pixels: 4096 for 12 bits is the most per bit.
        // A picture the rest of the file could not fill is not made, like
        // one too large to make.
        if (static_cast<std::uint64_t>(width) * height > file.BytesLeft() * 8 * 4096 / 12 + 65536)
            break;
        // No picture to decode into: nothing more to do with this file.
        if (!Create(width, height, 8, -1) || height == 0)
            break;
        if (localTable || globalTable)
            SetGifPalette(table, tableEntries);

        CGifByteSource source(file);
        CGifRowWriter rows(*this, (packed & 0x40) != 0);
        std::unique_ptr<CGifLzwDecoder> decoder(new (std::nothrow) CGifLzwDecoder(source));
        if (decoder)
            decoder->Decode(imageWidth, rows);
        // The first image is the picture: what follows cannot change it.
        break;
    }
    return 1;
}

void CImageImplGif::SetGifPalette(const std::uint8_t* table, int count)
{
    std::uint8_t red[256] = {};
    std::uint8_t green[256] = {};
    std::uint8_t blue[256] = {};
    for (int i = 0; i < count; ++i) {
        red[i] = table[3 * i];
        green[i] = table[3 * i + 1];
        blue[i] = table[3 * i + 2];
    }
    // Transparent drawing needs the transparent entry black and a white entry.
    if (imageTransparent != -1) {
        red[imageTransparent] = green[imageTransparent] = blue[imageTransparent] = 0;
        for (int i = count; i < 256; ++i)
            red[i] = green[i] = blue[i] = 255;
        // Looked for only now: the transparent entry may have been the white one.
        bool hasWhite = false;
        for (int i = 0; i < 256; ++i)
            hasWhite = hasWhite || (red[i] == 255 && green[i] == 255 && blue[i] == 255);
        if (!hasWhite)
            red[255] = green[255] = blue[255] = 255;
    }
    SetPalette(imageTransparent != -1 ? 256 : count, red, green, blue);
}
