#include "demo_io.h"

#include <shellapi.h>

#include <cstdlib>

#include "utils/scoped.h"
#include "utils/strings.h"

namespace Demo {

std::string LineWriter::Encode(const std::wstring& text) const { return Utils::ToNarrow(text, codePage_); }

void LineWriter::Write(const std::string& bytes) {
  if (silent_) return;
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void LineWriter::Line(const std::wstring& text) {
  const std::string bytes = Encode(text) + lineEnd_;
  if (splitPauseMs_ == 0 || bytes.size() < 2) {
    Write(bytes);
    return;
  }
  const size_t half = bytes.size() / 2;
  Write(bytes.substr(0, half));
  ::Sleep(splitPauseMs_);
  Write(bytes.substr(half));
}

void LineWriter::Raw(const std::string& bytes) { Write(bytes); }

void LineWriter::LineFillingChunk(const std::wstring& line, size_t total) {
  const std::string bytes = Encode(line) + lineEnd_;
  const size_t filler = total > bytes.size() ? total - bytes.size() : 0;
  LineAfterFiller(line, filler);
}

void LineWriter::LineAfterFiller(const std::wstring& line, size_t fillerBytes) {
  std::string bytes;
  if (fillerBytes > 0) {
    // An unknown key: readers ignore the whole line.
    bytes.assign(fillerBytes - 1, '.');
    if (bytes.size() >= 4) bytes.replace(0, 4, "Pad=");
    bytes += '\n';
  }
  Write(bytes + Encode(line) + lineEnd_);
}

UINT CodePageForName(const std::wstring& name) {
  if (name == L"UTF8") return CP_UTF8;
  if (name == L"ACP") return CP_ACP;
  return static_cast<UINT>(_wtoi(name.c_str()));
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  if (commandLine.find_first_not_of(L" \t") == std::wstring::npos) return arguments;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (argv == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(argv[i]);
  ::LocalFree(argv);
  return arguments;
}

bool SwitchValue(const std::wstring& argument, const std::wstring& name, std::wstring* value) {
  if (argument == name) {
    value->clear();
    return true;
  }
  if (argument.compare(0, name.size() + 1, name + L"=") != 0) return false;
  *value = argument.substr(name.size() + 1);
  return true;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  Utils::ScopedHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
  Utils::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 'n') out += '\n';
    else if (next == 'r') out += '\r';
    else if (next == 't') out += '\t';
    else if (next == '0') out += '\0';
    else if (next == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else out += next;
  }
  return out;
}

}  // namespace Demo
