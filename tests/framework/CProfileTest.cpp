#include "framework/CProfile.h"

#include "support/RegistryCleaner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kCompany[] = "VornelleTests";

// Each test keeps its settings under an application name of its own.
class CProfileTest : public ::testing::Test {
protected:
    explicit CProfileTest()
        : m_application(std::string("Profile.") +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          m_cleaner(kCompany, m_application), profile(kCompany, m_application)
    {
    }

    std::string ConfigPath() const { return m_cleaner.Path() + "\\Config"; }

    // Stores a value of any type and length directly.
    void StoreRaw(const char* entry, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, ConfigPath().c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExA(key, entry, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    // The stored type and bytes of a value.
    bool LoadRaw(const char* entry, DWORD* type, std::vector<BYTE>* data)
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, ConfigPath().c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        DWORD size = 64;
        data->assign(size, 0);
        const LONG status = ::RegQueryValueExA(key, entry, nullptr, type, data->data(), &size);
        ::RegCloseKey(key);
        data->resize(size);
        return status == ERROR_SUCCESS;
    }

    std::string m_application;
    RegistryCleaner m_cleaner;
    CProfile profile;
};

TEST_F(CProfileTest, NothingStoredGivesEachReaderItsDefault)
{
    EXPECT_EQ(profile.GetInt("Config", "Effect", 1), 1);
    EXPECT_EQ(profile.GetInt("Config", "Effect", 0), 0);
    EXPECT_EQ(profile.GetInt("Config", "Bilinear", -7), -7);
    EXPECT_EQ(profile.GetString("Config", "Picture", "test.gif"), "test.gif");
    EXPECT_EQ(profile.GetString("Config", "Picture", "3deng.jpg"), "3deng.jpg");
}

TEST_F(CProfileTest, ReadingCreatesTheEmptyKeysDownToTheSection)
{
    ASSERT_FALSE(RegistryKeyExists(m_cleaner.Path()));
    profile.GetInt("Config", "Effect", 1);
    EXPECT_TRUE(RegistryKeyExists("Software\\VornelleTests"));
    EXPECT_TRUE(RegistryKeyExists(m_cleaner.Path()));
    EXPECT_TRUE(RegistryKeyExists(ConfigPath()));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, ConfigPath().c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 99;
    EXPECT_EQ(::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(values, 0u);
}

TEST_F(CProfileTest, TextReadAlsoCreatesTheKeys)
{
    profile.GetString("Config", "Picture", "x");
    EXPECT_TRUE(RegistryKeyExists(ConfigPath()));
}

TEST_F(CProfileTest, IntegersRoundTripAsFourByteDwords)
{
    for (int value : {0, 1, 2, -1, 5, INT_MAX, INT_MIN}) {
        EXPECT_TRUE(profile.WriteInt("Config", "Effect", value));
        EXPECT_EQ(profile.GetInt("Config", "Effect", 12345), value);
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(profile.WriteInt("Config", "Effect", -2));
    ASSERT_TRUE(LoadRaw("Effect", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST_F(CProfileTest, TextsRoundTripWithTheZeroCounted)
{
    for (const char* text : {"3deng.jpg", "C:\\My Pictures\\a b.gif", " ", ""}) {
        EXPECT_TRUE(profile.WriteString("Config", "Picture", text));
        EXPECT_EQ(profile.GetString("Config", "Picture", "default"), text);
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(profile.WriteString("Config", "Picture", "ab"));
    ASSERT_TRUE(LoadRaw("Picture", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, (std::vector<BYTE>{'a', 'b', 0}));
}

TEST_F(CProfileTest, EmptyTextIsReadAsEmptyNotAsTheDefault)
{
    StoreRaw("Picture", REG_SZ, "", 0);
    EXPECT_EQ(profile.GetString("Config", "Picture", "test.gif"), "");
    StoreRaw("Picture", REG_SZ, "", 1);
    EXPECT_EQ(profile.GetString("Config", "Picture", "test.gif"), "");
}

TEST_F(CProfileTest, TextStoredWithoutItsZeroEndsAtItsLength)
{
    StoreRaw("Picture", REG_SZ, "abcdef", 3);
    EXPECT_EQ(profile.GetString("Config", "Picture", "test.gif"), "abc");
}

TEST_F(CProfileTest, IntegerOfAnotherLengthGivesTheDefault)
{
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    StoreRaw("Effect", REG_BINARY, eight, sizeof eight);
    EXPECT_EQ(profile.GetInt("Config", "Effect", 77), 77);
    const unsigned char two[2] = {1, 0};
    StoreRaw("Effect", REG_BINARY, two, sizeof two);
    EXPECT_EQ(profile.GetInt("Config", "Effect", 77), 77);
    StoreRaw("Effect", REG_BINARY, eight, 4);
    EXPECT_EQ(profile.GetInt("Config", "Effect", 77), 1);
}

TEST_F(CProfileTest, SectionThatCannotBeCreatedGivesDefaultsAndFailedWrites)
{
    const std::string tooLong(300, 'x'); // key names stop at 255 characters
    EXPECT_EQ(profile.GetInt(tooLong.c_str(), "Effect", 3), 3);
    EXPECT_EQ(profile.GetString(tooLong.c_str(), "Picture", "d"), "d");
    EXPECT_FALSE(profile.WriteInt(tooLong.c_str(), "Effect", 1));
    EXPECT_FALSE(profile.WriteString(tooLong.c_str(), "Picture", "p"));
}

TEST_F(CProfileTest, ThreadsReadWhileAnotherWrites)
{
    ASSERT_TRUE(profile.WriteInt("Config", "Effect", 0));
    std::atomic<int> wrongReads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            for (int i = 0; i < 60; ++i) {
                const int value = profile.GetInt("Config", "Effect", -1);
                if (value != 0 && value != 1)
                    ++wrongReads;
                if (profile.GetString("Config", "Picture", "test.gif") != "test.gif")
                    ++wrongReads;
            }
        });
    }
    for (int i = 0; i < 60; ++i)
        profile.WriteInt("Config", "Effect", i % 2);
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(wrongReads.load(), 0);
}

} // namespace
