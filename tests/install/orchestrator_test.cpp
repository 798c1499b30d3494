// The download-and-install orchestrator through whole runs: the demo package
// served by the fault server, the demo uninstaller as the previous version's
// uninstaller, the demo product as the running product.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/config.h"
#include "download/download_support.h"
#include "install/download_installer.h"
#include "install/install_support.h"
#include "support/test_support.h"
#include "utils/strings.h"

using InstallTest::Event;
using InstallTest::EventLog;
using TestSupport::TempDir;

namespace {

std::vector<int> StageCodes(const std::vector<Event>& events) {
  std::vector<int> codes;
  for (const auto& e : events)
    if (e.code != 1002 && e.code != 2002 && e.code != 5002 && (e.code < 3000 || e.code > 3009))
      codes.push_back(e.code);
  return codes;
}

bool Has(const std::vector<int>& codes, int code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The demo package on the fault server, under a URL that carries its MD5.
std::wstring PackageUrl(DownloadTest::FaultServer& server, int failFirst = 0) {
  const std::string md5 = Utils::FileMd5Hex(Utils::ToNarrow(InstallTest::DemoPackage(), CP_ACP));
  return server.Url("/root/" + std::to_string(failFirst) + "/0/" + md5 + "/demo-package.exe");
}

class Orchestrator : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallerConfig.DownloadType = 1;
    InstallerConfig.InstCmd.clear();
    InstallerConfig.InsNew = false;
  }
  // Runs until `endCode` (or a failure of any stage) and returns the events.
  std::vector<Event> Run(CDownloadInstaller& installer, std::initializer_list<int> endCodes) {
    installer.Start();
    for (;;) {
      const auto events = log_->Events();
      for (const auto& e : events)
        if (std::find(endCodes.begin(), endCodes.end(), e.code) != endCodes.end()) return events;
      ::Sleep(50);
    }
  }
  std::shared_ptr<EventLog> log_ = EventLog::Create();
  TempDir dir_{L"orch"};
  DownloadTest::FaultServer server_{TestSupport::BinDir()};
};

TEST_F(Orchestrator, DownloadsInstallsAndRemovesThePackage) {
  for (int type : {1, 3, 2}) {
    SCOPED_TRACE(type);
    InstallerConfig.DownloadType = type;
    log_ = EventLog::Create();
    const std::wstring folder = dir_ / (L"T" + std::to_wstring(type) + L"\\Program Files\\Transvera");
    CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
    installer.Configure(PackageUrl(server_), L"", folder, false, true, false, true, L"zh-CN");
    EXPECT_EQ(installer.GetPackagePath(), folder + L"\\__Package_Transvera.exe");
    const auto events = Run(installer, {2003, 2004, 1004});
    const auto codes = StageCodes(events);
    EXPECT_EQ(codes.front(), 1001);
    EXPECT_TRUE(Has(codes, 1003) && Has(codes, 2001) && codes.back() == 2003) << InstallTest::Describe(events);
    EXPECT_FALSE(Has(codes, 5001));
    // The folder was made when the download began; the product is in it;
    // the package is gone.
    EXPECT_TRUE(TestSupport::FileExists(folder + L"\\transvera.exe"));
    EXPECT_FALSE(TestSupport::FileExists(installer.GetPackagePath()));
    // The package got the choices of the run, and its own path in quotes.
    const std::wstring record = folder + L"\\package-record.txt";
    EXPECT_EQ(InstallTest::RecordValue(record, L"Dsc"), L"false");
    EXPECT_EQ(InstallTest::RecordValue(record, L"Ssc"), L"true");
    EXPECT_EQ(InstallTest::RecordValue(record, L"AuthorizationAct"), L"true");
    EXPECT_EQ(InstallTest::RecordValue(record, L"InsLang"), L"zh-CN");
    EXPECT_EQ(InstallTest::RecordValue(record, L"CommandLine").rfind(L"\"" + installer.GetPackagePath() + L"\" /S ", 0),
              0u);
  }
}

TEST_F(Orchestrator, AFailedPackageIsReportedAndRemoved) {
  InstallerConfig.InstCmd = L"-demo-fail";
  const std::wstring folder = dir_ / L"Transvera";
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer.Configure(PackageUrl(server_), L"", folder, true, true, false, false, L"");
  const auto events = Run(installer, {2003, 2004, 1004});
  ASSERT_EQ(events.back().code, 2004);
  EXPECT_EQ(events.back().text, L"\u5b89\u88c5\u5305\u5b89\u88c5\u5931\u8d25");  // "安装包安装失败"
  EXPECT_FALSE(TestSupport::FileExists(installer.GetPackagePath()));
}

TEST_F(Orchestrator, ARetryOfTheDownloaderRestartsItFromTheHandler) {
  const std::wstring folder = dir_ / L"Transvera";
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  // A digest that is not the package's: mismatch, retry, mismatch, failure.
  installer.Configure(server_.Url("/root/0/0/0123456789abcdef0123456789abcdef/demo-package.exe"), L"", folder, true,
                      true, false, false, L"");
  const auto events = Run(installer, {2003, 2004, 1004});
  EXPECT_EQ(StageCodes(events), (std::vector<int>{1001, 1006, 1005, 1001, 1006, 1004}));
  EXPECT_FALSE(TestSupport::FileExists(installer.GetPackagePath()));
}

TEST_F(Orchestrator, ASecondAttemptReusesTheDownloaderAndTakesTheNewFolder) {
  // The first six requests fail: the first attempt (six tries) fails, the
  // second one succeeds.
  const std::wstring first = dir_ / L"First", second = dir_ / L"Second";
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer.Configure(PackageUrl(server_, 6), L"", first, true, true, false, false, L"");
  const auto failed = Run(installer, {2003, 2004, 1004});
  ASSERT_EQ(StageCodes(failed), (std::vector<int>{1001, 1004}));
  EXPECT_EQ(failed.back().value, 22.0);

  // The user picks another folder and tries again. The downloader keeps the
  // URL and package path of the first start; the package runner keeps its
  // quoted path but installs into the new folder.
  installer.Configure(L"http://127.0.0.1:1/not-used.exe", L"", second, true, true, false, false, L"");
  const auto events = Run(installer, {2003, 2004});
  std::vector<Event> secondRun(events.begin() + static_cast<std::ptrdiff_t>(failed.size()), events.end());
  const auto codes = StageCodes(secondRun);
  EXPECT_EQ(codes.front(), 1001);
  EXPECT_EQ(codes.back(), 2003) << InstallTest::Describe(secondRun);
  EXPECT_TRUE(TestSupport::FileExists(second + L"\\transvera.exe"));
  EXPECT_EQ(InstallTest::RecordValue(second + L"\\package-record.txt", L"CommandLine")
                .rfind(L"\"" + first + L"\\__Package_Transvera.exe\" /S ", 0),
            0u);
  // Both package paths are cleaned: the current folder's and the remembered one.
  EXPECT_FALSE(TestSupport::FileExists(first + L"\\__Package_Transvera.exe"));
  EXPECT_FALSE(TestSupport::FileExists(second + L"\\__Package_Transvera.exe"));
  EXPECT_EQ(DownloadTest::Gets(server_.Stop()).size(), 7u);  // six failures, then the package
}

// A previous installation of the demo product, with its uninstaller.
std::wstring InstallPrevious(const std::wstring& folder, const std::string& misbehaviour = "") {
  EXPECT_TRUE(InstallTest::InstallDemo(folder));
  if (!misbehaviour.empty()) TestSupport::WriteBytes(folder + L"\\demo-uninstall.txt", misbehaviour);
  return folder + L"\\uninst.exe";
}

TEST_F(Orchestrator, RunsTheRegisteredUninstallerFirst) {
  const std::wstring previous = InstallPrevious(dir_ / L"Old Version");
  const std::wstring folder = dir_ / L"New";
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer.Configure(PackageUrl(server_), previous, folder, true, true, false, false, L"");
  const auto events = Run(installer, {2003, 2004, 1004, 5004, 5005});
  const auto codes = StageCodes(events);
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ((std::vector<int>{codes[0], codes[1], codes[2]}), (std::vector<int>{5001, 5003, 1001}))
      << InstallTest::Describe(events);
  EXPECT_EQ(codes.back(), 2003);
  // It ran from its copy in the installer's temporary folder and removed the old version.
  const std::wstring copy = CDownloadInstaller::UninstallerCopyPath();
  EXPECT_NE(copy.find(L"\\~ZemKoTemp.92482B06FB471E17\\\\Transvera_un_asa.exe"), std::wstring::npos);
  EXPECT_TRUE(TestSupport::FileExists(copy));
  EXPECT_FALSE(TestSupport::FileExists(dir_ / L"Old Version\\transvera.exe"));
  EXPECT_TRUE(TestSupport::FileExists(folder + L"\\transvera.exe"));
}

TEST_F(Orchestrator, AFailingUninstallerStopsTheInstallation) {
  const struct {
    const char* misbehaviour;
    int code;
  } cases[] = {{"fail", 5005}, {"error=locked files", 5005}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.misbehaviour);
    log_ = EventLog::Create();
    TempDir dir(L"orchfail");
    const std::wstring previous = InstallPrevious(dir / L"Old", c.misbehaviour);
    CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
    installer.Configure(PackageUrl(server_), previous, dir / L"New", true, true, false, false, L"");
    const auto events = Run(installer, {2003, 2004, 1004, 5004, 5005});
    EXPECT_EQ(StageCodes(events), (std::vector<int>{5001, c.code}));
    ::Sleep(300);
    EXPECT_FALSE(Has(StageCodes(log_->Events()), 1001));  // nothing was downloaded
  }
  EXPECT_TRUE(DownloadTest::Gets(server_.Stop()).empty());
}

TEST_F(Orchestrator, AnUnregisteredOrMissingUninstallerIsSkipped) {
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer.Configure(PackageUrl(server_), dir_ / L"Gone\\uninst.exe", dir_ / L"New", true, true, false, false, L"");
  const auto events = Run(installer, {2003, 2004, 1004, 5004, 5005});
  EXPECT_EQ(StageCodes(events).front(), 1001);
  EXPECT_EQ(StageCodes(events).back(), 2003);
}

TEST_F(Orchestrator, InsNewWaitsUntilTheRunningProductEnds) {
  const std::wstring previous = InstallPrevious(dir_ / L"Old");
  // The previous version's product is running and ends by itself in 1.5 s.
  const std::wstring product = L"\"" + dir_ / L"Old\\transvera.exe" + L"\" -exitafter=1500";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  std::wstring line = product;
  ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  Utils::ScopedHandle productProcess(process.hProcess);
  ::CloseHandle(process.hThread);
  for (int i = 0; i < 100 && !CDownloadInstaller::IsProductRunning(); ++i) ::Sleep(20);
  ASSERT_TRUE(CDownloadInstaller::IsProductRunning());

  InstallerConfig.InsNew = true;
  CDownloadInstaller installer(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer.Configure(PackageUrl(server_), previous, dir_ / L"New", true, true, false, false, L"");
  installer.Start();
  // Start returned only once the product had ended, before the uninstaller ran.
  EXPECT_EQ(::WaitForSingleObject(productProcess.get(), 0), WAIT_OBJECT_0);
  EXPECT_FALSE(CDownloadInstaller::IsProductRunning());
  log_->WaitFor(2003);
  EXPECT_EQ(StageCodes(log_->Events()).front(), 5001);
}

TEST_F(Orchestrator, TeardownDoesNotWaitForeverForAHangingPackage) {
  InstallerConfig.InstCmd = L"-demo-hang=0";
  CDownloadInstaller* installer = new CDownloadInstaller(EventLog::CallbackFor(log_), L"", L"", L"", true, true, true);
  installer->Configure(PackageUrl(server_), L"", dir_ / L"New", true, true, false, false, L"");
  installer->Start();
  log_->WaitFor(2001);
  ::Sleep(300);
  delete installer;  // returns although the package still runs; nothing is reported after it
  const size_t count = log_->Count();
  ::Sleep(300);
  EXPECT_EQ(log_->Count(), count);
  for (DWORD id : InstallTest::ProcessesNamed(L"__Package_Transvera.exe")) InstallTest::KillProcess(id);
}

}  // namespace

namespace {

std::wstring Probe() { return L"\"" + TestSupport::BinPath(L"tvprobe.exe") + L"\""; }

TEST(TvprobeInstall, RunsAWholeInstallationAndExitsByItsOutcome) {
  TempDir dir(L"tvinst");
  DownloadTest::FaultServer server(TestSupport::BinDir());
  const std::wstring previous = InstallPrevious(dir / L"Old");
  auto ok = TestSupport::RunProcess(Probe() + L" install --url " + PackageUrl(server) + L" --dir \"" +
                                    (dir / L"New Folder") + L"\" --prev-uninstaller \"" + previous + L"\"");
  EXPECT_EQ(ok.exitCode, 0u) << ok.out << ok.err;
  const auto lines = TestSupport::Lines(ok.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "5001 0 ");
  EXPECT_EQ(lines.back(), "2003 0 ");
  EXPECT_NE(ok.out.find("\n1003 0 LibCurl\n"), std::string::npos);
  EXPECT_NE(ok.out.find("\n3001 0 " + TestSupport::Utf8(dir / L"New Folder\\transvera.exe") + "\n"), std::string::npos);

  auto failed = TestSupport::RunProcess(Probe() + L" install --type 3 --url " +
                                        server.Url("/root/0/0/x/no-such-package.exe") + L" --dir \"" +
                                        (dir / L"Other") + L"\"");
  EXPECT_EQ(failed.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(failed.out).back(), "1004 0 LibCurl");

  for (const wchar_t* bad : {L" install", L" install --url u", L" install --dir d", L" install --url u --dir d --type x",
                             L" install --url u --dir d --what 1"}) {
    const auto usage = TestSupport::RunProcess(Probe() + bad);
    EXPECT_EQ(usage.exitCode, 2u) << TestSupport::Utf8(bad);
  }
}

TEST(TvprobeInstall, TracesEveryStage) {
  TempDir dir(L"tvtrace");
  DownloadTest::FaultServer server(TestSupport::BinDir());
  const std::wstring previous = InstallPrevious(dir / L"Old");
  const auto capture = TestSupport::CaptureDebugOutput(Probe() + L" install --url " + PackageUrl(server) +
                                                       L" --dir \"" + (dir / L"New") + L"\" --prev-uninstaller \"" +
                                                       previous + L"\"");
  ASSERT_EQ(capture.result.exitCode, 0u);
  std::vector<std::wstring> messages;  // of the orchestrator, in order
  for (const auto& s : capture.strings) {
    const size_t at = s.find(L"(CDownloadInstaller::Start)<");
    if (at != std::wstring::npos) messages.push_back(s.substr(s.find(L">: ", at) + 3));
  }
  const std::vector<std::wstring> expected = {
      L"DL_TYPE=1\r\n",         L"UNIST_CODE_START\r\n", L"UNIST_CODE_SUCCESS\r\n", L"DL_CODE_START\r\n",
      L"DOWNLOAD_SUCCESS\r\n",  L"DL_CODE_SUCCESS\r\n",  L"IST_CODE_START\r\n",     L"INSTALL_SUCCESS\r\n"};
  std::vector<std::wstring> seen;
  for (const auto& m : messages)
    if (m != L"UNIST_CODE_PROGRESS\r\n" && m != L"DL_CODE_PROGRESS\r\n") seen.push_back(m);
  EXPECT_EQ(seen, expected);
}

}  // namespace
