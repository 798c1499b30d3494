#include "utils/trace.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/test_support.h"

namespace {

TEST(TraceFunctionName, KeepsClassAndMethod) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"virtual int CurlClient::Start()", L"CurlClient::Start"},
      {"static unsigned int Utils::Thread::CallBack(void*)", L"Utils::Thread::CallBack"},
      {"Utils::Thread::Thread(void*, const std::wstring&, Body)", L"Utils::Thread::Thread"},
      {"CDownloadInstaller::Start()::<lambda(int, double, const wchar_t*)>", L"CDownloadInstaller::Start"},
      {"std::vector<int> Foo<Bar<int> >::get(int) const", L"Foo<Bar<int> >::get"},
      {"int main()", L"main"},
  };
  for (const auto& [pretty, expected] : cases) EXPECT_EQ(Utils::TraceFunctionName(pretty), expected) << pretty;
}

TEST(TraceFormat, AddsCrLfUnlessTheMessageEndsTheLine) {
  const std::wstring prefix = L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: ";
  EXPECT_EQ(Utils::TraceFormat(L"start download", true), prefix + L"start download\r\n");
  EXPECT_EQ(Utils::TraceFormat(L"DL_TYPE=%d\r\n", true), prefix + L"DL_TYPE=%d\r\n");
  EXPECT_EQ(Utils::TraceFormat(L" progress \n", true), prefix + L" progress \n");
  EXPECT_EQ(Utils::TraceFormat(L"GetConnectivity %d", false), prefix + L"GetConnectivity %d");
}

// Trace lines of a real process, read by a debugger.
TEST(Trace, ARealProcessWritesThePrefixAndWideTextArguments) {
  const std::wstring path = L"C:\\Program Files\\\u00dcbersetzung\\caf\u00e9.exe";
  SYSTEMTIME before;
  ::GetLocalTime(&before);
  const auto capture = TestSupport::CaptureDebugOutput(
      Probe::JoinCommandLine({TestSupport::BinPath(L"tv_test_helper.exe"), L"trace-sample", path}));
  ASSERT_TRUE(capture.result.started);
  ASSERT_EQ(capture.result.exitCode, 0u);
  ASSERT_EQ(capture.strings.size(), 5u);

  const std::wregex line(
      L"<P(\\d{5,})><T(\\d{5,})><(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{3})>"
      L"\\(TraceSample::Emit\\)<(\\d{4,})>: line=(\\d+)\r\n");
  std::wsmatch m;
  ASSERT_TRUE(std::regex_match(capture.strings[0], m, line)) << TestSupport::Utf8(capture.strings[0]);
  EXPECT_EQ(std::stoul(m[1].str()), capture.processId);
  EXPECT_EQ(m[1].length(), std::max<long>(5, static_cast<long>(std::to_wstring(capture.processId).size())));
  EXPECT_EQ(std::stoi(m[3].str()), before.wYear);
  EXPECT_GE(std::stoi(m[4].str()), 1);
  EXPECT_LE(std::stoi(m[4].str()), 12);
  EXPECT_LE(std::stoi(m[6].str()), 23);
  EXPECT_LE(std::stoi(m[9].str()), 999);
  EXPECT_EQ(std::stoi(m[10].str()), std::stoi(m[11].str()));  // the source line, zero-padded

  // "%s" takes the wide path: it reads as text, accents included.
  EXPECT_TRUE(capture.strings[1].size() > path.size() &&
              capture.strings[1].compare(capture.strings[1].size() - path.size() - 2, path.size() + 2,
                                         path + L"\r\n") == 0)
      << TestSupport::Utf8(capture.strings[1]);
  EXPECT_NE(capture.strings[1].find(L">: partPath::" + path), std::wstring::npos);

  // One line end at most, and none where the statement asks for none.
  EXPECT_TRUE(std::regex_match(capture.strings[2], std::wregex(L".*>: own line end\r\n")));
  EXPECT_TRUE(std::regex_match(capture.strings[3], std::wregex(L".*>: no line end 7")));
  EXPECT_TRUE(std::regex_match(capture.strings[4],
                               std::wregex(L".*>:  3M 10M   progress:30\\.000000%  speed:512\\.500000 \n")));
}

}  // namespace
