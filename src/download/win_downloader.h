// CWinDownloader: the fallback downloader on the system's URL download
// service (URLDownloadToFileW). Three attempts a second apart, no integrity
// check, reports with the text "URLDownloadToFile". The nested CBindCallback
// turns the service's progress notifications into DL_CODE_PROGRESS.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "utils/thread.h"

class CWinDownloader : public CDownloader {
 public:
  // Lives inside its downloader, so it counts no references. Called by the
  // download service on the downloader's worker thread.
  class CBindCallback : public IBindStatusCallbackEx {
   public:
    CBindCallback() = default;
    virtual ~CBindCallback();  // raises the abort flag

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                         LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfoEx(DWORD*, BINDINFO*, DWORD*, DWORD*) override { return E_NOTIMPL; }

    StatusCallback callback;
    std::atomic<bool> abort{false};
    IBinding* binding = nullptr;  // of the running attempt; not owned
    // HTTP status of the running attempt's answer (0: none, e.g. a local file).
    DWORD httpStatus = 0;
  };

  // Creates the worker, suspended. No network access.
  CWinDownloader(StatusCallback callback, const wchar_t* url, const wchar_t* path);
  // Cancels a running download and waits for the worker.
  ~CWinDownloader() override;

  // Runs a download on the worker. A later Start (the user's retry after a
  // failure) runs a new download on a fresh worker.
  void Start() override;

  // The URL as requested from the service: "file:///" URLs unchanged, others
  // percent-encoded (blank to "+", non-ASCII and control bytes to "%XX").
  static std::wstring RequestUrl(const std::wstring& url);

 private:
  static unsigned int DownloadBody(void* downloader);
  void Report(int code, double value, const wchar_t* text);

  CBindCallback bindCallback_;
  StatusCallback callback_;
  std::wstring path_;
  std::wstring url_;
  std::unique_ptr<Utils::Thread> worker_;
  bool workerStarted_ = false;
  std::mutex startLock_;
};
