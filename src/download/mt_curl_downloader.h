// CMTCurlDownloader: the multi-part downloader. It probes the server once for
// the effective URL, the length and the digest, splits the file into one or
// two byte ranges (10 MiB units, at most two, the remainder to the last),
// fetches each range on its own thread into "<target>_<i>" (resuming what an
// earlier attempt left there), joins the part files into the target and
// checks the digest. Reports with the text "LibCurl".
//
// Threads: Start runs Start_Down on a worker ("ABDEF") that launches one
// thread per unfinished range and one completion thread, then ends. Progress
// comes from the range threads, every final report from the completion thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "download/downloader.h"
#include "utils/strings.h"
#include "utils/thread.h"

class CMTCurlDownloader : public CDownloader {
 public:
  static constexpr int64_t kRangeUnit = 10485760;  // 10 MiB
  static constexpr int64_t kMinimumLength = 256;

  // One byte range and its part file. Written by its own range thread only;
  // bytesReceived is also read (maybe a little stale) by the progress function.
  struct DownloadPartNode {
    FILE* file = nullptr;     // open for appending while the range is incomplete
    int64_t nextOffset = 0;   // absolute offset of the next byte still needed
    int64_t lastOffset = 0;   // absolute offset of the range's last byte
    CURL* handle = nullptr;   // reused by every attempt of the range
    std::string url;
    std::string partPath;
    int status = -1;  // 0 complete, -1 pending, -2 part file failed to open, else libcurl result
    std::atomic<int64_t> bytesReceived{0};
    // Range 0, when the URL carries a digest: the MD5 of its part file so
    // far, kept while it is written; the join continues it over later parts.
    std::unique_ptr<Utils::Md5> digest;

    // The answer of the running attempt, checked before its first byte is stored.
    long responseStatus = 0;
    int64_t contentRangeFirst = -1;
    int64_t contentRangeLast = -1;
    bool answerChecked = false;
    bool answerRejected = false;
  };

  // Deletes the target and both part files. No network access.
  CMTCurlDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path);
  // Stops running transfers and waits for every thread of the downloader.
  ~CMTCurlDownloader() override;

  void Start() override;

  static unsigned int Start_Down(void* downloader);
  bool getRealDownloadUrl(const std::string& url);
  int downloadExe(DownloadPartNode* part);
  static void downloadThreadFun(CMTCurlDownloader* downloader, DownloadPartNode* part);
  static void waitForFinishThreadFun(CMTCurlDownloader* downloader);

  // libcurl callbacks of a range transfer (run on its range thread).
  static size_t WritePart(char* data, size_t size, size_t count, void* part);
  static size_t ReadHeader(char* data, size_t size, size_t count, void* part);
  static int Progress(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

 private:
  void Report(int code, double value, const wchar_t* text);
  void ReleaseParts();
  void DeletePartFiles();
  std::string PartPath(int index) const;
  // Ends an attempt that did not produce the file: retry once, then fail.
  void FinishUnsuccessfully(int status);
  // Runs `body` on a detached thread counted in liveThreads_.
  template <typename Body>
  void Launch(Body body);

  std::vector<std::unique_ptr<DownloadPartNode>> parts_;
  StatusCallback callback_;
  std::wstring path_;
  std::wstring url_;
  std::string narrowPath_;
  std::string effectiveUrl_;
  int64_t fileLength_ = -1;  // 64-bit: files of 2 GiB and more work too
  std::string expectedDigest_;
  double lastReportedPercent_ = 0.0;
  std::atomic<int> runningParts_{0};
  std::mutex partsLock_;  // with partsDone_: the completion thread waits for the count to reach 0
  std::condition_variable partsDone_;
  std::mutex lock_;  // progress bookkeeping
  int64_t lastProgressSecond_ = 0;
  bool retried_ = false;
  std::unique_ptr<Utils::Thread> worker_;

  // Teardown: detached threads are counted so the destructor can wait for them.
  std::atomic<bool> stopping_{false};
  std::mutex startLock_;  // Start (owner or completion thread) against teardown
  std::mutex threadsLock_;
  std::condition_variable threadsDone_;
  int liveThreads_ = 0;
};
