// tvprobe.exe: see probe.h.
#include <windows.h>

#include <cstdio>

#include "probe.h"
#include "utils/strings.h"

namespace Probe {

namespace {

void WriteUtf8(HANDLE handle, const std::wstring& text) {
  const std::string bytes = Utils::ToNarrow(text, CP_UTF8);
  DWORD written = 0;
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

struct Command {
  const wchar_t* name;
  int (*run)(const std::vector<std::wstring>&);
  const wchar_t* usage;
};

const Command kCommands[] = {
    {L"config", RunConfig,
     L"tvprobe config [installer options...]\n"
     L"    print the effective installer configuration (built-in values, ZemkoInstallerConfig.ini\n"
     L"    beside tvprobe.exe, then the options) and the system label and route used for the URL"},
    {L"watch", RunWatch,
     L"tvprobe watch [--escape] [--thread-names] -- PROGRAM [ARGS...]\n"
     L"    run PROGRAM as a debuggee, print each OutputDebugString text as one line (its own line end\n"
     L"    removed; with --escape CR and LF show as \\r and \\n), exit with the program's exit code"},
    {L"skin", RunSkin,
     L"tvprobe skin --archive FILE.7z [--markup NAME]\n"
     L"    list the entries of a skin archive (name, tab, size), or parse the markup entry NAME and print\n"
     L"    \"ok: N elements\" or \"error: MESSAGE at \"TEXT\"\"; exit 1 when the archive or the markup fails"},
};

int Usage() {
  PrintError(L"usage:");
  for (const auto& command : kCommands) PrintError(std::wstring(L"  ") + command.usage);
  return kExitUsage;
}

}  // namespace

void PrintLine(const std::wstring& text) { WriteUtf8(::GetStdHandle(STD_OUTPUT_HANDLE), text + L"\n"); }

void PrintError(const std::wstring& text) { WriteUtf8(::GetStdHandle(STD_ERROR_HANDLE), text + L"\n"); }

}  // namespace Probe

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Probe::Usage();
  const std::wstring name = argv[1];
  for (const auto& command : Probe::kCommands) {
    if (name == command.name) {
      const int result = command.run(std::vector<std::wstring>(argv + 2, argv + argc));
      if (result == Probe::kExitUsage) Probe::PrintError(std::wstring(L"usage: ") + command.usage);
      return result;
    }
  }
  return Probe::Usage();
}
