// Fixtures of the download tests: the nginx server started for the test run
// (its ports and package digest), a fault-injecting server started per test,
// and a recorder of status events that can answer DL_CODE_RETRY the way the
// installer does.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/downloader.h"
#include "utils/scoped.h"

namespace DownloadTest {

// KEY=VALUE lines of the nginx fixture (HTTP_PORT, HTTPS_PORT,
// WRONG_NAME_PORT, PACKAGE_MD5) and the folders it serves from.
struct Nginx {
  std::map<std::string, std::string> env;
  std::wstring dir;  // Windows path of the fixture folder
  std::wstring Url(const std::wstring& path) const;         // http://127.0.0.1:<port><path>
  // https://localhost:<port><path>; the certificate names localhost, or
  // with wrongName another host.
  std::wstring HttpsUrl(const std::wstring& path, bool wrongName = false) const;
  std::wstring CaFile() const;
  std::string Md5() const { return env.at("PACKAGE_MD5"); }
  std::string AccessLog() const;
};
const Nginx& NginxServer();

// One answered request, as the fault server logged it.
struct Request {
  std::string method, path, range;
  uint64_t sent = 0;
  int status = 0;
  uint64_t millis = 0;
};

// tv_fault_server.exe, running for the life of the object; `root` is the
// folder its "root" mode serves real files from.
class FaultServer {
 public:
  explicit FaultServer(const std::wstring& root = L"");
  ~FaultServer();
  std::wstring Url(const std::string& pathAndQuery) const;
  // Stops the server and returns every request it answered, in order.
  std::vector<Request> Stop();

 private:
  Utils::ScopedHandle process_, input_, output_;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable portReady_;
  std::vector<std::string> lines_;
  int port_ = 0;
  bool stopped_ = false;
};

std::vector<Request> Gets(const std::vector<Request>& requests);

struct Event {
  int code;
  double value;
  std::wstring text;
};

// Records the events of one downloader. With answerRetry set, DL_CODE_RETRY
// is answered by calling Start from inside the callback.
class EventLog {
 public:
  StatusCallback Callback();
  void AnswerRetryWith(CDownloader* downloader) { retryTarget_ = downloader; }
  // Waits for DL_CODE_SUCCESS or DL_CODE_FAIL; false after `timeoutMs`.
  bool WaitForEnd(DWORD timeoutMs = 120000);
  std::vector<Event> Events();
  std::vector<int> Codes();  // without DL_CODE_PROGRESS
  std::vector<double> Progress();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  bool ended_ = false;
  CDownloader* retryTarget_ = nullptr;
};

// The codes of `events` without DL_CODE_PROGRESS.
std::vector<int> Codes(const std::vector<Event>& events);

// Runs one downloader of `type` to its end, answering DL_CODE_RETRY.
std::vector<Event> RunDownload(int type, const std::wstring& url, const std::wstring& path, EventLog* log = nullptr);

std::string FileBytes(const std::wstring& path);
// "file:///" followed by the path with forward slashes.
std::wstring FileUrl(const std::wstring& path);
std::string Md5Hex(const std::string& bytes);  // through a temporary file and Utils::FileMd5Hex

}  // namespace DownloadTest
