#include "download/download_support.h"

#include <cstdio>
#include <sstream>

#include "support/test_support.h"
#include "utils/strings.h"

namespace DownloadTest {

std::wstring Nginx::Url(const std::wstring& path) const {
  return L"http://127.0.0.1:" + TestSupport::FromUtf8(env.at("HTTP_PORT")) + path;
}

std::wstring Nginx::HttpsUrl(const std::wstring& path, bool wrongName) const {
  // By name: the TLS layer matches host names, not addresses, against certificates.
  return L"https://localhost:" + TestSupport::FromUtf8(env.at(wrongName ? "WRONG_NAME_PORT" : "HTTPS_PORT")) + path;
}

std::wstring Nginx::CaFile() const { return dir + L"\\tls\\ca.pem"; }

std::string Nginx::AccessLog() const { return TestSupport::ReadBytes(dir + L"\\access.log"); }

const Nginx& NginxServer() {
  static const Nginx server = [] {
    Nginx n;
    n.dir = TestSupport::BinDir() + L"..\\test-servers\\nginx";
    for (const auto& line : TestSupport::Lines(TestSupport::ReadBytes(n.dir + L"\\server.env"))) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) n.env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return n;
  }();
  return server;
}

FaultServer::FaultServer(const std::wstring& root) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Utils::ScopedHandle inRead, outWrite;
  ::CreatePipe(inRead.receive(), input_.receive(), &inherit, 0);
  ::CreatePipe(output_.receive(), outWrite.receive(), &inherit, 0);
  ::SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead.get();
  startup.hStdOutput = outWrite.get();
  startup.hStdError = outWrite.get();
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + TestSupport::BinPath(L"tv_fault_server.exe") + L"\"";
  std::wstring folder = root;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();  // "\"" would escape the quote
  if (!folder.empty()) line += L" \"" + folder + L"\"";
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    process_.reset(info.hProcess);
    ::CloseHandle(info.hThread);
  }
  inRead.reset();
  outWrite.reset();
  reader_ = std::thread([this] {
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(output_.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending.append(buffer, got);
      size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        std::string text = pending.substr(0, end);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        pending.erase(0, end + 1);
        std::lock_guard<std::mutex> lock(lock_);
        if (text.rfind("port ", 0) == 0) port_ = std::stoi(text.substr(5));
        lines_.push_back(text);
        portReady_.notify_all();
      }
    }
    std::lock_guard<std::mutex> lock(lock_);
    stopped_ = true;
    portReady_.notify_all();
  });
  std::unique_lock<std::mutex> lock(lock_);
  portReady_.wait_for(lock, std::chrono::seconds(30), [this] { return port_ != 0 || stopped_; });
}

FaultServer::~FaultServer() { Stop(); }

std::wstring FaultServer::Url(const std::string& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + TestSupport::FromUtf8(path);
}

std::vector<Request> FaultServer::Stop() {
  if (input_) {
    input_.reset();  // the server ends when its input closes
    if (process_ && ::WaitForSingleObject(process_.get(), 10000) == WAIT_TIMEOUT)
      ::TerminateProcess(process_.get(), 1);
  }
  if (reader_.joinable()) reader_.join();
  std::vector<Request> requests;
  std::lock_guard<std::mutex> lock(lock_);
  for (const auto& text : lines_) {
    if (text.rfind("request ", 0) != 0) continue;
    std::istringstream in(text.substr(8));
    Request r;
    std::string range, sent, status, t;
    in >> r.method >> r.path >> range >> sent >> status >> t;
    r.range = range.substr(6);
    r.sent = std::stoull(sent.substr(5));
    r.status = std::stoi(status.substr(7));
    r.millis = std::stoull(t.substr(2));
    requests.push_back(r);
  }
  return requests;
}

std::vector<Request> Gets(const std::vector<Request>& requests) {
  std::vector<Request> gets;
  for (const auto& r : requests)
    if (r.method == "GET") gets.push_back(r);
  return gets;
}

StatusCallback EventLog::Callback() {
  return [this](int code, double value, const wchar_t* text) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      events_.push_back({code, value, text ? text : L""});
      if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL) ended_ = true;
    }
    changed_.notify_all();
    if (code == DL_CODE_RETRY && retryTarget_) retryTarget_->Start();
  };
}

bool EventLog::WaitForEnd(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return ended_; });
}

std::vector<Event> EventLog::Events() {
  std::lock_guard<std::mutex> lock(lock_);
  return events_;
}

std::vector<int> Codes(const std::vector<Event>& events) {
  std::vector<int> codes;
  for (const auto& e : events)
    if (e.code != DL_CODE_PROGRESS) codes.push_back(e.code);
  return codes;
}

std::vector<int> EventLog::Codes() { return DownloadTest::Codes(Events()); }

std::vector<double> EventLog::Progress() {
  std::vector<double> values;
  for (const auto& e : Events())
    if (e.code == DL_CODE_PROGRESS) values.push_back(e.value);
  return values;
}

std::vector<Event> RunDownload(int type, const std::wstring& url, const std::wstring& path, EventLog* external) {
  EventLog local;
  EventLog& log = external ? *external : local;
  std::unique_ptr<CDownloader> downloader(CreateDownloader(type, log.Callback(), url.c_str(), path.c_str()));
  log.AnswerRetryWith(downloader.get());
  downloader->Start();
  log.WaitForEnd();
  downloader.reset();
  return log.Events();
}

std::string FileBytes(const std::wstring& path) { return TestSupport::ReadBytes(path); }

std::wstring FileUrl(const std::wstring& path) {
  std::wstring url = L"file:///" + path;
  for (auto& c : url)
    if (c == L'\\') c = L'/';
  return url;
}

std::string Md5Hex(const std::string& bytes) {
  TestSupport::TempDir dir(L"md5");
  TestSupport::WriteBytes(dir / L"data", bytes);
  return Utils::FileMd5Hex(Utils::ToNarrow(dir / L"data", CP_ACP));
}

}  // namespace DownloadTest
