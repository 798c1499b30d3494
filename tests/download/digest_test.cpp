// The integrity rule of the two libcurl downloaders, with the installer's
// answer to DL_CODE_RETRY (Start again from inside the callback).
#include <gtest/gtest.h>

#include "download/download_support.h"
#include "support/test_support.h"

using namespace DownloadTest;

namespace {

struct DigestCase {
  const char* name;
  std::wstring path;
  std::vector<int> codes;
  std::vector<std::wstring> notices;
};

std::wstring Wide(const std::string& s) { return TestSupport::FromUtf8(s); }

class Digest : public ::testing::TestWithParam<int> {};

TEST_P(Digest, MissingMatchingAndMismatchingDigests) {
  const int type = GetParam();
  const std::wstring prefix = type == 3 ? L"mtcurl" : L"curl";
  const std::wstring missing = prefix + L"\u83b7\u53d6url-md5\u5931\u8d25";
  const std::wstring mismatch = prefix + L"\u6587\u4ef6md5\u6821\u9a8c\u5931\u8d25";
  const std::string md5 = NginxServer().Md5();
  std::string upper = md5;
  for (auto& c : upper) c = static_cast<char>(toupper(c));
  const std::vector<int> retryThenFail = {DL_CODE_START, DL_CODE_MD5_NOTICE, DL_CODE_RETRY,
                                          DL_CODE_START, DL_CODE_MD5_NOTICE, DL_CODE_FAIL};
  const DigestCase cases[] = {
      {"no digest in the URL", L"/files/package.exe", {DL_CODE_START, DL_CODE_MD5_NOTICE, DL_CODE_SUCCESS}, {missing}},
      {"matching digest", L"/pkg/" + Wide(md5) + L"/package.exe", {DL_CODE_START, DL_CODE_SUCCESS}, {}},
      {"wrong digest", L"/pkg/" + Wide(NginxServer().env.at("WRONG_MD5")) + L"/package.exe", retryThenFail,
       {mismatch, mismatch}},
      {"upper-case digest", L"/pkg/" + Wide(upper) + L"/package.exe", retryThenFail, {mismatch, mismatch}},
  };
  for (const auto& c : cases) {
    TestSupport::TempDir dir;
    const auto events = RunDownload(type, NginxServer().Url(c.path), dir / L"package.exe");
    std::vector<int> codes;
    std::vector<std::wstring> notices;
    for (const auto& e : events) {
      if (e.code == DL_CODE_PROGRESS) continue;
      codes.push_back(e.code);
      if (e.code == DL_CODE_MD5_NOTICE) notices.push_back(e.text);
      if (e.code != DL_CODE_START) {
        EXPECT_EQ(e.value, 0.0) << c.name;
      }
    }
    EXPECT_EQ(codes, c.codes) << c.name;
    EXPECT_EQ(notices, c.notices) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(LibCurlDownloaders, Digest, ::testing::Values(1, 3),
                         [](const auto& info) { return info.param == 3 ? "MultiPart" : "SingleStream"; });

}  // namespace
