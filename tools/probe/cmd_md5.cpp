// tvprobe md5: the digest the installer computes for a downloaded package,
// which is also the folder name its download URL must carry.
#include <windows.h>

#include "probe.h"
#include "utils/strings.h"

namespace Probe {

int RunMd5(const std::vector<std::wstring>& args) {
  if (args.size() != 1) return kExitUsage;
  const std::string digest = Utils::FileMd5Hex(Utils::ToNarrow(args[0], CP_ACP));
  if (digest.empty()) {
    PrintError(L"tvprobe md5: cannot read " + args[0]);
    return 1;
  }
  PrintLine(Utils::ToWide(digest, CP_ACP) + L"  " + args[0]);
  return 0;
}

}  // namespace Probe
