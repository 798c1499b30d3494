// The downloader interface: CDownloader fetches one file (the installer
// package) from a URL into a path on threads of its own and reports through a
// StatusCallback with the codes below. Three implementations: CCurlDownloader
// (single resumable stream), CMTCurlDownloader (two byte ranges) and
// CWinDownloader (the system's URL download service).
#pragma once

#include <string>

#include "utils/status.h"

enum DownloadCode {
  DL_CODE_START = 1001,       // value 1.0: the worker began
  DL_CODE_PROGRESS = 1002,    // value: fraction done, 0.0 to 1.0
  DL_CODE_SUCCESS = 1003,     // the complete file is at the target path
  DL_CODE_FAIL = 1004,        // failed for good; value: the failing result or 0.0
  DL_CODE_RETRY = 1005,       // this attempt failed; the owner should call Start again
  DL_CODE_MD5_NOTICE = 1006,  // integrity notice (text); a final code follows
};

// DL_TYPE values of the configuration.
enum DownloadType { DL_TYPE_WIN = 2, DL_TYPE_MULTI_PART = 3 };

class CDownloader {
 public:
  virtual ~CDownloader() = default;
  // Starts (or starts again) the download and returns without waiting for
  // it. May be called from inside the status callback (DL_CODE_RETRY): it
  // never waits for the thread it is called on.
  virtual void Start() = 0;
};

// The downloader DL_TYPE `type` selects: 2 system, 3 multi-part, any other
// value single-stream. The caller owns the result.
CDownloader* CreateDownloader(int type, StatusCallback callback, const wchar_t* url, const wchar_t* path);

namespace Download {

// Texts of the two libcurl downloaders and of the system downloader.
extern const wchar_t kLibCurlText[];          // "LibCurl"
extern const wchar_t kUrlDownloadToFileText[];  // "URLDownloadToFile"

// Every libcurl transfer verifies certificates against this CA file when it
// is set (empty: the system's store). For support tools and tests; set it
// before any download starts.
void SetCaInfoFile(const std::string& path);
const std::string& CaInfoFile();

// The URL in the narrow form libcurl takes: UTF-8, except local "file:///"
// URLs, which stay in the ANSI code page like every local path.
std::string NarrowUrl(const std::wstring& url);

// The integrity rule for a finished file: the expected digest is the last
// directory of the effective URL (missing unless 32 characters long); the
// file's MD5 must equal it exactly (an upper-case digest never does). A file
// that cannot be read gives no digest and counts as a match.
// `knownDigest`, when not empty, is the file's MD5 computed while it was
// written; the file is then not read again.
enum class DigestVerdict { kMissing, kMatch, kMismatch };
DigestVerdict CheckDigest(const std::string& effectiveUrl, const std::string& narrowTargetPath,
                          const std::string& knownDigest = std::string());

}  // namespace Download
