#include "utils/probes.h"

#include <gtest/gtest.h>

namespace {

struct LabelCase {
  Utils::OsVersionNumbers numbers;
  const wchar_t* label;
};

TEST(OsVersionLabel, FollowsTheLabelTable) {
  const LabelCase cases[] = {
      {{false, 10, 0, 19045, false}, L"XP-"},  // ntdll could not be loaded
      {{true, 0, 0, 0, false}, L"XP-"},        // no RtlGetNtVersionNumbers
      {{true, 4, 0, 1381, false}, L"XP-"},
      {{true, 5, 0, 2195, false}, L"2K"},
      {{true, 5, 1, 2600, false}, L"XP"},
      {{true, 5, 2, 3790, false}, L"Server 2003"},
      {{true, 5, 2, 3790, true}, L"Server 2003 R2"},
      {{true, 5, 3, 0, false}, L"XP+"},
      {{true, 5, 9, 0, false}, L"XP+"},
      {{true, 6, 0, 6002, false}, L"Vista"},
      {{true, 6, 1, 7601, false}, L"7"},
      {{true, 6, 2, 9200, false}, L"8"},
      {{true, 6, 3, 9600, false}, L"8.1"},
      {{true, 6, 4, 9841, false}, L"8.1+"},
      {{true, 10, 0, 22631, false}, L"10"},  // Windows 11 reports 10.0
      {{true, 10, 1, 0, false}, L"10+"},
      {{true, 7, 0, 1234, false}, L"7.0.1234"},
      {{true, 9, 2, 5, false}, L"9.2.5"},
      {{true, 11, 0, 22000, false}, L"11.0.22000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utils::OsVersionLabel(c.numbers), c.label)
        << c.numbers.major << "." << c.numbers.minor << "." << c.numbers.build;
}

TEST(OsVersion, ReadsTheRunningSystem) {
  const Utils::OsVersionNumbers numbers = Utils::QueryOsVersionNumbers();
  EXPECT_TRUE(numbers.loaded);
  EXPECT_GE(numbers.major, 5u);
  EXPECT_LE(numbers.build, 0xFFFFu);
  EXPECT_EQ(Utils::GetOSVersion(), Utils::OsVersionLabel(numbers));
}

TEST(IsWow64, FalseForA64BitProcess) {
#ifdef _WIN64
  EXPECT_FALSE(Utils::IsWow64());
#endif
}

}  // namespace
