// UnInstaller running the demo uninstaller (a copy, as the orchestrator makes
// one) on a real demo installation.
#include "install/uninstaller.h"

#include <gtest/gtest.h>

#include "install_support.h"
#include "support/test_support.h"
#include "utils/strings.h"

namespace {

using InstallTest::Event;
using InstallTest::EventLog;

const wchar_t kMissing[] = L"\u53ef\u6267\u884c\u5378\u8f7d\u6587\u4ef6\u4e0d\u5b58\u5728";  // 可执行卸载文件不存在
const wchar_t kDiskFull[] = L"\u78c1\u76d8\u5df2\u6ee1";                                      // 磁盘已满

// A demo installation in "<temp>\Program Files\Trans vera" and a copy of its
// uninstaller in "<temp>\John Smith\Transvera_un_asa.exe".
struct Installation {
  TestSupport::TempDir temp{L"unin"};
  std::wstring folder = temp / L"Program Files\\Trans vera";
  std::wstring copyFolder = temp / L"John Smith";
  std::wstring copy = copyFolder + L"\\Transvera_un_asa.exe";

  Installation() {
    EXPECT_TRUE(InstallTest::InstallDemo(folder));
    ::CreateDirectoryW(copyFolder.c_str(), nullptr);
    EXPECT_TRUE(::CopyFileW((folder + L"\\uninst.ep").c_str(), copy.c_str(), FALSE));
  }
  void Directives(const std::wstring& text) {
    EXPECT_TRUE(TestSupport::WriteBytes(folder + L"\\demo-uninstall.txt", TestSupport::Utf8(text)));
  }
};

std::vector<Event> RunUninstaller(const std::wstring& executable, const std::wstring& folder) {
  auto log = EventLog::Create();
  UnInstaller uninstaller(EventLog::CallbackFor(log), executable, folder);
  uninstaller.Start();
  EXPECT_TRUE(uninstaller.Wait(INFINITE));
  return log->Events();
}

std::vector<int> CodesOf(const std::vector<Event>& events) {
  std::vector<int> codes;
  for (const auto& e : events) codes.push_back(e.code);
  return codes;
}

int Count(const std::vector<Event>& events, int code) {
  int n = 0;
  for (const auto& e : events) n += e.code == code;
  return n;
}

TEST(UnInstaller, AMissingCopyFailsAtOnce) {
  TestSupport::TempDir temp(L"unin");
  const auto events = RunUninstaller(temp / L"Transvera_un_asa.exe", temp.path());
  ASSERT_EQ(CodesOf(events), (std::vector<int>{5001, 5004})) << InstallTest::Describe(events);
  EXPECT_EQ(events[1].value, 1.0);
  EXPECT_EQ(events[1].text, kMissing);
}

TEST(UnInstaller, RemovesThePreviousInstallationAndReportsSuccessOnce) {
  Installation installation;
  auto log = EventLog::Create();
  UnInstaller uninstaller(EventLog::CallbackFor(log), installation.copy, installation.folder);
  uninstaller.Start();
  ASSERT_TRUE(uninstaller.Wait(INFINITE));
  const auto events = log->Events();

  ASSERT_GE(events.size(), 4u) << InstallTest::Describe(events);
  EXPECT_EQ(events[0].code, UNIST_CODE_START);
  EXPECT_EQ(events[1].code, UNIST_CODE_PROGRESS);
  EXPECT_EQ(events[1].value, 0.0);
  EXPECT_EQ(events[2].value, 0.1);
  EXPECT_EQ(events.back().code, UNIST_CODE_SUCCESS);
  EXPECT_EQ(events.back().value, 0.0);
  EXPECT_EQ(Count(events, UNIST_CODE_SUCCESS), 1);
  for (const auto& e : events) EXPECT_EQ(e.threadId, events[0].threadId);
  EXPECT_NE(events[0].threadId, ::GetCurrentThreadId());
  EXPECT_FALSE(TestSupport::FileExists(installation.folder));  // emptied and removed

  // The copy itself ran (its path has a blank), with the folder bare and last.
  const std::wstring record = installation.copyFolder + L"\\uninstall-record.txt";
  EXPECT_EQ(InstallTest::RecordValue(record, L"Module"), installation.copy);
  EXPECT_EQ(InstallTest::RecordValue(record, L"Folder"), installation.folder);
  EXPECT_EQ(InstallTest::RecordValue(record, L"CommandLine"), uninstaller.CommandLine());
  EXPECT_EQ(uninstaller.CommandLine(),
            UnInstaller::CommandLineFor(installation.copy, false, true, installation.folder));
}

TEST(UnInstaller, AProgramNamedByAShorterPrefixOfTheCopyPathIsNotStarted) {
  Installation installation;
  // "<temp>\John.exe" is what an unquoted "<temp>\John Smith\..." would start;
  // this one prints nothing, which would count as success.
  const std::wstring decoy = installation.temp / L"John.exe";
  ASSERT_TRUE(::CopyFileW(TestSupport::BinPath(L"tv_test_helper.exe").c_str(), decoy.c_str(), FALSE));
  const auto events = RunUninstaller(installation.copy, installation.folder);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, UNIST_CODE_SUCCESS) << InstallTest::Describe(events);
  EXPECT_EQ(events.back().value, 0.0);
  EXPECT_FALSE(TestSupport::FileExists(installation.folder));
  EXPECT_EQ(InstallTest::RecordValue(installation.copyFolder + L"\\uninstall-record.txt", L"Module"),
            installation.copy);
}

TEST(UnInstaller, OutcomesOfTheUninstaller) {
  constexpr double kNoSuccess = -1;
  struct Case {
    std::wstring directives;
    int lastCode;
    double lastValue;
    std::wstring lastText;
    double success;  // value of the one 5003, or kNoSuccess
    bool removed;
  };
  const Case cases[] = {
      {L"fail", UNIST_CODE_ERROR, 0.0, L"\u5b89\u88c5\u5305\u5378\u8f7d\u5931\u8d25", kNoSuccess, false},
      {L"error=access denied", UNIST_CODE_ERROR, 0.0, L"access denied", kNoSuccess, false},
      {L"encode=UTF8\nerror=" + std::wstring(kDiskFull), UNIST_CODE_ERROR, 0.0, kDiskFull, kNoSuccess, false},
      // No numeric code pages here: 936 means ANSI.
      {L"encode=936\nerror=" + std::wstring(kDiskFull), UNIST_CODE_ERROR, 0.0,
       Utils::ToWide(Utils::ToNarrow(kDiskFull, 936), CP_ACP), kNoSuccess, false},
      {L"nostate", UNIST_CODE_SUCCESS, 1.0, L"", 1.0, true},
      {L"silent", UNIST_CODE_SUCCESS, 1.0, L"", 1.0, true},
      // Success at once; still read after it while the uninstaller runs, and
      // no second success when it ends.
      {L"stay=1000", UNIST_CODE_PROGRESS, 1.0, L"", 0.0, true},
  };
  for (const auto& c : cases) {
    Installation installation;
    installation.Directives(c.directives);
    const auto events = RunUninstaller(installation.copy, installation.folder);
    const std::string name = TestSupport::Utf8(c.directives);
    ASSERT_GE(events.size(), 3u) << name;
    EXPECT_EQ(events[0].code, UNIST_CODE_START) << name;
    EXPECT_EQ(events[1].code, UNIST_CODE_PROGRESS) << name;
    EXPECT_EQ(events.back().code, c.lastCode) << name << "\n" << InstallTest::Describe(events);
    EXPECT_EQ(events.back().value, c.lastValue) << name;
    EXPECT_EQ(events.back().text, c.lastText) << name;
    EXPECT_EQ(Count(events, UNIST_CODE_SUCCESS), c.success == kNoSuccess ? 0 : 1) << name;
    EXPECT_EQ(Count(events, UNIST_CODE_ERROR), c.success == kNoSuccess ? 1 : 0) << name;
    for (const auto& e : events) {
      if (e.code == UNIST_CODE_SUCCESS) {
        EXPECT_EQ(e.value, c.success) << name;
      }
    }
    EXPECT_EQ(!TestSupport::FileExists(installation.folder + L"\\transvera.exe"), c.removed) << name;
  }
}

TEST(UnInstaller, TheWrongFolderIsAnError) {
  Installation installation;
  TestSupport::TempDir empty(L"unin");
  const auto events = RunUninstaller(installation.copy, empty.path());
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, UNIST_CODE_ERROR);
  EXPECT_EQ(events.back().text, L"no Transvera installation in " + empty.path());
  EXPECT_EQ(Count(events, UNIST_CODE_SUCCESS), 0);
}

TEST(UnInstaller, AnUninstallerThatCannotStartIsALaunchFailure) {
  Installation installation;
  const std::wstring notAProgram = installation.temp / L"not a program.exe";
  ASSERT_TRUE(TestSupport::WriteBytes(notAProgram, "plain text"));
  const std::wstring longFolder = installation.temp / std::wstring(1100, L'f');
  const std::pair<std::wstring, std::wstring> cases[] = {
      {notAProgram, installation.folder},
      {installation.copy, longFolder},  // a command line beyond 1023 units
  };
  for (const auto& c : cases) {
    const auto events = RunUninstaller(c.first, c.second);
    ASSERT_EQ(CodesOf(events), (std::vector<int>{5001, 5002, 5004})) << InstallTest::Describe(events);
    EXPECT_EQ(events[2].value, 2.0);
    EXPECT_EQ(events[2].text, L"");
  }
  EXPECT_TRUE(TestSupport::FileExists(installation.folder + L"\\transvera.exe"));
}

TEST(UnInstaller, GoingAwayDoesNotWaitForEverForAChildThatNeverEnds) {
  Installation installation;
  installation.Directives(L"hang=0");
  const std::wstring name = L"unhang-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring copy = installation.copyFolder + L"\\" + name;
  ASSERT_TRUE(::CopyFileW(installation.copy.c_str(), copy.c_str(), FALSE));
  auto log = EventLog::Create();
  {
    UnInstaller uninstaller(EventLog::CallbackFor(log), copy, installation.folder);
    uninstaller.Start();
    while (InstallTest::ProcessesNamed(name).empty()) ::Sleep(50);
  }  // must return although the uninstaller still runs
  const auto running = InstallTest::ProcessesNamed(name);
  ASSERT_EQ(running.size(), 1u);
  EXPECT_TRUE(InstallTest::IsProcessRunning(running[0]));  // left alone, not killed
  EXPECT_EQ(log->Codes(), (std::vector<int>{5001, 5002}));
  InstallTest::KillProcess(running[0]);
}

}  // namespace
