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

// On a 64-bit system the 32-bit program reads the machine's settings through
// the registry's 32-bit view, where its set-up writes them; a value in the
// 64-bit view is not its own.
TEST_F(SettingsRegistryTest, UnderWow64TheMachineValueComesFromThe32BitView) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
    GTEST_SKIP() << "not a 32-bit program on a 64-bit system";
  const auto put = [&](REGSAM view, DWORD value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE | view, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Language", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&value), sizeof value));
    RegCloseKey(key);
  };
  put(KEY_WOW64_64KEY, 1040);
  int value = -1;
  EXPECT_FALSE(Settings::Registry::GetInt(L"Language", value));
  put(KEY_WOW64_32KEY, 1031);
  EXPECT_TRUE(Settings::Registry::GetInt(L"Language", value));
  EXPECT_EQ(1031, value);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), KEY_WOW64_64KEY, 0);
}

}  // namespace
