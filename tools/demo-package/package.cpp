// demo-package.exe: a package installer of the Transvera protocol, for tests
// and demonstrations. It reads the installer's switches, really installs the
// demo product "transvera.exe" and the demo uninstaller ("uninst.exe" and its
// copy "uninst.ep", the file the next installer runs to remove this one) into
// the folder, and prints its progress and results as "Key=value" lines, each
// in one write.
//
// Switches the installer passes:
//   /S  -console=show  -version=V  -adminact=B  -authorizationact=B  -dsc=B
//   -ssc=B  -inslang="CODE"  -instdir="FOLDER"  /D=FOLDER (last, rest of the line)
// Everything it received is written to "package-record.txt" in the folder.
//
// Switches for tests (the installer's InstCmd appends them):
//   -demo-fail            install, then report State=Fail
//   -demo-error=TEXT      report Error=TEXT and stop
//   -demo-message=TEXT    print Message=TEXT before the final state
//   -demo-encode=NAME     first output: Encode=NAME, filling the reader's whole
//                         first 1024-byte chunk; later lines in that code page
//                         (UTF8, ACP or a number such as 936)
//   -demo-pad=N           first output: an N-byte filler line and, in the
//                         same write, InstPath=FOLDER
//   -demo-longmessage=N   first output: Message= with N characters
//   -demo-split=MS        write every line in two halves, MS apart
//   -demo-crlf            end lines in CR LF instead of LF
//   -demo-startup=WORD    StartupStyle= value (default UserStartup)
//   -demo-topshow=N       TopShowDetention= value (default 3000)
//   -demo-finishclose=N   FinsihCloseDetention= value (default 0)
//   -demo-stay=MS         after the final state keep running MS, then print
//                         StartUrl=... and end
//   -demo-nostate         end without a final state
//   -demo-silent          print nothing at all (still install)
//   -demo-hang=MS         first wait MS without output (0: forever)
//   -demo-stderr=BYTES    first write BYTES to standard error
//   -demo-raw=TEXT        instead of installing, write TEXT (escapes \n \r \t
//                         \\ \xHH) in one write; may be repeated
//   -demo-pause=MS        pause between -demo-raw writes
//   -demo-exitcode=N      exit code (default 0, 1 after a failure)
#include <windows.h>

#include <string>
#include <vector>

#include "demo_io.h"
#include "utils/strings.h"

namespace {

constexpr int kProductResource = 101;
constexpr int kUninstallerResource = 102;

struct Options {
  std::wstring commandLine;
  bool silentSwitch = false;
  std::wstring version, adminAct, authorizationAct, dsc, ssc, consoleMode;
  std::wstring insLang, instDir, dDir;
  bool haveInsLang = false, haveInstDir = false, haveDDir = false;

  bool fail = false, noState = false, silent = false, crlf = false;
  bool haveError = false, haveMessage = false;
  std::wstring error, message, encode;
  std::wstring startup = L"UserStartup", topShow = L"3000", finishClose = L"0";
  long pad = -1;
  long longMessage = -1;
  DWORD splitMs = 0, stayMs = 0, pauseMs = 0;
  bool stay = false, hang = false;
  DWORD hangMs = 0;
  long stderrBytes = 0;
  std::vector<std::wstring> raw;
  int exitCode = -1;
};

DWORD Ms(const std::wstring& text) { return static_cast<DWORD>(_wtoi(text.c_str())); }

Options ReadOptions() {
  Options o;
  o.commandLine = ::GetCommandLineW();
  // "/D=" is last and takes the rest of the line, blanks included.
  std::wstring switches = o.commandLine;
  const size_t d = o.commandLine.rfind(L" /D=");
  if (d != std::wstring::npos) {
    o.haveDDir = true;
    o.dDir = o.commandLine.substr(d + 4);
    switches = o.commandLine.substr(0, d);
  }
  const std::vector<std::wstring> args = Demo::SplitArguments(switches);
  std::wstring v;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (a == L"/S") o.silentSwitch = true;
    else if (Demo::SwitchValue(a, L"-console", &v)) o.consoleMode = v;
    else if (Demo::SwitchValue(a, L"-version", &v)) o.version = v;
    else if (Demo::SwitchValue(a, L"-adminact", &v)) o.adminAct = v;
    else if (Demo::SwitchValue(a, L"-authorizationact", &v)) o.authorizationAct = v;
    else if (Demo::SwitchValue(a, L"-dsc", &v)) o.dsc = v;
    else if (Demo::SwitchValue(a, L"-ssc", &v)) o.ssc = v;
    else if (Demo::SwitchValue(a, L"-inslang", &v)) o.haveInsLang = true, o.insLang = v;
    else if (Demo::SwitchValue(a, L"-instdir", &v)) o.haveInstDir = true, o.instDir = v;
    else if (Demo::SwitchValue(a, L"-demo-fail", &v)) o.fail = true;
    else if (Demo::SwitchValue(a, L"-demo-error", &v)) o.haveError = true, o.error = v;
    else if (Demo::SwitchValue(a, L"-demo-message", &v)) o.haveMessage = true, o.message = v;
    else if (Demo::SwitchValue(a, L"-demo-encode", &v)) o.encode = v;
    else if (Demo::SwitchValue(a, L"-demo-pad", &v)) o.pad = _wtol(v.c_str());
    else if (Demo::SwitchValue(a, L"-demo-longmessage", &v)) o.longMessage = _wtol(v.c_str());
    else if (Demo::SwitchValue(a, L"-demo-split", &v)) o.splitMs = Ms(v);
    else if (Demo::SwitchValue(a, L"-demo-crlf", &v)) o.crlf = true;
    else if (Demo::SwitchValue(a, L"-demo-startup", &v)) o.startup = v;
    else if (Demo::SwitchValue(a, L"-demo-topshow", &v)) o.topShow = v;
    else if (Demo::SwitchValue(a, L"-demo-finishclose", &v)) o.finishClose = v;
    else if (Demo::SwitchValue(a, L"-demo-stay", &v)) o.stay = true, o.stayMs = Ms(v);
    else if (Demo::SwitchValue(a, L"-demo-nostate", &v)) o.noState = true;
    else if (Demo::SwitchValue(a, L"-demo-silent", &v)) o.silent = true;
    else if (Demo::SwitchValue(a, L"-demo-hang", &v)) o.hang = true, o.hangMs = Ms(v);
    else if (Demo::SwitchValue(a, L"-demo-stderr", &v)) o.stderrBytes = _wtol(v.c_str());
    else if (Demo::SwitchValue(a, L"-demo-raw", &v)) o.raw.push_back(v);
    else if (Demo::SwitchValue(a, L"-demo-pause", &v)) o.pauseMs = Ms(v);
    else if (Demo::SwitchValue(a, L"-demo-exitcode", &v)) o.exitCode = _wtoi(v.c_str());
  }
  return o;
}

std::wstring InstallFolder(const Options& o) {
  if (o.haveDDir && !o.dDir.empty()) return o.dDir;
  if (o.haveInstDir && !o.instDir.empty()) return o.instDir;
  wchar_t programFiles[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH) == 0) return L"C:\\Transvera";
  return std::wstring(programFiles) + L"\\Transvera";
}

bool ExtractResource(int id, const std::wstring& path) {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (resource == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  return Demo::WriteFileBytes(path, std::string(static_cast<const char*>(data), ::SizeofResource(nullptr, resource)));
}

void WriteStandardError(long bytes) {
  const std::string block(65536, 'e');
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  for (long left = bytes; left > 0; left -= static_cast<long>(block.size())) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(left < static_cast<long>(block.size()) ? left : block.size());
    if (!::WriteFile(err, block.data(), size, &written, nullptr)) return;
  }
}

std::string Record(const Options& o, const std::wstring& folder) {
  std::wstring r;
  r += L"CommandLine=" + o.commandLine + L"\n";
  r += std::wstring(L"Silent=") + (o.silentSwitch ? L"true" : L"false") + L"\n";
  r += L"Console=" + o.consoleMode + L"\n";
  r += L"Version=" + o.version + L"\n";
  r += L"AdminAct=" + o.adminAct + L"\n";
  r += L"AuthorizationAct=" + o.authorizationAct + L"\n";
  r += L"Dsc=" + o.dsc + L"\n";
  r += L"Ssc=" + o.ssc + L"\n";
  r += L"InsLang=" + (o.haveInsLang ? o.insLang : L"(none)") + L"\n";
  r += L"InstDir=" + (o.haveInstDir ? o.instDir : L"(none)") + L"\n";
  r += L"DDir=" + (o.haveDDir ? o.dDir : L"(none)") + L"\n";
  r += L"Folder=" + folder + L"\n";
  return Utils::ToNarrow(r, CP_UTF8);
}

int Finish(const Options& o, int fallback) { return o.exitCode >= 0 ? o.exitCode : fallback; }

}  // namespace

int wmain() {
  const Options o = ReadOptions();
  Demo::LineWriter out;
  out.SetSilent(o.silent);
  if (o.crlf) out.SetLineEnd("\r\n");

  if (o.hang) ::Sleep(o.hangMs == 0 ? INFINITE : o.hangMs);
  if (o.stderrBytes > 0) WriteStandardError(o.stderrBytes);

  if (!o.raw.empty()) {
    for (size_t i = 0; i < o.raw.size(); ++i) {
      if (i > 0 && o.pauseMs > 0) ::Sleep(o.pauseMs);
      out.Raw(Demo::Unescape(Utils::ToNarrow(o.raw[i], CP_UTF8)));
    }
    return Finish(o, 0);
  }

  const std::wstring folder = InstallFolder(o);
  if (!o.encode.empty()) {
    out.LineFillingChunk(L"Encode=" + o.encode, 1024);
    out.SetCodePage(Demo::CodePageForName(o.encode));
  }
  if (o.pad >= 0) out.LineAfterFiller(L"InstPath=" + folder, static_cast<size_t>(o.pad));
  if (o.longMessage >= 0) out.Line(L"Message=" + std::wstring(static_cast<size_t>(o.longMessage), L'm'));
  out.SetSplitPause(o.splitMs);

  out.Line(L"Progress=0.05");
  if (o.haveError) {
    out.Line(L"Error=" + o.error);
    return Finish(o, 1);
  }
  if (!Utils::CreateDirectoryRecursive(folder)) {
    out.Line(L"Error=cannot create the folder " + folder);
    return Finish(o, 1);
  }
  out.Line(L"Progress=0.3");
  const std::wstring product = folder + L"\\transvera.exe";
  const std::wstring uninstaller = folder + L"\\uninst.exe";
  const std::wstring marker = folder + L"\\uninst.ep";
  if (!ExtractResource(kProductResource, product)) {
    out.Line(L"Error=cannot write " + product);
    return Finish(o, 1);
  }
  out.Line(L"Progress=0.6");
  if (!ExtractResource(kUninstallerResource, uninstaller) || !ExtractResource(kUninstallerResource, marker)) {
    out.Line(L"Error=cannot write " + uninstaller);
    return Finish(o, 1);
  }
  Demo::WriteFileBytes(folder + L"\\package-record.txt", Record(o, folder));
  Demo::WriteFileBytes(folder + L"\\installed-files.txt",
                       "transvera.exe\nuninst.exe\nuninst.ep\npackage-record.txt\ninstalled-files.txt\n");
  out.Line(L"Progress=0.9");

  if (o.fail) {
    out.Line(L"State=Fail");
    return Finish(o, 1);
  }
  out.Line(L"InstPath=" + folder);
  out.Line(L"ExePath=" + product);
  out.Line(L"UninstExePath=" + uninstaller);
  out.Line(L"UninstEp=" + marker);
  out.Line(L"StartupStyle=" + o.startup);
  out.Line(L"TopShowDetention=" + o.topShow);
  out.Line(L"FinsihCloseDetention=" + o.finishClose);
  if (o.haveMessage) out.Line(L"Message=" + o.message);
  out.Line(L"Progress=1");
  if (!o.noState) out.Line(L"State=Success");
  if (o.stay) {
    ::Sleep(o.stayMs);
    out.Line(L"StartUrl=https://www.transvera.com/after-final-state");
  }
  return Finish(o, 0);
}
