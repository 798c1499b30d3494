// tvprobe package and tvprobe uninstall: the runners headless, as publishers
// and support run them, with their trace lines under a debugger.
#include <gtest/gtest.h>

#include "install_support.h"
#include "support/test_support.h"

namespace {

std::wstring Probe() { return L"\"" + TestSupport::BinPath(L"tvprobe.exe") + L"\""; }
std::wstring Q(const std::wstring& text) { return L"\"" + text + L"\""; }

TEST(TvprobeRunners, BadUsageExitsTwoWithAUsageText) {
  for (const wchar_t* args : {L" package", L" package --exe", L" package --dir C:\\T", L" package --exe a.exe --bogus 1",
                              L" uninstall --exe a.exe", L" uninstall --dir C:\\T", L" uninstall --exe a.exe --dir"}) {
    const auto result = TestSupport::RunProcess(Probe() + args);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 2u) << TestSupport::Utf8(args);
    EXPECT_NE(result.err.find("usage: tvprobe"), std::string::npos) << TestSupport::Utf8(args);
    EXPECT_TRUE(result.out.empty());
  }
}

TEST(TvprobeRunners, PackagePrintsEveryEventAndExitsZeroAfterSuccess) {
  TestSupport::TempDir temp(L"probe");
  const std::wstring folder = temp / L"Trans vera";
  const auto result = TestSupport::RunProcess(Probe() + L" package --exe " + Q(InstallTest::DemoPackage()) +
                                              L" --dir " + Q(folder) + L" --lang zh_CN --instcmd " +
                                              Q(L"-demo-encode=UTF8 -demo-message=\u5b89\u88c5\u5b8c\u6210"));
  ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;
  const auto lines = TestSupport::Lines(result.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), "2001 0 ");
  EXPECT_EQ(lines[1], "2002 0 ");
  EXPECT_EQ(lines.back(), "2003 0 ");
  const std::string utf8Folder = TestSupport::Utf8(folder);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "3000 0 " + utf8Folder), lines.end()) << result.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "2002 0.05 "), lines.end()) << result.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "3009 0 \xe5\xae\x89\xe8\xa3\x85\xe5\xae\x8c\xe6\x88\x90"), lines.end())
      << result.out;
  // The package got its path quoted and the options as the installer gives them.
  const std::wstring record = folder + L"\\package-record.txt";
  EXPECT_EQ(InstallTest::RecordValue(record, L"InsLang"), L"zh_CN");
  EXPECT_EQ(InstallTest::RecordValue(record, L"CommandLine").rfind(Q(InstallTest::DemoPackage()) + L" /S ", 0), 0u);
}

TEST(TvprobeRunners, PackageExitsOneAfterAFailure) {
  TestSupport::TempDir temp(L"probe");
  const auto failed = TestSupport::RunProcess(Probe() + L" package --exe " + Q(InstallTest::DemoPackage()) +
                                              L" --dir " + Q(temp.path()) + L" --instcmd -demo-fail");
  EXPECT_EQ(failed.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(failed.out).back(),
            "2004 0 \xe5\xae\x89\xe8\xa3\x85\xe5\x8c\x85\xe5\xae\x89\xe8\xa3\x85\xe5\xa4\xb1\xe8\xb4\xa5");
  const auto missing = TestSupport::RunProcess(Probe() + L" package --exe " + Q(temp / L"none.exe"));
  EXPECT_EQ(missing.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(missing.out), (std::vector<std::string>{"2001 0 ", "2002 0 ", "2004 2 "}));
}

TEST(TvprobeRunners, UninstallRemovesTheInstallationAndExitsZero) {
  TestSupport::TempDir temp(L"probe");
  const std::wstring folder = temp / L"Trans vera";
  ASSERT_TRUE(InstallTest::InstallDemo(folder));
  const auto result = TestSupport::RunProcess(Probe() + L" uninstall --exe " + Q(folder + L"\\uninst.exe") +
                                              L" --dir " + Q(folder));
  EXPECT_EQ(result.exitCode, 0u) << result.out;
  const auto lines = TestSupport::Lines(result.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "5001 0 ");
  EXPECT_EQ(lines.back(), "5003 0 ");
  EXPECT_FALSE(TestSupport::FileExists(folder + L"\\transvera.exe"));

  const auto missing = TestSupport::RunProcess(Probe() + L" uninstall --exe " + Q(temp / L"none.exe") + L" --dir " +
                                               Q(folder));
  EXPECT_EQ(missing.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(missing.out),
            (std::vector<std::string>{"5001 0 ", "5004 1 \xe5\x8f\xaf\xe6\x89\xa7\xe8\xa1\x8c\xe5\x8d\xb8\xe8\xbd\xbd"
                                                  "\xe6\x96\x87\xe4\xbb\xb6\xe4\xb8\x8d\xe5\xad\x98\xe5\x9c\xa8"}));
}

TEST(TvprobeRunners, TheRunnersTraceAndNameTheirThreads) {
  TestSupport::TempDir temp(L"probe");
  const std::wstring folder = temp / L"Trans vera";
  const auto package = TestSupport::CaptureDebugOutput(Probe() + L" package --exe " + Q(InstallTest::DemoPackage()) +
                                                       L" --dir " + Q(folder));
  ASSERT_EQ(package.result.exitCode, 0u);
  const std::wstring exePath = L"ExePath: " + folder + L"\\transvera.exe";
  int exeTraces = 0;
  for (const auto& text : package.strings) {
    if (text.find(L"(CInstaller::Parse)<") == std::wstring::npos) continue;
    ++exeTraces;
    EXPECT_EQ(text.substr(text.find(L">: ") + 3), exePath);  // no line end of its own
  }
  EXPECT_EQ(exeTraces, 1);
  bool abdef = false;
  for (const auto& name : package.threadNames) abdef |= name.second == "ABDEF";
  EXPECT_TRUE(abdef);

  const auto uninstall = TestSupport::CaptureDebugOutput(Probe() + L" uninstall --exe " + Q(folder + L"\\uninst.exe") +
                                                         L" --dir " + Q(folder));
  ASSERT_EQ(uninstall.result.exitCode, 0u);
  bool named = false;
  for (const auto& name : uninstall.threadNames) named |= name.second == "UnInstaller";
  EXPECT_TRUE(named);
}

}  // namespace
