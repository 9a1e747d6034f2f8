#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// A handle that was never handed out, or was freed already, is a bug in the
// caller: Windows would only fail the call, but a fuzzer must hear of it.
[[noreturn]] void Fault(const char* what, const void* handle)
{
    std::fprintf(stderr, "win32 stand-in: %s (handle %p)\n", what, handle);
    std::abort();
}

// Not zero, so that a reader that counts on fresh memory being zero shows it.
const unsigned char kFreshByte = 0xA5;

// ---- global and local memory ----------------------------------------------

// Every block is its own heap block of exactly the size asked for, so that
// AddressSanitizer reports a read or write one byte past its end.
struct GlobalRecord {
    unsigned char* data;
    SIZE_T size;
    unsigned locks;
    bool moveable;
};

std::unordered_map<HGLOBAL, GlobalRecord*>& Globals()
{
    static std::unordered_map<HGLOBAL, GlobalRecord*> globals;
    return globals;
}

std::unordered_map<const void*, HGLOBAL>& GlobalsByData()
{
    static std::unordered_map<const void*, HGLOBAL> byData;
    return byData;
}

GlobalRecord* FindGlobal(HGLOBAL memory, const char* call)
{
    const auto found = Globals().find(memory);
    if (found == Globals().end())
        Fault(call, memory);
    return found->second;
}

unsigned char* AllocateBytes(SIZE_T bytes, bool zero)
{
    // Either gives a block of its own for 0 bytes, none of which may be
    // touched; calloc leaves large zeroed blocks unmapped until used.
    if (zero)
        return static_cast<unsigned char*>(std::calloc(1, bytes));
    auto* data = static_cast<unsigned char*>(std::malloc(bytes));
    if (data != nullptr)
        std::memset(data, kFreshByte, bytes);
    return data;
}

std::unordered_set<HLOCAL>& Locals()
{
    static std::unordered_set<HLOCAL> locals;
    return locals;
}

// ---- files ----------------------------------------------------------------

struct FileRecord {
    int fd;
};

std::unordered_set<HANDLE>& Files()
{
    static std::unordered_set<HANDLE> files;
    return files;
}

FileRecord* FindFile(HANDLE file, const char* call)
{
    if (Files().count(file) == 0)
        Fault(call, file);
    return static_cast<FileRecord*>(file);
}

// ---- palettes and device contexts -----------------------------------------

struct PaletteRecord {
    std::vector<PALETTEENTRY> entries;
    bool stock;
};

std::unordered_set<HPALETTE>& Palettes()
{
    static std::unordered_set<HPALETTE> palettes;
    return palettes;
}

// The twenty static colours of the system palette, as GDI's stock palette has them.
PaletteRecord& DefaultPalette()
{
    static PaletteRecord palette = [] {
        const BYTE colours[20][3] = {
            {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
            {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
            {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
            {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
        };
        PaletteRecord record{{}, true};
        for (const auto& c : colours)
            record.entries.push_back({c[0], c[1], c[2], 0});
        return record;
    }();
    return palette;
}

HPALETTE DefaultPaletteHandle()
{
    HPALETTE handle = reinterpret_cast<HPALETTE>(&DefaultPalette());
    Palettes().insert(handle);
    return handle;
}

PaletteRecord* FindPalette(HPALETTE palette, const char* call)
{
    if (palette == DefaultPaletteHandle())
        return &DefaultPalette();
    if (Palettes().count(palette) == 0)
        Fault(call, palette);
    return reinterpret_cast<PaletteRecord*>(palette);
}

struct DcRecord {
    HPALETTE palette;
    int stretchMode;
};

std::unordered_set<HDC>& Dcs()
{
    static std::unordered_set<HDC> dcs;
    return dcs;
}

DcRecord* FindDc(HDC dc, const char* call)
{
    if (Dcs().count(dc) == 0)
        Fault(call, dc);
    return reinterpret_cast<DcRecord*>(dc);
}

bool SelectedSomewhere(HPALETTE palette)
{
    for (HDC dc : Dcs()) {
        if (reinterpret_cast<DcRecord*>(dc)->palette == palette)
            return true;
    }
    return false;
}

// ---- reading what the drawing calls read -----------------------------------

DWORD g_drawChecksum = 0;

// Every byte is loaded, so an overrun of the block faults here, where GDI
// would have read it.
void ReadBytes(const void* memory, std::uint64_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(memory);
    std::uint64_t sum = g_drawChecksum;
    std::uint64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        sum = sum * 31 + word;
    }
    for (; i < count; ++i)
        sum = sum * 31 + bytes[i];
    g_drawChecksum = static_cast<DWORD>(sum ^ (sum >> 32));
}

std::uint32_t LoadU32(const void* at)
{
    const auto* b = static_cast<const unsigned char*>(at);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint16_t LoadU16(const void* at)
{
    const auto* b = static_cast<const unsigned char*>(at);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

struct DibLayout {
    std::int64_t width;
    std::int64_t height; // rows, whatever their order
    unsigned depth;
    DWORD compression;
    DWORD sizeImage;
    std::uint64_t stride;
};

bool ValidLayout(const DibLayout& dib)
{
    if (dib.width <= 0 || dib.height == 0)
        return false;
    switch (dib.compression) {
    case BI_RGB:
        return dib.depth == 1 || dib.depth == 4 || dib.depth == 8 || dib.depth == 16 ||
               dib.depth == 24 || dib.depth == 32;
    case BI_RLE8:
        return dib.depth == 8;
    case BI_RLE4:
        return dib.depth == 4;
    case BI_BITFIELDS:
        return dib.depth == 16 || dib.depth == 32;
    default:
        return false;
    }
}

// Reads the header and the colour table as GDI takes them in: a header of
// biSize bytes (at least room for the three masks of BI_BITFIELDS behind a
// 40-byte one), then biClrUsed entries (at most 256; 1 << depth up to 8 bits
// when 0), each a 16-bit palette index for DIB_PAL_COLORS. False when GDI
// would refuse the header.
bool ReadBitmapInfo(const BITMAPINFO* info, UINT colourUse, DibLayout& dib, HDC dc)
{
    if (info == nullptr || colourUse > DIB_PAL_COLORS)
        return false;
    const auto* base = reinterpret_cast<const unsigned char*>(info);
    const DWORD headerSize = LoadU32(base);
    std::uint64_t tableAt;
    std::uint64_t colours;
    std::uint64_t entryBytes;
    if (headerSize == 12) {
        ReadBytes(base, 12);
        dib.width = LoadU16(base + 4);
        dib.height = LoadU16(base + 6);
        dib.depth = LoadU16(base + 10);
        dib.compression = BI_RGB;
        dib.sizeImage = 0;
        tableAt = 12;
        colours = dib.depth <= 8 ? 1u << dib.depth : 0;
        entryBytes = colourUse == DIB_PAL_COLORS ? 2 : 3;
    } else {
        if (headerSize < 40)
            return false;
        ReadBytes(base, 40);
        dib.width = static_cast<LONG>(LoadU32(base + 4));
        dib.height = static_cast<LONG>(LoadU32(base + 8));
        dib.depth = LoadU16(base + 14);
        dib.compression = LoadU32(base + 16);
        dib.sizeImage = LoadU32(base + 20);
        const DWORD used = LoadU32(base + 32);
        tableAt = std::max<std::uint64_t>(headerSize, dib.compression == BI_BITFIELDS ? 52 : 40);
        ReadBytes(base, tableAt);
        colours = std::min<DWORD>(used, 256);
        if (colours == 0 && dib.depth <= 8)
            colours = 1u << dib.depth;
        entryBytes = colourUse == DIB_PAL_COLORS ? 2 : 4;
    }
    if (!ValidLayout(dib))
        return false;
    dib.height = dib.height < 0 ? -dib.height : dib.height;
    dib.stride = (static_cast<std::uint64_t>(dib.width) * dib.depth + 31) / 32 * 4;
    ReadBytes(base + tableAt, colours * entryBytes);
    if (colourUse == DIB_PAL_COLORS) {
        // Indices into the palette selected into the device context.
        const PaletteRecord* palette =
            FindPalette(FindDc(dc, "palette of a DC")->palette, "palette selected into a DC");
        for (std::uint64_t i = 0; i < colours; ++i) {
            const std::uint16_t index = LoadU16(base + tableAt + 2 * i);
            if (index < palette->entries.size())
                g_drawChecksum += palette->entries[index].peRed;
        }
    }
    return true;
}

std::uint64_t WholeImageBytes(const DibLayout& dib)
{
    if (dib.compression == BI_RLE4 || dib.compression == BI_RLE8)
        return dib.sizeImage;
    return dib.stride * static_cast<std::uint64_t>(dib.height);
}

} // namespace

// ---- global and local memory ----------------------------------------------

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    const bool moveable = (flags & GMEM_MOVEABLE) != 0;
    // A moveable block of no bytes exists but cannot be locked, as on Windows.
    unsigned char* data = nullptr;
    if (!moveable || bytes != 0) {
        data = AllocateBytes(bytes, (flags & GMEM_ZEROINIT) != 0);
        if (data == nullptr)
            return nullptr;
    }
    auto* record = new GlobalRecord{data, bytes, 0, moveable};
    // A fixed block's handle is its address.
    HGLOBAL handle = moveable ? static_cast<HGLOBAL>(record) : static_cast<HGLOBAL>(data);
    Globals()[handle] = record;
    if (data != nullptr)
        GlobalsByData()[data] = handle;
    return handle;
}

LPVOID GlobalLock(HGLOBAL memory)
{
    GlobalRecord* record = FindGlobal(memory, "GlobalLock of an unknown block");
    if (record->data == nullptr)
        return nullptr;
    if (record->moveable)
        ++record->locks;
    return record->data;
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    GlobalRecord* record = FindGlobal(memory, "GlobalUnlock of an unknown block");
    if (!record->moveable || record->locks == 0)
        return FALSE;
    return --record->locks != 0;
}

HGLOBAL GlobalHandle(LPCVOID data)
{
    const auto found = GlobalsByData().find(data);
    if (found == GlobalsByData().end())
        Fault("GlobalHandle of an address that starts no block", data);
    return found->second;
}

HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags)
{
    GlobalRecord* record = FindGlobal(memory, "GlobalReAlloc of an unknown block");
    // Only an unlocked moveable block may move; this stand-in always moves it,
    // so that the new size is exact.
    if (!record->moveable || record->locks != 0)
        return bytes == record->size ? memory : nullptr;
    unsigned char* data = nullptr;
    if (bytes != 0) {
        data = AllocateBytes(bytes, (flags & GMEM_ZEROINIT) != 0);
        if (data == nullptr)
            return nullptr;
        if (record->data != nullptr)
            std::memcpy(data, record->data, std::min(bytes, record->size));
    }
    if (record->data != nullptr) {
        GlobalsByData().erase(record->data);
        std::free(record->data);
    }
    record->data = data;
    record->size = bytes;
    if (data != nullptr)
        GlobalsByData()[data] = memory;
    return memory;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    if (memory == nullptr)
        return nullptr;
    GlobalRecord* record = FindGlobal(memory, "GlobalFree of an unknown or freed block");
    // Windows frees a locked block too.
    Globals().erase(memory);
    if (record->data != nullptr) {
        GlobalsByData().erase(record->data);
        std::free(record->data);
    }
    delete record;
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL memory)
{
    return FindGlobal(memory, "GlobalSize of an unknown block")->size;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes)
{
    if ((flags & ~static_cast<UINT>(LMEM_ZEROINIT)) != LMEM_FIXED)
        Fault("LocalAlloc of moveable memory is not modelled", nullptr);
    HLOCAL memory = AllocateBytes(bytes, (flags & LMEM_ZEROINIT) != 0);
    if (memory != nullptr)
        Locals().insert(memory);
    return memory;
}

HLOCAL LocalFree(HLOCAL memory)
{
    if (memory == nullptr)
        return nullptr;
    if (Locals().erase(memory) == 0)
        Fault("LocalFree of an unknown or freed block", memory);
    std::free(memory);
    return nullptr;
}

// ---- files ----------------------------------------------------------------

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, _SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD, HANDLE)
{
    if (name == nullptr)
        return INVALID_HANDLE_VALUE;
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        return INVALID_HANDLE_VALUE;
    }
    const int fd = ::open(name, flags, 0644);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    // CreateFile opens no folder without FILE_FLAG_BACKUP_SEMANTICS.
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = new FileRecord{fd};
    Files().insert(handle);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, _OVERLAPPED* overlapped)
{
    FileRecord* record = FindFile(file, "ReadFile on an unknown handle");
    if (read == nullptr || overlapped != nullptr)
        Fault("ReadFile without a count or with overlapped I/O is not modelled", file);
    *read = 0;
    // A disk file gives all that was asked for, short only at its end.
    while (*read < count) {
        const ssize_t got = ::read(record->fd, static_cast<char*>(buffer) + *read, count - *read);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FALSE;
        if (got == 0)
            break;
        *read += static_cast<DWORD>(got);
    }
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, _OVERLAPPED* overlapped)
{
    FileRecord* record = FindFile(file, "WriteFile on an unknown handle");
    if (written == nullptr || overlapped != nullptr)
        Fault("WriteFile without a count or with overlapped I/O is not modelled", file);
    *written = 0;
    while (*written < count) {
        const ssize_t put =
            ::write(record->fd, static_cast<const char*>(buffer) + *written, count - *written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return FALSE;
        *written += static_cast<DWORD>(put);
    }
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method)
{
    FileRecord* record = FindFile(file, "SetFilePointerEx on an unknown handle");
    const int whence = method == FILE_BEGIN     ? SEEK_SET
                       : method == FILE_CURRENT ? SEEK_CUR
                       : method == FILE_END     ? SEEK_END
                                                : -1;
    if (whence < 0)
        return FALSE;
    // A position before the start fails, as ERROR_NEGATIVE_SEEK does.
    const off_t position = ::lseek(record->fd, static_cast<off_t>(distance.QuadPart), whence);
    if (position < 0)
        return FALSE;
    if (newPosition != nullptr)
        newPosition->QuadPart = position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    FileRecord* record = FindFile(file, "GetFileSizeEx on an unknown handle");
    struct stat info;
    if (size == nullptr || ::fstat(record->fd, &info) != 0)
        return FALSE;
    size->QuadPart = info.st_size;
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    if (Files().erase(object) == 0)
        Fault("CloseHandle of an unknown or closed handle", object);
    auto* record = static_cast<FileRecord*>(object);
    const bool closed = ::close(record->fd) == 0;
    delete record;
    return closed;
}

// ---- palettes --------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* logical)
{
    if (logical == nullptr)
        return nullptr;
    // Every entry is read from the caller's memory, as GDI copies them all.
    const WORD count = logical->palNumEntries;
    const auto* entries =
        reinterpret_cast<const unsigned char*>(logical) + offsetof(LOGPALETTE, palPalEntry);
    auto* record = new PaletteRecord{{}, false};
    record->entries.resize(count);
    for (WORD i = 0; i < count; ++i) {
        record->entries[i].peRed = entries[4 * i];
        record->entries[i].peGreen = entries[4 * i + 1];
        record->entries[i].peBlue = entries[4 * i + 2];
        record->entries[i].peFlags = entries[4 * i + 3];
    }
    HPALETTE handle = reinterpret_cast<HPALETTE>(record);
    Palettes().insert(handle);
    return handle;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries)
{
    if (palette == nullptr)
        return 0;
    const PaletteRecord* record = FindPalette(palette, "GetPaletteEntries of an unknown palette");
    const UINT size = static_cast<UINT>(record->entries.size());
    if (entries == nullptr)
        return size;
    if (start >= size)
        return 0;
    count = std::min(count, size - start);
    std::copy_n(record->entries.begin() + start, count, entries);
    return count;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF colour)
{
    if (palette == nullptr)
        return CLR_INVALID;
    const PaletteRecord* record =
        FindPalette(palette, "GetNearestPaletteIndex of an unknown palette");
    // The smallest squared distance in red, green and blue; the first such entry wins.
    UINT best = 0;
    long bestDistance = LONG_MAX;
    for (UINT i = 0; i < record->entries.size(); ++i) {
        const PALETTEENTRY& e = record->entries[i];
        const long dr = static_cast<long>(e.peRed) - GetRValue(colour);
        const long dg = static_cast<long>(e.peGreen) - GetGValue(colour);
        const long db = static_cast<long>(e.peBlue) - GetBValue(colour);
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

HGDIOBJ GetStockObject(int object)
{
    return object == DEFAULT_PALETTE ? static_cast<HGDIOBJ>(DefaultPaletteHandle()) : nullptr;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (object == nullptr)
        return FALSE;
    HPALETTE palette = static_cast<HPALETTE>(object);
    PaletteRecord* record = FindPalette(palette, "DeleteObject of an unknown or deleted object");
    if (record->stock)
        return TRUE;
    // GDI refuses to delete an object still selected into a device context.
    if (SelectedSomewhere(palette))
        return FALSE;
    Palettes().erase(palette);
    delete record;
    return TRUE;
}

// ---- device contexts and drawing ------------------------------------------

HDC CreateCompatibleDC(HDC)
{
    HDC dc = reinterpret_cast<HDC>(new DcRecord{DefaultPaletteHandle(), BLACKONWHITE});
    Dcs().insert(dc);
    return dc;
}

BOOL DeleteDC(HDC dc)
{
    if (Dcs().erase(dc) == 0)
        Fault("DeleteDC of an unknown or deleted DC", dc);
    delete reinterpret_cast<DcRecord*>(dc);
    return TRUE;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL)
{
    DcRecord* record = FindDc(dc, "SelectPalette into an unknown DC");
    if (palette == nullptr)
        return nullptr;
    FindPalette(palette, "SelectPalette of an unknown palette");
    HPALETTE previous = record->palette;
    record->palette = palette;
    return previous;
}

UINT RealizePalette(HDC dc)
{
    DcRecord* record = FindDc(dc, "RealizePalette on an unknown DC");
    const PaletteRecord* palette = FindPalette(record->palette, "palette selected into a DC");
    for (const PALETTEENTRY& e : palette->entries)
        g_drawChecksum += e.peRed + e.peGreen + e.peBlue;
    return static_cast<UINT>(palette->entries.size());
}

int SetStretchBltMode(HDC dc, int mode)
{
    DcRecord* record = FindDc(dc, "SetStretchBltMode on an unknown DC");
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    const int previous = record->stretchMode;
    record->stretchMode = mode;
    return previous;
}

int SetDIBitsToDevice(HDC dc, int, int, DWORD, DWORD, int, int, UINT startScan, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT colourUse)
{
    FindDc(dc, "SetDIBitsToDevice on an unknown DC");
    DibLayout dib{};
    if (bits == nullptr || !ReadBitmapInfo(info, colourUse, dib, dc))
        return 0;
    // The bits hold the lines from startScan on, as many as the bitmap has.
    const std::uint64_t height = static_cast<std::uint64_t>(dib.height);
    if (startScan >= height)
        return 0;
    lines = static_cast<UINT>(std::min<std::uint64_t>(lines, height - startScan));
    if (dib.compression == BI_RLE4 || dib.compression == BI_RLE8)
        ReadBytes(bits, dib.sizeImage);
    else
        ReadBytes(bits, dib.stride * lines);
    return static_cast<int>(lines);
}

int StretchDIBits(HDC dc, int, int, int, int, int, int, int, int srcHeight, const void* bits,
                  const BITMAPINFO* info, UINT colourUse, DWORD)
{
    FindDc(dc, "StretchDIBits on an unknown DC");
    DibLayout dib{};
    if (bits == nullptr || !ReadBitmapInfo(info, colourUse, dib, dc))
        return 0;
    // GDI takes in the whole image that the header describes, whatever part
    // of it the source rectangle picks.
    ReadBytes(bits, WholeImageBytes(dib));
    return srcHeight < 0 ? -srcHeight : srcHeight;
}

BOOL GdiFlush()
{
    return TRUE;
}

HDC GetDC(HWND)
{
    return nullptr;
}

int ReleaseDC(HWND, HDC)
{
    return 0;
}

HDC BeginPaint(HWND, PAINTSTRUCT* paint)
{
    if (paint != nullptr)
        std::memset(paint, 0, sizeof *paint);
    return nullptr;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*)
{
    return TRUE;
}

DWORD VornelleStandInDrawChecksum()
{
    return g_drawChecksum;
}
