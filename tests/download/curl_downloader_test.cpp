// The single-stream downloader (DownloadType 1) and its HTTP client, against
// nginx and the fault server on loopback.
#include <gtest/gtest.h>

#include <mutex>

#include "download/curl_client.h"
#include "download/download_support.h"
#include "support/fault_content.h"
#include "support/test_support.h"
#include "utils/strings.h"

using namespace DownloadTest;
using TestSupport::TempDir;

namespace {

constexpr int kSingle = 1;

const Event& Last(const std::vector<Event>& events) { return events.back(); }

TEST(CurlDownloader, FollowsARedirectAndAcceptsTheMatchingDigest) {
  TempDir dir;
  const auto events = RunDownload(kSingle, NginxServer().Url(L"/redirect/package.exe"), dir / L"pkg.exe");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_EQ(events.front().value, 1.0);
  EXPECT_EQ(Last(events).text, L"LibCurl");
  EXPECT_EQ(Md5Hex(FileBytes(dir / L"pkg.exe")), NginxServer().Md5());
  EXPECT_FALSE(TestSupport::FileExists(dir / L"pkg.exe.part"));
}

TEST(CurlDownloader, UsesEveryDownloadTypeButTwoAndThree) {
  for (int type : {0, 1, 4, -7}) {
    TempDir dir;
    FaultServer server;
    const auto events = RunDownload(type, server.Url("/plain/0/1048576/f.bin"), dir / L"f.bin");
    EXPECT_EQ(Last(events).text, L"LibCurl") << type;
    // The single-stream client probes with HEAD and fetches without a range.
    const auto gets = Gets(server.Stop());
    ASSERT_EQ(gets.size(), 1u) << type;
    EXPECT_EQ(gets[0].range, "-");
  }
}

TEST(CurlDownloader, A404IsTriedSixTimesHalfASecondApart) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kSingle, server.Url("/status/404/2097152/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_EQ(Last(events).value, 22.0);
  EXPECT_EQ(Last(events).text, L"LibCurl");
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 6u);
  for (size_t i = 1; i < gets.size(); ++i) EXPECT_GE(gets[i].millis - gets[i - 1].millis, 450u);
}

TEST(CurlDownloader, ResumesAfterEveryCutWithoutFetchingAByteTwice) {
  const uint64_t size = 2621440, cut = 262144;  // ten transfers of 256 KiB
  TempDir dir;
  FaultServer server;
  // The digest, kept while the pieces arrive, matches the whole file.
  const auto events = RunDownload(
      kSingle, server.Url("/cut/262144/2621440/" + Md5Hex(FaultContent::Make(size)) + "/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_EQ(FileBytes(dir / L"f.bin"), FaultContent::Make(size));
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 10u);
  uint64_t received = 0;
  for (const auto& get : gets) {
    EXPECT_EQ(get.range, received == 0 ? "-" : "bytes=" + std::to_string(received) + "-");
    EXPECT_EQ(get.sent, cut);
    received += get.sent;
  }
  EXPECT_EQ(received, size);  // the server sent every byte exactly once
}

TEST(CurlDownloader, GivesUpAfterTwelveInterruptedTransfers) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kSingle, server.Url("/cut/131072/2621440/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_EQ(Last(events).value, 18.0);
  EXPECT_EQ(Gets(server.Stop()).size(), 12u);
}

TEST(CurlDownloader, RefusesFilesUnderOneMebibyte) {
  TempDir dir;
  {
    FaultServer server;
    const auto events = RunDownload(kSingle, server.Url("/plain/0/921600/f.bin"), dir / L"small.bin");
    EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(Last(events).value, -998.0);
    EXPECT_TRUE(Gets(server.Stop()).empty());  // no body was ever asked for
  }
  FaultServer server;
  const auto events = RunDownload(kSingle, server.Url("/plain/0/1048576/f.bin"), dir / L"exact.bin");
  EXPECT_EQ(Last(events).code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"exact.bin"), FaultContent::Make(1048576));
}

TEST(CurlDownloader, AServerWithoutALengthIsRefused) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kSingle, server.Url("/nolength/0/2097152/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Last(events).code, DL_CODE_FAIL);
  EXPECT_EQ(Last(events).value, -998.0);
}

TEST(CurlDownloader, StoresAGzipEncodedBodyDecoded) {
  const std::string content = FaultContent::Make(1500000);
  TempDir dir;
  FaultServer server;
  const auto events =
      RunDownload(kSingle, server.Url("/gzip/0/1500000/" + Md5Hex(content) + "/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_EQ(FileBytes(dir / L"f.bin"), content);
}

TEST(CurlDownloader, ReplacesAnExistingTarget) {
  TempDir dir;
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"f.bin", std::string(5000000, 'x')));
  FaultServer server;
  RunDownload(kSingle, server.Url("/plain/0/1048576/f.bin"), dir / L"f.bin");
  EXPECT_EQ(FileBytes(dir / L"f.bin"), FaultContent::Make(1048576));
}

TEST(CurlDownloader, ReadsALocalFileUrlInTheAnsiCodePage) {
  TempDir dir(L"caf\u00e9");
  const std::string content = FaultContent::Make(1200000);
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"s\u00f6urce.bin", content));
  const std::wstring url = FileUrl(dir / L"s\u00f6urce.bin");
  const auto events = RunDownload(kSingle, url, dir / L"copy.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_MD5_NOTICE, DL_CODE_SUCCESS}));
  EXPECT_EQ(FileBytes(dir / L"copy.bin"), content);
}

TEST(CurlDownloader, ReportsProgressAtMostOncePerSecond) {
  TempDir dir;
  FaultServer server;
  EventLog log;
  RunDownload(kSingle, server.Url("/slow/1048576/3145728/f.bin"), dir / L"f.bin", &log);
  const auto progress = log.Progress();
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_FALSE(progress.empty());
  EXPECT_LE(progress.size(), gets[0].millis / 1000 + 2);
  for (size_t i = 0; i < progress.size(); ++i) {
    EXPECT_GT(progress[i], 0.0);
    EXPECT_LE(progress[i], 1.0);
    if (i > 0) {
      EXPECT_GE(progress[i], progress[i - 1]);
    }
  }
}

// The client on its own: a part file left by an earlier attempt.
std::mutex g_percentLock;
std::vector<double> g_percents;
void RecordPercent(CCurlDownloader*, double, double percent) {
  std::lock_guard<std::mutex> lock(g_percentLock);
  g_percents.push_back(percent);
}

TEST(CurlClient, ResumesFromThePartFileAndCountsItAsDone) {
  const uint64_t size = 8388608, already = 5242880;
  const std::string content = FaultContent::Make(size);
  TempDir dir;
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"f.bin.part", content.substr(0, already)));
  FaultServer server;
  g_percents.clear();
  {
    CurlClient client(server.Url("/slow/1048576/8388608/f.bin"), dir / L"f.bin", nullptr, &RecordPercent);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_EQ(FileBytes(dir / L"f.bin"), content);
  }
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].range, "bytes=5242880-");
  EXPECT_EQ(gets[0].sent, size - already);
  ASSERT_FALSE(g_percents.empty());
  EXPECT_GE(g_percents.front(), 100.0 * already / size);
}

TEST(CurlClient, AnEmptyPartFileAsksForNoRange) {
  TempDir dir;
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"f.bin.part", ""));
  FaultServer server;
  {
    CurlClient client(server.Url("/plain/0/1048576/f.bin"), dir / L"f.bin", nullptr, &RecordPercent);
    EXPECT_EQ(client.Start(), 0);
  }
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].range, "-");
}

TEST(CurlClient, AServerIgnoringTheRangeCannotCorruptAResumedFile) {
  const std::string content = FaultContent::Make(3145728);
  TempDir dir;
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"f.bin.part", content.substr(0, 1048576)));
  FaultServer server;
  CurlClient client(server.Url("/norange/0/3145728/f.bin"), dir / L"f.bin", nullptr, &RecordPercent);
  EXPECT_EQ(client.Start(), 33);  // CURLE_RANGE_ERROR
  EXPECT_EQ(FileBytes(dir / L"f.bin.part"), content.substr(0, 1048576));
  EXPECT_FALSE(TestSupport::FileExists(dir / L"f.bin"));
}

}  // namespace
