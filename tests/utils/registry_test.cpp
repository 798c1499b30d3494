#include "utils/registry.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Each test uses its own value name and removes it, since other programs of
// the test prefix read the same key.
class RegistryValue : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = std::wstring(L"TvTest_") +
            TestSupport::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name()) + L"_" +
            std::to_wstring(::GetCurrentProcessId());
  }
  void TearDown() override {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Utils::kProductRegistryKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      ::RegDeleteValueW(key, name_.c_str());
      ::RegCloseKey(key);
    }
  }
  std::wstring name_;
};

TEST_F(RegistryValue, StoresRegSzWithoutTheTerminatingNul) {
  ASSERT_TRUE(Utils::SetRegString(name_, L"C:\\A"));
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(TestSupport::ReadRegistryValue(HKEY_CURRENT_USER, Utils::kProductRegistryKey, name_, &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, std::string("C\0:\0\\\0A\0", 8));
}

TEST_F(RegistryValue, ReadsBackWhatWasWritten) {
  for (const std::wstring value : {L"C:\\A", L"D:\\\u7ffb\u8bd1\\Transvera", L""}) {
    ASSERT_TRUE(Utils::SetRegString(name_, value));
    DWORD type = 0;
    std::wstring read = L"old";
    ASSERT_TRUE(Utils::GetRegString(name_, &type, read));
    EXPECT_EQ(read, value);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  }
}

TEST_F(RegistryValue, AMissingValueLeavesTheOutputAlone) {
  std::wstring read = L"untouched";
  EXPECT_FALSE(Utils::GetRegString(name_, nullptr, read));
  EXPECT_EQ(read, L"untouched");
}

}  // namespace
