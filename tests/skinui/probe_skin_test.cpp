// "tvprobe skin", the skin authors' lint, as they run it.
#include <gtest/gtest.h>

#include <algorithm>

#include "skin_test_support.h"

namespace {

std::wstring Probe() { return L"\"" + TestSupport::BinPath(L"tvprobe.exe") + L"\" skin"; }
std::wstring Archive() { return L" --archive \"" + SkinTest::FixtureArchive() + L"\""; }

TEST(TvprobeSkin, ListsTheEntriesWithTheirSizes) {
  const auto result = TestSupport::RunProcess(Probe() + Archive());
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  const auto lines = TestSupport::Lines(result.out);
  const std::string broken = "broken.xml\t" + std::to_string(std::string("<Window><Label text='x'/></Window>").size());
  EXPECT_NE(std::find(lines.begin(), lines.end(), broken), lines.end()) << result.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "empty.xml\t0"), lines.end()) << result.out;
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("res/nine.png\t", 0) == 0; }));
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("res\t", 0) == 0; }));
}

TEST(TvprobeSkin, ParsesOneMarkupEntry) {
  struct Case {
    const wchar_t* markup;
    DWORD exitCode;
    const char* line;
  } cases[] = {
      {L"MainWnd.xml", 0, "ok: 5 elements"},
      {L"res\\..\\mainWnd.xml", 1, "error: Could not find ziped file"},
      {L"broken.xml", 1, "error: Expected attribute value at \"'x'/></Window>\""},
      {L"empty.xml", 1, "error: File is empty"},
      {L"missing.xml", 1, "error: Could not find ziped file"},
  };
  for (const auto& c : cases) {
    const auto result = TestSupport::RunProcess(Probe() + Archive() + L" --markup \"" + c.markup + L"\"");
    EXPECT_EQ(result.exitCode, c.exitCode) << TestSupport::Utf8(c.markup) << result.err;
    EXPECT_EQ(TestSupport::Lines(result.out), std::vector<std::string>{c.line}) << TestSupport::Utf8(c.markup);
  }
  const auto noArchive =
      TestSupport::RunProcess(Probe() + L" --archive \"" + TestSupport::BinPath(L"none.7z") + L"\" --markup a.xml");
  EXPECT_EQ(noArchive.exitCode, 1u);
  EXPECT_EQ(TestSupport::Lines(noArchive.out), std::vector<std::string>{"error: Error opening zip file"});
  const auto notAnArchive = TestSupport::RunProcess(Probe() + L" --archive \"" + TestSupport::BinPath(L"tvprobe.exe") + L"\"");
  EXPECT_EQ(notAnArchive.exitCode, 1u);
  EXPECT_NE(notAnArchive.err.find("cannot open"), std::string::npos);
}

TEST(TvprobeSkin, BadUsageExitsTwo) {
  for (const wchar_t* args : {L"", L" --archive", L" --markup a.xml", L" --bogus", L" --archive x.7z --markup"}) {
    const auto result = TestSupport::RunProcess(Probe() + args);
    EXPECT_EQ(result.exitCode, 2u) << TestSupport::Utf8(args);
    EXPECT_NE(result.err.find("tvprobe skin --archive"), std::string::npos) << TestSupport::Utf8(args);
  }
}

}  // namespace
