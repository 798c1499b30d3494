#include "download/curl_downloader.h"

#include "utils/strings.h"
#include "utils/trace.h"

namespace {
const wchar_t kDigestMissing[] = L"curl\u83b7\u53d6url-md5\u5931\u8d25";   // "curl获取url-md5失败"
const wchar_t kDigestMismatch[] = L"curl\u6587\u4ef6md5\u6821\u9a8c\u5931\u8d25";  // "curl文件md5校验失败"
}  // namespace

CCurlDownloader::CCurlDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path)
    : callback_(std::move(callback)), path_(path), url_(url), client_(url_, path_, this, &ForwardProgress) {
  ::DeleteFileA(Utils::ToNarrow(path_ + L".part", CP_ACP).c_str());
}

CCurlDownloader::~CCurlDownloader() {
  std::unique_ptr<Utils::Thread> worker, retired;
  {
    std::lock_guard<std::mutex> lock(startLock_);
    stopping_ = true;
    worker = std::move(worker_);
    retired = std::move(retired_);
  }
  client_.RequestStop();
  if (worker) worker->Join();
  if (retired) retired->Join();
}

void CCurlDownloader::Start() {
  std::lock_guard<std::mutex> lock(startLock_);
  if (stopping_) return;
  const DWORD self = ::GetCurrentThreadId();
  if (retired_ && retired_->id() != self) retired_.reset();  // joins: it has returned, or is about to
  if (worker_) {
    if (worker_->id() == self) {
      retired_ = std::move(worker_);  // never wait for the calling thread
    } else {
      worker_.reset();
    }
  }
  worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CCurlDownloader::dlThreadFun);
  worker_->Resume();
}

void CCurlDownloader::Report(int code, double value, const wchar_t* text) {
  if (callback_) callback_(code, value, text);
}

void CCurlDownloader::ForwardProgress(CCurlDownloader* owner, double speed, double percent) {
  if (speed > 0.0 && percent <= 100.0) owner->Report(DL_CODE_PROGRESS, percent / 100.0, L"");
}

unsigned int CCurlDownloader::dlThreadFun(void* data) {
  auto* self = static_cast<CCurlDownloader*>(data);
  self->Report(DL_CODE_START, 1.0, L"");
  int result = self->client_.Start();
  int budget = 12;
  while (result != 0) {
    // Being torn down: the transfer was aborted on purpose, nothing to report.
    if (self->stopping_) return 0;
    budget -= (result == CURLE_PARTIAL_FILE) ? 1 : 2;
    if (budget <= 0) {
      self->Report(DL_CODE_FAIL, result, Download::kLibCurlText);
      return 0;
    }
    TRACE(L"CurlDownLoader Code=%d", result);
    ::Sleep(500);
    result = self->client_.Start();
  }

  switch (Download::CheckDigest(self->client_.effectiveUrl(), Utils::ToNarrow(self->path_, CP_ACP),
                                self->client_.fileDigest())) {
    case Download::DigestVerdict::kMissing:
      self->Report(DL_CODE_MD5_NOTICE, 0.0, kDigestMissing);
      break;
    case Download::DigestVerdict::kMismatch:
      self->Report(DL_CODE_MD5_NOTICE, 0.0, kDigestMismatch);
      if (!self->retried_) {
        self->retried_ = true;
        self->Report(DL_CODE_RETRY, 0.0, Download::kLibCurlText);
      } else {
        self->Report(DL_CODE_FAIL, 0.0, Download::kLibCurlText);
      }
      return 0;
    case Download::DigestVerdict::kMatch:
      break;
  }
  self->Report(DL_CODE_SUCCESS, 0.0, Download::kLibCurlText);
  return 0;
}
