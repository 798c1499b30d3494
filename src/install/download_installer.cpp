#include "install/download_installer.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <mutex>

#include "app/config.h"
#include "utils/scoped.h"
#include "utils/strings.h"
#include "utils/trace.h"

namespace {

constexpr wchar_t kProductName[] = L"Transvera";
constexpr wchar_t kTempFolderName[] = L"~ZemKoTemp.92482B06FB471E17";
constexpr wchar_t kUninstallerCopyName[] = L"Transvera_un_asa.exe";
constexpr wchar_t kProductExe[] = L"transvera.exe";

// The package path of the last cleanup of the run, shared by every cleanup.
// Only the stage handlers touch it, and the stages never overlap.
std::mutex g_cleanedLock;
std::wstring g_lastCleanedPackage;

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

CDownloadInstaller::CDownloadInstaller(StatusCallback callback, const std::wstring& downloadUrl,
                                       const std::wstring& previousUninstaller, const std::wstring& installDir,
                                       bool desktopShortcut, bool quickLaunch, bool adminAccount)
    : callback_(std::move(callback)),
      downloadUrl_(downloadUrl),
      previousUninstaller_(previousUninstaller),
      installDir_(installDir),
      desktopShortcut_(desktopShortcut),
      quickLaunch_(quickLaunch),
      adminAccount_(adminAccount) {}

CDownloadInstaller::~CDownloadInstaller() {
  closing_ = true;
  downloader_.reset();
  installer_.reset();
  uninstaller_.reset();
  replacedUninstallers_.clear();
  callback_ = nullptr;
}

void CDownloadInstaller::Configure(const std::wstring& downloadUrl, const std::wstring& previousUninstaller,
                                   const std::wstring& installDir, bool desktopShortcut, bool quickLaunch,
                                   bool adminAccount, bool adminProcess, const std::wstring& language) {
  downloadUrl_ = downloadUrl;
  previousUninstaller_ = previousUninstaller;
  installDir_ = installDir;
  desktopShortcut_ = desktopShortcut;
  quickLaunch_ = quickLaunch;
  adminAccount_ = adminAccount;
  adminProcess_ = adminProcess;
  language_ = language;
}

std::wstring CDownloadInstaller::GetPackagePath() const {
  return installDir_ + L"\\__Package_" + kProductName + L".exe";
}

std::wstring CDownloadInstaller::InstallerTempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  const std::wstring folder = std::wstring(temp) + kTempFolderName + L"\\";
  if (!FileExists(folder) && !::CreateDirectoryW(folder.c_str(), nullptr) && !FileExists(folder))
    return std::wstring();
  return folder;
}

std::wstring CDownloadInstaller::UninstallerCopyPath() {
  const std::wstring folder = InstallerTempFolder();
  // The folder ends in a backslash already; the doubled one is harmless.
  return folder.empty() ? std::wstring() : folder + L"\\" + kUninstallerCopyName;
}

bool CDownloadInstaller::IsProductRunning() {
  Utils::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (std::wstring(entry.szExeFile) == kProductExe) return true;
  }
  return false;
}

void CDownloadInstaller::Report(int code, double value, const wchar_t* text) {
  if (callback_) callback_(code, value, text);
}

void CDownloadInstaller::CleanupPackage() {
  const std::wstring current = GetPackagePath();
  std::lock_guard<std::mutex> lock(g_cleanedLock);
  ::DeleteFileW(current.c_str());
  if (!g_lastCleanedPackage.empty()) ::DeleteFileW(g_lastCleanedPackage.c_str());
  g_lastCleanedPackage = current;
}

void CDownloadInstaller::ReleaseFinishedUninstallers() {
  for (auto it = replacedUninstallers_.begin(); it != replacedUninstallers_.end();) {
    if ((*it)->Wait(0)) {
      it = replacedUninstallers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CDownloadInstaller::Start() {
  packagePath_ = GetPackagePath();
  TRACE(L"DL_TYPE=%d\r\n", InstallerConfig.DownloadType);

  if (!downloader_) {
    // The download stage (runs on the downloader's threads).
    StatusCallback onDownload = [this](int code, double value, const wchar_t* text) {
      Report(code, value, text);
      switch (code) {
        case DL_CODE_START:
          TRACE(L"DL_CODE_START\r\n");
          Utils::CreateDirectoryRecursive(installDir_);
          break;
        case DL_CODE_PROGRESS:
          TRACE(L"DL_CODE_PROGRESS\r\n");
          break;
        case DL_CODE_SUCCESS:
          TRACE(L"DOWNLOAD_SUCCESS\r\n");
          if (!closing_) installer_->Start();
          TRACE(L"DL_CODE_SUCCESS\r\n");
          break;
        case DL_CODE_FAIL:
          TRACE(L"DL_CODE_FAIL\r\n");
          CleanupPackage();
          break;
        case DL_CODE_RETRY:
          TRACE(L"DL_CODE_RETRY\r\n");
          if (!closing_) downloader_->Start();
          break;
        default:
          break;
      }
    };
    downloader_.reset(
        CreateDownloader(InstallerConfig.DownloadType, onDownload, downloadUrl_.c_str(), packagePath_.c_str()));
  }

  if (!installer_) {
    // The install stage (runs on the package runner's worker).
    StatusCallback onInstall = [this](int code, double value, const wchar_t* text) {
      Report(code, value, text);
      switch (code) {
        case IST_CODE_START:
          TRACE(L"IST_CODE_START\r\n");
          break;
        case IST_CODE_SUCCESS:
          TRACE(L"INSTALL_SUCCESS\r\n");
          CleanupPackage();
          break;
        case IST_CODE_FAIL:
          TRACE(L"IST_CODE_FAIL\r\n");
          CleanupPackage();
          break;
        default:
          break;
      }
    };
    installer_ = std::make_unique<CInstaller>(onInstall, L"\"" + packagePath_ + L"\"", installDir_, desktopShortcut_,
                                              quickLaunch_, adminAccount_);
  }
  installer_->SetInstallDir(installDir_);
  installer_->SetDesktopShortcut(desktopShortcut_);
  installer_->SetQuickLaunch(quickLaunch_);
  installer_->SetAdminAccount(adminAccount_);
  installer_->SetAdminProcess(adminProcess_);
  installer_->SetLanguage(language_);

  if (!previousUninstaller_.empty() && FileExists(previousUninstaller_)) {
    const std::wstring copy = UninstallerCopyPath();
    std::wstring previousFolder = previousUninstaller_;
    previousFolder.erase(std::min(previousFolder.size(), previousFolder.find_last_of(L"\\/")));
    ::CopyFileW(previousUninstaller_.c_str(), copy.c_str(), FALSE);  // a failed copy shows as a missing file

    // The uninstall stage (runs on the uninstaller's worker).
    StatusCallback onUninstall = [this](int code, double value, const wchar_t* text) {
      Report(code, value, text);
      switch (code) {
        case UNIST_CODE_START:
          TRACE(L"UNIST_CODE_START\r\n");
          break;
        case UNIST_CODE_PROGRESS:
          TRACE(L"UNIST_CODE_PROGRESS\r\n");
          break;
        case UNIST_CODE_SUCCESS:
          TRACE(L"UNIST_CODE_SUCCESS\r\n");
          if (!closing_ && installer_) downloader_->Start();
          break;
        case UNIST_CODE_FAIL:
          TRACE(L"UNIST_CODE_FAIL\r\n");
          break;
        case UNIST_CODE_ERROR:
          TRACE(L"UNIST_CODE_ERROR\r\n");
          break;
        default:
          break;
      }
    };
    // A runner of an earlier start may still wait for its child: it is kept
    // until that worker has ended instead of being waited for here.
    ReleaseFinishedUninstallers();
    if (uninstaller_) replacedUninstallers_.push_back(std::move(uninstaller_));
    uninstaller_ = std::make_unique<UnInstaller>(onUninstall, copy, previousFolder);

    if (InstallerConfig.InsNew) {
      bool running = false;
      do {
        running = IsProductRunning();
        ::Sleep(100);
      } while (running);
    }
    uninstaller_->Start();
    return;
  }
  downloader_->Start();
}
