// Command-line options: the process command line split the standard Windows
// way into a key/value table (first occurrence of a key wins, keys are
// case-sensitive and must start with "-"), then the recognised options
// copied into InstallerConfig.
#pragma once

#include <map>
#include <string>

#include "app/config.h"

class CommandLineArgs {
 public:
  // Splits `commandLine` with CommandLineToArgvW. False (and an empty table)
  // when the system cannot split it.
  bool Split(const wchar_t* commandLine);

  bool Has(const std::wstring& key) const;
  std::wstring Text(const std::wstring& key) const;
  // Base-10 integer prefix; no digits give 0. False when the number does not
  // fit 32 bits (the caller then keeps its value).
  bool Integer(const std::wstring& key, int& value) const;
  // C-locale floating-point prefix; `fallback` when the value is no number
  // or lies beyond the double range.
  double Decimal(const std::wstring& key, double fallback) const;
  // True exactly for the value "true".
  bool Boolean(const std::wstring& key) const;

  // Copies the recognised options present in the table into `settings`.
  void Apply(InstallerSettings& settings) const;

  const std::map<std::wstring, std::wstring>& table() const { return table_; }

 private:
  std::map<std::wstring, std::wstring> table_;
};

namespace CommandLine {

// Reads the process command line from the system and applies it to
// InstallerConfig.
void Parse();

}  // namespace CommandLine
