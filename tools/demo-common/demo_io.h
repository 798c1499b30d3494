// What the demo package and the demo uninstaller share: writing protocol
// lines to standard output the way a real package does (one write per line,
// so each reaches the reading installer at once), in the code page the
// program announced, and small file helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Demo {

class LineWriter {
 public:
  // Lines are written in this code page from now on.
  void SetCodePage(UINT codePage) { codePage_ = codePage; }
  // Nothing is written at all.
  void SetSilent(bool silent) { silent_ = silent; }
  // Each line goes out in two writes, `pauseMs` apart (0: one write).
  void SetSplitPause(DWORD pauseMs) { splitPauseMs_ = pauseMs; }
  // "\n" by default; "\r\n" as a text-mode C runtime would write.
  void SetLineEnd(const std::string& end) { lineEnd_ = end; }

  // One protocol line ("Key=value") plus the line end.
  void Line(const std::wstring& text);
  // Bytes exactly as given, in one write.
  void Raw(const std::string& bytes);
  // `line` preceded by a filler line so that the write is exactly `total`
  // bytes long: as the first output it fills the reader's first chunk exactly.
  void LineFillingChunk(const std::wstring& line, size_t total);
  // `line` with a filler line in front of it, the filler `fillerBytes` long
  // (its line feed included), all in one write.
  void LineAfterFiller(const std::wstring& line, size_t fillerBytes);

  std::string Encode(const std::wstring& text) const;

 private:
  void Write(const std::string& bytes);

  UINT codePage_ = CP_ACP;
  bool silent_ = false;
  DWORD splitPauseMs_ = 0;
  std::string lineEnd_ = "\n";
};

// Code page for a name as the protocol spells it: "UTF8", "ACP" or a number.
UINT CodePageForName(const std::wstring& name);

// The arguments of a command line (program name included), as the C runtime
// would split them.
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// "-name=value" gives true and the value; "-name" alone an empty value.
bool SwitchValue(const std::wstring& argument, const std::wstring& name, std::wstring* value);

// The folder of the running executable (no trailing backslash) and its path.
std::wstring ModulePath();
std::wstring FolderOf(const std::wstring& path);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Backslash-escapes of a test script: \n, \r, \t, \0, \\ and \xHH.
std::string Unescape(const std::string& text);

}  // namespace Demo
