// The demo product's uninstaller (installed as "uninst.exe" and "uninst.ep"
// by the demo package). It speaks the uninstaller protocol: started as
//   "COPY" /S -adminact=B -authorizationact=B -console=show _?=FOLDER
// (FOLDER bare and last: everything after "_?=") it removes the files the
// demo package listed in FOLDER\installed-files.txt, then the folder when it
// is empty, printing "Progress=" lines and "State=Success", or "Error=" when
// FOLDER holds no demo installation.
//
// What it received is written to "uninstall-record.txt" beside the running
// executable (the installer runs a copy in its temporary folder).
//
// Tests make it misbehave with FOLDER\demo-uninstall.txt, one directive a line:
//   fail          report State=Fail
//   error=TEXT    report Error=TEXT
//   encode=NAME   first output: Encode=NAME filling the reader's whole first
//                 1024-byte chunk; later lines in that code page
//   stay=MS       after the final state keep running MS, then print Progress=1
//   nostate       end without a final state
//   silent        print nothing at all (still uninstall)
//   hang=MS       first wait MS without output (0: forever)
//   abrupt        end at once after the last line (by default it lingers a
//                 little, as its reader only reads while it runs)
#include <windows.h>

#include <string>
#include <vector>

#include "demo_io.h"
#include "utils/strings.h"

namespace {

constexpr DWORD kLingerMs = 500;

struct Directives {
  bool fail = false, noState = false, silent = false, abrupt = false;
  bool haveError = false, stay = false, hang = false;
  std::wstring error, encode;
  DWORD stayMs = 0, hangMs = 0;
};

Directives ReadDirectives(const std::wstring& folder) {
  Directives d;
  const std::wstring text = Utils::ToWide(Demo::ReadFileBytes(folder + L"\\demo-uninstall.txt"), CP_UTF8);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    start = end + 1;
    std::wstring v;
    if (line == L"fail") d.fail = true;
    else if (line == L"nostate") d.noState = true;
    else if (line == L"silent") d.silent = true;
    else if (line == L"abrupt") d.abrupt = true;
    else if (Demo::SwitchValue(line, L"error", &v)) d.haveError = true, d.error = v;
    else if (Demo::SwitchValue(line, L"encode", &v)) d.encode = v;
    else if (Demo::SwitchValue(line, L"stay", &v)) d.stay = true, d.stayMs = static_cast<DWORD>(_wtoi(v.c_str()));
    else if (Demo::SwitchValue(line, L"hang", &v)) d.hang = true, d.hangMs = static_cast<DWORD>(_wtoi(v.c_str()));
  }
  return d;
}

// Removes the listed files (plain names inside the folder only).
bool RemoveInstallation(const std::wstring& folder, Demo::LineWriter& out) {
  const std::string list = Demo::ReadFileBytes(folder + L"\\installed-files.txt");
  if (list.empty()) return false;
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    const std::wstring name = Utils::ToWide(list.substr(start, end - start), CP_UTF8);
    start = end + 1;
    if (!name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"..") names.push_back(name);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    ::DeleteFileW((folder + L"\\" + names[i]).c_str());
    out.Line(L"Progress=" + std::to_wstring(0.2 + 0.7 * static_cast<double>(i + 1) / names.size()).substr(0, 4));
  }
  ::DeleteFileW((folder + L"\\demo-uninstall.txt").c_str());
  ::RemoveDirectoryW(folder.c_str());  // only when nothing else is left
  return true;
}

}  // namespace

int wmain() {
  const std::wstring commandLine = ::GetCommandLineW();
  const size_t marker = commandLine.find(L"_?=");
  const std::wstring folder = marker == std::wstring::npos ? std::wstring() : commandLine.substr(marker + 3);
  const std::wstring switches = marker == std::wstring::npos ? commandLine : commandLine.substr(0, marker);

  std::wstring record = L"CommandLine=" + commandLine + L"\nModule=" + Demo::ModulePath() + L"\nFolder=" + folder + L"\n";
  const std::vector<std::wstring> args = Demo::SplitArguments(switches);
  for (size_t i = 1; i < args.size(); ++i) record += L"Arg=" + args[i] + L"\n";
  Demo::WriteFileBytes(Demo::FolderOf(Demo::ModulePath()) + L"\\uninstall-record.txt",
                       Utils::ToNarrow(record, CP_UTF8));

  const Directives d = folder.empty() ? Directives() : ReadDirectives(folder);
  Demo::LineWriter out;
  out.SetSilent(d.silent);
  int exitCode = 0;

  if (d.hang) ::Sleep(d.hangMs == 0 ? INFINITE : d.hangMs);
  if (!d.encode.empty()) {
    out.LineFillingChunk(L"Encode=" + d.encode, 1024);
    out.SetCodePage(Demo::CodePageForName(d.encode));
  }
  out.Line(L"Progress=0.1");
  if (d.haveError) {
    out.Line(L"Error=" + d.error);
    exitCode = 1;
  } else if (d.fail) {
    out.Line(L"State=Fail");
    exitCode = 1;
  } else if (folder.empty() || !RemoveInstallation(folder, out)) {
    out.Line(L"Error=no Transvera installation in " + folder);
    exitCode = 1;
  } else if (!d.noState) {
    out.Line(L"State=Success");
  }
  if (d.stay) {
    ::Sleep(d.stayMs);
    out.Line(L"Progress=1");
  }
  if (!d.abrupt) ::Sleep(kLingerMs);
  return exitCode;
}
