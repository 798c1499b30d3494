// tvprobe watch: the debug output of a program, one line per string.
#include "debug_watch.h"
#include "probe.h"
#include "utils/strings.h"

namespace Probe {

namespace {

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\r') out += L"\\r";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\\') out += L"\\\\";
    else out += c;
  }
  return out;
}

std::wstring StripLineEnd(std::wstring text) {
  if (!text.empty() && text.back() == L'\n') text.pop_back();
  if (!text.empty() && text.back() == L'\r') text.pop_back();
  return text;
}

}  // namespace

int RunWatch(const std::vector<std::wstring>& args) {
  bool escape = false;
  bool threadNames = false;
  size_t i = 0;
  for (; i < args.size() && args[i] != L"--"; ++i) {
    if (args[i] == L"--escape") escape = true;
    else if (args[i] == L"--thread-names") threadNames = true;
    else return kExitUsage;
  }
  if (i + 1 >= args.size()) return kExitUsage;  // no "--" or no program
  const std::vector<std::wstring> program(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());

  DebugEvents events;
  events.onDebugString = [escape](const std::wstring& text) {
    PrintLine(escape ? Escape(text) : StripLineEnd(text));
  };
  if (threadNames) {
    events.onThreadName = [](DWORD id, const std::string& name) {
      PrintLine(L"#thread-name " + std::to_wstring(id) + L" " + Utils::ToWide(name, CP_ACP));
    };
  }
  const DebugRunResult result = RunUnderDebugger(JoinCommandLine(program), events);
  if (!result.started) {
    PrintError(L"tvprobe watch: cannot start " + program[0] + L" (error " + std::to_wstring(result.error) + L")");
    return 1;
  }
  return static_cast<int>(result.exitCode);
}

}  // namespace Probe
