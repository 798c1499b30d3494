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
    {L"download", RunDownload,
     L"tvprobe download --type N --url URL --out PATH [--cainfo CA.pem]\n"
     L"    download URL to PATH with the installer's downloader for DownloadType N (2 system service,\n"
     L"    3 two ranges, other single stream), print each status event as \"<code> <value> <text>\";\n"
     L"    exit 0 when the download succeeded (1003), 1 when it failed (1004)"},
    {L"md5", RunMd5,
     L"tvprobe md5 FILE\n"
     L"    print the MD5 digest the installer checks a package against (the last folder of its URL)"},
    {L"package", RunPackage,
     L"tvprobe package --exe PATH [--dir D] [--lang CODE] [--instcmd TEXT]\n"
     L"    run the package PATH silently as the installer does (quoted path, install folder D, language\n"
     L"    CODE, TEXT appended as InstCmd); print each event as \"<code> <value> <text>\"; exit 0 after\n"
     L"    2003 (installed), 1 after a failure"},
    {L"uninstall", RunUninstall,
     L"tvprobe uninstall --exe PATH --dir D\n"
     L"    run the uninstaller PATH on the installation folder D as the installer does; print each\n"
     L"    event as \"<code> <value> <text>\"; exit 0 after 5003 (removed), 1 after a failure"},
    {L"install", RunInstall,
     L"tvprobe install --url URL --dir D [--type N] [--prev-uninstaller PATH] [--lang CODE] [--instcmd TEXT]\n"
     L"                [--insnew]\n"
     L"    a whole installation without the window: the previous uninstaller PATH (when given), the\n"
     L"    download of URL with DownloadType N, then the package into D; print each event as\n"
     L"    \"<code> <value> <text>\"; exit 0 after 2003 (installed), 1 after a failure"},
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
