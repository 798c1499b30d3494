#include "app/config.h"

#include <gtest/gtest.h>

#include <map>

#include "support/test_support.h"

using TestSupport::TempDir;

namespace {

TEST(ResolveUrl, ChoosesTheRouteByTheSystemLabel) {
  const wchar_t* url = L"http://h/${ROUTE}/p/${ROUTE}";
  struct Case {
    const wchar_t* label;
    bool wow64;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"XP", false, L"http://h/download_silent_xp/p/download_silent_xp"},
      {L"XP-", true, L"http://h/download_silent_xp/p/download_silent_xp"},
      {L"XP+", false, L"http://h/download_silent_xp/p/download_silent_xp"},
      {L"2K", false, L"http://h/download_silent/p/download_silent"},
      {L"Server 2003", false, L"http://h/download_silent/p/download_silent"},
      {L"Server 2003 R2", true, L"http://h/download_silent/p/download_silent"},
      {L"10", false, L"http://h/download_silent/p/download_silent"},
      {L"10", true, L"http://h/download_silent/p/download_silent"},  // build 557 is not a 64-bit-route build
      {L"11.0.22000", false, L"http://h/download_silent/p/download_silent"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Config::ResolveUrlFor(url, c.label, c.wow64), c.expected) << TestSupport::Utf8(c.label);
  for (const wchar_t* label : {L"XP", L"10"})
    EXPECT_EQ(Config::ResolveUrlFor(L"http://h/{ROUTE}/$ROUTE", label, true), L"http://h/{ROUTE}/$ROUTE");
}

TEST(BuiltInSettings, MatchTheDocumentedDefaults) {
  const InstallerSettings s = Config::BuiltInSettings();
  EXPECT_EQ(s.DownloadUrl, Config::kDefaultDownloadUrl);
  EXPECT_NE(s.DownloadUrl.find(L"/software/507"), std::wstring::npos);
  EXPECT_EQ(s.DownloadType, 1);
  EXPECT_FALSE(s.IsCheckNet);
  EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
  EXPECT_EQ(s.InstCmd, L"");
  EXPECT_EQ(s.LanguageIndex, -1);
  EXPECT_FALSE(s.InsNew);
}

// A copy of tvprobe.exe in its own folder, so that a configuration file can
// sit beside it; `tvprobe config` prints what the installer would use.
class ConfigProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = dir_ / exeName_;
    ASSERT_TRUE(::CopyFileW(TestSupport::BinPath(L"tvprobe.exe").c_str(), exe_.c_str(), FALSE));
  }

  void WriteIni(const std::string& bytes) { ASSERT_TRUE(TestSupport::WriteBytes(dir_ / L"ZemkoInstallerConfig.ini", bytes)); }
  void WriteUtf16Ini(const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    WriteIni(bytes);
  }

  std::map<std::string, std::string> Run(const std::wstring& options = L"") {
    const auto result = TestSupport::RunProcess(L"\"" + exe_ + L"\" config " + options);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    std::map<std::string, std::string> fields;
    for (const auto& line : TestSupport::Lines(result.out)) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
  }

  TempDir dir_{L"cfg"};
  std::wstring exeName_ = L"tvprobe.exe";
  std::wstring exe_;
};

TEST_F(ConfigProbe, NoFileGivesTheBuiltInValues) {
  auto f = Run();
  EXPECT_EQ(f["DownloadUrl"], TestSupport::Utf8(Config::kDefaultDownloadUrl));
  EXPECT_EQ(f["DownloadType"], "1");
  EXPECT_EQ(f["IsCheckNet"], "false");
  EXPECT_EQ(f["DownloadScale"], "0.7");
  EXPECT_EQ(f["InstCmd"], "");
  EXPECT_EQ(f["LanguageIndex"], "-1");
  EXPECT_EQ(f["InsNew"], "false");
  EXPECT_EQ(f["ConfigFile"], TestSupport::Utf8(dir_ / L"ZemkoInstallerConfig.ini"));
}

TEST_F(ConfigProbe, AnEmptySectionTurnsTheNetworkCheckOn) {
  WriteIni("[Install]\r\n");
  auto f = Run();
  EXPECT_EQ(f["IsCheckNet"], "true");
  EXPECT_EQ(f["DownloadType"], "1");
  EXPECT_EQ(f["DownloadScale"], "0.7");
  EXPECT_EQ(f["DownloadUrl"], TestSupport::Utf8(Config::kDefaultDownloadUrl));
}

TEST_F(ConfigProbe, ReadsEveryKeyOfAnAnsiFile) {
  WriteIni(
      "[Install]\r\nDownloadUrl=http://127.0.0.1/${ROUTE}/x/${ROUTE}/caf\xe9.exe\r\nDownloadType=3\r\n"
      "IsCheckNet=True\r\nDownloadScale=0.25\r\nInstCmd=-extra \"a b\"\r\n");
  auto f = Run();
  EXPECT_EQ(f["DownloadUrl"], "http://127.0.0.1/" + f["Route"] + "/x/" + f["Route"] + "/caf\xc3\xa9.exe");
  EXPECT_EQ(f["DownloadType"], "3");
  EXPECT_EQ(f["IsCheckNet"], "false");  // only lower-case "true" counts
  EXPECT_EQ(f["DownloadScale"], "0.25");
  EXPECT_EQ(f["InstCmd"], "-extra \"a b\"");
}

TEST_F(ConfigProbe, ReadsAUtf16FileWithChineseText) {
  WriteUtf16Ini(L"[Install]\r\nDownloadUrl=http://h/\u8f6f\u4ef6/p.exe\r\nIsCheckNet=true\r\n"
                L"InstCmd=-inslang=\u4e2d\u6587\r\n");
  auto f = Run();
  EXPECT_EQ(f["DownloadUrl"], TestSupport::Utf8(L"http://h/\u8f6f\u4ef6/p.exe"));
  EXPECT_EQ(f["IsCheckNet"], "true");
  EXPECT_EQ(f["InstCmd"], TestSupport::Utf8(L"-inslang=\u4e2d\u6587"));
}

TEST_F(ConfigProbe, MalformedAndOverlongValues) {
  WriteIni("[Install]\r\nDownloadType=abc\r\nDownloadScale=word\r\nInstCmd=" + std::string(300, 'x') + "\r\n");
  auto f = Run();
  EXPECT_EQ(f["DownloadType"], "0");
  EXPECT_EQ(f["DownloadScale"], "0");
  EXPECT_EQ(f["InstCmd"], std::string(259, 'x'));

  WriteIni("[Install]\r\nDownloadScale=1e999\r\nDownloadUrl=\r\n");
  f = Run();
  EXPECT_EQ(f["DownloadScale"], "0.7");
  EXPECT_EQ(f["DownloadUrl"], "");
}

TEST_F(ConfigProbe, TheCommandLineOverridesTheFile) {
  WriteIni("[Install]\r\nDownloadType=2\r\nIsCheckNet=true\r\nInstCmd=/from-file\r\nDownloadScale=0.5\r\n");
  auto f = Run(L"-downloadtype=3 -ischecknet true -instcmd= -insnew=true -language=4 -downloadscale=oops");
  EXPECT_EQ(f["DownloadType"], "3");
  EXPECT_EQ(f["IsCheckNet"], "false");
  EXPECT_EQ(f["InstCmd"], "");
  EXPECT_EQ(f["InsNew"], "true");
  EXPECT_EQ(f["LanguageIndex"], "4");
  EXPECT_EQ(f["DownloadScale"], "0.5");  // not a number: the file's value stays
}

// The system label comes from the real version query: Wine reports the
// Windows version set for a program name under AppDefaults.
class ConfigProbeOnWindowsVersion : public ConfigProbe {
 protected:
  void SetUp() override {
    exeName_ = L"tvprobe-ver-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    ConfigProbe::SetUp();
    appKey_ = L"Software\\Wine\\AppDefaults\\" + exeName_;
  }
  void TearDown() override { TestSupport::DeleteRegistryTree(HKEY_CURRENT_USER, appKey_); }
  void SetVersion(const wchar_t* version) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, appKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                     static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  std::wstring appKey_;
};

TEST_F(ConfigProbeOnWindowsVersion, RoutesByTheReportedSystem) {
  const struct {
    const wchar_t* version;
    const char* label;
    const char* route;
  } cases[] = {
      {L"winxp", "XP", "download_silent_xp"},
      {L"win2k", "2K", "download_silent"},
      {L"win2003", "Server 2003", "download_silent"},
      {L"win7", "7", "download_silent"},
      {L"win81", "8.1", "download_silent"},
      {L"win10", "10", "download_silent"},
  };
  for (const auto& c : cases) {
    SetVersion(c.version);
    auto f = Run(L"-downloadurl=http://h/${ROUTE}/p.exe");
    EXPECT_EQ(f["OSVersion"], c.label) << TestSupport::Utf8(c.version);
    EXPECT_EQ(f["Route"], c.route) << TestSupport::Utf8(c.version);
    EXPECT_EQ(f["DownloadUrl"], std::string("http://h/") + c.route + "/p.exe");
  }
}

}  // namespace
