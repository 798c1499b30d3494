#include "install/uninstaller.h"

#include "install/protocol.h"
#include "utils/child_process.h"
#include "utils/probes.h"
#include "utils/strings.h"

namespace {

const wchar_t kMissingText[] = L"可执行卸载文件不存在";
const wchar_t kUninstallFailedText[] = L"安装包卸载失败";

const wchar_t* Bool(bool value) { return value ? L"true" : L"false"; }

// What one start of the uninstaller needs. Shared with its worker, which may
// outlive the runner.
struct UninstallRun {
  std::shared_ptr<Install::ReportGate> gate;
  std::wstring commandLine;
  std::wstring executable;
  UINT codePage = CP_ACP;
};

void RunUninstaller(UninstallRun& run) {
  const StatusCallback report = [&run](int code, double value, const wchar_t* text) {
    run.gate->Report(code, value, text);
  };
  report(UNIST_CODE_START, 0.0, L"");
  if (::GetFileAttributesW(run.executable.c_str()) == INVALID_FILE_ATTRIBUTES) {
    report(UNIST_CODE_FAIL, 1.0, kMissingText);
    return;
  }
  report(UNIST_CODE_PROGRESS, 0.0, L"");

  std::unique_ptr<Utils::ChildProcess> child = Utils::StartChildProcess(run.commandLine);
  if (!child) {
    report(UNIST_CODE_FAIL, 2.0, L"");
    return;
  }

  const bool finalState = Utils::ReadUntilExit(*child, run.codePage, [&](const std::wstring& chunk) {
    return UnInstaller::Parse(chunk, &run.codePage, report);
  });
  child->WaitForExit();
  child->Close();
  child.reset();
  if (!finalState) report(UNIST_CODE_SUCCESS, 1.0, L"");
}

}  // namespace

UnInstaller::UnInstaller(StatusCallback callback, const std::wstring& executable, const std::wstring& installDir)
    : callback_(std::move(callback)), executable_(executable), installDir_(installDir) {}

UnInstaller::~UnInstaller() = default;

std::wstring UnInstaller::CommandLineFor(const std::wstring& executable, bool adminAccount, bool adminProcess,
                                         const std::wstring& installDir) {
  return L"\"" + executable + L"\" /S -adminact=" + Bool(adminAccount) + L" -authorizationact=" +
         Bool(adminProcess) + L" -console=show _?=" + installDir;
}

void UnInstaller::Start() {
  std::wstring user;
  const bool adminAccount = Utils::GetActiveSessionUserName(user) && Utils::IsAdminAccount(user);
  commandLine_ = CommandLineFor(executable_, adminAccount, Utils::IsRunAsAdmin(), installDir_);

  auto run = std::make_shared<UninstallRun>();
  run->gate = std::make_shared<Install::ReportGate>(callback_);
  run->commandLine = commandLine_;
  run->executable = executable_;
  worker_.Launch(L"UnInstaller", run->gate, [run] { RunUninstaller(*run); });
}

int UnInstaller::Parse(const std::wstring& chunk, UINT* codePage, const StatusCallback& report) {
  int result = 0;
  for (const std::wstring& line : Install::SplitLines(chunk)) {
    if (Install::StartsWith(line, L"Progress=")) {
      report(UNIST_CODE_PROGRESS, Install::NumberValue(line.substr(9)), L"");
    } else if (Install::StartsWith(line, L"Error=")) {
      report(UNIST_CODE_ERROR, 0.0, Install::TextValue(line.substr(6)).c_str());
      result = 1000;
    } else if (Install::StartsWith(line, L"State=")) {
      const std::wstring state = Utils::Trim(line.substr(6));
      if (state == L"Success") {
        report(UNIST_CODE_SUCCESS, 0.0, L"");
        result = 1;
      } else if (state == L"Fail") {
        report(UNIST_CODE_ERROR, 0.0, kUninstallFailedText);
        result = 1000;
      }
    } else if (Install::StartsWith(line, L"Encode=")) {
      // Only UTF-8 can be asked for here; every other word means ANSI.
      *codePage = Utils::Trim(line.substr(7)) == L"UTF8" ? CP_UTF8 : CP_ACP;
    }
  }
  return result;
}
