// Skins carried as Win32 resources of this test program: the 7z skin
// archive as "ZIPRES" 147 (as the installer carries it) and images of a
// resource type.
#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "skinui/markup.h"
#include "skinui/renderer.h"
#include "skinui/skin_archive.h"

using namespace SkinUI;

namespace {

TEST(ArchiveResource, TheZipresResourceBecomesTheArchiveForTheProcess) {
  CWindowManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  CWindowManagerUI::UseSevenZipArchives(true);
  EXPECT_FALSE(CWindowManagerUI::LoadArchiveResource(148));  // no such resource
  EXPECT_EQ(CWindowManagerUI::GetResourceArchiveName(), L"");

  ASSERT_TRUE(CWindowManagerUI::LoadArchiveResource(147));
  EXPECT_EQ(CWindowManagerUI::GetResourceArchiveName(), L"membuffer");
  SkinArchive* archive = CWindowManagerUI::GetResourceArchive();
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(CWindowManagerUI::GetArchiveResourceCopy().size(), TestSupport::ReadBytes(SkinTest::FixtureArchive()).size());

  CMarkupDocument document;
  ASSERT_TRUE(document.LoadFromFile(L"MainWnd.xml")) << TestSupport::Utf8(document.GetLastErrorMessage());
  EXPECT_STREQ(document.GetRoot().GetName(), L"Window");
  EXPECT_NE(CSkinRenderer::LoadImage(L"res\\nine.png", L"", 0), nullptr);

  // A later window finds the archive installed; the resource is not read again.
  ASSERT_TRUE(CWindowManagerUI::LoadArchiveResource(147));
  EXPECT_EQ(CWindowManagerUI::GetResourceArchive(), archive);
}

TEST(ArchiveResource, ImagesOfAResourceTypeByNumberOrName) {
  CWindowManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  auto byNumber = CSkinRenderer::LoadImage(L"200", L"PNG", 0);
  ASSERT_NE(byNumber, nullptr);
  EXPECT_EQ(byNumber->width, 9);
  auto byName = CSkinRenderer::LoadImage(L"NINE", L"PNG", 0);
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->width, 4);  // the tile image
  EXPECT_EQ(CSkinRenderer::LoadImage(L"201", L"PNG", 0), nullptr);

  // Through a description: "res" with "restype".
  CWindowManagerUI manager;
  ImageDrawInfo info;
  info.Reset(L"res='200' restype='PNG'");
  SkinTest::Dib32 dib(9, 9);
  const RECT all = {0, 0, 9, 9};
  ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, all, all, info));
  EXPECT_EQ(dib.Rgb(0, 0), 0xFF0000u);
}

}  // namespace
