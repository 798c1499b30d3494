#include "download/downloader.h"

#include <sys/stat.h>

#include "download/curl_downloader.h"
#include "download/curl_handles.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "utils/strings.h"

CDownloader* CreateDownloader(int type, StatusCallback callback, const wchar_t* url, const wchar_t* path) {
  switch (type) {
    case DL_TYPE_WIN:
      return new CWinDownloader(std::move(callback), url, path);
    case DL_TYPE_MULTI_PART:
      return new CMTCurlDownloader(std::move(callback), url, path);
    default:
      return new CCurlDownloader(std::move(callback), url, path);
  }
}

namespace Download {

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

CURLcode ApplyTlsSettings(CURL* curl) {
  if (CaInfoFile().empty()) return CURLE_OK;
  return curl_easy_setopt(curl, CURLOPT_CAINFO, CaInfoFile().c_str());
}

std::wstring ErrorText(int result) {
  return Utils::ToWide(curl_easy_strerror(static_cast<CURLcode>(result)), CP_ACP);
}

int64_t FileSize(const std::string& narrowPath) {
  struct _stati64 info;
  if (_stati64(narrowPath.c_str(), &info) != 0) return -1;
  return info.st_size;
}

const wchar_t kLibCurlText[] = L"LibCurl";
const wchar_t kUrlDownloadToFileText[] = L"URLDownloadToFile";

namespace {
std::string& CaInfoStorage() {
  static std::string path;
  return path;
}
}  // namespace

void SetCaInfoFile(const std::string& path) { CaInfoStorage() = path; }
const std::string& CaInfoFile() { return CaInfoStorage(); }

std::string NarrowUrl(const std::wstring& url) {
  return Utils::ToNarrow(url, url.rfind(L"file:///", 0) == 0 ? CP_ACP : CP_UTF8);
}

DigestVerdict CheckDigest(const std::string& effectiveUrl, const std::string& narrowTargetPath,
                          const std::string& knownDigest) {
  const std::string expected = Utils::Md5FromUrl(effectiveUrl);
  if (expected.size() != 32) return DigestVerdict::kMissing;
  const std::string actual = knownDigest.empty() ? Utils::FileMd5Hex(narrowTargetPath) : knownDigest;
  // An unreadable file gives no digest and counts as good.
  if (actual.size() == 32 && actual != expected) return DigestVerdict::kMismatch;
  return DigestVerdict::kMatch;
}

}  // namespace Download
