#include "app/command_line.h"

#include <windows.h>

#include <cerrno>
#include <climits>
#include <cwchar>

#include "utils/scoped.h"
#include "utils/system_library.h"

bool CommandLineArgs::Split(const wchar_t* commandLine) {
  table_.clear();
  using CommandLineToArgvWFn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
  static const auto split = Utils::SystemFunction<CommandLineToArgvWFn>(L"shell32.dll", "CommandLineToArgvW");
  int count = 0;
  LPWSTR* argv = split ? split(commandLine, &count) : nullptr;
  if (argv == nullptr) return false;
  Utils::ScopedLocalMemory owner(argv);
  for (int i = 0; i < count; ++i) {
    const std::wstring argument(argv[i]);
    std::wstring key = argument;
    std::wstring value;
    if (!argument.empty() && argument[0] == L'-') {
      const size_t equals = argument.find(L'=');
      if (equals != std::wstring::npos) {
        key = argument.substr(0, equals);
        value = argument.substr(equals + 1);
      }
    }
    table_.emplace(std::move(key), std::move(value));  // keeps the first occurrence
  }
  return true;
}

bool CommandLineArgs::Has(const std::wstring& key) const { return table_.count(key) != 0; }

std::wstring CommandLineArgs::Text(const std::wstring& key) const {
  const auto it = table_.find(key);
  return it == table_.end() ? std::wstring() : it->second;
}

bool CommandLineArgs::Integer(const std::wstring& key, int& value) const {
  const std::wstring text = Text(key);
  errno = 0;
  const long long number = std::wcstoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
  value = static_cast<int>(number);
  return true;
}

double CommandLineArgs::Decimal(const std::wstring& key, double fallback) const {
  const std::wstring text = Text(key);
  wchar_t* end = nullptr;
  errno = 0;
  const double number = std::wcstod(text.c_str(), &end);
  if (end == text.c_str() || errno == ERANGE) return fallback;
  return number;
}

bool CommandLineArgs::Boolean(const std::wstring& key) const { return Text(key) == L"true"; }

void CommandLineArgs::Apply(InstallerSettings& settings) const {
  if (Has(L"-downloadurl")) settings.DownloadUrl = Config::ResolveUrl(Text(L"-downloadurl"));
  if (Has(L"-downloadtype")) Integer(L"-downloadtype", settings.DownloadType);
  if (Has(L"-downloadscale")) settings.DownloadScale = Decimal(L"-downloadscale", settings.DownloadScale);
  if (Has(L"-ischecknet")) settings.IsCheckNet = Boolean(L"-ischecknet");
  if (Has(L"-instcmd")) settings.InstCmd = Text(L"-instcmd");
  if (Has(L"-language")) Integer(L"-language", settings.LanguageIndex);
  if (Has(L"-insnew")) settings.InsNew = Boolean(L"-insnew");
}

namespace CommandLine {

void Parse() {
  const std::wstring commandLine(::GetCommandLineW());  // the system's own copy
  CommandLineArgs args;
  if (args.Split(commandLine.c_str())) args.Apply(InstallerConfig);
}

}  // namespace CommandLine
