#include "app/config.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "utils/probes.h"
#include "utils/strings.h"

namespace Config {

const wchar_t kDefaultDownloadUrl[] = L"https://download.transvera.com/software/507";
const wchar_t kConfigFileName[] = L"ZemkoInstallerConfig.ini";
const wchar_t kRoutePlaceholder[] = L"${ROUTE}";

namespace {

constexpr int kBuildId = 557;
constexpr int k64BitRouteBuilds[] = {267, 385, 257, 335, 318};
constexpr wchar_t kSection[] = L"Install";
constexpr DWORD kValueChars = 260;

std::wstring ReadString(const std::wstring& ini, const wchar_t* key, const wchar_t* fallback) {
  wchar_t buffer[kValueChars] = {};
  ::GetPrivateProfileStringW(kSection, key, fallback, buffer, kValueChars, ini.c_str());
  return buffer;
}

}  // namespace

InstallerSettings BuiltInSettings() {
  InstallerSettings settings;
  settings.DownloadUrl = ResolveUrl(kDefaultDownloadUrl);
  return settings;
}

void LoadConfigFile(InstallerSettings& settings, const std::wstring& iniPath) {
  if (::GetFileAttributesW(iniPath.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  settings.DownloadUrl = ResolveUrl(ReadString(iniPath, L"DownloadUrl", kDefaultDownloadUrl));
  settings.DownloadType = static_cast<int>(::GetPrivateProfileIntW(kSection, L"DownloadType", 1, iniPath.c_str()));
  settings.IsCheckNet = ReadString(iniPath, L"IsCheckNet", L"true") == L"true";

  const std::wstring scale = ReadString(iniPath, L"DownloadScale", L"0.7");
  wchar_t* end = nullptr;
  const double value = std::wcstod(scale.c_str(), &end);
  // A word reads as 0.0; a number beyond the double range keeps 0.7.
  settings.DownloadScale = (end == scale.c_str()) ? 0.0 : (std::isfinite(value) ? value : 0.7);

  settings.InstCmd = ReadString(iniPath, L"InstCmd", L"");
}

std::wstring ConfigFilePath() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module);
  const size_t slash = path.rfind(L'\\');
  path.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return path + kConfigFileName;
}

std::wstring RouteFor(const std::wstring& osLabel, bool isWow64) {
  if (osLabel.find(L"XP") != std::wstring::npos) return L"download_silent_xp";
  const bool buildUses64Route =
      std::find(std::begin(k64BitRouteBuilds), std::end(k64BitRouteBuilds), kBuildId) != std::end(k64BitRouteBuilds);
  if (buildUses64Route && isWow64) return L"download_silent_64";
  return L"download_silent";
}

std::wstring ResolveUrlFor(const std::wstring& url, const std::wstring& osLabel, bool isWow64) {
  if (url.find(kRoutePlaceholder) == std::wstring::npos) return url;
  return Utils::ReplaceAll(url, kRoutePlaceholder, RouteFor(osLabel, isWow64));
}

std::wstring ResolveUrl(const std::wstring& url) {
  if (url.find(kRoutePlaceholder) == std::wstring::npos) return url;
  return ResolveUrlFor(url, Utils::GetOSVersion(), Utils::IsWow64());
}

}  // namespace Config

// Built before the entry function runs: defaults, then the file beside the exe.
InstallerSettings InstallerConfig = [] {
  InstallerSettings settings = Config::BuiltInSettings();
  Config::LoadConfigFile(settings, Config::ConfigFilePath());
  return settings;
}();
bool curlReady = true;  // constant-initialised, so set before any code runs
