#include "common/SettingsRegistry.h"

#include <gtest/gtest.h>

#include "common/Settings.h"
#include "tests/common/SettingsFiles.h"

namespace {

// Real keys below SOFTWARE\Velmora\<this test's own root> in the test prefix.
class SettingsRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings::SetRoot(L"Velmora\\" + OwnName());
    key_ = L"SOFTWARE\\" + Settings::Root();
    TearDown();
  }
  void TearDown() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteTreeW(root, key_.c_str());
  }
  void Put(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data,
           DWORD size) {
    const std::wstring key = subkey.empty() ? key_ : key_ + L"\\" + subkey;
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(root, key.c_str(), name, type, data, size));
  }
  void PutDword(HKEY root, const wchar_t* name, DWORD value, const std::wstring& subkey = L"") {
    Put(root, subkey, name, REG_DWORD, &value, sizeof value);
  }

  std::wstring key_;
};

TEST_F(SettingsRegistryTest, ReadsADwordFromTheUserOrTheMachine) {
  int value = -1;
  EXPECT_FALSE(Settings::Registry::GetInt(L"Language", value));
  EXPECT_EQ(-1, value);

  PutDword(HKEY_LOCAL_MACHINE, L"Language", 1040);
  EXPECT_TRUE(Settings::Registry::GetInt(L"Language", value));
  EXPECT_EQ(1040, value);

  PutDword(HKEY_CURRENT_USER, L"Language", 0x80000407);
  EXPECT_TRUE(Settings::Registry::GetInt(L"Language", value));
  EXPECT_EQ(static_cast<int>(0x80000407), value);

  std::wstring path = L"Language";
  HKEY key;
  bool machine = true;
  ASSERT_TRUE(Settings::Registry::LocateValue(path, key, machine));
  EXPECT_FALSE(machine);
  EXPECT_EQ(L"Language", path);
  RegCloseKey(key);
}

TEST_F(SettingsRegistryTest, TheValuePathNamesASubkey) {
  PutDword(HKEY_CURRENT_USER, L"Size", 3, L"Window\\Main");
  int value = 0;
  EXPECT_TRUE(Settings::Registry::GetInt(L"Window\\Main/Size", value));
  EXPECT_EQ(3, value);
  EXPECT_FALSE(Settings::Registry::GetInt(L"Size", value));
}

// The first key that holds the name decides, even when its value is unusable.
TEST_F(SettingsRegistryTest, AValueOfAnotherTypeOrSizeIsNotRead) {
  PutDword(HKEY_LOCAL_MACHINE, L"Language", 1031);
  const wchar_t text[] = L"1033";
  Put(HKEY_CURRENT_USER, L"", L"Language", REG_SZ, text, sizeof text);
  int value = -1;
  EXPECT_FALSE(Settings::Registry::GetInt(L"Language", value));

  const unsigned char two[2] = {1, 4};
  Put(HKEY_CURRENT_USER, L"", L"Language", REG_DWORD, two, sizeof two);
  EXPECT_FALSE(Settings::Registry::GetInt(L"Language", value));
  const unsigned long long eight = 1031;
  Put(HKEY_CURRENT_USER, L"", L"Language", REG_QWORD, &eight, sizeof eight);
  EXPECT_FALSE(Settings::Registry::GetInt(L"Language", value));
  EXPECT_EQ(-1, value);
}

}  // namespace
