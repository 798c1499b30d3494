// CurlClient: one single-stream download with libcurl. It probes the server
// for the effective URL and the file length, fetches the body into
// "<target>.part" (resuming what that file already holds), and puts the
// finished file in place. Used by CCurlDownloader on its worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "download/curl_handles.h"
#include "utils/strings.h"

class CCurlDownloader;

class CurlClient {
 public:
  // Result codes of Start besides libcurl's own (0 = success).
  static constexpr int kLengthTooSmall = -998;  // probed length below 1 MiB, or none
  static constexpr int kNoHandle = -997;
  static constexpr int kPartFileError = -996;
  static constexpr double kMinimumLength = 1048576.0;

  // Receives progress on the transfer's thread: (owner, bytes per second, percent).
  using ProgressSink = void (*)(CCurlDownloader* owner, double speed, double percent);

  CurlClient(const std::wstring& url, const std::wstring& path, CCurlDownloader* owner, ProgressSink sink);
  // Raises the stop flag and deletes the part file.
  ~CurlClient();
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  // The whole download, synchronous. Probe results are kept between calls.
  int Start();

  // Makes a running transfer abort at its next progress call. Any thread.
  void RequestStop() { stop_ = true; }

  const std::string& effectiveUrl() const { return effectiveUrl_; }
  double fileLength() const { return fileLength_; }
  // MD5 of the file the last successful Start put in place, computed while
  // it was written (empty when it could not be).
  const std::string& fileDigest() const { return fileDigest_; }

  // The probing requests; they use none of the client's fields.
  static Download::ScopedCurl Head(const std::string& url);
  static std::string GetRealUrl(CURL* handle);
  static double GetDownloadFileLength(CURL* handle);
  static std::string GetRealUrl_Str(const std::string& url);
  static double GetDownloadFileLength_Str(const std::string& url);

  // libcurl's transfer-progress function; `client` is the CurlClient.
  static int ProgressCallback(void* client, curl_off_t expected, curl_off_t received, curl_off_t uploadExpected,
                              curl_off_t uploaded);

 private:
  std::wstring url_;
  std::wstring path_;
  CCurlDownloader* owner_;
  CURL* curl_ = nullptr;  // the running transfer's handle, owned by Start
  ProgressSink progressSink_;
  double fileLength_ = -1.0;
  int64_t resumeOffset_ = -1;
  int64_t lastProgressSecond_ = 0;
  std::atomic<bool> stop_{false};
  std::string effectiveUrl_;

  // The running transfer's part file; with a digest in the URL, the digest
  // of everything in it, kept while it is written.
  static size_t WriteToPart(char* data, size_t size, size_t count, void* client);
  FILE* part_ = nullptr;
  Utils::Md5 partDigest_;
  bool partDigestValid_ = false;
  std::string fileDigest_;
};
