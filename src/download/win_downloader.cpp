#include "download/win_downloader.h"

#include <wininet.h>

#include "utils/strings.h"
#include "utils/system_library.h"
#include "utils/trace.h"

CWinDownloader::CBindCallback::~CBindCallback() {
  abort = true;
  callback = nullptr;
}

HRESULT CWinDownloader::CBindCallback::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT CWinDownloader::CBindCallback::OnStartBinding(DWORD, IBinding* newBinding) {
  binding = newBinding;
  return E_NOTIMPL;
}

HRESULT CWinDownloader::CBindCallback::GetBindInfo(DWORD*, BINDINFO* info) {
  if (info) info->dwCodePage = CP_UTF8;
  return E_NOTIMPL;
}

HRESULT CWinDownloader::CBindCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR) {
  if (abort) return E_ABORT;
  // The service stores an HTTP error page as if it were the file and calls
  // that a success; remember the answer's status so the attempt can be judged.
  if (httpStatus == 0 && binding != nullptr &&
      (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
       statusCode == BINDSTATUS_ENDDOWNLOADDATA)) {
    IWinInetHttpInfo* info = nullptr;
    if (SUCCEEDED(binding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(&info))) && info) {
      DWORD status = 0;
      DWORD size = sizeof status;
      if (info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr, nullptr) ==
          S_OK)
        httpStatus = status;
      info->Release();
    }
  }
  if (progressMax == 0) return S_OK;
  if (callback) callback(DL_CODE_PROGRESS, static_cast<double>(progress) / static_cast<double>(progressMax), L"");
  return S_OK;
}

CWinDownloader::CWinDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path)
    : callback_(std::move(callback)), path_(path), url_(url) {
  worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CWinDownloader::DownloadBody);
}

CWinDownloader::~CWinDownloader() {
  bindCallback_.abort = true;
  std::unique_ptr<Utils::Thread> worker;
  {
    std::lock_guard<std::mutex> lock(startLock_);
    worker = std::move(worker_);
  }
  if (worker) {
    if (!workerStarted_) worker->Resume();  // lets the suspended thread run to its end
    worker->Join();
  }
}

void CWinDownloader::Start() {
  std::lock_guard<std::mutex> lock(startLock_);
  if (bindCallback_.abort) return;
  bindCallback_.callback = callback_;
  if (workerStarted_) {
    // The earlier download has reported its outcome; a retry gets a new worker.
    worker_.reset();
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", &CWinDownloader::DownloadBody);
  }
  workerStarted_ = true;
  worker_->Resume();
}

std::wstring CWinDownloader::RequestUrl(const std::wstring& url) {
  return url.rfind(L"file:///", 0) == 0 ? url : Utils::UrlEncode(url);
}

void CWinDownloader::Report(int code, double value, const wchar_t* text) {
  if (callback_) callback_(code, value, text);
}

namespace {

// urlmon and OLE are loaded only by a process that uses this downloader.
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoUninitializeFn = void(WINAPI*)();
using URLDownloadToFileWFn = HRESULT(WINAPI*)(LPUNKNOWN, LPCWSTR, LPCWSTR, DWORD, LPBINDSTATUSCALLBACK);

}  // namespace

unsigned int CWinDownloader::DownloadBody(void* data) {
  auto* self = static_cast<CWinDownloader*>(data);
  if (self->bindCallback_.abort) return 0;  // torn down before it was started
  const auto coInitialize = Utils::SystemFunction<CoInitializeFn>(L"ole32.dll", "CoInitialize");
  const auto coUninitialize = Utils::SystemFunction<CoUninitializeFn>(L"ole32.dll", "CoUninitialize");
  const auto download = Utils::SystemFunction<URLDownloadToFileWFn>(L"urlmon.dll", "URLDownloadToFileW");
  if (coInitialize) coInitialize(nullptr);
  self->Report(DL_CODE_START, 1.0, L"");
  const std::wstring requestUrl = RequestUrl(self->url_);
  for (int attempt = 1; attempt <= 3; ++attempt) {
    self->bindCallback_.binding = nullptr;
    self->bindCallback_.httpStatus = 0;
    HRESULT result = download ? download(nullptr, requestUrl.c_str(), self->path_.c_str(), 0, &self->bindCallback_)
                              : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    self->bindCallback_.binding = nullptr;
    if (result == S_OK && self->bindCallback_.httpStatus >= 400) {
      // An error page is not the package.
      ::DeleteFileW(self->path_.c_str());
      result = INET_E_DOWNLOAD_FAILURE;
    }
    if (result == S_OK) {
      self->Report(DL_CODE_SUCCESS, 0.0, Download::kUrlDownloadToFileText);
      break;
    }
    if (self->bindCallback_.abort) break;
    ::Sleep(1000);
    if (attempt == 3) self->Report(DL_CODE_FAIL, static_cast<double>(result), Download::kUrlDownloadToFileText);
  }
  if (coInitialize && coUninitialize) coUninitialize();
  return 0;
}
