// Checks that the stand-in behaves as the Win32 calls it replaces and that
// the faults the fuzzers are meant to find are really seen: an overrun of a
// global block, a short colour table, a handle freed twice.
#include <windows.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what)
{
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAILED: %s\n", what);
    }
}

// Runs the body in a child; true when it died and its stderr held the text.
bool Dies(const std::function<void()>& body, const char* text)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        body();
        std::_Exit(0);
    }
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool died = !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return died && output.find(text) != std::string::npos;
}

// An 8-bit 4x2 DIB in a global block: header, table of 16-bit indices (as
// image/ leaves it for DIB_PAL_COLORS) and rows, less `shortBy` bytes.
struct Dib {
    HGLOBAL handle;
    unsigned char* data;
    std::size_t size;
};

Dib MakeDib(DWORD colours, std::size_t tableBytes, std::size_t shortBy)
{
    const std::size_t full = 40 + tableBytes + 2 * 4;
    Dib dib;
    dib.size = full - shortBy;
    dib.handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dib.size);
    dib.data = static_cast<unsigned char*>(GlobalLock(dib.handle));
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = 4;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biClrUsed = colours;
    std::memcpy(dib.data, &header, sizeof header);
    return dib;
}

void Memory()
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    bool zero = true;
    for (int i = 0; i < 10; ++i)
        zero = zero && p[i] == 0;
    Check(zero, "GMEM_ZEROINIT gives zeros");
    Check(GlobalSize(h) == 10, "GlobalSize is the size asked for");
    Check(GlobalHandle(p) == h, "GlobalHandle finds the block of its address");
    p[9] = 42;
    Check(GlobalUnlock(h) == FALSE, "the last unlock reports no lock left");
    HGLOBAL grown = GlobalReAlloc(h, 20, 0);
    auto* q = static_cast<unsigned char*>(GlobalLock(grown));
    Check(grown == h && q[9] == 42, "GlobalReAlloc keeps the handle and the bytes");
    Check(GlobalReAlloc(grown, 40, 0) == nullptr, "a locked block does not move");
    GlobalUnlock(grown);
    Check(GlobalFree(grown) == nullptr, "GlobalFree succeeds");

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    Check(empty != nullptr && GlobalLock(empty) == nullptr, "an empty moveable block has no bytes");
    GlobalFree(empty);

    Check(Dies(
              [] {
                  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 10);
                  auto* bytes = static_cast<volatile unsigned char*>(GlobalLock(b));
                  std::printf("%d", bytes[10]);
              },
              "heap-buffer-overflow"),
          "AddressSanitizer sees a read one byte past a global block");
    Check(Dies(
              [] {
                  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 10);
                  GlobalFree(b);
                  GlobalFree(b);
              },
              "GlobalFree of an unknown or freed block"),
          "a block freed twice is reported");
    Check(Dies(
              [] {
                  void* b = LocalAlloc(LMEM_FIXED, 8);
                  static_cast<volatile unsigned char*>(b)[8] = 1;
              },
              "heap-buffer-overflow"),
          "AddressSanitizer sees a write one byte past a local block");
}

void Palettes()
{
    std::vector<unsigned char> memory(4 + 4 * 4);
    auto* logical = reinterpret_cast<LOGPALETTE*>(memory.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 4;
    const BYTE colours[4][3] = {{0, 0, 0}, {10, 10, 10}, {10, 10, 10}, {255, 0, 0}};
    for (int i = 0; i < 4; ++i)
        std::memcpy(memory.data() + 4 + 4 * i, colours[i], 3);
    HPALETTE palette = CreatePalette(logical);
    Check(GetNearestPaletteIndex(palette, RGB(9, 9, 9)) == 1, "of equal entries the first wins");
    Check(GetNearestPaletteIndex(palette, RGB(200, 0, 0)) == 3, "the nearest colour is found");
    Check(GetNearestPaletteIndex(palette, RGB(4, 4, 5)) == 0, "distance is squared RGB");
    PALETTEENTRY entries[8] = {};
    Check(GetPaletteEntries(palette, 2, 8, entries) == 2 && entries[1].peRed == 255,
          "GetPaletteEntries stops at the last entry");
    Check(GetPaletteEntries(palette, 4, 1, entries) == 0, "no entries past the end");
    Check(GetPaletteEntries(palette, 0, 0, nullptr) == 4, "a null array asks for the count");
    Check(GetNearestPaletteIndex(nullptr, 0) == CLR_INVALID, "a null palette fails");

    HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    Check(GetPaletteEntries(stock, 0, 0, nullptr) == 20, "the stock palette has 20 entries");
    Check(GetNearestPaletteIndex(stock, RGB(255, 255, 255)) == 19, "white is the last stock entry");
    Check(DeleteObject(stock) == TRUE && GetPaletteEntries(stock, 0, 0, nullptr) == 20,
          "deleting a stock object changes nothing");

    HDC dc = CreateCompatibleDC(nullptr);
    Check(SelectPalette(dc, palette, FALSE) == stock, "a new DC holds the stock palette");
    Check(DeleteObject(palette) == FALSE, "a selected palette is not deleted");
    Check(RealizePalette(dc) == 4, "RealizePalette maps the selected palette");
    SelectPalette(dc, stock, FALSE);
    DeleteDC(dc);
    Check(DeleteObject(palette) == TRUE, "an unselected palette is deleted");
    Check(Dies([palette] { DeleteObject(palette); }, "DeleteObject of an unknown or deleted"),
          "a palette deleted twice is reported");
}

void Drawing()
{
    HDC dc = CreateCompatibleDC(nullptr);
    {
        Dib dib = MakeDib(0, 2 * 256, 0);
        Check(StretchDIBits(dc, 0, 0, 8, 4, 0, 0, 4, 2, dib.data + 40 + 512,
                            reinterpret_cast<BITMAPINFO*>(dib.data), DIB_PAL_COLORS, SRCCOPY) == 2,
              "StretchDIBits draws a whole DIB");
        Check(SetDIBitsToDevice(dc, 0, 0, 4, 2, 0, 0, 0, 2, dib.data + 40 + 512,
                                reinterpret_cast<BITMAPINFO*>(dib.data), DIB_PAL_COLORS) == 2,
              "SetDIBitsToDevice draws a whole DIB");
        GlobalFree(dib.handle);
    }
    Check(Dies(
              [dc] {
                  Dib dib = MakeDib(0, 2 * 256, 1);
                  StretchDIBits(dc, 0, 0, 8, 4, 0, 0, 1, 1, dib.data + 40 + 512,
                                reinterpret_cast<BITMAPINFO*>(dib.data), DIB_PAL_COLORS, SRCCOPY);
              },
              "heap-buffer-overflow"),
          "StretchDIBits reads every row, even outside the source rectangle");
    Check(Dies(
              [dc] {
                  // 16 entries claimed, room for 15: the rows are elsewhere.
                  Dib dib = MakeDib(16, 2 * 15, 8);
                  std::vector<unsigned char> rows(8);
                  StretchDIBits(dc, 0, 0, 8, 4, 0, 0, 4, 2, rows.data(),
                                reinterpret_cast<BITMAPINFO*>(dib.data), DIB_PAL_COLORS, SRCCOPY);
              },
              "heap-buffer-overflow"),
          "every 16-bit entry of a DIB_PAL_COLORS table is read");
    Check(Dies(
              [dc] {
                  Dib dib = MakeDib(0, 2 * 256, 1);
                  SetDIBitsToDevice(dc, 0, 0, 4, 2, 0, 0, 0, 2, dib.data + 40 + 512,
                                    reinterpret_cast<BITMAPINFO*>(dib.data), DIB_PAL_COLORS);
              },
              "heap-buffer-overflow"),
          "SetDIBitsToDevice reads every line it is given");
    Check(SetStretchBltMode(dc, COLORONCOLOR) == BLACKONWHITE &&
              SetStretchBltMode(dc, COLORONCOLOR) == COLORONCOLOR,
          "SetStretchBltMode returns the previous mode");
    DeleteDC(dc);
}

void Files()
{
    char folder[] = "/tmp/vornelle-standin-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        Check(false, "a temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/file.bin";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD moved = 0;
    Check(file != INVALID_HANDLE_VALUE && WriteFile(file, "abcdef", 6, &moved, nullptr) &&
              moved == 6,
          "CreateFileA and WriteFile");
    LARGE_INTEGER size{};
    Check(GetFileSizeEx(file, &size) && size.QuadPart == 6, "GetFileSizeEx");
    LARGE_INTEGER distance{};
    LARGE_INTEGER position{};
    distance.QuadPart = -2;
    Check(SetFilePointerEx(file, distance, &position, FILE_END) && position.QuadPart == 4,
          "SetFilePointerEx from the end");
    distance.QuadPart = -10;
    Check(!SetFilePointerEx(file, distance, &position, FILE_CURRENT),
          "a seek before the start fails");
    char buffer[8] = {};
    Check(ReadFile(file, buffer, 8, &moved, nullptr) && moved == 2 && buffer[0] == 'e',
          "ReadFile stops at the end");
    Check(ReadFile(file, buffer, 8, &moved, nullptr) && moved == 0, "ReadFile at the end reads 0");
    Check(CloseHandle(file) == TRUE, "CloseHandle");
    Check(CreateFileA((path + ".missing").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                      nullptr) == INVALID_HANDLE_VALUE,
          "a missing file does not open");
    Check(CreateFileA(folder, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
              INVALID_HANDLE_VALUE,
          "a folder does not open");
    std::remove(path.c_str());
    ::rmdir(folder);
}

} // namespace

int main()
{
    Memory();
    Palettes();
    Drawing();
    Files();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
