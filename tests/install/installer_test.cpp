// CInstaller running the demo package as a real hidden child process.
#include "install/installer.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/config.h"
#include "install_support.h"
#include "support/test_support.h"
#include "utils/strings.h"

namespace {

using InstallTest::Event;
using InstallTest::EventLog;

const wchar_t kInstalled[] = L"\u5b89\u88c5\u5b8c\u6210";  // 安装完成

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// One run of the demo package with `instCmd` into `folder`; returns when the
// runner's worker has ended.
std::vector<Event> RunPackage(const std::wstring& folder, const std::wstring& instCmd,
                              const std::wstring& package = InstallTest::DemoPackage()) {
  InstallerConfig.InstCmd = instCmd;
  auto log = EventLog::Create();
  CInstaller installer(EventLog::CallbackFor(log), Quoted(package), folder, true, false, false);
  installer.Start();
  EXPECT_TRUE(installer.Wait(INFINITE));
  return log->Events();
}

std::vector<int> CodesOf(const std::vector<Event>& events) {
  std::vector<int> codes;
  for (const auto& e : events) codes.push_back(e.code);
  return codes;
}

const Event* Find(const std::vector<Event>& events, int code) {
  for (const auto& e : events)
    if (e.code == code) return &e;
  return nullptr;
}

TEST(Installer, TheDemoPackageInstallsAndReportsEveryStepOnTheWorkerThread) {
  TestSupport::TempDir temp(L"inst");
  const std::wstring folder = temp / L"Trans vera";
  InstallerConfig.InstCmd.clear();
  auto log = EventLog::Create();
  CInstaller installer(EventLog::CallbackFor(log), Quoted(InstallTest::DemoPackage()), L"C:\\elsewhere", true,
                       false, true);
  installer.SetInstallDir(folder);
  installer.SetAdminProcess(false);
  installer.SetLanguage(L"zh_CN");
  // Started from another thread, as the downloader's thread does.
  std::thread([&installer] { installer.Start(); }).join();
  ASSERT_TRUE(installer.Wait(INFINITE));

  const auto events = log->Events();
  const std::vector<int> expected = {2001, 2002, 2002, 2002, 2002, 2002, 3000, 3001,
                                     3002, 3003, 3005, 3007, 3008, 2002, 2003};
  ASSERT_EQ(CodesOf(events), expected) << InstallTest::Describe(events);
  EXPECT_EQ(events[1].value, 0.0);
  EXPECT_EQ(events[2].value, 0.05);
  EXPECT_EQ(events[6].text, folder);
  EXPECT_EQ(events[7].text, folder + L"\\transvera.exe");
  EXPECT_EQ(events[8].text, folder + L"\\uninst.exe");
  EXPECT_EQ(events[9].text, folder + L"\\uninst.ep");
  EXPECT_EQ(events[10].value, 2.0);  // UserStartup
  EXPECT_EQ(events[11].value, 3000.0);
  EXPECT_EQ(events[13].value, 1.0);
  EXPECT_EQ(events.back().value, 0.0);  // the package's own State=Success, nothing after it
  for (const auto& e : events) EXPECT_EQ(e.threadId, events[0].threadId);
  EXPECT_NE(events[0].threadId, ::GetCurrentThreadId());

  for (const wchar_t* file : {L"transvera.exe", L"uninst.exe", L"uninst.ep"})
    EXPECT_TRUE(TestSupport::FileExists(folder + L"\\" + file)) << TestSupport::Utf8(file);
  const std::wstring record = folder + L"\\package-record.txt";
  EXPECT_EQ(InstallTest::RecordValue(record, L"Silent"), L"true");
  EXPECT_EQ(InstallTest::RecordValue(record, L"AdminAct"), L"true");
  EXPECT_EQ(InstallTest::RecordValue(record, L"AuthorizationAct"), L"false");
  EXPECT_EQ(InstallTest::RecordValue(record, L"Dsc"), L"true");
  EXPECT_EQ(InstallTest::RecordValue(record, L"Ssc"), L"false");
  EXPECT_EQ(InstallTest::RecordValue(record, L"InsLang"), L"zh_CN");
  EXPECT_EQ(InstallTest::RecordValue(record, L"InstDir"), folder);
  EXPECT_EQ(InstallTest::RecordValue(record, L"DDir"), folder);
  EXPECT_EQ(InstallTest::RecordValue(record, L"CommandLine"), installer.CommandLine());
}

TEST(Installer, OneChunkWithProgressAndSuccessEndsTheRunWithoutASecondSuccess) {
  TestSupport::TempDir temp(L"inst");
  const auto events = RunPackage(temp.path(), L"-demo-raw=Progress=0.5\\nState=Success\\n");
  ASSERT_EQ(CodesOf(events), (std::vector<int>{2001, 2002, 2002, 2003})) << InstallTest::Describe(events);
  EXPECT_EQ(events[2].value, 0.5);
  EXPECT_EQ(events[3].value, 0.0);
}

TEST(Installer, LinesWrittenAfterTheFinalStateAreNeverRead) {
  TestSupport::TempDir temp(L"inst");
  // The package prints StartUrl= 1.5 s after State=Success and then ends;
  // the worker waits for it but reads nothing more.
  const auto events = RunPackage(temp.path(), L"-demo-stay=1500");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, IST_CODE_SUCCESS) << InstallTest::Describe(events);
  EXPECT_EQ(events.back().value, 0.0);
  EXPECT_EQ(Find(events, IST_CODE_START_URL), nullptr);
}

TEST(Installer, OutcomesOfThePackage) {
  struct Case {
    const wchar_t* instCmd;
    int lastCode;
    double lastValue;
    std::wstring lastText;
  };
  const Case cases[] = {
      {L"-demo-silent", IST_CODE_SUCCESS, 1.0, L""},  // no output at all: success when it ends
      {L"-demo-nostate", IST_CODE_SUCCESS, 1.0, L""},
      {L"-demo-exitcode=7", IST_CODE_SUCCESS, 0.0, L""},  // the exit code is never looked at
      {L"-demo-fail", IST_CODE_FAIL, 0.0, L"\u5b89\u88c5\u5305\u5b89\u88c5\u5931\u8d25"},
      {L"-demo-error=\"disk full\"", IST_CODE_FAIL, 1000.0, L"disk full"},
      {L"-demo-raw=Error=\\nProgress=0.9\\n", IST_CODE_PROGRESS, 0.9, L""},
  };
  for (const auto& c : cases) {
    TestSupport::TempDir temp(L"inst");
    const auto events = RunPackage(temp.path(), c.instCmd);
    const std::string name = TestSupport::Utf8(c.instCmd);
    ASSERT_GE(events.size(), 3u) << name;
    EXPECT_EQ(events[0].code, IST_CODE_START) << name;
    EXPECT_EQ(events[1].code, IST_CODE_PROGRESS) << name;
    EXPECT_EQ(events.back().code, c.lastCode) << name << "\n" << InstallTest::Describe(events);
    EXPECT_EQ(events.back().value, c.lastValue) << name;
    EXPECT_EQ(events.back().text, c.lastText) << name;
    int finals = 0;
    for (const auto& e : events) finals += (e.code == IST_CODE_SUCCESS || e.code == IST_CODE_FAIL);
    EXPECT_EQ(finals, 1) << name << "\n" << InstallTest::Describe(events);
  }
}

TEST(Installer, APackageThatCannotStartIsALaunchFailure) {
  TestSupport::TempDir temp(L"inst");
  const std::wstring notAProgram = temp / L"not a program.exe";
  ASSERT_TRUE(TestSupport::WriteBytes(notAProgram, "plain text"));
  const std::wstring longFolder = temp / std::wstring(1100, L'f');
  struct Case {
    std::wstring package, folder;
  };
  const Case cases[] = {
      {temp / L"missing\\__Package_Transvera.exe", temp.path()},
      {notAProgram, temp.path()},
      {InstallTest::DemoPackage(), longFolder},  // a command line beyond 1023 units
  };
  for (const auto& c : cases) {
    const auto events = RunPackage(c.folder, L"", c.package);
    ASSERT_EQ(CodesOf(events), (std::vector<int>{2001, 2002, 2004})) << InstallTest::Describe(events);
    EXPECT_EQ(events[1].value, 0.0);
    EXPECT_EQ(events[2].value, 2.0);
    EXPECT_EQ(events[2].text, L"");
  }
}

TEST(Installer, EncodeSwitchesTheDecodingOfLaterOutput) {
  for (const wchar_t* encode : {L"UTF8", L"936"}) {
    TestSupport::TempDir temp(L"inst");
    // A Chinese folder name as well: paths come back as text, not bytes.
    const std::wstring folder = temp / L"\u8bd1\u8005";
    const auto events =
        RunPackage(folder, std::wstring(L"-demo-encode=") + encode + L" -demo-message=" + kInstalled);
    const std::string name = TestSupport::Utf8(encode);
    const Event* message = Find(events, IST_CODE_MESSAGE);
    ASSERT_NE(message, nullptr) << name << "\n" << InstallTest::Describe(events);
    EXPECT_EQ(message->text, kInstalled) << name;
    const Event* path = Find(events, IST_CODE_INST_PATH);
    ASSERT_NE(path, nullptr) << name;
    EXPECT_EQ(path->text, folder) << name;
    EXPECT_EQ(events.back().code, IST_CODE_SUCCESS) << name;
  }
}

TEST(Installer, StartupStyleAndDetentionValuesFromThePackage) {
  struct Case {
    const wchar_t* instCmd;
    int code;
    double value;
  };
  const Case cases[] = {
      {L"-demo-startup=\"  AutoStartup  \"", IST_CODE_STARTUP_STYLE, 1},
      {L"-demo-startup=autostartup", IST_CODE_STARTUP_STYLE, 0},
      {L"-demo-topshow=-1", IST_CODE_TOP_SHOW_DETENTION, 4294967295.0},
      {L"-demo-finishclose=12000", IST_CODE_FINISH_CLOSE_DETENTION, 12000},
  };
  for (const auto& c : cases) {
    TestSupport::TempDir temp(L"inst");
    const auto events = RunPackage(temp.path(), c.instCmd);
    const Event* event = Find(events, c.code);
    ASSERT_NE(event, nullptr) << TestSupport::Utf8(c.instCmd);
    EXPECT_EQ(event->value, c.value) << TestSupport::Utf8(c.instCmd);
  }
}

TEST(Installer, CrLfLineEndsDoNotEndUpInPaths) {
  TestSupport::TempDir temp(L"inst");
  const auto events = RunPackage(temp.path(), L"-demo-crlf");
  const Event* exe = Find(events, IST_CODE_EXE_PATH);
  ASSERT_NE(exe, nullptr) << InstallTest::Describe(events);
  EXPECT_EQ(exe->text, temp.path() + L"\\transvera.exe");
  EXPECT_EQ(events.back().code, IST_CODE_SUCCESS);
  EXPECT_EQ(events.back().value, 0.0);
}

TEST(Installer, ALineCutByTheChunkSizeIsReadAsTwoLines) {
  TestSupport::TempDir temp(L"inst");
  // The first write is a 1012-byte filler line and "InstPath=<folder>": the
  // first 1024-byte chunk ends three characters into the folder.
  const auto events = RunPackage(temp.path(), L"-demo-pad=1012");
  std::vector<std::wstring> paths;
  for (const auto& e : events)
    if (e.code == IST_CODE_INST_PATH) paths.push_back(e.text);
  ASSERT_EQ(paths.size(), 2u) << InstallTest::Describe(events);
  EXPECT_EQ(paths[0], temp.path().substr(0, 3));
  EXPECT_EQ(paths[1], temp.path());
}

TEST(Installer, ALongMessageIsCutTo771Characters) {
  TestSupport::TempDir temp(L"inst");
  const auto events = RunPackage(temp.path(), L"-demo-longmessage=900");
  const Event* message = Find(events, IST_CODE_MESSAGE);
  ASSERT_NE(message, nullptr) << InstallTest::Describe(events);
  EXPECT_EQ(message->text, std::wstring(771, L'm'));
}

TEST(Installer, MuchStandardErrorDoesNotStallThePackage) {
  TestSupport::TempDir temp(L"inst");
  const auto events = RunPackage(temp.path(), L"-demo-stderr=4194304");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, IST_CODE_SUCCESS) << InstallTest::Describe(events);
  EXPECT_EQ(events.back().value, 0.0);
}

TEST(Installer, ASecondStartWaitsForTheFirstRunAndUsesTheNewFolder) {
  TestSupport::TempDir temp(L"inst");
  InstallerConfig.InstCmd = L"-demo-stay=1000";
  auto log = EventLog::Create();
  CInstaller installer(EventLog::CallbackFor(log), Quoted(InstallTest::DemoPackage()), temp / L"first", true, true,
                       false);
  installer.Start();
  log->WaitFor(IST_CODE_SUCCESS);
  installer.SetInstallDir(temp / L"second");
  installer.Start();  // returns once the first worker has ended
  const size_t firstRun = log->Count();
  ASSERT_TRUE(installer.Wait(INFINITE));
  const auto events = log->Events();

  ASSERT_GT(events.size(), firstRun);
  EXPECT_EQ(events[firstRun - 1].code, IST_CODE_SUCCESS) << InstallTest::Describe(events);
  EXPECT_EQ(events[firstRun].code, IST_CODE_START);
  EXPECT_NE(events[firstRun].threadId, events[0].threadId);  // a new worker
  EXPECT_EQ(events.back().code, IST_CODE_SUCCESS);
  EXPECT_TRUE(TestSupport::FileExists(temp / L"first\\transvera.exe"));
  EXPECT_TRUE(TestSupport::FileExists(temp / L"second\\transvera.exe"));
  EXPECT_NE(installer.CommandLine().find(L"/D=" + temp / L"second"), std::wstring::npos);
}

TEST(Installer, GoingAwayDoesNotWaitForEverForAChildThatNeverEnds) {
  TestSupport::TempDir temp(L"inst");
  // A package under a name of its own, to find its process.
  const std::wstring name = L"hang-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  ASSERT_TRUE(::CopyFileW(InstallTest::DemoPackage().c_str(), (temp / name).c_str(), FALSE));
  InstallerConfig.InstCmd = L"-demo-hang=0";
  auto log = EventLog::Create();
  {
    CInstaller installer(EventLog::CallbackFor(log), Quoted(temp / name), temp.path(), true, true, false);
    installer.Start();
    while (InstallTest::ProcessesNamed(name).empty()) ::Sleep(50);
  }  // must return although the package still runs
  const auto running = InstallTest::ProcessesNamed(name);
  ASSERT_EQ(running.size(), 1u);
  EXPECT_TRUE(InstallTest::IsProcessRunning(running[0]));  // left alone, not killed
  EXPECT_EQ(log->Codes(), (std::vector<int>{2001, 2002}));
  InstallTest::KillProcess(running[0]);
}

}  // namespace
