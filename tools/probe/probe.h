// tvprobe: the diagnostics tool for publishers and support. Each subcommand
// lives in its own file and is listed in main.cpp. Output is UTF-8, one line
// per record; exit 2 means bad usage.
#pragma once

#include <string>
#include <vector>

namespace Probe {

constexpr int kExitUsage = 2;

// Writes text as UTF-8 plus "\n" to standard output and flushes it.
void PrintLine(const std::wstring& text);
// Writes text as UTF-8 to standard error with a line end.
void PrintError(const std::wstring& text);

// Subcommands: `args` are the arguments after the subcommand's name.
int RunConfig(const std::vector<std::wstring>& args);
int RunWatch(const std::vector<std::wstring>& args);
int RunDownload(const std::vector<std::wstring>& args);
int RunMd5(const std::vector<std::wstring>& args);
int RunPackage(const std::vector<std::wstring>& args);
int RunUninstall(const std::vector<std::wstring>& args);
int RunInstall(const std::vector<std::wstring>& args);
int RunSkin(const std::vector<std::wstring>& args);

}  // namespace Probe
