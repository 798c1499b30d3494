// The system downloader (DownloadType 2), URLDownloadToFileW under Wine.
#include <gtest/gtest.h>

#include "download/download_support.h"
#include "download/win_downloader.h"
#include "support/fault_content.h"
#include "support/test_support.h"

using namespace DownloadTest;
using TestSupport::TempDir;

namespace {

constexpr int kSystem = 2;

TEST(WinDownloader, RequestUrlEncodesBlanksAndNonAsciiOnly) {
  EXPECT_EQ(CWinDownloader::RequestUrl(L"http://h/a b/\u4e2d.exe?x=%41"), L"http://h/a+b/%E4%B8%AD.exe?x=%41");
  EXPECT_EQ(CWinDownloader::RequestUrl(L"file:///C:/a b/\u4e2d.exe"), L"file:///C:/a b/\u4e2d.exe");
}

TEST(WinDownloader, DownloadsThePackage) {
  TempDir dir;
  const auto events =
      RunDownload(kSystem, NginxServer().Url(L"/pkg/" + TestSupport::FromUtf8(NginxServer().Md5()) + L"/package.exe"),
               dir / L"package.exe");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_EQ(events.back().text, L"URLDownloadToFile");
  EXPECT_EQ(events.back().value, 0.0);
  EXPECT_EQ(Md5Hex(FileBytes(dir / L"package.exe")), NginxServer().Md5());
}

TEST(WinDownloader, SendsTheUrlPercentEncoded) {
  TempDir dir;
  // Served from "中文+包.bin": only the encoded request (blank as "+") finds it.
  const auto events = RunDownload(kSystem, NginxServer().Url(L"/files/\u4e2d\u6587 \u5305.bin"), dir / L"f.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"f.bin").size(), 1048576u);
  EXPECT_NE(NginxServer().AccessLog().find("GET /files/%E4%B8%AD%E6%96%87+%E5%8C%85.bin "), std::string::npos);
}

TEST(WinDownloader, AnHttpErrorIsNotASuccess) {
  TempDir dir;
  const auto events = RunDownload(kSystem, NginxServer().Url(L"/files/no-such-package.exe"), dir / L"f.exe");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_LT(events.back().value, 0.0);  // an HRESULT
  EXPECT_FALSE(TestSupport::FileExists(dir / L"f.exe"));  // the error page is not kept
  const std::string log = NginxServer().AccessLog();
  size_t tries = 0;
  for (size_t at = log.find("/files/no-such-package.exe"); at != std::string::npos;
       at = log.find("/files/no-such-package.exe", at + 1))
    ++tries;
  EXPECT_EQ(tries, 3u);
}

TEST(WinDownloader, ThreeAttemptsASecondApartThenFailure) {
  TempDir dir;
  const ULONGLONG begin = ::GetTickCount64();
  const auto events = RunDownload(kSystem, L"http://127.0.0.1:1/package.exe", dir / L"f.exe");
  EXPECT_GE(::GetTickCount64() - begin, 2900u);
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_LT(events.back().value, 0.0);
  EXPECT_EQ(events.back().text, L"URLDownloadToFile");
}

TEST(WinDownloader, ALaterStartRunsANewDownload) {
  TempDir dir;
  EventLog log;
  std::unique_ptr<CDownloader> downloader(
      CreateDownloader(kSystem, log.Callback(), L"http://127.0.0.1:1/package.exe", (dir / L"f.exe").c_str()));
  downloader->Start();
  ASSERT_TRUE(log.WaitForEnd());
  ::Sleep(200);
  downloader->Start();  // the user's retry after the failure
  for (int i = 0; i < 100 && log.Codes().size() < 4; ++i) ::Sleep(100);
  EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL, DL_CODE_START, DL_CODE_FAIL}));
}

TEST(WinDownloader, PassesALocalFileUrlUnchanged) {
  TempDir dir(L"w d");
  const std::string content = FaultContent::Make(300000);
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"source file.bin", content));
  const std::wstring url = FileUrl(dir / L"source file.bin");
  const auto events = RunDownload(kSystem, url, dir / L"copy.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"copy.bin"), content);
}

TEST(WinDownloader, AnUnknownSizeGivesNoProgress) {
  TempDir dir;
  FaultServer server;
  EventLog log;
  RunDownload(kSystem, server.Url("/nolength/0/2097152/f.bin"), dir / L"f.bin", &log);
  EXPECT_EQ(log.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_TRUE(log.Progress().empty());
  EXPECT_EQ(FileBytes(dir / L"f.bin"), FaultContent::Make(2097152));
}

}  // namespace
