#include "app/startup.h"

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "utils/scoped.h"

namespace {

TEST(SingleInstance, ASecondCopyExitsWithMinusOneAndAFreshOneRuns) {
  const std::wstring installer = L"\"" + TestSupport::BinPath(L"TransveraSetup.exe") + L"\"";
  {
    // Another holder of the installer's mutex, as a running installer would be.
    Utils::ScopedHandle holder(::CreateMutexW(nullptr, TRUE, Startup::kSingleInstanceMutexName));
    ASSERT_TRUE(holder);
    ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const auto second = TestSupport::RunProcess(installer + L" -downloadtype=3");
    ASSERT_TRUE(second.started);
    EXPECT_EQ(second.exitCode, 0xFFFFFFFFu);
    ::ReleaseMutex(holder.get());
  }
  const auto fresh = TestSupport::RunProcess(installer);
  ASSERT_TRUE(fresh.started);
  EXPECT_EQ(fresh.exitCode, 0u);
  // It released the mutex on the way out.
  Utils::ScopedHandle after(::CreateMutexW(nullptr, FALSE, Startup::kSingleInstanceMutexName));
  EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

}  // namespace
