// tvprobe download: runs one of the installer's downloaders against a server,
// answering DL_CODE_RETRY the way the installer does (Start again from inside
// the callback), and prints every status event as "<code> <value> <text>".
#include <windows.h>

#include <memory>
#include <mutex>

#include "download/downloader.h"
#include "events.h"
#include "probe.h"
#include "utils/scoped.h"
#include "utils/strings.h"

namespace Probe {

int RunDownload(const std::vector<std::wstring>& args) {
  std::wstring type = L"1", url, out, caInfo;
  bool haveUrl = false, haveOut = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == L"--type" && hasValue) {
      type = args[++i];
    } else if (args[i] == L"--url" && hasValue) {
      url = args[++i];
      haveUrl = true;
    } else if (args[i] == L"--out" && hasValue) {
      out = args[++i];
      haveOut = true;
    } else if (args[i] == L"--cainfo" && hasValue) {
      caInfo = args[++i];
    } else {
      return kExitUsage;
    }
  }
  wchar_t* end = nullptr;
  const long downloadType = std::wcstol(type.c_str(), &end, 10);
  if (!haveUrl || !haveOut || out.empty() || end == type.c_str() || *end != L'\0') return kExitUsage;
  if (!caInfo.empty()) Download::SetCaInfoFile(Utils::ToNarrow(caInfo, CP_ACP));

  std::mutex printLock;
  Utils::ScopedHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  int lastCode = 0;
  std::unique_ptr<CDownloader> downloader;
  // Runs on the downloader's threads.
  auto onStatus = [&](int code, double value, const wchar_t* text) {
    {
      std::lock_guard<std::mutex> lock(printLock);
      PrintLine(EventLine(code, value, text));
      lastCode = code;
    }
    if (code == DL_CODE_RETRY) {
      downloader->Start();
    } else if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL) {
      ::SetEvent(finished.get());
    }
  };
  downloader.reset(CreateDownloader(static_cast<int>(downloadType), onStatus, url.c_str(), out.c_str()));
  downloader->Start();
  ::WaitForSingleObject(finished.get(), INFINITE);
  downloader.reset();
  return lastCode == DL_CODE_SUCCESS ? 0 : 1;
}

}  // namespace Probe
