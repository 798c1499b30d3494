// tvprobe config: the configuration the installer would run with.
#include <charconv>

#include "app/command_line.h"
#include "app/config.h"
#include "probe.h"
#include "utils/probes.h"

namespace Probe {

namespace {
std::wstring Bool(bool value) { return value ? L"true" : L"false"; }

std::wstring Number(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::wstring(text, result.ptr);
}
}  // namespace

int RunConfig(const std::vector<std::wstring>&) {
  // The installer's own parser reads the process command line; the
  // subcommand's name becomes a key that nothing reads.
  CommandLine::Parse();
  const InstallerSettings& c = InstallerConfig;
  const std::wstring label = Utils::GetOSVersion();
  const bool wow64 = Utils::IsWow64();
  PrintLine(L"DownloadUrl=" + c.DownloadUrl);
  PrintLine(L"DownloadType=" + std::to_wstring(c.DownloadType));
  PrintLine(L"IsCheckNet=" + Bool(c.IsCheckNet));
  PrintLine(L"DownloadScale=" + Number(c.DownloadScale));
  PrintLine(L"InstCmd=" + c.InstCmd);
  PrintLine(L"LanguageIndex=" + std::to_wstring(c.LanguageIndex));
  PrintLine(L"InsNew=" + Bool(c.InsNew));
  PrintLine(L"ConfigFile=" + Config::ConfigFilePath());
  PrintLine(L"OSVersion=" + label);
  PrintLine(L"IsWow64=" + Bool(wow64));
  PrintLine(L"Route=" + Config::RouteFor(label, wow64));
  return 0;
}

}  // namespace Probe
