// tv_fault_server.exe: an HTTP/1.1 server on 127.0.0.1 for the download
// tests, doing what a well-behaved server would not. It serves generated
// files (byte i of every file is FaultServer::ContentByte(i)) and prints its
// port, then one line per answered request:
//   port <N>
//   request <method> <path> range=<Range header or -> sent=<body bytes sent> status=<code> t=<ms since start>
// Paths are /<mode>/<parameter>/<size>/<anything...>; modes:
//   plain    byte ranges honoured (206 with Content-Range)
//   cut      GET bodies end (connection closed) after <parameter> bytes
//   cutfirst the first <parameter> GET bodies end after 256 KiB, later ones are whole
//   stall    the first <parameter> GETs send 1 byte, then nothing for a minute
//   status   HEAD answers 200, GET answers status <parameter>
//   overlong ranged answers carry <parameter> bytes more than asked for
//   norange  Range ignored: always 200 with the whole file
//   gzip     GET body gzip-encoded (Content-Encoding: gzip), Range ignored
//   nolength no Content-Length; the body ends when the connection closes
//   slow     the body is sent at <parameter> bytes per second
//   root     a real file: the last path component names a file of the folder
//            given as the server's argument (<size> is ignored); the first
//            <parameter> GETs answer 500
// The server ends when its standard input closes.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/fault_content.h"

namespace {

std::mutex g_printLock;
ULONGLONG g_startTick = 0;
std::atomic<int> g_stallsLeft{-1};
std::atomic<int> g_cutsLeft{-1};
std::atomic<int> g_failuresLeft{-1};
std::string g_root;  // folder of the "root" mode's files, in the ANSI code page

// Takes one of `parameter` shared chances (stalls, cuts) of the server's life.
bool TakeChance(std::atomic<int>& left, int parameter) {
  int expected = left.load();
  if (expected < 0) {
    left.compare_exchange_strong(expected, parameter);
    expected = left.load();
  }
  while (expected > 0 && !left.compare_exchange_weak(expected, expected - 1)) {
  }
  return expected > 0;
}

void Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_printLock);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    const int sent = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

// Sends bytes [first, first + count) of the generated content, or of `file`
// when one is given; returns bytes sent.
uint64_t SendContent(SOCKET s, uint64_t first, uint64_t count, uint64_t bytesPerSecond = 0, HANDLE file = nullptr) {
  std::vector<char> chunk(64 * 1024);
  uint64_t sent = 0;
  const ULONGLONG begin = GetTickCount64();
  while (sent < count) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), count - sent));
    if (bytesPerSecond) n = static_cast<size_t>(std::min<uint64_t>(n, std::max<uint64_t>(bytesPerSecond / 20, 1)));
    if (file) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(first + sent);
      at.OffsetHigh = static_cast<DWORD>((first + sent) >> 32);
      DWORD got = 0;
      if (!ReadFile(file, chunk.data(), static_cast<DWORD>(n), &got, &at) || got != n) break;
    } else {
      FaultContent::Fill(first + sent, chunk.data(), n);
    }
    if (!SendAll(s, chunk.data(), n)) break;
    sent += n;
    if (bytesPerSecond) {
      const ULONGLONG due = begin + sent * 1000 / bytesPerSecond;
      const ULONGLONG now = GetTickCount64();
      if (due > now) Sleep(static_cast<DWORD>(due - now));
    }
  }
  return sent;
}

std::string HeaderValue(const std::string& head, const char* name) {
  const std::string key = std::string("\r\n") + name + ":";
  for (size_t at = 0; at < head.size(); ++at) {
    if (_strnicmp(head.c_str() + at, key.c_str(), key.size()) == 0) {
      size_t begin = at + key.size();
      while (begin < head.size() && head[begin] == ' ') ++begin;
      return head.substr(begin, head.find("\r\n", begin) - begin);
    }
  }
  return std::string();
}

// "bytes=a-b" or "bytes=a-" against a file of `size` bytes.
bool ParseRange(const std::string& range, uint64_t size, uint64_t* first, uint64_t* last) {
  unsigned long long a = 0, b = 0;
  if (std::sscanf(range.c_str(), "bytes=%llu-%llu", &a, &b) == 2) {
  } else if (std::sscanf(range.c_str(), "bytes=%llu-", &a) == 1) {
    b = size ? size - 1 : 0;
  } else {
    return false;
  }
  if (a >= size || b < a) return false;
  *first = a;
  *last = std::min<uint64_t>(b, size - 1);
  return true;
}

std::string Gzip(uint64_t size) {
  std::string plain(static_cast<size_t>(size), '\0');
  FaultContent::Fill(0, plain.data(), plain.size());
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(size)) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void Serve(SOCKET s) {
  for (;;) {
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (recv(s, &c, 1, 0) != 1) {
        closesocket(s);
        return;
      }
      head += c;
    }
    char method[16] = {}, path[2048] = {};
    std::sscanf(head.c_str(), "%15s %2047s", method, path);
    const bool isHead = std::strcmp(method, "HEAD") == 0;
    char mode[32] = {};
    unsigned long long parameter = 0, size = 0;
    std::sscanf(path, "/%31[^/]/%llu/%llu", mode, &parameter, &size);
    const std::string m = mode;
    const std::string range = HeaderValue(head, "Range");
    HANDLE file = nullptr;
    if (m == "root") {
      const std::string name = std::string(path).substr(std::string(path).rfind('/') + 1);
      file = CreateFileA((g_root + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
      LARGE_INTEGER length{};
      if (file == INVALID_HANDLE_VALUE) {
        file = nullptr;
      } else {
        GetFileSizeEx(file, &length);
      }
      size = static_cast<unsigned long long>(length.QuadPart);
    }

    int status = 200;
    uint64_t first = 0, last = size ? size - 1 : 0, bodyLength = size;
    bool ranged = false, keepAlive = true, withLength = true;
    std::string extra;
    if ((m == "status" && !isHead) || (m == "root" && file == nullptr)) {
      status = m == "root" ? 404 : static_cast<int>(parameter);
      bodyLength = 0;
    } else if (m == "root" && !isHead && TakeChance(g_failuresLeft, static_cast<int>(parameter))) {
      status = 500;
      bodyLength = 0;
    } else if (m == "norange" || m == "gzip" || range.empty()) {
    } else if (ParseRange(range, size, &first, &last)) {
      ranged = true;
      status = 206;
      bodyLength = last - first + 1;
    } else {
      status = 416;
      bodyLength = 0;
    }
    std::string gzipBody;
    if (m == "gzip" && !isHead) {
      gzipBody = Gzip(size);
      bodyLength = gzipBody.size();
      extra += "Content-Encoding: gzip\r\n";
    }
    if (m == "nolength") {
      withLength = false;
      keepAlive = false;
    }
    uint64_t sendCount = bodyLength;
    if (m == "overlong" && ranged) sendCount = std::min<uint64_t>(bodyLength + parameter, size - first);
    if (m == "cut" || (m == "cutfirst" && !isHead && TakeChance(g_cutsLeft, static_cast<int>(parameter)))) {
      sendCount = std::min<uint64_t>(bodyLength, m == "cut" ? parameter : 262144);
      if (sendCount < bodyLength) keepAlive = false;
    }
    const bool stall = m == "stall" && !isHead && TakeChance(g_stallsLeft, static_cast<int>(parameter));

    std::string reply = "HTTP/1.1 " + std::to_string(status) + (status < 300 ? " OK" : " Error") + "\r\n";
    reply += "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n" + extra;
    if (ranged)
      reply += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
               std::to_string(size) + "\r\n";
    if (withLength) reply += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
    reply += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    bool ok = SendAll(s, reply.data(), reply.size());
    uint64_t sent = 0;
    if (ok && !isHead && status < 300) {
      if (!gzipBody.empty()) {
        ok = SendAll(s, gzipBody.data(), gzipBody.size());
        sent = ok ? gzipBody.size() : 0;
      } else if (stall) {
        sent = SendContent(s, first, 1);
        // Logged now: the client gives up long before the stall ends.
        Log("request " + std::string(method) + " " + path + " range=" + (range.empty() ? "-" : range) +
            " sent=" + std::to_string(sent) + " status=" + std::to_string(status) +
            " t=" + std::to_string(GetTickCount64() - g_startTick));
        Sleep(60000);
        closesocket(s);
        return;
      } else {
        sent = SendContent(s, first, sendCount, m == "slow" ? parameter : 0, file);
        if (sent < bodyLength) keepAlive = false;
      }
    }
    Log("request " + std::string(method) + " " + path + " range=" + (range.empty() ? "-" : range) +
        " sent=" + std::to_string(sent) + " status=" + std::to_string(status) +
        " t=" + std::to_string(GetTickCount64() - g_startTick));
    if (file) CloseHandle(file);
    if (!ok || !keepAlive) {
      shutdown(s, SD_BOTH);
      closesocket(s);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  g_startTick = GetTickCount64();
  if (argc > 1) g_root = argv[1];
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 64) != 0)
    return 1;
  int length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  Log("port " + std::to_string(ntohs(address.sin_port)));

  // Ends the process when the test closes our standard input.
  std::thread([] {
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    ExitProcess(0);
  }).detach();

  for (;;) {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::thread(Serve, client).detach();
  }
}
