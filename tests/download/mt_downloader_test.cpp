// The multi-part downloader (DownloadType 3) against the fault server and
// nginx on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/config.h"
#include "download/download_support.h"
#include "support/fault_content.h"
#include "support/test_support.h"

using namespace DownloadTest;
using TestSupport::TempDir;

namespace {

constexpr int kMulti = 3;

std::string Path(const char* mode, uint64_t parameter, uint64_t size) {
  return "/" + std::string(mode) + "/" + std::to_string(parameter) + "/" + std::to_string(size) + "/f.bin";
}

TEST(MultiPartDownloader, SplitsIntoAtMostTwoRangesOfTenMebibyteUnits) {
  const struct {
    uint64_t size;
    std::set<std::string> ranges;
  } cases[] = {
      {15728640, {"bytes=0-15728639"}},
      {20971520, {"bytes=0-10485759", "bytes=10485760-20971519"}},
      {26214400, {"bytes=0-13107199", "bytes=13107200-26214399"}},
      {20971521, {"bytes=0-10485759", "bytes=10485760-20971520"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    FaultServer server;
    // With the digest in the URL: the joined file must pass it.
    const std::string path = "/plain/0/" + std::to_string(c.size) + "/" + Md5Hex(FaultContent::Make(c.size)) + "/f.bin";
    const auto events = RunDownload(kMulti, server.Url(path), dir / L"f.bin");
    EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS})) << c.size;
    EXPECT_EQ(events.back().text, L"LibCurl");
    std::set<std::string> ranges;
    for (const auto& get : Gets(server.Stop())) ranges.insert(get.range);
    EXPECT_EQ(ranges, c.ranges) << c.size;
    EXPECT_TRUE(FileBytes(dir / L"f.bin") == FaultContent::Make(c.size)) << c.size;
    EXPECT_FALSE(TestSupport::FileExists(dir / L"f.bin_0"));
    EXPECT_FALSE(TestSupport::FileExists(dir / L"f.bin_1"));
  }
}

TEST(MultiPartDownloader, AcceptsTwoHundredFiftySixBytesButNotLess) {
  TempDir dir;
  FaultServer server;
  auto events = RunDownload(kMulti, server.Url(Path("plain", 0, 256)), dir / L"a.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"a.bin"), FaultContent::Make(256));
  events = RunDownload(kMulti, server.Url(Path("plain", 0, 255)), dir / L"b.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_EQ(events.back().value, 0.0);
  EXPECT_EQ(Gets(server.Stop()).size(), 1u);  // only the 256-byte file was fetched
}

TEST(MultiPartDownloader, ResumesKeptPartFilesAfterARetryWithProgress) {
  // Every answer is cut after 256 KiB: a range gets 13 tries per attempt.
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kMulti, server.Url(Path("cut", 262144, 15728640)), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
  for (const auto& e : events) {
    if (e.code == DL_CODE_RETRY || e.code == DL_CODE_FAIL) {
      EXPECT_EQ(e.value, 18.0);
    }
  }
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 26u);
  for (size_t i = 0; i < gets.size(); ++i)  // each try continues where the last one stopped
    EXPECT_EQ(gets[i].range, "bytes=" + std::to_string(i * 262144) + "-15728639") << i;
}

TEST(MultiPartDownloader, AResumedDownloadPassesItsDigest) {
  // The range fails all 13 tries of the first attempt (256 KiB each); the
  // second attempt resumes the part file, whose digest is read back from disk.
  const uint64_t size = 15728640;
  const std::string content = FaultContent::Make(size);
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(
      kMulti, server.Url("/cutfirst/13/" + std::to_string(size) + "/" + Md5Hex(content) + "/f.bin"), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_TRUE(FileBytes(dir / L"f.bin") == content);
  uint64_t sent = 0;
  for (const auto& get : Gets(server.Stop())) sent += get.sent;
  EXPECT_EQ(sent, size);  // nothing was fetched twice
}

TEST(MultiPartDownloader, StartsOverAfterARetryWithoutProgress) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kMulti, server.Url(Path("status", 500, 2097152)), dir / L"f.bin");
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_EQ(events.back().value, 22.0);
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 14u);  // seven tries per attempt
  for (const auto& get : gets) EXPECT_EQ(get.range, "bytes=0-2097151");
}

TEST(MultiPartDownloader, AStalledRangeEndsInTwentyEightAndIsRetried) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kMulti, server.Url(Path("stall", 1, 2097152)), dir / L"f.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"f.bin"), FaultContent::Make(2097152));
  const auto gets = Gets(server.Stop());
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_EQ(gets[0].sent, 1u);
  EXPECT_GE(gets[1].millis - gets[0].millis, 5000u);  // the low-speed limit gave up after 5 s
  EXPECT_EQ(gets[1].range, "bytes=1-2097151");
}

TEST(MultiPartDownloader, DropsBytesBeyondTheRequestedRange) {
  TempDir dir;
  FaultServer server;
  const auto events = RunDownload(kMulti, server.Url(Path("overlong", 1000, 20971520)), dir / L"f.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_TRUE(FileBytes(dir / L"f.bin") == FaultContent::Make(20971520));
  EXPECT_EQ(Gets(server.Stop()).size(), 2u);  // the surplus did not cost another request
}

TEST(MultiPartDownloader, NeverStoresAWholeFileAnswerAsALaterRange) {
  TempDir dir;
  {
    FaultServer server;
    const auto events = RunDownload(kMulti, server.Url(Path("norange", 0, 20971520)), dir / L"f.bin");
    EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(events.back().value, 33.0);
    EXPECT_FALSE(TestSupport::FileExists(dir / L"f.bin"));
    int firstRangeRequests = 0;
    for (const auto& get : Gets(server.Stop())) {
      if (get.range == "bytes=0-10485759") {
        ++firstRangeRequests;
      } else {
        EXPECT_EQ(get.status, 200);  // answered with the whole file: refused, never stored
      }
    }
    // The first range was complete after its first answer: the second
    // attempt found its part file full and started no transfer for it.
    EXPECT_EQ(firstRangeRequests, 1);
  }
  // One range from the first byte: the whole file is exactly what was asked for.
  FaultServer server;
  const auto events = RunDownload(kMulti, server.Url(Path("norange", 0, 1500000)), dir / L"g.bin");
  EXPECT_EQ(events.back().code, DL_CODE_SUCCESS);
  EXPECT_EQ(FileBytes(dir / L"g.bin"), FaultContent::Make(1500000));
}

TEST(MultiPartDownloader, ProbeFailuresEndTheDownload) {
  TempDir dir;
  const std::wstring fileUrl = FileUrl(dir / L"source.bin");
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"source.bin", FaultContent::Make(1200000)));
  FaultServer server;
  const std::wstring urls[] = {fileUrl, server.Url(Path("nolength", 0, 2097152)),
                               server.Url(Path("status", 404, 0))};
  for (const auto& url : urls) {
    const auto events = RunDownload(kMulti, url, dir / L"f.bin");
    EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL})) << TestSupport::Utf8(url);
    EXPECT_EQ(events.back().value, 0.0);
  }
  EXPECT_TRUE(Gets(server.Stop()).empty());
}

TEST(MultiPartDownloader, WithoutLibcurlEveryAttemptFailsWithoutNetwork) {
  TempDir dir;
  FaultServer server;
  curlReady = false;
  const auto events = RunDownload(kMulti, server.Url(Path("plain", 0, 2097152)), dir / L"f.bin");
  curlReady = true;
  EXPECT_EQ(Codes(events), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
  EXPECT_TRUE(server.Stop().empty());
}

TEST(MultiPartDownloader, ReportsRisingProgressInWholePercentSteps) {
  TempDir dir;
  FaultServer server;
  EventLog log;
  RunDownload(kMulti, server.Url(Path("slow", 4194304, 25165824)), dir / L"f.bin", &log);
  const auto progress = log.Progress();
  ASSERT_GE(progress.size(), 2u);
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i] - progress[i - 1], 0.0099);
  EXPECT_LE(progress.back(), 1.0);
}

}  // namespace
