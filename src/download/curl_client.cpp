#include "download/curl_client.h"

#include <cstdio>
#include <ctime>

#include "download/downloader.h"
#include "utils/strings.h"
#include "utils/trace.h"

namespace {

using Download::ScopedCurl;

using Download::ErrorText;

// The options every probing request sets: a HEAD request of `url` whose
// body, if any, is dropped; `header` also hands the headers to the write
// function. Returns the bitwise OR of the option results.
int SetProbeOptions(CURL* c, const std::string& url, bool followRedirects, bool header) {
  int options = 0;
  options |= curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  if (followRedirects) options |= curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  if (header) options |= curl_easy_setopt(c, CURLOPT_HEADER, 1L);
  options |= curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  options |= curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Download::DiscardBody);
  options |= curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
  options |= Download::ApplyTlsSettings(c);
  return options;
}

}  // namespace

CurlClient::CurlClient(const std::wstring& url, const std::wstring& path, CCurlDownloader* owner,
                       ProgressSink sink)
    : url_(url), path_(path), owner_(owner), progressSink_(sink) {}

CurlClient::~CurlClient() {
  stop_ = true;
  ::DeleteFileA(Utils::ToNarrow(path_ + L".part", CP_ACP).c_str());
}

// Runs on the transfer's thread, inside curl_easy_perform.
size_t CurlClient::WriteToPart(char* data, size_t size, size_t count, void* user) {
  auto* client = static_cast<CurlClient*>(user);
  const size_t written = std::fwrite(data, size, count, client->part_);
  if (client->partDigestValid_) client->partDigestValid_ = client->partDigest_.Update(data, written * size);
  return written;
}

int CurlClient::Start() {
  TRACE(L"start download");
  fileDigest_.clear();
  const std::string partPath = Utils::ToNarrow(path_ + L".part", CP_ACP);
  const std::string targetPath = Utils::ToNarrow(path_, CP_ACP);
  const std::string url = Download::NarrowUrl(url_);

  if (effectiveUrl_.empty() || fileLength_ < kMinimumLength) {
    ScopedCurl head = Head(url);
    effectiveUrl_ = GetRealUrl(head.get());
    fileLength_ = GetDownloadFileLength(head.get());
  }

  int result = 0;
  ScopedCurl transfer;
  Utils::ScopedFile part;
  Download::ScopedCurlList headers;
  if (effectiveUrl_.empty() || fileLength_ < kMinimumLength) {
    effectiveUrl_ = GetRealUrl_Str(url);
    if (!effectiveUrl_.empty()) fileLength_ = GetDownloadFileLength_Str(effectiveUrl_);
    if (fileLength_ < kMinimumLength) result = kLengthTooSmall;
  }
  if (result == 0) {
    transfer.reset(curl_easy_init());
    if (!transfer) result = kNoHandle;
  }
  if (result == 0) {
    part.reset(std::fopen(partPath.c_str(), "ab+"));
    if (!part) result = kPartFileError;
  }
  if (result == 0) {
    CURL* c = transfer.get();
    curl_ = c;
    headers.reset(curl_slist_append(nullptr, "Connection: keep-alive"));
    int options = 0;
    options |= curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    // The request asks for gzip or deflate; libcurl decodes such a body, so
    // the part file always holds the file itself, never its encoded form.
    options |= curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    options |= curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    options |= curl_easy_setopt(c, CURLOPT_TCP_KEEPIDLE, 10L);
    options |= curl_easy_setopt(c, CURLOPT_TCP_KEEPINTVL, 10L);
    options |= curl_easy_setopt(c, CURLOPT_TIMEOUT, 0L);
    options |= curl_easy_setopt(c, CURLOPT_URL, effectiveUrl_.c_str());
    options |= curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CurlClient::WriteToPart);
    options |= curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    // Fewer, larger socket reads: each one costs a system call.
    options |= curl_easy_setopt(c, CURLOPT_BUFFERSIZE, Download::kReceiveBuffer);
    options |= curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    options |= curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    options |= curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    options |= curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    options |= curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
    options |= Download::ApplyTlsSettings(c);
    resumeOffset_ = Download::FileSize(partPath);
    if (static_cast<double>(resumeOffset_) > 1e-10)
      options |= curl_easy_setopt(c, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeOffset_));
    // With a digest in the URL, the digest follows the part file: what an
    // earlier attempt left, then every byte written, so the finished file
    // need not be read again.
    partDigest_.Reset();
    partDigestValid_ = Utils::Md5FromUrl(effectiveUrl_).size() == 32 &&
                       (resumeOffset_ <= 0 || partDigest_.UpdateFromFile(partPath));
    part_ = part.get();
    result = options != 0 ? options : curl_easy_perform(c);
    part_ = nullptr;
    if (result == 0 && partDigestValid_) fileDigest_ = partDigest_.FinishHex();
  }

  TRACE(L"error:%d:%s", result, ErrorText(result).c_str());
  curl_ = nullptr;
  transfer.reset();
  part.reset();
  if (result == 0) {
    ::DeleteFileA(targetPath.c_str());
    ::MoveFileA(partPath.c_str(), targetPath.c_str());  // a failed rename goes unnoticed
  }
  TRACE(L"end download");
  return result;
}

Download::ScopedCurl CurlClient::Head(const std::string& url) {
  ScopedCurl handle(curl_easy_init());
  if (!handle) {
    TRACE(L"error:%d:%s", 0, ErrorText(0).c_str());
    return handle;
  }
  CURL* c = handle.get();
  if (SetProbeOptions(c, url, true, false) != 0) return handle;  // returned unperformed
  const CURLcode result = curl_easy_perform(c);
  if (result != CURLE_OK) TRACE_NOEOL(L"error:%d:%s", static_cast<int>(result), ErrorText(result).c_str());
  TRACE(L"error:%d:%s", static_cast<int>(result), ErrorText(result).c_str());
  return handle;
}

std::string CurlClient::GetRealUrl(CURL* handle) {
  char* url = nullptr;
  if (handle == nullptr || curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr)
    return std::string();
  return url;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
  if (handle == nullptr) return -1.0;
  curl_off_t length = -1;
  long status = 0;
  const CURLcode result = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  TRACE(L"error:%d:%s", static_cast<int>(result), ErrorText(result).c_str());
  if (result != CURLE_OK || curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return -1.0;
  return (status >= 200 && status <= 399) ? static_cast<double>(length) : -1.0;
}

std::string CurlClient::GetRealUrl_Str(const std::string& url) {
  ScopedCurl handle(curl_easy_init());
  if (!handle) return url;
  CURL* c = handle.get();
  if (SetProbeOptions(c, url, true, false) != 0) return url;
  const CURLcode result = curl_easy_perform(c);
  if (result != CURLE_OK) {
    TRACE_NOEOL(L"error:%d:%s", static_cast<int>(result), ErrorText(result).c_str());
    return url;
  }
  const std::string effective = GetRealUrl(c);
  return effective.empty() ? url : effective;
}

double CurlClient::GetDownloadFileLength_Str(const std::string& url) {
  ScopedCurl handle(curl_easy_init());
  if (!handle) {
    TRACE(L"error:%d:%s", 0, ErrorText(0).c_str());
    return -1.0;
  }
  CURL* c = handle.get();
  // Redirects are not followed here, and the request's own result is ignored.
  const int options = SetProbeOptions(c, url, false, true);
  if (options != 0) {
    TRACE(L"error:%d:%s", options, ErrorText(options).c_str());
    return -1.0;
  }
  curl_easy_perform(c);  // the length counts whatever the status (a local file has none)
  curl_off_t length = -1;
  const CURLcode result = curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  TRACE(L"error:%d:%s", static_cast<int>(result), ErrorText(result).c_str());
  return result == CURLE_OK ? static_cast<double>(length) : -1.0;
}

int CurlClient::ProgressCallback(void* data, curl_off_t expected, curl_off_t received, curl_off_t,
                                 curl_off_t) {
  auto* client = static_cast<CurlClient*>(data);
  if (client->stop_) return 1;
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  if (now <= client->lastProgressSecond_) return 0;
  client->lastProgressSecond_ = now;

  curl_off_t bytesPerSecond = 0;
  curl_easy_getinfo(client->curl_, CURLINFO_SPEED_DOWNLOAD_T, &bytesPerSecond);
  const double speed = static_cast<double>(bytesPerSecond);
  double percent = 0.0;
  if (client->fileLength_ > kMinimumLength) {
    percent = static_cast<double>(received + client->resumeOffset_) / client->fileLength_ * 100.0;
  } else {
    if (received <= 0 || expected <= 0) return 0;
    percent = static_cast<double>(received) * 100.0 / static_cast<double>(expected);
  }
  if (percent != 0.0) {
    client->progressSink_(client->owner_, speed, percent);
    if (expected != 0)
      TRACE(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(received / 1048576),
            static_cast<int>(expected / 1048576), static_cast<double>(static_cast<float>(percent)),
            static_cast<double>(static_cast<float>(speed / 1024.0)));
  }
  return 0;
}
