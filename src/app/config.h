// The installer's configuration record InstallerConfig: built-in values, then
// "ZemkoInstallerConfig.ini" next to the executable (read during static
// initialisation, before the entry function runs), then the command line.
// Also the route substitution that adapts a download URL to the system.
#pragma once

#include <string>

struct InstallerSettings {
  std::wstring DownloadUrl;
  int DownloadType = 1;  // 2 system downloader, 3 multi-part, other single-stream
  bool IsCheckNet = false;
  double DownloadScale = 0.7;
  std::wstring InstCmd;
  int LanguageIndex = -1;
  bool InsNew = false;
};

// The process-wide record, complete before the entry function starts.
extern InstallerSettings InstallerConfig;
// False when libcurl's global initialisation failed at start-up.
extern bool curlReady;

namespace Config {

// The built-in package URL on the publisher's download service.
extern const wchar_t kDefaultDownloadUrl[];
extern const wchar_t kConfigFileName[];  // "ZemkoInstallerConfig.ini"
extern const wchar_t kRoutePlaceholder[];  // "${ROUTE}"

// Built-in values only.
InstallerSettings BuiltInSettings();

// Reads section "Install" of the ini file into `settings`; a missing file
// changes nothing. Values longer than 259 characters are cut.
void LoadConfigFile(InstallerSettings& settings, const std::wstring& iniPath);

// "ZemkoInstallerConfig.ini" in the folder of the running executable.
std::wstring ConfigFilePath();

// The route for a system label and WOW64 state:
// "download_silent_xp", "download_silent_64" or "download_silent".
std::wstring RouteFor(const std::wstring& osLabel, bool isWow64);

// Replaces every "${ROUTE}" with RouteFor(osLabel, isWow64).
std::wstring ResolveUrlFor(const std::wstring& url, const std::wstring& osLabel, bool isWow64);

// ResolveUrlFor with the running system (Utils::GetOSVersion, Utils::IsWow64);
// a URL without the placeholder is returned unchanged without asking.
std::wstring ResolveUrl(const std::wstring& url);

}  // namespace Config
