#include "install/installer.h"

#include <cwchar>

#include "app/config.h"
#include "install/protocol.h"
#include "utils/child_process.h"
#include "utils/strings.h"
#include "utils/trace.h"

namespace {

const wchar_t kPackageFailedText[] = L"安装包安装失败";

const wchar_t* Bool(bool value) { return value ? L"true" : L"false"; }

// The keys in the order they are tested.
enum class Key {
  Progress,
  InstPath,
  State,
  InstallVersion,
  ExePath,
  StartExe,
  UninstExePath,
  UninstExe,
  UninstEp,
  Error,
  TopShowDetention,
  FinsihCloseDetention,
  StartUrl,
  StartupStyle,
  Encode,
  Message,
  None,
};

struct KeyName {
  Key key;
  const wchar_t* name;
};

const KeyName kKeys[] = {
    {Key::Progress, L"Progress="},
    {Key::InstPath, L"InstPath="},
    {Key::State, L"State="},
    {Key::InstallVersion, L"InstallVersion="},
    {Key::ExePath, L"ExePath="},
    {Key::StartExe, L"StartExe="},
    {Key::UninstExePath, L"UninstExePath="},
    {Key::UninstExe, L"UninstExe="},
    {Key::UninstEp, L"UninstEp="},
    {Key::Error, L"Error="},
    {Key::TopShowDetention, L"TopShowDetention="},
    {Key::FinsihCloseDetention, L"FinsihCloseDetention="},
    {Key::StartUrl, L"StartUrl="},
    {Key::StartupStyle, L"StartupStyle="},
    {Key::Encode, L"Encode="},
    {Key::Message, L"Message="},
};

Key FindKey(const std::wstring& line, std::wstring* rest) {
  for (const auto& k : kKeys) {
    const size_t length = std::wcslen(k.name);
    if (Install::StartsWith(line, k.name)) {
      *rest = line.substr(length);
      return k.key;
    }
  }
  return Key::None;
}

double StartupStyleNumber(const std::wstring& word) {
  if (word == L"AutoStartup") return 1;
  if (word == L"UserStartup") return 2;
  return 0;  // "NonStartup" and anything else
}

UINT CodePageFor(const std::wstring& word) {
  if (word == L"UTF8") return CP_UTF8;
  if (word == L"ACP") return CP_ACP;
  return static_cast<UINT>(std::wcstol(word.c_str(), nullptr, 10));
}

// Milliseconds travel as the integer read, taken as unsigned 32 bits.
double Milliseconds(int value) { return static_cast<double>(static_cast<unsigned int>(value)); }

// What one start of the package needs. Shared with its worker, which may
// outlive the runner.
struct PackageRun {
  std::shared_ptr<Install::ReportGate> gate;
  std::wstring commandLine;
  UINT codePage = CP_ACP;  // each package starts in the ANSI code page
};

void RunPackage(PackageRun& run) {
  const StatusCallback report = [&run](int code, double value, const wchar_t* text) {
    run.gate->Report(code, value, text);
  };
  report(IST_CODE_START, 0.0, L"");
  report(IST_CODE_PROGRESS, 0.0, L"");

  std::unique_ptr<Utils::ChildProcess> child = Utils::StartChildProcess(run.commandLine);
  if (!child) {
    report(IST_CODE_FAIL, 2.0, L"");
    return;
  }

  const bool childEnded = Utils::ReadUntilFinalState(
      *child, run.codePage, [&](const std::wstring& chunk) { return CInstaller::Parse(chunk, &run.codePage, report); });
  child->WaitForExit();
  child->Close();
  child.reset();
  if (childEnded) report(IST_CODE_SUCCESS, 1.0, L"");
}

}  // namespace

CInstaller::CInstaller(StatusCallback callback, const std::wstring& packagePath, const std::wstring& installDir,
                       bool desktopShortcut, bool quickLaunch, bool adminAccount)
    : callback_(std::move(callback)),
      packagePath_(packagePath),
      installDir_(installDir),
      desktopShortcut_(desktopShortcut),
      quickLaunch_(quickLaunch),
      adminAccount_(adminAccount) {}

CInstaller::~CInstaller() = default;

std::wstring CInstaller::BuildCommandLine() const {
  std::wstring line = packagePath_;
  line += L" /S -console=show -version=1.0.0";
  line += std::wstring(L" -adminact=") + Bool(adminAccount_);
  line += std::wstring(L" -authorizationact=") + Bool(adminProcess_);
  line += std::wstring(L" -dsc=") + Bool(desktopShortcut_);
  line += std::wstring(L" -ssc=") + Bool(quickLaunch_);
  if (!language_.empty()) line += L" -inslang=\"" + language_ + L"\"";
  if (!InstallerConfig.InstCmd.empty()) line += L" " + InstallerConfig.InstCmd;
  if (!installDir_.empty()) {
    line += L" -instdir=\"" + installDir_ + L"\"";
    // Last and bare: the package takes everything after "/D=" as the folder.
    line += L" /D=" + installDir_;
  }
  return line;
}

void CInstaller::Start() {
  commandLine_ = BuildCommandLine();
  auto run = std::make_shared<PackageRun>();
  run->gate = std::make_shared<Install::ReportGate>(callback_);
  run->commandLine = commandLine_;
  worker_.Launch(L"ABDEF", run->gate, [run] { RunPackage(*run); });
}

int CInstaller::Parse(const std::wstring& chunk, UINT* codePage, const StatusCallback& report) {
  int result = 0;
  for (const std::wstring& line : Install::SplitLines(chunk)) {
    std::wstring rest;
    switch (FindKey(line, &rest)) {
      case Key::Progress:
        report(IST_CODE_PROGRESS, Install::NumberValue(rest), L"");
        break;
      case Key::InstPath:
        report(IST_CODE_INST_PATH, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::State: {
        const std::wstring state = Utils::Trim(rest);
        if (state == L"Success") {
          report(IST_CODE_SUCCESS, 0.0, L"");
          result = 1;
        } else if (state == L"Fail") {
          report(IST_CODE_FAIL, 0.0, kPackageFailedText);
          result = 1000;
        }
        break;
      }
      case Key::InstallVersion: {
        int major = 0, minor = 0, patch = 0;  // read, never reported
        std::swscanf(rest.c_str(), L"%d.%d.%d", &major, &minor, &patch);
        break;
      }
      case Key::ExePath: {
        const std::wstring path = Install::TextValue(rest);
        TRACE_NOEOL(L"ExePath: %s", path.c_str());
        report(IST_CODE_EXE_PATH, 0.0, path.c_str());
        break;
      }
      case Key::StartExe:
        report(IST_CODE_EXE_PATH, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::UninstExePath:
      case Key::UninstExe:
        report(IST_CODE_UNINST_EXE_PATH, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::UninstEp:
        report(IST_CODE_UNINST_EP, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::Error:
        report(IST_CODE_FAIL, 1000.0, Install::TextValue(rest).c_str());
        result = 1000;
        break;
      case Key::TopShowDetention:
        report(IST_CODE_TOP_SHOW_DETENTION, Milliseconds(Install::IntegerValue(rest)), L"");
        break;
      case Key::FinsihCloseDetention:
        report(IST_CODE_FINISH_CLOSE_DETENTION, Milliseconds(Install::IntegerValue(rest)), L"");
        break;
      case Key::StartUrl:
        report(IST_CODE_START_URL, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::StartupStyle:
        report(IST_CODE_STARTUP_STYLE, StartupStyleNumber(Utils::Trim(rest)), L"");
        break;
      case Key::Encode:
        *codePage = CodePageFor(Utils::Trim(rest));
        break;
      case Key::Message:
        report(IST_CODE_MESSAGE, 0.0, Install::TextValue(rest).c_str());
        break;
      case Key::None:
        break;
    }
  }
  return result;
}
