// CCurlDownloader: the default downloader. Runs CurlClient on a worker
// thread, repeats failed transfers (a budget of 12, one unit per interrupted
// transfer and two per other failure), checks the finished file against the
// digest in its URL and reports with the text "LibCurl".
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "download/curl_client.h"
#include "download/downloader.h"
#include "utils/thread.h"

class CCurlDownloader : public CDownloader {
 public:
  // Removes a part file left by an earlier run. No network access.
  CCurlDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path);
  // Stops a running transfer and waits for the worker.
  ~CCurlDownloader() override;

  void Start() override;

  // Worker body; `downloader` is the CCurlDownloader.
  static unsigned int dlThreadFun(void* downloader);

 private:
  // The client's progress sink: reports DL_CODE_PROGRESS for a moving
  // transfer with a sane percent. Runs on the worker thread.
  static void ForwardProgress(CCurlDownloader* owner, double speed, double percent);
  void Report(int code, double value, const wchar_t* text);

  StatusCallback callback_;
  std::wstring path_;
  std::wstring url_;
  CurlClient client_;
  std::unique_ptr<Utils::Thread> worker_;
  bool retried_ = false;

  // A worker that called Start on itself (answering DL_CODE_RETRY): it is
  // released once it has returned, at the next Start or at destruction.
  std::unique_ptr<Utils::Thread> retired_;
  std::atomic<bool> stopping_{false};
  std::mutex startLock_;  // Start (owner or worker thread) against teardown
};
