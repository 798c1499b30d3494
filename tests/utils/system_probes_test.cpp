// The account, connectivity and identifier probes, on the Wine prefix the
// tests run in (see the platform notes: the process is an administrator, the
// console user an ordinary account).
#include <gtest/gtest.h>
#include <objbase.h>

#include <cwctype>
#include <set>

#include "support/test_support.h"
#include "utils/probes.h"
#include "utils/strings.h"

namespace {

bool IsHex(wchar_t c) { return std::iswxdigit(c) != 0; }

TEST(CreateGuidString, Has32HexDigitsWithTheThirdGroupInLowerCase) {
  std::set<std::wstring> seen;
  for (int i = 0; i < 20; ++i) {
    const std::wstring text = Utils::CreateGuidString();
    ASSERT_EQ(text.size(), 32u) << TestSupport::Utf8(text);
    for (size_t k = 0; k < text.size(); ++k) {
      EXPECT_TRUE(IsHex(text[k])) << TestSupport::Utf8(text);
      if (k >= 12 && k < 16) EXPECT_FALSE(std::iswupper(text[k])) << k << " " << TestSupport::Utf8(text);
      else EXPECT_FALSE(std::iswlower(text[k])) << k << " " << TestSupport::Utf8(text);
    }
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 20u);  // fresh every time
}

TEST(CreateGuidString, FormatsEveryFieldInItsOwnCase) {
  const GUID guid = {0x0A1B2C3D, 0xE4F5, 0xABCD, {0xAB, 0x01, 0xCD, 0xEF, 0x0F, 0xF0, 0x9A, 0xBC}};
  EXPECT_EQ(Utils::FormatGuidString(guid), L"0A1B2C3DE4F5abcdAB01CDEF0FF09ABC");
  EXPECT_EQ(Utils::FormatGuidString(GUID{}), std::wstring(32, L'0'));
}

TEST(AdminProbes, TheProcessIsAnAdministratorAndTheConsoleUserIsNot) {
  EXPECT_TRUE(Utils::IsRunAsAdmin());

  std::wstring name = L"untouched";
  ASSERT_TRUE(Utils::GetActiveSessionUserName(name));
  wchar_t own[256] = {};
  DWORD size = 256;
  ASSERT_TRUE(::GetUserNameW(own, &size));
  EXPECT_EQ(name, own);
  EXPECT_FALSE(Utils::IsAdminAccount(name));  // Wine gives the user guest privilege
}

TEST(AdminProbes, AnEmptyOrUnknownAccountIsNoAdministrator) {
  EXPECT_FALSE(Utils::IsAdminAccount(L""));
  EXPECT_FALSE(Utils::IsAdminAccount(L"no-such-user-4711"));
}

// Runs the probe in a process of its own and reads its trace lines.
struct NetworkCheck {
  DWORD value = 0;
  std::vector<std::wstring> traces;  // message texts of Utils::CheckNetwork
};

NetworkCheck RunCheck(const wchar_t* step) {
  NetworkCheck check;
  const auto capture = TestSupport::CaptureDebugOutput(
      L"\"" + TestSupport::BinPath(L"tv_child_helper.exe") + L"\" " + step, 60000);
  EXPECT_TRUE(capture.result.started);
  for (const auto& text : capture.strings) {
    const size_t at = text.find(L"(Utils::CheckNetwork)<");
    if (at != std::wstring::npos) check.traces.push_back(text.substr(text.find(L">: ", at) + 3));
  }
  // The helper's output is not captured by the debugger run: run it again.
  const auto run = TestSupport::RunProcess(L"\"" + TestSupport::BinPath(L"tv_child_helper.exe") + L"\" " + step);
  check.value = static_cast<DWORD>(std::stoul(run.out));
  return check;
}

TEST(CheckNetwork, TheVerdictAgreesWithTheFlagsAndTheTraces) {
  const NetworkCheck check = RunCheck(L"checknet");
  const DWORD verdict = check.value >> 16;
  const DWORD flags = check.value & 0xFFFF;
  ASSERT_LE(verdict, 2u) << check.value;
  switch (verdict) {
    case 0:  // online
      EXPECT_NE(flags, 0u);
      EXPECT_TRUE(check.traces.empty());
      break;
    case 1:  // no network at all
      EXPECT_EQ(flags, 0u);
      ASSERT_EQ(check.traces.size(), 1u);
      EXPECT_EQ(check.traces[0], L"GetConnectivity 0");  // no line end of its own
      break;
    case 2:  // a network without internet access
      EXPECT_NE(flags, 0u);
      ASSERT_EQ(check.traces.size(), 1u);
      EXPECT_EQ(check.traces[0], L"get_IsConnectedToInternet:0");
      break;
  }
}

TEST(CheckNetwork, WithoutComTheCheckIsImpossibleAndCountsAsOnline) {
  const NetworkCheck check = RunCheck(L"checknet-nocom");
  EXPECT_EQ(check.value, 0u);
  EXPECT_TRUE(check.traces.empty());
}

}  // namespace
