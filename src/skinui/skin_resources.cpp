// The process-wide skin resource settings of CWindowManagerUI and the
// skin-file lookup that reads through them.
#include <algorithm>
#include <cwctype>
#include <limits>

#include "skinui/skin_archive.h"
#include "skinui/window_manager.h"

namespace SkinUI {

namespace {

const wchar_t kMemoryArchiveName[] = L"membuffer";

struct ResourceSettings {
  HINSTANCE instance = nullptr;
  HINSTANCE resourceInstance = nullptr;
  std::wstring path;
  std::wstring archiveName;
  bool cached = false;
  ScopedArchive archive;
  bool sevenZip = false;
  std::vector<uint8_t> resourceCopy;  // the "ZIPRES" bytes, kept for the process
};

// Used from the UI thread only, like the windows that read it.
ResourceSettings& Settings() {
  static ResourceSettings settings;
  return settings;
}

bool CopyResource(HINSTANCE instance, const wchar_t* name, const wchar_t* type, std::vector<uint8_t>* bytes) {
  HRSRC resource = ::FindResourceW(instance, name, type);
  if (resource == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(instance, resource);
  const DWORD size = ::SizeofResource(instance, resource);
  if (loaded == nullptr || size == 0) return false;
  const auto* data = static_cast<const uint8_t*>(::LockResource(loaded));
  if (data == nullptr) return false;
  bytes->assign(data, data + size);
  return true;
}

}  // namespace

// ---- settings ----

void CWindowManagerUI::SetInstance(HINSTANCE instance) { Settings().instance = instance; }
HINSTANCE CWindowManagerUI::GetInstance() { return Settings().instance; }

std::wstring CWindowManagerUI::GetInstancePath() {
  if (Settings().instance == nullptr) return std::wstring();
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(Settings().instance, path, MAX_PATH);
  std::wstring result(path, std::min<DWORD>(length, MAX_PATH));
  const size_t slash = result.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : result.substr(0, slash + 1);
}

void CWindowManagerUI::SetResourceInstance(HINSTANCE instance) { Settings().resourceInstance = instance; }

HINSTANCE CWindowManagerUI::GetResourceInstance() {
  return Settings().resourceInstance != nullptr ? Settings().resourceInstance : Settings().instance;
}

void CWindowManagerUI::SetResourcePath(const std::wstring& path) {
  std::wstring& stored = Settings().path;
  stored = path;
  if (!stored.empty() && stored.back() != L'\\' && stored.back() != L'/') stored += L'\\';
}

const std::wstring& CWindowManagerUI::GetResourcePath() { return Settings().path; }

void CWindowManagerUI::UseSevenZipArchives(bool sevenZip) { Settings().sevenZip = sevenZip; }
bool CWindowManagerUI::IsSevenZipArchives() { return Settings().sevenZip; }

void CWindowManagerUI::SetResourceArchive(const std::wstring& name, bool cached) {
  ResourceSettings& s = Settings();
  if (name == s.archiveName && cached == s.cached) return;
  if (s.cached) s.archive.reset();
  s.archiveName = name;
  s.cached = cached;
  if (cached && !name.empty() && s.sevenZip) s.archive.reset(OpenArchiveFile(s.path + name));
}

void CWindowManagerUI::SetResourceArchive(const void* bytes, size_t length) {
  ResourceSettings& s = Settings();
  // The first archive installed from memory stays for the process.
  if (s.archiveName == kMemoryArchiveName) return;
  if (s.cached) s.archive.reset();
  s.archiveName = kMemoryArchiveName;
  s.cached = true;
  s.archive.reset(s.sevenZip ? OpenArchiveMemory(bytes, length) : nullptr);
}

const std::wstring& CWindowManagerUI::GetResourceArchiveName() { return Settings().archiveName; }
bool CWindowManagerUI::IsResourceArchiveCached() { return Settings().cached; }
SkinArchive* CWindowManagerUI::GetResourceArchive() { return Settings().archive.get(); }

bool CWindowManagerUI::LoadArchiveResource(UINT id) {
  ResourceSettings& s = Settings();
  std::vector<uint8_t> bytes;
  if (!CopyResource(GetResourceInstance(), MAKEINTRESOURCEW(id), L"ZIPRES", &bytes)) return false;
  // One copy serves the whole process; later windows find it installed.
  if (s.resourceCopy.empty()) s.resourceCopy = std::move(bytes);
  SetResourceArchive(s.resourceCopy.data(), s.resourceCopy.size());
  return true;
}

const std::vector<uint8_t>& CWindowManagerUI::GetArchiveResourceCopy() { return Settings().resourceCopy; }

// ---- lookups ----

const wchar_t* SkinFileMessage(SkinFileResult result) {
  switch (result) {
    case SkinFileResult::Ok: return L"";
    case SkinFileResult::ErrorOpeningFile: return L"Error opening file";
    case SkinFileResult::CouldNotReadFile: return L"Could not read file";
    case SkinFileResult::ErrorOpeningArchive: return L"Error opening zip file";
    case SkinFileResult::NotInArchive: return L"Could not find ziped file";
    case SkinFileResult::Empty: return L"File is empty";
    case SkinFileResult::TooLarge: return L"File too large";
    case SkinFileResult::CouldNotExtract: return L"Could not unzip file";
  }
  return L"";
}

SkinFileResult ReadWholeFile(const std::wstring& path, uint64_t limit, std::vector<uint8_t>* bytes) {
  Utils::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return SkinFileResult::ErrorOpeningFile;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size)) return SkinFileResult::ErrorOpeningFile;
  if (size.QuadPart == 0) return SkinFileResult::Empty;
  if (static_cast<uint64_t>(size.QuadPart) > limit) return SkinFileResult::TooLarge;
  if (static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max() / 2) return SkinFileResult::TooLarge;
  const size_t total = static_cast<size_t>(size.QuadPart);
  bytes->resize(total);
  size_t done = 0;
  while (done < total) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(total - done, 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes->data() + done, chunk, &read, nullptr) || read == 0) break;
    done += read;
  }
  if (done < total) {
    bytes->clear();
    return SkinFileResult::CouldNotReadFile;
  }
  return SkinFileResult::Ok;
}

SkinFileResult ReadSkinFile(const std::wstring& name, uint64_t limit, std::vector<uint8_t>* bytes) {
  bytes->clear();
  const ResourceSettings& s = Settings();
  if (s.archiveName.empty()) return ReadWholeFile(s.path + name, limit, bytes);

  // An archive that is not cached is opened for this one lookup.
  ScopedArchive opened;
  SkinArchive* archive = nullptr;
  if (s.sevenZip) {
    if (s.cached) {
      archive = s.archive.get();
    } else {
      opened.reset(OpenArchiveFile(s.path + s.archiveName));
      archive = opened.get();
    }
  }
  if (archive == nullptr) return SkinFileResult::ErrorOpeningArchive;
  uint32_t index = 0;
  uint64_t size = 0;
  if (FindArchiveEntry(archive, name.c_str(), &index, &size) != kArchiveOk) return SkinFileResult::NotInArchive;
  if (size == 0) return SkinFileResult::Empty;
  if (size > limit) return SkinFileResult::TooLarge;
  bytes->resize(static_cast<size_t>(size));
  if (ExtractArchiveEntry(archive, index, bytes->data(), bytes->size()) != kArchiveOk) {
    bytes->clear();
    return SkinFileResult::CouldNotExtract;
  }
  return SkinFileResult::Ok;
}

bool ReadImageBytes(const std::wstring& name, const std::wstring& resourceType, std::vector<uint8_t>* bytes) {
  bytes->clear();
  if (name.empty()) return false;
  if (!resourceType.empty()) {
    // A name starting with a digit is a numeric resource id.
    const wchar_t* resourceName =
        std::iswdigit(name[0]) ? MAKEINTRESOURCEW(std::wcstoul(name.c_str(), nullptr, 10) & 0xFFFF) : name.c_str();
    if (CopyResource(CWindowManagerUI::GetResourceInstance(), resourceName, resourceType.c_str(), bytes)) return true;
  } else if (ReadSkinFile(name, std::numeric_limits<uint64_t>::max(), bytes) == SkinFileResult::Ok) {
    return true;
  }
  // The last resort: the name as a path of its own.
  return ReadWholeFile(name, std::numeric_limits<uint64_t>::max(), bytes) == SkinFileResult::Ok;
}

}  // namespace SkinUI
