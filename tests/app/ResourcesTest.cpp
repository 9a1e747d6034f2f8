// The resources compiled into the program, read from its file as data.
#include "resources/resource.h"
#include "support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = ::LoadLibraryExA(BesideTests("vornelle.scr").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override
    {
        if (module != nullptr)
            ::FreeLibrary(module);
    }

    std::string String(UINT id) const
    {
        char text[256] = {};
        const int length = ::LoadStringA(module, id, text, sizeof text);
        return std::string(text, length);
    }

    // The bytes of one resource, or an empty range.
    const std::uint8_t* Data(const char* type, UINT id, DWORD* size) const
    {
        HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
        *size = info ? ::SizeofResource(module, info) : 0;
        HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
        return loaded ? static_cast<const std::uint8_t*>(::LockResource(loaded)) : nullptr;
    }

    static unsigned Word(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
    static std::uint32_t Dword(const std::uint8_t* p) { return Word(p) | (Word(p + 2) << 16); }

    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, StringTableHoldsTheDescriptionAndTheAboutItem)
{
    EXPECT_EQ(String(IDS_DESCRIPTION), "Vornelle Screensaver");
    EXPECT_EQ(String(IDS_ABOUTBOX), "&About Kestrine...");
    EXPECT_EQ(String(57344), ""); // no application title: the file name decides
}

TEST_F(ResourcesTest, IconHasA32And16PixelImageIn16Colours)
{
    DWORD size = 0;
    const std::uint8_t* group = Data(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, IDI_VORNELLE, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_GE(size, 6u + 2 * 14u);
    ASSERT_EQ(Word(group + 4), 2u);
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t* entry = group + 6 + 14 * i;
        const unsigned side = i == 0 ? 32 : 16;
        EXPECT_EQ(entry[0], side);
        EXPECT_EQ(entry[1], side);
        EXPECT_EQ(entry[2], 16);        // colours
        EXPECT_EQ(Word(entry + 6), 4u); // bits per pixel
        DWORD imageSize = 0;
        const std::uint8_t* image =
            Data(MAKEINTRESOURCEA(3) /* RT_ICON */, Word(entry + 12), &imageSize);
        ASSERT_NE(image, nullptr);
        ASSERT_GE(imageSize, 40u);
        EXPECT_EQ(Dword(image + 4), side);     // width
        EXPECT_EQ(Dword(image + 8), 2 * side); // colour and mask heights
        EXPECT_EQ(Word(image + 14), 4u);
    }
}

TEST_F(ResourcesTest, CursorIsWhollyTransparentWithHotspotAtTheCorner)
{
    DWORD size = 0;
    const std::uint8_t* group = Data(MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */, IDC_BLANK, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(Word(group + 4), 1u);
    DWORD imageSize = 0;
    const std::uint8_t* cursor =
        Data(MAKEINTRESOURCEA(1) /* RT_CURSOR */, Word(group + 6 + 12), &imageSize);
    ASSERT_NE(cursor, nullptr);
    // Hotspot, header, two-entry table, then the XOR and AND masks of 32 rows of 4 bytes.
    const DWORD masks = 4 + 40 + 8;
    ASSERT_EQ(imageSize, masks + 2 * 128u);
    EXPECT_EQ(Word(cursor), 0u);
    EXPECT_EQ(Word(cursor + 2), 0u);
    const std::uint8_t* header = cursor + 4;
    EXPECT_EQ(Dword(header + 4), 32u);
    EXPECT_EQ(Dword(header + 8), 64u);
    EXPECT_EQ(Word(header + 14), 1u);
    for (DWORD i = 0; i < 128; ++i) {
        ASSERT_EQ(cursor[masks + i], 0x00) << "XOR byte " << i;
        ASSERT_EQ(cursor[masks + 128 + i], 0xFF) << "AND byte " << i;
    }
}

TEST_F(ResourcesTest, VersionResourceNamesTheProductAtTheProjectsVersion)
{
    const std::string path = BesideTests("vornelle.scr");
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::string info(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, &info[0]));
    const auto text = [&info](const char* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!::VerQueryValueA(info.data(), key.c_str(), &value, &length) || length == 0)
            return std::string("(none)");
        return std::string(static_cast<const char*>(value));
    };
    const struct {
        const char* name;
        const char* value;
    } fields[] = {
        {"FileDescription", "Vornelle Screensaver"},
        {"ProductName", "Vornelle Screensaver"},
        {"CompanyName", "Ombrelune"},
        {"LegalCopyright", "Copyright (c) 2026 Ombrelune"},
        {"OriginalFilename", "vornelle.scr"},
        {"FileVersion", VORNELLE_PROJECT_VERSION},
        {"ProductVersion", VORNELLE_PROJECT_VERSION},
    };
    for (const auto& field : fields)
        EXPECT_EQ(text(field.name), field.value) << field.name;

    void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", &fixed, &length));
    const auto* version = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    char dotted[64];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u", HIWORD(version->dwFileVersionMS),
                  LOWORD(version->dwFileVersionMS), HIWORD(version->dwFileVersionLS));
    EXPECT_STREQ(dotted, VORNELLE_PROJECT_VERSION);
}

TEST_F(ResourcesTest, ManifestAsksForNoElevationAndSystemDpiAndKeepsTheClassicLook)
{
    DWORD size = 0;
    const std::uint8_t* data = Data(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1, &size);
    ASSERT_NE(data, nullptr);
    const std::string manifest(reinterpret_cast<const char*>(data), size);
    for (const char* part : {"level=\"asInvoker\"", ">true</dpiAware>", ">system</dpiAwareness>",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos) << "visual styles";
}

} // namespace
