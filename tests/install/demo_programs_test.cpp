// The demo package and the demo product it installs, as the other tests and
// the headless installation use them.
#include <gtest/gtest.h>

#include "install_support.h"
#include "support/test_support.h"
#include "utils/scoped.h"

namespace {

TEST(DemoPackage, IsAtLeastOneMebibyteAndInstallsTheBuiltPrograms) {
  const std::string package = TestSupport::ReadBytes(InstallTest::DemoPackage());
  EXPECT_GE(package.size(), 1024u * 1024u);

  TestSupport::TempDir temp(L"demo");
  const std::wstring folder = temp / L"Trans vera";
  ASSERT_TRUE(InstallTest::InstallDemo(folder));
  const std::string product = TestSupport::ReadBytes(TestSupport::BinPath(L"transvera.exe"));
  const std::string uninstaller = TestSupport::ReadBytes(InstallTest::DemoUninstaller());
  ASSERT_FALSE(product.empty());
  EXPECT_TRUE(TestSupport::ReadBytes(folder + L"\\transvera.exe") == product);
  EXPECT_TRUE(TestSupport::ReadBytes(folder + L"\\uninst.exe") == uninstaller);
  EXPECT_TRUE(TestSupport::ReadBytes(folder + L"\\uninst.ep") == uninstaller);
}

TEST(DemoProduct, ShowsItsWindowRecordsItsStartAndCanEndByItself) {
  TestSupport::TempDir temp(L"demo");
  const std::wstring folder = temp / L"product";
  ASSERT_TRUE(InstallTest::InstallDemo(folder));
  const std::wstring line = L"\"" + folder + L"\\transvera.exe\" -exitafter=1500";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring buffer = line;
  ASSERT_TRUE(::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  Utils::ScopedHandle process(info.hProcess);
  Utils::ScopedHandle thread(info.hThread);

  // Its window exists while it runs ...
  bool windowSeen = false;
  while (!windowSeen && ::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
    for (HWND window = ::FindWindowW(L"TransveraDemoProduct", L"Transvera"); window != nullptr;
         window = ::FindWindowExW(nullptr, window, L"TransveraDemoProduct", L"Transvera")) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      windowSeen |= owner == info.dwProcessId;
    }
  }
  EXPECT_TRUE(windowSeen);
  // ... and it ends by itself.
  ASSERT_EQ(::WaitForSingleObject(process.get(), INFINITE), WAIT_OBJECT_0);
  DWORD code = 1;
  ::GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(TestSupport::FromUtf8(TestSupport::ReadBytes(folder + L"\\product-runs.txt")), line + L"\n");
}

}  // namespace
