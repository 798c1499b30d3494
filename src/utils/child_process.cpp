#include "utils/child_process.h"

#include <cstring>

#include "utils/strings.h"

namespace Utils {

namespace {
constexpr DWORD kPollPauseMs = 100;
}

Exception::Exception(const std::wstring& message) : message_(ToNarrow(message, CP_ACP)) {}

AnonymousPipe::AnonymousPipe() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &inherit, 0)) {
    if (read != nullptr) ::CloseHandle(read);
    if (write != nullptr) ::CloseHandle(write);
    throw Exception();
  }
  read_.reset(read);
  write_.reset(write);
}

ChildProcess::ChildProcess() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  stdErr_.reset(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!stdErr_) throw Exception();
}

void ChildProcess::Start(const std::wstring& commandLine) {
  // The system may write into the line, so it gets a buffer of its own; a
  // line that does not fit is refused rather than cut.
  if (commandLine.size() >= kCommandLineUnits) throw Exception();
  std::memset(commandLine_, 0, sizeof commandLine_);
  commandLine.copy(commandLine_, commandLine.size());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = stdIn_.ReadEnd();
  startup.hStdOutput = stdOut_.WriteEnd();
  startup.hStdError = stdErr_.get();

  // Only the child's ends travel with it.
  ::SetHandleInformation(stdOut_.ReadEnd(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(stdIn_.WriteEnd(), HANDLE_FLAG_INHERIT, 0);

  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine_, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
    throw Exception();
  process_.reset(info.hProcess);
  thread_.reset(info.hThread);
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;

  // Once the child (and whatever inherited its handles) has ended, nobody
  // holds the output pipe's write end any more and reads fail instead of
  // waiting.
  stdOut_.CloseWriteEnd();
  stdErr_.reset();
  stdIn_.CloseReadEnd();
}

bool ChildProcess::ReadChunk(UINT codePage, std::wstring* text) {
  char buffer[kChunkBytes] = {};
  DWORD got = 0;
  const BOOL ok = ::ReadFile(stdOut_.ReadEnd(), buffer, kChunkBytes, &got, nullptr);
  if (!ok && got == 0) return false;
  const size_t length = ::strnlen(buffer, got);
  *text = ToWide(std::string(buffer, length), codePage);
  return true;
}

bool ChildProcess::IsRunning() const {
  DWORD code = 0;
  return process_ && ::GetExitCodeProcess(process_.get(), &code) && code == STILL_ACTIVE;
}

void ChildProcess::WaitForExit() {
  if (process_) ::WaitForSingleObject(process_.get(), INFINITE);
}

void ChildProcess::Close() {
  thread_.reset();
  process_.reset();
  stdErr_.reset();
  stdOut_.Close();
  stdIn_.Close();
}

bool ReadUntilFinalState(ChildProcess& child, const UINT& codePage, const ChunkParser& parse) {
  bool seenEnded = false;
  for (;;) {
    std::wstring text;
    if (child.ReadChunk(codePage, &text) && parse(text) != 0) return false;
    if (seenEnded) return true;
    if (!child.IsRunning()) seenEnded = true;
    ::Sleep(kPollPauseMs);
  }
}

bool ReadUntilExit(ChildProcess& child, const UINT& codePage, const ChunkParser& parse) {
  bool finalState = false;
  if (!child.IsRunning()) return false;
  do {
    std::wstring text;
    if (child.ReadChunk(codePage, &text)) {
      if (parse(text) != 0) finalState = true;
    } else if (child.IsRunning()) {
      // The child closed its output but goes on: poll instead of spinning.
      ::Sleep(kPollPauseMs);
    }
  } while (child.IsRunning());
  return finalState;
}

std::unique_ptr<ChildProcess> StartChildProcess(const std::wstring& commandLine) {
  try {
    auto child = std::make_unique<ChildProcess>();
    child->Start(commandLine);
    return child;
  } catch (const std::exception&) {
    return nullptr;  // what was built so far is released on the way out
  }
}

}  // namespace Utils
