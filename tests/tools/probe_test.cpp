// tvprobe.exe as publishers run it: usage errors and the "watch" subcommand.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

std::wstring Probe() { return L"\"" + TestSupport::BinPath(L"tvprobe.exe") + L"\""; }
std::wstring Helper() { return L"\"" + TestSupport::BinPath(L"tv_test_helper.exe") + L"\""; }

TEST(Tvprobe, BadUsageExitsTwoWithAUsageText) {
  for (const wchar_t* args : {L"", L" bogus", L" watch", L" watch --", L" watch --bogus -- x.exe",
                              L" watch x.exe"}) {
    const auto result = TestSupport::RunProcess(Probe() + args);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 2u) << TestSupport::Utf8(args);
    EXPECT_NE(result.err.find("usage"), std::string::npos) << TestSupport::Utf8(args);
  }
}

TEST(TvprobeWatch, PrintsEachDebugStringAsUtf8AndKeepsTheExitCode) {
  const auto result = TestSupport::RunProcess(Probe() + L" watch -- " + Helper() +
                                              L" trace-sample \"C:\\\u00dcbersetzung\\caf\u00e9.exe\"");
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  const auto lines = TestSupport::Lines(result.out);
  ASSERT_EQ(lines.size(), 5u) << result.out;
  EXPECT_NE(lines[1].find(">: partPath::C:\\\xc3\x9c" "bersetzung\\caf\xc3\xa9.exe"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[1].back(), 'e');  // its line end removed

  const auto exited = TestSupport::RunProcess(Probe() + L" watch -- " + Helper() + L" exit 7");
  EXPECT_EQ(exited.exitCode, 7u);
}

TEST(TvprobeWatch, EscapedOutputShowsLineEndsAndThreadNames) {
  const auto result = TestSupport::RunProcess(Probe() + L" watch --escape --thread-names -- " + Helper() +
                                              L" thread ABDEF");
  ASSERT_EQ(result.exitCode, 0u) << result.err;
  const auto lines = TestSupport::Lines(result.out);
  ASSERT_EQ(lines.size(), 3u) << result.out;
  EXPECT_EQ(lines[0].rfind("#thread-name ", 0), 0u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 6), " ABDEF");
  EXPECT_EQ(lines[1].substr(lines[1].size() - 16), "THREAD BEGIN\\r\\n");
  EXPECT_EQ(lines[2].substr(lines[2].size() - 14), "THREAD END\\r\\n");
}

TEST(TvprobeWatch, AProgramThatCannotStartIsReported) {
  const auto result = TestSupport::RunProcess(Probe() + L" watch -- C:\\no\\such\\program.exe");
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_NE(result.err.find("cannot start"), std::string::npos);
}

}  // namespace
