#include "download/mt_curl_downloader.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <ctime>
#include <thread>

#include "app/config.h"
#include "download/curl_handles.h"
#include "utils/strings.h"
#include "utils/trace.h"

namespace {

const wchar_t kDigestMissing[] = L"mtcurl\u83b7\u53d6url-md5\u5931\u8d25";   // "mtcurl获取url-md5失败"
const wchar_t kDigestMismatch[] = L"mtcurl\u6587\u4ef6md5\u6821\u9a8c\u5931\u8d25";  // "mtcurl文件md5校验失败"

using Download::ErrorText;
using Download::FileSize;

bool StartsWithNoCase(const char* text, size_t length, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return length >= n && _strnicmp(text, prefix, n) == 0;
}

}  // namespace

CMTCurlDownloader::CMTCurlDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path)
    : callback_(std::move(callback)), path_(path), url_(url), narrowPath_(Utils::ToNarrow(path_, CP_ACP)) {
  ::DeleteFileA(narrowPath_.c_str());
  DeletePartFiles();
}

CMTCurlDownloader::~CMTCurlDownloader() {
  std::unique_ptr<Utils::Thread> worker;
  {
    std::lock_guard<std::mutex> lock(startLock_);
    stopping_ = true;  // aborts transfers at their next progress call, silences reports
    worker = std::move(worker_);
  }
  if (worker) worker->Join();
  std::unique_lock<std::mutex> lock(threadsLock_);
  threadsDone_.wait(lock, [this] { return liveThreads_ == 0; });
  lock.unlock();
  ReleaseParts();
}

std::string CMTCurlDownloader::PartPath(int index) const { return narrowPath_ + "_" + std::to_string(index); }

void CMTCurlDownloader::DeletePartFiles() {
  ::DeleteFileA(PartPath(0).c_str());
  ::DeleteFileA(PartPath(1).c_str());
}

void CMTCurlDownloader::Report(int code, double value, const wchar_t* text) {
  if (!stopping_ && callback_) callback_(code, value, text);
}

template <typename Body>
void CMTCurlDownloader::Launch(Body body) {
  {
    std::lock_guard<std::mutex> lock(threadsLock_);
    ++liveThreads_;
  }
  std::thread([this, body]() {
    body();
    // Nothing of the downloader is touched after this: it may be gone.
    std::lock_guard<std::mutex> lock(threadsLock_);
    if (--liveThreads_ == 0) threadsDone_.notify_all();
  }).detach();
}

void CMTCurlDownloader::Start() {
  std::lock_guard<std::mutex> lock(startLock_);
  if (stopping_) return;
  // The previous worker only launched threads and has ended (or is about to);
  // Start is never called from it.
  worker_.reset();
  worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CMTCurlDownloader::Start_Down);
  worker_->Resume();
}

unsigned int CMTCurlDownloader::Start_Down(void* data) {
  auto* self = static_cast<CMTCurlDownloader*>(data);
  self->Report(DL_CODE_START, 1.0, L"");
  TRACE(L"start download");
  const std::string url = Download::NarrowUrl(self->url_);

  ::DeleteFileA(self->narrowPath_.c_str());
  {
    std::lock_guard<std::mutex> lock(self->lock_);
    // No progress reported yet: a fresh run, so earlier part files go.
    if (self->lastReportedPercent_ == 0.0) self->DeletePartFiles();
  }

  if (self->effectiveUrl_.empty() || self->fileLength_ < kMinimumLength) {
    if (!self->getRealDownloadUrl(url)) {
      self->Report(DL_CODE_FAIL, 0.0, Download::kLibCurlText);
      return 0;
    }
  }

  const int64_t count = std::clamp<int64_t>(self->fileLength_ / kRangeUnit, 1, 2);
  const int64_t share = self->fileLength_ / count;
  int64_t start = 0;
  for (int64_t i = 0; i < count; ++i) {
    auto node = std::make_unique<DownloadPartNode>();
    node->partPath = self->PartPath(static_cast<int>(i));
    const int64_t already = std::max<int64_t>(FileSize(node->partPath), 0);
    node->bytesReceived = already;
    node->nextOffset = start + already;
    start += (i == count - 1) ? self->fileLength_ - share * (count - 1) : share;
    node->lastOffset = start - 1;
    node->handle = curl_easy_init();
    node->url = self->effectiveUrl_;
    if (i == 0 && self->expectedDigest_.size() == 32) {
      node->digest = std::make_unique<Utils::Md5>();
      if (already > 0 && !node->digest->UpdateFromFile(node->partPath)) node->digest.reset();
    }
    if (node->lastOffset < node->nextOffset) {
      node->status = 0;  // the part file already holds the whole range
    } else {
      node->status = -1;
      node->file = std::fopen(node->partPath.c_str(), "ab+");
      if (node->file == nullptr) node->status = -2;
    }
    self->parts_.push_back(std::move(node));
  }

  for (auto& node : self->parts_) {
    if (node->status != -1) continue;
    ++self->runningParts_;
    DownloadPartNode* part = node.get();
    self->Launch([self, part] { downloadThreadFun(self, part); });
    ::Sleep(100);
  }
  self->Launch([self] { waitForFinishThreadFun(self); });
  return 0;
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& url) {
  effectiveUrl_.clear();
  expectedDigest_.clear();
  fileLength_ = 0;
  if (!curlReady) return false;
  Download::ScopedCurl handle(curl_easy_init());
  if (!handle) return false;
  CURL* c = handle.get();
  Download::ScopedCurlList headers(curl_slist_append(nullptr, "Connection: keep-alive"));
  int options = 0;
  options |= curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  options |= curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  options |= curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  options |= curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  // Certificates and host names are verified, as for every other transfer:
  // what is downloaded here is run with administrator rights.
  options |= curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  options |= curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  options |= Download::ApplyTlsSettings(c);
  options |= curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Download::DiscardBody);
  options |= curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
  if (options != 0) return false;
  if (curl_easy_perform(c) != CURLE_OK) return false;

  char* effective = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr &&
      *effective != '\0') {
    effectiveUrl_ = effective;
    TRACE(L"Download File real url %s", Utils::ToWide(effectiveUrl_, CP_ACP).c_str());
    expectedDigest_ = Utils::Md5FromUrl(effectiveUrl_);
  }
  curl_off_t length = -1;
  long status = 0;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 && status <= 399) {
    fileLength_ = static_cast<int64_t>(length);
    TRACE(L"Download File Length %lld", static_cast<long long>(fileLength_));
  }
  return !effectiveUrl_.empty() && fileLength_ >= kMinimumLength;
}

int CMTCurlDownloader::downloadExe(DownloadPartNode* part) {
  // Complete already (an earlier attempt got the range's last byte before it failed).
  if (part->nextOffset > part->lastOffset) {
    if (part->file) {
      std::fclose(part->file);
      part->file = nullptr;
    }
    part->status = 0;
    return 0;
  }
  char range[64];
  std::snprintf(range, sizeof range, "%" PRId64 "-%" PRId64, part->nextOffset, part->lastOffset);
  part->responseStatus = 0;
  part->contentRangeFirst = part->contentRangeLast = -1;
  part->answerChecked = part->answerRejected = false;

  CURL* c = part->handle;
  if (c == nullptr) return part->status = -1;
  int options = 0;
  options |= curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  options |= curl_easy_setopt(c, CURLOPT_URL, part->url.c_str());
  options |= curl_easy_setopt(c, CURLOPT_TIMEOUT, 0L);
  options |= curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  options |= curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CMTCurlDownloader::WritePart);
  options |= curl_easy_setopt(c, CURLOPT_WRITEDATA, part);
  options |= curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CMTCurlDownloader::ReadHeader);
  options |= curl_easy_setopt(c, CURLOPT_HEADERDATA, part);
  options |= curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  options |= curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CMTCurlDownloader::Progress);
  options |= curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
  options |= curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  options |= curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
  options |= curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  options |= curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  options |= Download::ApplyTlsSettings(c);
  options |= curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  options |= curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
  options |= curl_easy_setopt(c, CURLOPT_RANGE, range);
  options |= curl_easy_setopt(c, CURLOPT_BUFFERSIZE, Download::kReceiveBuffer);
  if (options != 0) return options;

  int result = curl_easy_perform(c);
  // An answer that is not this range is refused before anything is stored.
  if (part->answerRejected) result = CURLE_RANGE_ERROR;
  // A transfer that ended early but cleanly still leaves the range incomplete.
  else if (result == CURLE_OK && part->nextOffset <= part->lastOffset) result = CURLE_PARTIAL_FILE;
  if (result != CURLE_OK) {
    TRACE(L"error:%d:%s", result, ErrorText(result).c_str());
  } else {
    TRACE(L"curl_easy_cleanup");
  }
  curl_easy_reset(c);
  if (result == CURLE_OK && part->file) {
    std::fclose(part->file);
    part->file = nullptr;
  }
  part->status = result;
  return result;
}

size_t CMTCurlDownloader::ReadHeader(char* data, size_t size, size_t count, void* user) {
  auto* part = static_cast<DownloadPartNode*>(user);
  const size_t length = size * count;
  if (StartsWithNoCase(data, length, "HTTP/")) {
    // A new answer (after a redirect, or a 100 Continue): forget the last one.
    const std::string line(data, length);
    const size_t blank = line.find(' ');
    part->responseStatus = blank == std::string::npos ? 0 : std::strtol(line.c_str() + blank + 1, nullptr, 10);
    part->contentRangeFirst = part->contentRangeLast = -1;
  } else if (StartsWithNoCase(data, length, "Content-Range:")) {
    const std::string line(data + 14, length - 14);
    long long first = -1, last = -1;
    if (std::sscanf(line.c_str(), " bytes %lld-%lld", &first, &last) == 2) {
      part->contentRangeFirst = first;
      part->contentRangeLast = last;
    }
  }
  return length;
}

size_t CMTCurlDownloader::WritePart(char* data, size_t size, size_t count, void* user) {
  auto* part = static_cast<DownloadPartNode*>(user);
  if (!part->answerChecked) {
    part->answerChecked = true;
    // Only the requested bytes may be stored: a partial answer that starts
    // at the range's first byte, or the whole file when the range starts at 0.
    const bool matchingRange = part->responseStatus == 206 && part->contentRangeFirst == part->nextOffset &&
                               part->contentRangeLast >= part->contentRangeFirst &&
                               part->contentRangeLast <= part->lastOffset;
    const bool wholeFileFromStart = part->responseStatus == 200 && part->nextOffset == 0;
    part->answerRejected = !(matchingRange || wholeFileFromStart);
  }
  if (part->answerRejected || part->file == nullptr || part->nextOffset > part->lastOffset) return 0;
  const size_t wanted = std::min<uint64_t>(size * count, static_cast<uint64_t>(part->lastOffset - part->nextOffset + 1));
  const size_t written = std::fwrite(data, 1, wanted, part->file);
  if (part->digest && !part->digest->Update(data, written)) part->digest.reset();
  part->nextOffset += static_cast<int64_t>(written);
  part->bytesReceived += static_cast<int64_t>(written);
  return written;  // fewer than offered: libcurl ends the attempt with a write error
}

int CMTCurlDownloader::Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* self = static_cast<CMTCurlDownloader*>(data);
  if (self->stopping_) return 1;
  std::lock_guard<std::mutex> lock(self->lock_);
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  if (now - self->lastProgressSecond_ < 1) return 0;
  self->lastProgressSecond_ = now;
  double percent = 0.0;
  if (self->fileLength_ >= kMinimumLength) {
    for (const auto& part : self->parts_) {
      const int64_t received = part->bytesReceived;
      if (received > 0) percent += static_cast<double>(received) * 100.0 / static_cast<double>(self->fileLength_);
    }
  }
  if (percent > 100.0) return 0;
  if (percent - self->lastReportedPercent_ >= 1.0) {
    self->lastReportedPercent_ = percent;
    self->Report(DL_CODE_PROGRESS, percent / 100.0, L"");
  }
  return 0;
}

void CMTCurlDownloader::downloadThreadFun(CMTCurlDownloader* self, DownloadPartNode* part) {
  int budget = 12;
  int result = self->downloadExe(part);
  while (result != 0 && budget > 0 && !self->stopping_) {
    budget -= (result == CURLE_PARTIAL_FILE) ? 1 : 2;
    TRACE(L"CurlDownLoader Code=%d", result);
    ::Sleep(400);
    result = self->downloadExe(part);
  }
  if (part->file) {
    std::fclose(part->file);
    part->file = nullptr;
  }
  std::lock_guard<std::mutex> lock(self->partsLock_);
  if (--self->runningParts_ <= 0) self->partsDone_.notify_all();
}

void CMTCurlDownloader::ReleaseParts() {
  for (auto& part : parts_) {
    if (part->handle) curl_easy_cleanup(part->handle);
    if (part->file) std::fclose(part->file);
  }
  parts_.clear();
}

void CMTCurlDownloader::FinishUnsuccessfully(int status) {
  ReleaseParts();
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (lastReportedPercent_ == 0.0) DeletePartFiles();
  }
  if (!retried_) {
    retried_ = true;
    Report(DL_CODE_RETRY, status, Download::kLibCurlText);
  } else {
    {
      std::lock_guard<std::mutex> lock(lock_);
      lastReportedPercent_ = 0.0;
    }
    Report(DL_CODE_FAIL, status, Download::kLibCurlText);
  }
}

void CMTCurlDownloader::waitForFinishThreadFun(CMTCurlDownloader* self) {
  {
    // Woken by the last range thread (rather than polling) so the join
    // starts the moment the last byte is in.
    std::unique_lock<std::mutex> lock(self->partsLock_);
    self->partsDone_.wait(lock, [self] { return self->runningParts_ <= 0; });
  }
  if (self->stopping_) return;

  for (const auto& part : self->parts_) {
    if (part->status != 0) {
      self->FinishUnsuccessfully(part->status);
      return;
    }
  }

  // Join the part files into part 0, then put it in place.
  {
    std::lock_guard<std::mutex> lock(self->lock_);
    self->lastReportedPercent_ = 0.0;
  }
  bool joined = false;
  // The digest of part 0 is complete; it goes on over each later part as
  // that part is copied.
  std::unique_ptr<Utils::Md5> digest = std::move(self->parts_[0]->digest);
  if (FILE* first = std::fopen(self->PartPath(0).c_str(), "ab+")) {
    joined = true;
    std::vector<char> buffer(256 * 1024);
    for (size_t i = 1; i < self->parts_.size(); ++i) {
      const std::string& name = self->parts_[i]->partPath;
      if (FILE* next = std::fopen(name.c_str(), "rb+")) {
        size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), next)) > 0) {
          if (std::fwrite(buffer.data(), 1, got, first) != got) joined = false;
          if (digest && !digest->Update(buffer.data(), got)) digest.reset();
        }
        std::fclose(next);
      }
      TRACE(L"partPath::%s", Utils::ToWide(name, CP_ACP).c_str());
    }
    if (std::fclose(first) != 0) joined = false;
    joined = joined && ::MoveFileA(self->PartPath(0).c_str(), self->narrowPath_.c_str());
  }
  if (!joined) {
    // The file never reached the target path: not a success.
    self->FinishUnsuccessfully(-2);
    return;
  }
  self->DeletePartFiles();

  const std::string fileDigest = digest ? digest->FinishHex() : std::string();
  switch (Download::CheckDigest(self->effectiveUrl_, self->narrowPath_, fileDigest)) {
    case Download::DigestVerdict::kMissing:
      self->Report(DL_CODE_MD5_NOTICE, 0.0, kDigestMissing);
      break;
    case Download::DigestVerdict::kMismatch:
      self->Report(DL_CODE_MD5_NOTICE, 0.0, kDigestMismatch);
      ::DeleteFileA(self->narrowPath_.c_str());
      self->ReleaseParts();
      if (!self->retried_) {
        self->retried_ = true;
        TRACE(L"finish recv, md5 chaek failed retry once.");
        self->Report(DL_CODE_RETRY, 0.0, Download::kLibCurlText);
      } else {
        TRACE(L"finish recv, md5 chaek failed and retry failed.");
        self->Report(DL_CODE_FAIL, 0.0, Download::kLibCurlText);
      }
      return;
    case Download::DigestVerdict::kMatch:
      break;
  }
  TRACE(L"finish recv");
  self->ReleaseParts();
  self->Report(DL_CODE_SUCCESS, 0.0, Download::kLibCurlText);
}
