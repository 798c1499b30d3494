// The package and uninstaller protocols line by line, and the command lines
// both runners build.
#include <gtest/gtest.h>

#include "app/config.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "install_support.h"
#include "support/test_support.h"

namespace {

using InstallTest::Event;

struct Parsed {
  std::vector<Event> events;
  int result = 0;
  UINT codePage = 0;
};

template <typename Runner>
Parsed ParseWith(const std::wstring& chunk, UINT codePage = 0) {
  Parsed parsed;
  parsed.codePage = codePage;
  parsed.result = Runner::Parse(chunk, &parsed.codePage, [&](int code, double value, const wchar_t* text) {
    parsed.events.push_back(Event{code, value, text, 0});
  });
  return parsed;
}

struct LineCase {
  std::wstring line;
  int code;  // 0: no event
  double value;
  std::wstring text;
  int result;
};

const wchar_t kInstallFailed[] = L"\u5b89\u88c5\u5305\u5b89\u88c5\u5931\u8d25";    // 安装包安装失败
const wchar_t kUninstallFailed[] = L"\u5b89\u88c5\u5305\u5378\u8f7d\u5931\u8d25";  // 安装包卸载失败

template <typename Runner>
void ExpectLines(const std::vector<LineCase>& cases) {
  for (const auto& c : cases) {
    const Parsed parsed = ParseWith<Runner>(c.line);
    const std::string name = TestSupport::Utf8(c.line);
    EXPECT_EQ(parsed.result, c.result) << name;
    if (c.code == 0) {
      EXPECT_TRUE(parsed.events.empty()) << name << "\n" << InstallTest::Describe(parsed.events);
      continue;
    }
    ASSERT_EQ(parsed.events.size(), 1u) << name << "\n" << InstallTest::Describe(parsed.events);
    EXPECT_EQ(parsed.events[0].code, c.code) << name;
    EXPECT_EQ(parsed.events[0].value, c.value) << name;
    EXPECT_EQ(parsed.events[0].text, c.text) << name;
  }
}

TEST(PackageProtocol, EachKeyGivesItsEventWithItsValueForm) {
  ExpectLines<CInstaller>({
      {L"Progress=0.5", IST_CODE_PROGRESS, 0.5, L"", 0},
      {L"Progress= 0.25 done", IST_CODE_PROGRESS, 0.25, L"", 0},
      {L"Progress=abc", IST_CODE_PROGRESS, 0.0, L"", 0},
      {L"InstPath=C:\\Program Files\\Transvera", IST_CODE_INST_PATH, 0, L"C:\\Program Files\\Transvera", 0},
      {L"State=Success", IST_CODE_SUCCESS, 0.0, L"", 1},
      {L"State=  Success \t", IST_CODE_SUCCESS, 0.0, L"", 1},
      {L"State=Fail", IST_CODE_FAIL, 0.0, kInstallFailed, 1000},
      {L"State=success", 0, 0, L"", 0},
      {L"State=Done", 0, 0, L"", 0},
      {L"InstallVersion=1.2.3", 0, 0, L"", 0},
      {L"ExePath=C:\\T\\transvera.exe", IST_CODE_EXE_PATH, 0, L"C:\\T\\transvera.exe", 0},
      {L"ExePath=", IST_CODE_EXE_PATH, 0, L"", 0},
      {L"StartExe=C:\\T\\start.exe", IST_CODE_EXE_PATH, 0, L"C:\\T\\start.exe", 0},
      {L"UninstExePath=C:\\T\\uninst.exe", IST_CODE_UNINST_EXE_PATH, 0, L"C:\\T\\uninst.exe", 0},
      {L"UninstExe=C:\\T\\uninst.exe", IST_CODE_UNINST_EXE_PATH, 0, L"C:\\T\\uninst.exe", 0},
      {L"UninstEp=C:\\T\\uninst.ep", IST_CODE_UNINST_EP, 0, L"C:\\T\\uninst.ep", 0},
      {L"Error=disk full", IST_CODE_FAIL, 1000.0, L"disk full", 1000},
      {L"Error=", IST_CODE_FAIL, 1000.0, L"", 1000},
      {L"TopShowDetention=2500", IST_CODE_TOP_SHOW_DETENTION, 2500, L"", 0},
      {L"TopShowDetention=-1", IST_CODE_TOP_SHOW_DETENTION, 4294967295.0, L"", 0},
      {L"TopShowDetention=soon", IST_CODE_TOP_SHOW_DETENTION, 0, L"", 0},
      {L"FinsihCloseDetention=5000", IST_CODE_FINISH_CLOSE_DETENTION, 5000, L"", 0},
      {L"FinishCloseDetention=5000", 0, 0, L"", 0},  // only the package's own spelling counts
      {L"StartUrl=https://www.transvera.com/?a=1 b", IST_CODE_START_URL, 0, L"https://www.transvera.com/?a=1 b", 0},
      {L"StartupStyle=NonStartup", IST_CODE_STARTUP_STYLE, 0, L"", 0},
      {L"StartupStyle=  AutoStartup  ", IST_CODE_STARTUP_STYLE, 1, L"", 0},
      {L"StartupStyle=autostartup", IST_CODE_STARTUP_STYLE, 0, L"", 0},
      {L"StartupStyle=UserStartup", IST_CODE_STARTUP_STYLE, 2, L"", 0},
      {L"StartupStyle=", IST_CODE_STARTUP_STYLE, 0, L"", 0},
      {L"Message=\u4f60\u597d, world", IST_CODE_MESSAGE, 0, L"\u4f60\u597d, world", 0},
      {L"Encode=UTF8", 0, 0, L"", 0},
      {L"progress=0.5", 0, 0, L"", 0},
      {L" Progress=0.5", 0, 0, L"", 0},
      {L"Unknown=1", 0, 0, L"", 0},
      {L"", 0, 0, L"", 0},
  });
}

TEST(PackageProtocol, TextValuesStopAt771CharactersAndDropTheCarriageReturn) {
  ExpectLines<CInstaller>({
      {L"Message=" + std::wstring(900, L'm'), IST_CODE_MESSAGE, 0, std::wstring(771, L'm'), 0},
      {L"Message=" + std::wstring(771, L'm'), IST_CODE_MESSAGE, 0, std::wstring(771, L'm'), 0},
      {L"ExePath=C:\\T\\transvera.exe\r", IST_CODE_EXE_PATH, 0, L"C:\\T\\transvera.exe", 0},
      {L"Error=disk full\r", IST_CODE_FAIL, 1000.0, L"disk full", 1000},
      {L"State=Success\r", IST_CODE_SUCCESS, 0.0, L"", 1},
      {L"Progress=0.5\r", IST_CODE_PROGRESS, 0.5, L"", 0},
  });
}

TEST(PackageProtocol, EncodeSetsTheCodePageForLaterChunks) {
  struct Case {
    std::wstring line;
    UINT codePage;
  };
  const Case cases[] = {
      {L"Encode=UTF8", CP_UTF8}, {L"Encode= UTF8 ", CP_UTF8}, {L"Encode=936", 936},
      {L"Encode=ACP", CP_ACP},   {L"Encode=abc", CP_ACP},     {L"Encode=utf8", CP_ACP},
      {L"Encode=1252x", 1252},   {L"Encode=", CP_ACP},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseWith<CInstaller>(c.line, 4711);
    EXPECT_EQ(parsed.codePage, c.codePage) << TestSupport::Utf8(c.line);
    EXPECT_TRUE(parsed.events.empty());
    EXPECT_EQ(parsed.result, 0);
  }
  // Numbers beyond 32 bits keep the parser going.
  EXPECT_EQ(ParseWith<CInstaller>(L"Encode=99999999999999\nProgress=0.5").events.size(), 1u);
}

TEST(PackageProtocol, EveryLineOfAChunkIsHandledEvenAfterTheFinalState) {
  const Parsed parsed =
      ParseWith<CInstaller>(L"Progress=0.5\nState=Success\nStartUrl=https://same.chunk/\nProgress=0.7");
  ASSERT_EQ(parsed.events.size(), 4u) << InstallTest::Describe(parsed.events);
  EXPECT_EQ(parsed.events[0].code, IST_CODE_PROGRESS);
  EXPECT_EQ(parsed.events[0].value, 0.5);
  EXPECT_EQ(parsed.events[1].code, IST_CODE_SUCCESS);
  EXPECT_EQ(parsed.events[2].code, IST_CODE_START_URL);
  EXPECT_EQ(parsed.events[3].value, 0.7);  // a last line without a line feed
  EXPECT_EQ(parsed.result, 1);

  EXPECT_EQ(ParseWith<CInstaller>(L"State=Success\nError=late").result, 1000);
  EXPECT_EQ(ParseWith<CInstaller>(L"Error=early\nState=Success").result, 1);
}

TEST(PackageProtocol, ALineCutBetweenTwoChunksIsTwoLines) {
  const Parsed first = ParseWith<CInstaller>(L"Progress=0.1\nInstPath=C:\\Tra");
  const Parsed second = ParseWith<CInstaller>(L"nsvera\nState=Success\n");
  ASSERT_EQ(first.events.size(), 2u);
  EXPECT_EQ(first.events[1].text, L"C:\\Tra");
  ASSERT_EQ(second.events.size(), 1u);
  EXPECT_EQ(second.events[0].code, IST_CODE_SUCCESS);
}

TEST(UninstallerProtocol, OnlyItsFourKeysCount) {
  ExpectLines<UnInstaller>({
      {L"Progress=0.4", UNIST_CODE_PROGRESS, 0.4, L"", 0},
      {L"Progress=", UNIST_CODE_PROGRESS, 0.0, L"", 0},
      {L"Error=\u78c1\u76d8\u5df2\u6ee1", UNIST_CODE_ERROR, 0.0, L"\u78c1\u76d8\u5df2\u6ee1", 1000},
      {L"Error=", UNIST_CODE_ERROR, 0.0, L"", 1000},
      {L"Error=" + std::wstring(800, L'e') + L"\r", UNIST_CODE_ERROR, 0.0, std::wstring(771, L'e'), 1000},
      {L"State= Success", UNIST_CODE_SUCCESS, 0.0, L"", 1},
      {L"State=Fail", UNIST_CODE_ERROR, 0.0, kUninstallFailed, 1000},
      {L"State=Other", 0, 0, L"", 0},
      {L"InstPath=C:\\T", 0, 0, L"", 0},
      {L"Message=hello", 0, 0, L"", 0},
      {L"UninstEp=C:\\T\\uninst.ep", 0, 0, L"", 0},
  });
}

TEST(UninstallerProtocol, EncodeKnowsOnlyUtf8) {
  const std::pair<std::wstring, UINT> cases[] = {
      {L"Encode=UTF8", CP_UTF8}, {L"Encode= UTF8\r", CP_UTF8}, {L"Encode=ACP", CP_ACP},
      {L"Encode=936", CP_ACP},   {L"Encode=utf8", CP_ACP},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWith<UnInstaller>(c.first, 4711).codePage, c.second);
}

// ---- command lines ----

struct PackageLineCase {
  std::wstring dir, language, instCmd;
  bool desktop, quickLaunch, adminAccount, adminProcess;
  std::wstring expected;
};

TEST(PackageCommandLine, CarriesTheChoicesInItsFixedOrder) {
  const std::wstring pkg = L"\"C:\\T\\__Package_Transvera.exe\"";
  const PackageLineCase cases[] = {
      {L"D:\\Trans vera", L"zh_CN", L"-demo-fail -x=\"a b\"", true, false, false, true,
       pkg + L" /S -console=show -version=1.0.0 -adminact=false -authorizationact=true -dsc=true -ssc=false "
             L"-inslang=\"zh_CN\" -demo-fail -x=\"a b\" -instdir=\"D:\\Trans vera\" /D=D:\\Trans vera"},
      {L"", L"", L"", false, true, true, false,
       pkg + L" /S -console=show -version=1.0.0 -adminact=true -authorizationact=false -dsc=false -ssc=true"},
      {L"C:\\T", L"", L"", true, true, true, true,
       pkg + L" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=true "
             L"-instdir=\"C:\\T\" /D=C:\\T"},
  };
  const std::wstring savedInstCmd = InstallerConfig.InstCmd;
  for (const auto& c : cases) {
    InstallerConfig.InstCmd = c.instCmd;
    CInstaller installer(nullptr, pkg, L"C:\\first", !c.desktop, !c.quickLaunch, !c.adminAccount);
    installer.SetInstallDir(c.dir);
    installer.SetDesktopShortcut(c.desktop);
    installer.SetQuickLaunch(c.quickLaunch);
    installer.SetAdminAccount(c.adminAccount);
    installer.SetAdminProcess(c.adminProcess);
    installer.SetLanguage(c.language);
    EXPECT_EQ(installer.BuildCommandLine(), c.expected);
  }
  InstallerConfig.InstCmd = savedInstCmd;
}

TEST(PackageCommandLine, ConstructionSetsTheFolderAndFlagsAndAnAdministratorProcess) {
  CInstaller installer(nullptr, L"\"p.exe\"", L"C:\\T", false, true, false);
  EXPECT_EQ(installer.BuildCommandLine(),
            L"\"p.exe\" /S -console=show -version=1.0.0 -adminact=false -authorizationact=true -dsc=false "
            L"-ssc=true -instdir=\"C:\\T\" /D=C:\\T");
}

TEST(UninstallerCommandLine, QuotesTheProgramAndEndsWithTheBareFolder) {
  EXPECT_EQ(UnInstaller::CommandLineFor(L"C:\\Users\\John Smith\\AppData\\Local\\Temp\\~ZemKoTemp.92482B06FB471E17\\"
                                        L"\\Transvera_un_asa.exe",
                                        false, true, L"C:\\Program Files\\Transvera"),
            L"\"C:\\Users\\John Smith\\AppData\\Local\\Temp\\~ZemKoTemp.92482B06FB471E17\\\\Transvera_un_asa.exe\" "
            L"/S -adminact=false -authorizationact=true -console=show _?=C:\\Program Files\\Transvera");
  EXPECT_EQ(UnInstaller::CommandLineFor(L"C:\\u.exe", true, false, L"C:\\T"),
            L"\"C:\\u.exe\" /S -adminact=true -authorizationact=false -console=show _?=C:\\T");
}

}  // namespace
