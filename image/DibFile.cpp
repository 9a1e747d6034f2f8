#include "DibFile.h"

#include "ByteView.h"
#include "CWin32File.h"
#include "Dib.h"
#include "DibRle.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const std::size_t kFileHeaderSize = 14;
const std::size_t kCoreHeaderSize = 12;
// Longer info headers than the largest published one (124 bytes) are not bitmaps.
const std::size_t kMaxInfoHeaderSize = 1024;
const std::uint16_t kBitmapType = 0x4D42; // "BM"
const std::size_t kPieceSize = 32768;
// RLE codes at most 255 pixels in two bytes.
const std::uint64_t kMaxRleExpansion = 256;

bool SupportedLayout(std::uint32_t depth, std::uint32_t compression)
{
    switch (compression) {
    case BI_RGB:
        return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
    case BI_RLE8:
        return depth == 8;
    case BI_RLE4:
        return depth == 4;
    case BI_BITFIELDS:
        return depth == 16 || depth == 32;
    default:
        return false;
    }
}

std::uint64_t RowDataSize(const CGlobalBlock& dib)
{
    const std::int64_t height = dib.I32(dib::kHeight);
    const std::int64_t rowBytes = DibRowBytes(dib.U16(dib::kBitCount), dib.I32(dib::kWidth));
    return static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(std::abs(height));
}

void TurnRowsOver(std::uint8_t* rows, std::size_t rowBytes, std::size_t height)
{
    std::vector<std::uint8_t> swap(rowBytes);
    for (std::size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(swap.data(), rows + top * rowBytes, rowBytes);
        std::memcpy(rows + top * rowBytes, rows + bottom * rowBytes, rowBytes);
        std::memcpy(rows + bottom * rowBytes, swap.data(), rowBytes);
    }
}

// OS/2 2.x headers may stop after any of their fields from the bit count on.
// 40 is ours, and 52 and 56 are the Windows headers that add masks.
bool IsOs2InfoHeaderSize(std::uint32_t size)
{
    if (size < 16 || size > 64 || size == 40 || size == 52 || size == 56)
        return false;
    return size % 4 == 0 || (size > 40 && size <= 48 && size % 2 == 0);
}

} // namespace

std::size_t DibPaletteSize(const CGlobalBlock& dib)
{
    const std::size_t entry = dib.U32(dib::kSize) == kCoreHeaderSize ? 3 : 4;
    const std::uint32_t used = dib.U32(dib::kClrUsed);
    const std::uint16_t depth = dib.U16(dib::kBitCount);
    const std::uint32_t count = used != 0 ? used : (depth <= 8 ? 1u << depth : 0);
    return entry * count;
}

CGlobalBlock ReadDibHeader(CWin32File& file)
{
    if (!file.IsOpen())
        return CGlobalBlock();
    const std::int64_t start = file.Position();
    std::uint8_t fileHeader[kFileHeaderSize];
    if (start < 0 || file.Read(fileHeader, sizeof fileHeader) < sizeof fileHeader)
        return CGlobalBlock();
    std::uint32_t offBits = 0;
    if (ByteView(fileHeader, sizeof fileHeader).U16(0) == kBitmapType)
        offBits = ByteView(fileHeader, sizeof fileHeader).U32(10);
    else
        file.Seek(start, FILE_BEGIN);

    std::uint8_t info[dib::kInfoHeaderSize];
    if (file.Read(info, sizeof info) < sizeof info)
        return CGlobalBlock();
    const std::uint32_t headerSize = ByteView(info, sizeof info).U32(0);
    const bool core = headerSize == kCoreHeaderSize;
    const bool os2 = IsOs2InfoHeaderSize(headerSize);
    if (!core && !os2 && (headerSize < dib::kInfoHeaderSize || headerSize > kMaxInfoHeaderSize))
        return CGlobalBlock();
    // An OS/2 header shorter than ours: the fields it lacks are zero.
    if (os2 && headerSize < dib::kInfoHeaderSize)
        std::memset(info + headerSize, 0, dib::kInfoHeaderSize - headerSize);
    const ByteView header(info, sizeof info);

    std::int32_t width, height;
    std::uint16_t depth;
    std::uint32_t compression = BI_RGB, sizeImage = 0, colorsUsed = 0;
    if (core) {
        width = header.U16(4);
        height = header.U16(6);
        depth = header.U16(10);
    } else {
        width = header.I32(4);
        height = header.I32(8);
        depth = header.U16(14);
        compression = header.U32(16);
        sizeImage = header.U32(20);
        colorsUsed = header.U32(32);
    }
    // The file now stands right after the info header, whatever its length.
    if (core || os2)
        file.Seek(static_cast<std::int64_t>(headerSize) - dib::kInfoHeaderSize, FILE_CURRENT);
    // Sizes whose rows could not be addressed, or that no file could fill.
    const std::int64_t rowBytes = DibRowBytes(depth, width);
    const bool topDown = height < 0;
    const std::uint64_t rows = topDown ? -static_cast<std::int64_t>(height) : height;
    // OS/2's compression 3 is Huffman coding, not bit fields.
    const bool layout =
        SupportedLayout(depth, compression) && !(os2 && compression == BI_BITFIELDS);
    // Deeper pictures may carry a table of any length to speed up drawing on
    // palette screens; it is skipped, not kept.
    const bool skipTable = depth > 8;
    if (width <= 0 || height == 0 || rowBytes <= 0 || !layout ||
        (topDown && compression != BI_RGB && compression != BI_BITFIELDS) ||
        static_cast<std::uint64_t>(width) * rows > dib::kMaxPixels ||
        (colorsUsed > 256 && !skipTable))
        return CGlobalBlock();

    std::uint32_t tableEntries = colorsUsed;
    if (tableEntries == 0 && depth <= 8)
        tableEntries = 1u << depth;
    const std::uint64_t rowData = static_cast<std::uint64_t>(rowBytes) * rows;
    if (compression == BI_RGB || compression == BI_BITFIELDS)
        sizeImage = static_cast<std::uint32_t>(rowData); // what the rows really need

    // The block: our header, then the masks (three 4-byte entries) or the table.
    const bool ownHeader = core || os2;
    const std::size_t blockHeader = ownHeader ? dib::kInfoHeaderSize : headerSize;
    const std::uint32_t blockEntries =
        compression == BI_BITFIELDS ? 3 : (colorsUsed > 256 ? 0 : tableEntries);
    CGlobalBlock block = CGlobalBlock::Allocate(blockHeader + 4 * blockEntries, true);
    if (!block)
        return block;
    std::memcpy(block.data(), info, dib::kInfoHeaderSize);
    if (ownHeader) {
        std::memset(block.data(), 0, dib::kInfoHeaderSize);
        block.SetU32(dib::kSize, dib::kInfoHeaderSize);
        block.SetU32(dib::kWidth, static_cast<std::uint32_t>(width));
        block.SetU32(dib::kHeight, static_cast<std::uint32_t>(height));
        block.SetU16(dib::kPlanes, header.U16(core ? 8 : 12));
        block.SetU16(dib::kBitCount, depth);
        block.SetU32(dib::kCompression, compression);
    } else if (headerSize > dib::kInfoHeaderSize) {
        // The rest of a longer header: kept, so that the table follows it.
        file.Read(block.At(dib::kInfoHeaderSize, 0), headerSize - dib::kInfoHeaderSize);
    }
    block.SetU32(dib::kSizeImage, sizeImage);
    // GDI reads biClrUsed entries behind the masks too: the masks are not a table.
    block.SetU32(dib::kClrUsed, compression == BI_BITFIELDS ? 0 : blockEntries);

    std::uint8_t* table = block.At(blockHeader, 4 * blockEntries);
    std::uint64_t unread = 0; // table entries left in the file
    if (compression == BI_BITFIELDS && headerSize >= dib::kInfoHeaderSize + 12) {
        std::memcpy(table, block.At(dib::kInfoHeaderSize, 12), 12); // masks inside the header
        unread = colorsUsed;
    } else if (compression == BI_BITFIELDS) {
        file.Read(table, 12);
        unread = colorsUsed;
    } else if (core) {
        // Widen 3-byte entries in place, from the last to the first.
        file.Read(table, 3 * blockEntries);
        for (std::uint32_t i = blockEntries; i-- > 0;) {
            table[4 * i + 3] = 0;
            table[4 * i + 2] = table[3 * i + 2];
            table[4 * i + 1] = table[3 * i + 1];
            table[4 * i] = table[3 * i];
        }
    } else {
        file.Read(table, 4 * blockEntries);
        unread = colorsUsed - std::min(colorsUsed, blockEntries);
    }
    if (offBits == 0 && unread != 0)
        file.Seek(static_cast<std::int64_t>(4 * unread), FILE_CURRENT);
    if (offBits != 0)
        file.Seek(start + offBits, FILE_BEGIN);
    return block;
}

CGlobalBlock ReadDibFile(const std::string& path)
{
    CWin32File file;
    if (!file.OpenForReading(path))
        return CGlobalBlock();
    CGlobalBlock block = ReadDibHeader(file);
    if (!block)
        return block;

    const std::int64_t position = file.Position();
    const std::int64_t size = file.Size();
    const std::uint64_t available = position >= 0 && size > position ? size - position : 0;
    const std::uint32_t compression = block.U32(dib::kCompression);
    const bool compressed = compression == BI_RLE4 || compression == BI_RLE8;
    const std::uint64_t rowData = RowDataSize(block);
    // A file that holds far less than its header announces is not a picture:
    // refuse it before allocating what it claims.
    if (compressed ? rowData > kMaxRleExpansion * available + 65536
                   : rowData > 4 * available + 65536)
        return CGlobalBlock();

    const std::size_t rowsOffset = block.size();
    if (!block.Resize(rowsOffset + static_cast<std::size_t>(rowData)))
        return CGlobalBlock();
    std::uint8_t* rows = block.At(rowsOffset, static_cast<std::size_t>(rowData));
    if (compressed) {
        std::uint64_t packedSize = block.U32(dib::kSizeImage);
        if (packedSize == 0 || packedSize > available)
            packedSize = available;
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(packedSize));
        packed.resize(file.Read(packed.data(), packed.size()));
        std::memset(rows, 0, static_cast<std::size_t>(rowData));
        DecodeDibRle(packed.data(), packed.size(), block.U16(dib::kBitCount),
                     block.I32(dib::kWidth), block.I32(dib::kHeight), rows,
                     static_cast<std::size_t>(
                         DibRowBytes(block.U16(dib::kBitCount), block.I32(dib::kWidth))));
        block.SetU32(dib::kCompression, BI_RGB);
    } else {
        // Rows the file does not supply are black, not whatever memory held.
        // Zeroing first also maps the new block's pages, which under Wine
        // costs far less here than inside ReadFile.
        std::memset(rows, 0, static_cast<std::size_t>(rowData));
        file.Read(rows, static_cast<std::size_t>(rowData));
    }
    block.SetU32(dib::kSizeImage, static_cast<std::uint32_t>(rowData));
    const std::int32_t height = block.I32(dib::kHeight);
    if (height < 0) {
        const std::size_t rowCount = static_cast<std::size_t>(-static_cast<std::int64_t>(height));
        TurnRowsOver(rows, static_cast<std::size_t>(rowData) / rowCount, rowCount);
        block.SetU32(dib::kHeight, static_cast<std::uint32_t>(rowCount));
    }
    return block;
}

std::size_t WriteHuge(ByteSink& file, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t left = size;
    while (left > kPieceSize) {
        if (file.Write(bytes, kPieceSize) != kPieceSize)
            return 0;
        bytes += kPieceSize;
        left -= kPieceSize;
    }
    return file.Write(bytes, left) == left ? size : 0;
}

int WriteDibFile(const std::string& path, const CGlobalBlock& dib)
{
    if (!dib)
        return 0;
    CWin32File file;
    if (!file.Create(path))
        return 0;
    const std::uint64_t rowsOffset = DibRowsOffset(dib);
    const std::uint64_t blockBytes = rowsOffset + dib.U32(dib::kSizeImage);
    std::uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
    const std::uint32_t fileSize = static_cast<std::uint32_t>(kFileHeaderSize + blockBytes);
    const std::uint32_t offBits = static_cast<std::uint32_t>(kFileHeaderSize + rowsOffset);
    for (int i = 0; i < 4; ++i) {
        fileHeader[2 + i] = static_cast<std::uint8_t>(fileSize >> (8 * i));
        fileHeader[10 + i] = static_cast<std::uint8_t>(offBits >> (8 * i));
    }
    // A full disk is a failure, not a saved picture.
    const bool headerWritten = file.Write(fileHeader, sizeof fileHeader) == sizeof fileHeader;
    // Never more than the block holds, whatever its header says.
    const std::size_t bytes =
        static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, dib.size()));
    const bool written = headerWritten && WriteHuge(file, dib.data(), bytes) == bytes;
    return file.Close() && written ? 1 : 0;
}

HPALETTE CreateDibPalette(const CGlobalBlock& dib, BYTE flags)
{
    const std::uint32_t count = dib.U32(dib::kClrUsed) & 0xFFFF;
    if (count == 0)
        return nullptr;
    std::vector<std::uint8_t> memory(offsetof(LOGPALETTE, palPalEntry) + 4 * count);
    auto* logical = reinterpret_cast<LOGPALETTE*>(memory.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    std::uint8_t* entries = memory.data() + offsetof(LOGPALETTE, palPalEntry);
    // The table follows the header, whatever its length.
    const std::size_t table = dib.U32(dib::kSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = table + 4 * i;
        entries[4 * i] = dib.At(entry + 2) ? *dib.At(entry + 2) : 0;
        entries[4 * i + 1] = dib.At(entry + 1) ? *dib.At(entry + 1) : 0;
        entries[4 * i + 2] = dib.At(entry) ? *dib.At(entry) : 0;
        entries[4 * i + 3] = flags;
    }
    return ::CreatePalette(logical);
}
