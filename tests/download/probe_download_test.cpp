// `tvprobe download` as a publisher runs it: its output and exit code, the
// certificate check with a test CA, and the downloaders' trace lines.
#include <gtest/gtest.h>

#include <regex>

#include "download/download_support.h"
#include "support/test_support.h"

using namespace DownloadTest;
using TestSupport::TempDir;

namespace {

std::wstring Probe() { return L"\"" + TestSupport::BinPath(L"tvprobe.exe") + L"\""; }

TestSupport::ProcessResult RunProbe(const std::wstring& args) {
  return TestSupport::RunProcess(Probe() + L" download " + args, 180000);
}

TEST(TvprobeDownload, PrintsEventsAndExitsByTheLastOne) {
  TempDir dir;
  const std::wstring out = L" --out \"" + (dir / L"p.exe") + L"\"";
  auto ok = RunProbe(L"--type 1 --url " + NginxServer().Url(L"/files/package.exe") + out);
  EXPECT_EQ(ok.exitCode, 0u) << ok.err;
  auto lines = TestSupport::Lines(ok.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "1001 1 ");
  EXPECT_EQ(lines[lines.size() - 2], "1006 0 curl\xe8\x8e\xb7\xe5\x8f\x96url-md5\xe5\xa4\xb1\xe8\xb4\xa5");
  EXPECT_EQ(lines.back(), "1003 0 LibCurl");

  auto failed = RunProbe(L"--type 3 --url " + NginxServer().Url(L"/files/missing.exe") + out);
  EXPECT_EQ(failed.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(failed.out).back(), "1004 0 LibCurl");
}

TEST(TvprobeDownload, BadUsageExitsTwo) {
  for (const wchar_t* args : {L"", L"--url http://x/ --out", L"--type x --url http://x/ --out o",
                              L"--url http://x/", L"--type 1 --out o", L"--bogus 1 --url u --out o"}) {
    const auto result = RunProbe(args);
    EXPECT_EQ(result.exitCode, 2u) << TestSupport::Utf8(args);
    EXPECT_NE(result.err.find("usage"), std::string::npos);
  }
}

// Schannel under Wine trusts any certificate unless libcurl names a CA file;
// with the test CA the checks are real: a certificate for another name fails.
TEST(TvprobeDownload, VerifiesCertificatesAndHostNames) {
  TempDir dir;
  const std::wstring out = L" --out \"" + (dir / L"p.exe") + L"\"";
  const std::wstring ca = L" --cainfo \"" + NginxServer().CaFile() + L"\"";
  for (const wchar_t* type : {L"1", L"3"}) {
    const auto good = RunProbe(std::wstring(L"--type ") + type + ca + L" --url " +
                               NginxServer().HttpsUrl(L"/files/exactly-1m.bin") + out);
    EXPECT_EQ(good.exitCode, 0u) << TestSupport::Utf8(type) << good.out;
    const auto wrong = RunProbe(std::wstring(L"--type ") + type + ca + L" --url " +
                                NginxServer().HttpsUrl(L"/files/exactly-1m.bin", true) + out);
    EXPECT_EQ(wrong.exitCode, 1u) << TestSupport::Utf8(type) << wrong.out;
    const std::string last = TestSupport::Lines(wrong.out).back();
    // Both fail in their probes: the single stream finds no usable length,
    // the two-range downloader no answer.
    EXPECT_EQ(last, std::wstring(type) == L"1" ? "1004 -998 LibCurl" : "1004 0 LibCurl");
  }
}

std::vector<std::string> TraceLines(const std::wstring& downloadArgs) {
  const auto capture = TestSupport::CaptureDebugOutput(Probe() + L" download " + downloadArgs, 180000);
  std::vector<std::string> lines;
  for (const auto& s : capture.strings) lines.push_back(TestSupport::Utf8(s));
  return lines;
}

bool HasTrace(const std::vector<std::string>& lines, const std::string& function, const std::string& message) {
  const std::regex shape("<P\\d{5,}><T\\d{5,}><\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}>\\((.*)\\)<\\d{4,}>: ([\\s\\S]*)");
  for (const auto& line : lines) {
    std::smatch m;
    if (std::regex_match(line, m, shape) && m[1] == function && m[2] == message) return true;
  }
  return false;
}

TEST(DownloadTraces, SingleStreamClient) {
  TempDir dir;
  FaultServer server;
  const auto lines = TraceLines(L"--type 1 --url " + server.Url("/cut/524288/1048576/f.bin") + L" --out \"" +
                                (dir / L"f.bin") + L"\"");
  EXPECT_TRUE(HasTrace(lines, "CurlClient::Start", "start download\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CurlClient::Start", "error:18:Transferred a partial file\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CCurlDownloader::dlThreadFun", "CurlDownLoader Code=18\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CurlClient::Start", "error:0:No error\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CurlClient::Start", "end download\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CurlClient::Head", "error:0:No error\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CurlClient::GetDownloadFileLength", "error:0:No error\r\n"));
  EXPECT_TRUE(HasTrace(lines, "Utils::Thread::CallBack", "THREAD BEGIN\r\n"));
}

TEST(DownloadTraces, ProgressOfTheSingleStreamClient) {
  TempDir dir;
  FaultServer server;
  const auto lines = TraceLines(L"--type 1 --url " + server.Url("/slow/1048576/3145728/f.bin") + L" --out \"" +
                                (dir / L"f.bin") + L"\"");
  // " <MiB received>M <MiB expected>M   progress:<percent>%  speed:<KiB/s> " and a bare line feed.
  const std::regex progress(
      ".*\\(CurlClient::ProgressCallback\\)<\\d{4,}>:  [0-3]M 3M   progress:\\d+\\.\\d{6}%  speed:\\d+\\.\\d{6} \n");
  int seen = 0;
  for (const auto& line : lines) seen += std::regex_match(line, progress) ? 1 : 0;
  EXPECT_GE(seen, 1);
}

TEST(DownloadTraces, MultiPartDownloader) {
  TempDir dir(L"tr\u00e4ce");
  FaultServer server;
  const std::wstring target = dir / L"f.bin";
  const auto lines =
      TraceLines(L"--type 3 --url " + server.Url("/stall/1/20971520/f.bin") + L" --out \"" + target + L"\"");
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::Start_Down", "start download\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::getRealDownloadUrl",
                       "Download File real url " + TestSupport::Utf8(server.Url("/stall/1/20971520/f.bin")) + "\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::getRealDownloadUrl", "Download File Length 20971520\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::downloadExe", "error:28:Timeout was reached\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::downloadThreadFun", "CurlDownLoader Code=28\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::downloadExe", "curl_easy_cleanup\r\n"));
  // The part file's path, non-ASCII letters and all, is printed as text.
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::waitForFinishThreadFun",
                       "partPath::" + TestSupport::Utf8(target) + "_1\r\n"));
  EXPECT_TRUE(HasTrace(lines, "CMTCurlDownloader::waitForFinishThreadFun", "finish recv\r\n"));
}

}  // namespace
