// Times CImageImplBmp::Read against one plain ReadFile of the same file, so
// that the reader's own cost shows as a ratio rather than as disk speed.
// Usage: bmp_read_bench [more.bmp ...]

#include "BenchSupport.h"
#include "image/CImageImplBmp.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kRuns = 7;

// A pattern rather than a flat colour, in case a reader ever compresses.
bool MakeBitmap(const std::string& path, int depth)
{
    const int width = 4000, height = 3000;
    CImageImplBmp image;
    if (image.Create(width, height, depth, -1) == 0)
        return false;
    if (depth <= 8)
        image.SetGreyPalette(256);
    const int rowBytes = image.GetRowBytes();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetBits() + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < rowBytes; ++x)
            row[x] = static_cast<std::uint8_t>(x * 7 + y * 3);
    }
    return image.Write(path) == 1;
}

// Each timing is in milliseconds, or negative when the read failed.
double TimeOurs(const std::string& path)
{
    const double start = NowMs();
    CImageImplBmp image;
    const bool read = image.Read(path) == 1;
    return read ? NowMs() - start : -1;
}

bool ReadWhole(const std::string& path, void* buffer, std::size_t size)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    const BOOL ok = ::ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr);
    ::CloseHandle(file);
    return ok && got == size;
}

// The floor: one ReadFile into memory that is already mapped.
double TimePlain(const std::string& path, std::vector<std::uint8_t>& buffer)
{
    const double start = NowMs();
    return ReadWhole(path, buffer.data(), buffer.size()) ? NowMs() - start : -1;
}

// The floor for a reader that hands out a new block: mapping its pages on
// first touch costs more than the copy itself.
double TimeFresh(const std::string& path, std::size_t size)
{
    const double start = NowMs();
    HGLOBAL handle = ::GlobalAlloc(GMEM_MOVEABLE, size);
    void* data = handle ? ::GlobalLock(handle) : nullptr;
    const bool read = data != nullptr && ReadWhole(path, data, size);
    const double elapsed = NowMs() - start;
    if (data != nullptr)
        ::GlobalUnlock(handle);
    if (handle != nullptr)
        ::GlobalFree(handle);
    return read ? elapsed : -1;
}

std::int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Measure(const std::string& name, const std::string& path)
{
    const std::int64_t size = FileSize(path);
    if (size <= 0) {
        std::printf("%-22s missing\n", name.c_str());
        return false;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
    std::vector<double> times[3];
    // Run 0 warms the cache and the allocator and is not counted; the order
    // rotates so that no reader always follows the same one.
    for (int run = 0; run <= kRuns; ++run) {
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (run + turn) % 3;
            const double ms = which == 0   ? TimeOurs(path)
                              : which == 1 ? TimePlain(path, buffer)
                                           : TimeFresh(path, buffer.size());
            if (ms < 0) {
                std::printf("%-22s failed to read\n", name.c_str());
                return false;
            }
            if (run > 0)
                times[which].push_back(ms);
        }
    }
    const double ours = Median(times[0]), plain = Median(times[1]), fresh = Median(times[2]);
    std::printf("%-22s %7.1f %8.2f %8.2f %6.2f %8.2f %6.2f\n", name.c_str(),
                static_cast<double>(size) / (1024.0 * 1024.0), ours, plain, ours / plain, fresh,
                ours / fresh);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = TempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "no temp folder\n");
        return 1;
    }
    const std::string temp8 = folder + "bmp_read_bench_8.bmp";
    const std::string temp24 = folder + "bmp_read_bench_24.bmp";
    if (!MakeBitmap(temp8, 8) || !MakeBitmap(temp24, 24)) {
        std::fprintf(stderr, "could not write the bitmaps in %s\n", folder.c_str());
        return 1;
    }

    std::printf("Files warm in the OS cache; median of %d runs after one warm-up. plain: one\n"
                "ReadFile into a buffer already in use; fresh: the same into a new GlobalAlloc\n"
                "block, as our reader must. Target: ours/plain at most 1.2.\n",
                kRuns);
    std::printf("%-22s %7s %8s %8s %6s %8s %6s\n", "file", "MiB", "ours ms", "plain ms", "/plain",
                "fresh ms", "/fresh");
    bool ok = Measure("4000x3000 8-bit", temp8);
    ok = Measure("4000x3000 24-bit", temp24) && ok;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        ok = Measure(path.substr(path.find_last_of("/\\") + 1), path) && ok;
    }

    ::DeleteFileA(temp8.c_str());
    ::DeleteFileA(temp24.c_str());
    return ok ? 0 : 1;
}
