#include "BmpBuilder.h"

#include "image/CImageImpl.h"
#include "support/TestPaths.h"

#include "framework/CDC.h"

#include <windows.h>

#include <gtest/gtest.h>

BmpBuilder::~BmpBuilder()
{
    if (!m_path.empty())
        ::DeleteFileA(m_path.c_str());
}

std::vector<std::uint8_t> BmpBuilder::Padded(std::initializer_list<std::vector<std::uint8_t>> list)
{
    std::vector<std::uint8_t> out;
    for (const auto& row : list) {
        out.insert(out.end(), row.begin(), row.end());
        out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
    }
    return out;
}

std::vector<std::uint8_t> BmpBuilder::Bytes() const
{
    std::vector<std::uint8_t> out(lead, 0x5A);
    const auto put = [&out](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const bool core = headerSize == 12;
    const std::size_t entry = entryBytes != 0 ? entryBytes : (core ? 3 : 4);
    const std::uint64_t rowsAt = 14 + headerSize + entry * table.size() + gap;
    if (fileHeader) {
        put('B', 1);
        put('M', 1);
        put(rowsAt + rows.size(), 4);
        put(0, 4);
        put(offBits < 0 ? rowsAt : static_cast<std::uint64_t>(offBits), 4);
    }
    const std::size_t headerAt = out.size();
    put(headerSize, 4);
    if (core) {
        put(static_cast<std::uint32_t>(width), 2);
        put(static_cast<std::uint32_t>(height), 2);
        put(planes, 2);
        put(depth, 2);
    } else {
        for (std::uint32_t field :
             {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
              planes | static_cast<std::uint32_t>(depth) << 16, compression, sizeImage, 0u, 0u,
              clrUsed, 0u})
            put(field, 4);
        for (std::uint32_t field : headerExtra)
            put(field, 4);
        // An OS/2 header shorter than ours stops after its last field.
        if (headerSize > 12 && headerSize < 40)
            out.resize(headerAt + headerSize);
        // Absurd sizes keep the 40 bytes written.
        while (out.size() - headerAt < headerSize && headerSize <= 1024)
            out.push_back(0);
    }
    for (std::uint32_t value : table)
        put(value, static_cast<int>(entry));
    out.insert(out.end(), gap, 0xEE);
    out.insert(out.end(), rows.begin(), rows.end());
    for (const auto& [offset, value] : patch)
        if (offset < out.size())
            out[offset] = value;
    if (keep < out.size())
        out.resize(keep);
    return out;
}

const std::string& BmpBuilder::Save(const std::string& path)
{
    static unsigned counter = 0;
    if (!m_path.empty())
        ::DeleteFileA(m_path.c_str());
    m_path = !path.empty() ? path
                           : TemporaryDirectory() + "vornelle_bmp_" +
                                 std::to_string(::GetCurrentProcessId()) + "_" +
                                 std::to_string(++counter) + ".bmp";
    const std::vector<std::uint8_t> bytes = Bytes();
    HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    EXPECT_TRUE(ok) << m_path;
    return m_path;
}

std::uint32_t PixelRgb(const CImageImpl& image, int x, int y)
{
    std::uint8_t red = 0, green = 0, blue = 0;
    if (!image.GetPixelRGB(x, y, &red, &green, &blue))
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

std::vector<std::uint32_t> DrawnPixels(CImageImpl& picture)
{
    HDC memory = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.GetWidth();
    info.bmiHeader.biHeight = picture.GetHeight(); // bottom-up, as the picture counts
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
    HPALETTE oldPalette = nullptr;
    if (picture.GetPalette() != nullptr)
        oldPalette = ::SelectPalette(memory, picture.GetPalette()->GetSafeHandle(), TRUE);
    CDC dc(memory);
    picture.StretchDraw(&dc, 0, 0, -1, -1, 0, 0, -1, -1);
    ::GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> pixels(first, first + picture.GetWidth() * picture.GetHeight());
    if (oldPalette != nullptr)
        ::SelectPalette(memory, oldPalette, TRUE);
    ::SelectObject(memory, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    return pixels;
}

void ExpectReadableAndDrawable(CImageImpl& image)
{
    ASSERT_TRUE(image.HasPicture());
    ASSERT_GT(image.GetWidth(), 0);
    ASSERT_GT(image.GetHeight(), 0);
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            std::uint8_t red, green, blue;
            image.GetPixelIndex(x, y);
            image.GetPixelRGB(x, y, &red, &green, &blue);
        }
    }
    HDC memory = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = 32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    CDC dc(memory);
    EXPECT_EQ(image.StretchDraw(&dc, 0, 0, 32, 32, 0, 0, -1, -1), 1);
    EXPECT_EQ(image.Draw(&dc, 0, 0, -1, -1, 0, 0), 1);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
}
