#include "utils/strings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

using TestSupport::TempDir;

namespace {

struct UrlCase {
  const wchar_t* input;
  const wchar_t* expected;
};

TEST(UrlEncode, EncodesOnlyBlanksControlBytesAndNonAscii) {
  const UrlCase cases[] = {
      {L"http://h/a b", L"http://h/a+b"},
      {L"http://h/%41%2Fx", L"http://h/%41%2Fx"},  // existing escapes stay
      {L"http://h/\u4e2d.exe", L"http://h/%E4%B8%AD.exe"},
      {L":/?&=%#~", L":/?&=%#~"},
      {L"a\tb\x7f", L"a%09b%7F"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utils::UrlEncode(c.input), c.expected) << TestSupport::Utf8(c.input);
}

TEST(FileMd5Hex, MatchesTheRfc1321TestSuite) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  TempDir dir;
  for (const auto& [input, digest] : vectors) {
    const std::wstring path = dir / L"vector.bin";
    ASSERT_TRUE(TestSupport::WriteBytes(path, input));
    EXPECT_EQ(Utils::FileMd5Hex(Utils::ToNarrow(path, CP_ACP)), digest) << input;
  }
}

TEST(FileMd5Hex, HashesFilesLargerThanOneRead) {
  std::string data(3 * 1024 * 1024 + 5, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  TempDir dir;
  const std::wstring path = dir / L"r\u00e9sum\u00e9.bin";  // an ANSI path with accents
  ASSERT_TRUE(TestSupport::WriteBytes(path, data));
  EXPECT_EQ(Utils::FileMd5Hex(Utils::ToNarrow(path, CP_ACP)), "028bfcc1395093c0df0dc731de96e1b5");
}

TEST(FileMd5Hex, EmptyForAMissingFileOrAnEmptyPath) {
  TempDir dir;
  EXPECT_EQ(Utils::FileMd5Hex(Utils::ToNarrow(dir / L"missing.bin", CP_ACP)), "");
  EXPECT_EQ(Utils::FileMd5Hex(""), "");
}

TEST(Md5FromUrl, TakesTheLastDirectoryComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://h/software/0123456789abcdef0123456789ABCDEF/p.exe", "0123456789abcdef0123456789ABCDEF"},
      {"http://h/software/507", "software"},
      {"http://h/x/?q=a/b", "?q=a"},  // the query is not removed first
      {"host/file.exe", ""},          // a single slash
      {"/file.exe", ""},
      {"no-slash", ""},
      {"", ""},
  };
  for (const auto& [url, expected] : cases) EXPECT_EQ(Utils::Md5FromUrl(url), expected) << url;
}

TEST(Trim, RemovesWhiteSpaceAtBothEnds) {
  EXPECT_EQ(Utils::Trim(L" \t AutoStartup \r\n"), L"AutoStartup");
  EXPECT_EQ(Utils::Trim(L"a b"), L"a b");
  EXPECT_EQ(Utils::Trim(L" \r\n\t "), L"");
  EXPECT_EQ(Utils::Trim(L""), L"");
}

TEST(ReplaceAll, ReplacesEveryOccurrence) {
  EXPECT_EQ(Utils::ReplaceAll(L"http://h/${ROUTE}/x/${ROUTE}", L"${ROUTE}", L"download_silent"),
            L"http://h/download_silent/x/download_silent");
  EXPECT_EQ(Utils::ReplaceAll(L"no placeholder", L"${ROUTE}", L"x"), L"no placeholder");
  EXPECT_EQ(Utils::ReplaceAll(L"abc", L"", L"x"), L"abc");
}

TEST(ReplaceAll, AReplacementContainingTheSearchTextEnds) {
  EXPECT_EQ(Utils::ReplaceAll(L"aXa", L"a", L"aa"), L"aaXaa");
}

TEST(CreateDirectoryRecursive, CreatesEveryMissingLevel) {
  TempDir dir;
  const std::wstring deep = dir / L"one\\two\\three";
  EXPECT_TRUE(Utils::CreateDirectoryRecursive(deep));
  EXPECT_TRUE(::GetFileAttributesW(deep.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(TestSupport::FileExists(deep));
  // With a trailing backslash, and again for an existing chain.
  EXPECT_TRUE(Utils::CreateDirectoryRecursive(dir / L"four\\five\\"));
  EXPECT_TRUE(TestSupport::FileExists(dir / L"four\\five"));
  EXPECT_TRUE(Utils::CreateDirectoryRecursive(deep));
}

TEST(CreateDirectoryRecursive, FailsWhenAPrefixIsAFile) {
  TempDir dir;
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"file", "x"));
  EXPECT_FALSE(Utils::CreateDirectoryRecursive(dir / L"file\\sub"));
}

TEST(CreateDirectoryRecursive, RefusesPathsLongerThan260Characters) {
  TempDir dir;
  std::wstring path = dir.path();
  while (path.size() <= 260) path += L"\\abcdefghij";
  EXPECT_FALSE(Utils::CreateDirectoryRecursive(path));
  EXPECT_FALSE(TestSupport::FileExists(dir / L"abcdefghij"));  // nothing was created
}

TEST(Conversions, RoundTripUtf8AndFallBackInAnsi) {
  const std::wstring chinese = L"\u4e2d\u6587 text";
  EXPECT_EQ(Utils::ToWide(Utils::ToNarrow(chinese, CP_UTF8), CP_UTF8), chinese);
  EXPECT_EQ(Utils::ToNarrow(L"", CP_UTF8), "");
  // The test prefix's ANSI code page is 1252: Chinese becomes the default character.
  EXPECT_EQ(Utils::ToNarrow(L"\u4e2d", CP_ACP), "?");
  EXPECT_EQ(Utils::ToWide("caf\xe9", CP_ACP), L"caf\u00e9");
}

}  // namespace
