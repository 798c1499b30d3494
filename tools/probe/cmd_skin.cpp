// tvprobe skin: a lint for skin authors. Lists the entries of a 7z skin
// archive, or parses one markup entry the way the installer loads it.
#include "probe.h"
#include "skinui/markup.h"
#include "skinui/skin_archive.h"
#include "skinui/window_manager.h"

namespace Probe {

int RunSkin(const std::vector<std::wstring>& args) {
  std::wstring archivePath, markup;
  bool haveMarkup = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == L"--archive" && i + 1 < args.size()) {
      archivePath = args[++i];
    } else if (args[i] == L"--markup" && i + 1 < args.size()) {
      markup = args[++i];
      haveMarkup = true;
    } else {
      return kExitUsage;
    }
  }
  if (archivePath.empty() || (haveMarkup && markup.empty())) return kExitUsage;

  if (!haveMarkup) {
    SkinUI::ScopedArchive archive(SkinUI::OpenArchiveFile(archivePath));
    if (!archive) {
      PrintError(L"tvprobe skin: cannot open " + archivePath + L" as a 7z archive");
      return 1;
    }
    for (const auto& entry : archive->entries) PrintLine(entry.name + L"\t" + std::to_wstring(entry.size));
    return 0;
  }

  // The installer's own lookup: the archive installed as a cached skin
  // archive under its folder, the markup read and parsed from it.
  const size_t slash = archivePath.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : archivePath.substr(0, slash + 1);
  const std::wstring name = slash == std::wstring::npos ? archivePath : archivePath.substr(slash + 1);
  SkinUI::CWindowManagerUI::UseSevenZipArchives(true);
  SkinUI::CWindowManagerUI::SetResourcePath(folder);
  SkinUI::CWindowManagerUI::SetResourceArchive(name, true);
  SkinUI::CMarkupDocument document;
  if (document.LoadFromFile(markup, SkinUI::kEncodingUtf8)) {
    PrintLine(L"ok: " + std::to_wstring(document.GetElementCount()) + L" elements");
    return 0;
  }
  std::wstring line = std::wstring(L"error: ") + document.GetLastErrorMessage();
  if (document.GetLastErrorLocation()[0] != 0) line += std::wstring(L" at \"") + document.GetLastErrorLocation() + L"\"";
  PrintLine(line);
  return 1;
}

}  // namespace Probe
