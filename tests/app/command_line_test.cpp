#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Parses a literal command line with the system's splitting and applies it
// over the built-in settings.
InstallerSettings Apply(const wchar_t* commandLine, InstallerSettings start = InstallerSettings()) {
  CommandLineArgs args;
  EXPECT_TRUE(args.Split(commandLine));
  args.Apply(start);
  return start;
}

TEST(CommandLineArgs, SplitsKeysAndValuesFirstOccurrenceWins) {
  CommandLineArgs args;
  ASSERT_TRUE(args.Split(L"\"C:\\Program Files\\setup.exe\" -a=1=2 -b -c= plain -a=3 \"-d=x y\""));
  const std::map<std::wstring, std::wstring> expected = {
      {L"C:\\Program Files\\setup.exe", L""}, {L"-a", L"1=2"}, {L"-b", L""},
      {L"-c", L""},                           {L"plain", L""}, {L"-d", L"x y"}};
  EXPECT_EQ(args.table(), expected);
}

TEST(CommandLineArgs, AppliesEachValueForm) {
  struct Case {
    const wchar_t* line;
    int type;
    bool checkNet;
    bool insNew;
    int language;
  };
  const Case cases[] = {
      {L"x.exe", 1, false, false, -1},
      {L"x.exe -downloadtype=3 -downloadtype=2", 3, false, false, -1},  // first occurrence wins
      {L"x.exe -downloadtype=abc", 0, false, false, -1},                // no digits read as 0
      {L"x.exe -downloadtype=3abc", 3, false, false, -1},
      {L"x.exe -downloadtype=\" 2\"", 2, false, false, -1},             // leading white space
      {L"x.exe -downloadtype=99999999999", 1, false, false, -1},        // beyond 32 bits: kept
      {L"x.exe -DownloadType=3 /downloadtype=3", 1, false, false, -1},  // case and slash: ignored
      {L"x.exe -ischecknet=true -insnew=true", 1, true, true, -1},
      {L"x.exe -ischecknet true -insnew=TRUE", 1, false, false, -1},    // "true" is a separate key
      {L"x.exe -ischecknet=1 -insnew=", 1, false, false, -1},
      {L"x.exe -language=5", 1, false, false, 5},
      {L"x.exe -language=-3x", 1, false, false, -3},
  };
  for (const auto& c : cases) {
    const InstallerSettings s = Apply(c.line);
    EXPECT_EQ(s.DownloadType, c.type) << c.line;
    EXPECT_EQ(s.IsCheckNet, c.checkNet) << c.line;
    EXPECT_EQ(s.InsNew, c.insNew) << c.line;
    EXPECT_EQ(s.LanguageIndex, c.language) << c.line;
  }
}

TEST(CommandLineArgs, ReadsDecimalsInTheCLocale) {
  const std::pair<const wchar_t*, double> cases[] = {
      {L"x.exe -downloadscale=0.25", 0.25},     {L"x.exe -downloadscale=\" 2.5xyz\"", 2.5},
      {L"x.exe -downloadscale=0x1p-2", 0.25},   {L"x.exe -downloadscale=1e-1", 0.1},
      {L"x.exe -downloadscale=abc", 0.7},       // not a number: previous value
      {L"x.exe -downloadscale=1e999", 0.7},     // beyond the double range: previous value
      {L"x.exe -downloadscale=", 0.7},
  };
  for (const auto& [line, expected] : cases) EXPECT_DOUBLE_EQ(Apply(line).DownloadScale, expected) << line;
  EXPECT_TRUE(std::isinf(Apply(L"x.exe -downloadscale=inf").DownloadScale));
}

TEST(CommandLineArgs, TextValuesAndTheDownloadUrl) {
  InstallerSettings start;
  start.DownloadUrl = L"http://before/";
  start.InstCmd = L"/from-file";

  InstallerSettings s = Apply(L"x.exe \"-downloadurl=http://h/p?a=1&b=2\" -instcmd=", start);
  EXPECT_EQ(s.DownloadUrl, L"http://h/p?a=1&b=2");
  EXPECT_EQ(s.InstCmd, L"");

  s = Apply(L"x.exe -downloadurl", start);  // no "=": an empty URL
  EXPECT_EQ(s.DownloadUrl, L"");
  EXPECT_EQ(s.InstCmd, L"/from-file");

  s = Apply(L"x.exe \"-instcmd=-x \\\"a b\\\"\"", start);
  EXPECT_EQ(s.InstCmd, L"-x \"a b\"");

  // The route placeholder is resolved before the URL is stored.
  s = Apply(L"x.exe -downloadurl=http://h/${ROUTE}/a?r=${ROUTE}", start);
  EXPECT_EQ(s.DownloadUrl.find(L"${ROUTE}"), std::wstring::npos);
  EXPECT_NE(s.DownloadUrl.find(L"/download_silent"), std::wstring::npos);
}

}  // namespace
