// The skin archive reader on real 7z archives made by 7zz at build time, the
// resource settings, and the skin-file lookup with its messages.
#include <gtest/gtest.h>

#include <cstring>

#include "skin_test_support.h"
#include "skinui/markup.h"
#include "skinui/renderer.h"
#include "skinui/skin_archive.h"

using namespace SkinUI;
using SkinTest::FixtureArchive;

namespace {

const SkinArchiveEntry* Entry(const SkinArchive& archive, const std::wstring& name) {
  for (const auto& entry : archive.entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::string FixtureFile(const std::wstring& relative) {
  return TestSupport::ReadBytes(TestSupport::BinDir() + L"..\\tests\\skinui\\fixture\\skin\\" + relative);
}

TEST(SkinArchive, OpensEveryFileEntryWithItsNameIndexAndContent) {
  ScopedArchive archive(OpenArchiveFile(FixtureArchive()));
  ASSERT_TRUE(archive);
  const SkinArchiveEntry* bg = Entry(*archive, L"res/mainWnd/bg1.png");
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->nameLength, 20u);  // 19 characters and the NUL
  const std::string onDisk = FixtureFile(L"res\\mainWnd\\bg1.png");
  ASSERT_FALSE(onDisk.empty());
  EXPECT_EQ(bg->size, onDisk.size());
  EXPECT_EQ(std::string(bg->data.begin(), bg->data.end()), onDisk);

  const SkinArchiveEntry* broken = Entry(*archive, L"broken.xml");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(std::string(broken->data.begin(), broken->data.end()), "<Window><Label text='x'/></Window>");
  const SkinArchiveEntry* empty = Entry(*archive, L"empty.xml");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->size, 0u);

  // Folders are not entries, but they keep their places in the archive's
  // numbering: indexes rise and skip them.
  for (const auto& entry : archive->entries) {
    EXPECT_NE(entry.name, L"res");
    EXPECT_NE(entry.name, L"res/mainWnd");
  }
  for (size_t i = 1; i < archive->entries.size(); ++i) {
    EXPECT_GT(archive->entries[i].index, archive->entries[i - 1].index);
  }
  EXPECT_GT(archive->entries.back().index, archive->entries.size() - 1);
}

TEST(SkinArchive, FindsNamesWithEitherSlashAndAnyCaseButOnlyWholeNames) {
  ScopedArchive archive(OpenArchiveFile(FixtureArchive()));
  ASSERT_TRUE(archive);
  const uint64_t bgSize = Entry(*archive, L"res/mainWnd/bg1.png")->size;
  struct Case {
    const wchar_t* name;
    bool found;
  } cases[] = {
      {L"res\\mainWnd\\bg1.png", true}, {L"res/mainWnd/bg1.png", true}, {L"RES\\MAINWND\\BG1.PNG", true},
      {L"MainWnd.xml", true},           {L"mainWnd.xml", true},         {L"mainWnd.xm", false},
      {L"mainWnd.xmlx", false},         {L"ainWnd.xml", false},         {L"res", false},
      {L"", false},                     {L"res\\mainWnd", false},       {L"res\\common\\closebtn4.png", false},
  };
  for (const auto& c : cases) {
    uint32_t index = 12345;
    uint64_t size = 0;
    const int status = FindArchiveEntry(archive.get(), c.name, &index, &size);
    EXPECT_EQ(status == kArchiveOk, c.found) << TestSupport::Utf8(c.name);
    if (c.found && std::wstring(c.name).find(L"bg1") != std::wstring::npos) {
      EXPECT_EQ(size, bgSize);
    }
  }
  EXPECT_NE(FindArchiveEntry(nullptr, L"mainWnd.xml", nullptr, nullptr), kArchiveOk);
  EXPECT_NE(FindArchiveEntry(archive.get(), nullptr, nullptr, nullptr), kArchiveOk);
}

TEST(SkinArchive, ExtractsIntoABufferLargeEnoughOnly) {
  ScopedArchive archive(OpenArchiveFile(FixtureArchive()));
  ASSERT_TRUE(archive);
  uint32_t index = 0;
  uint64_t size = 0;
  ASSERT_EQ(FindArchiveEntry(archive.get(), L"broken.xml", &index, &size), kArchiveOk);
  std::string buffer(static_cast<size_t>(size), '\0');
  ASSERT_EQ(ExtractArchiveEntry(archive.get(), index, &buffer[0], buffer.size()), kArchiveOk);
  EXPECT_EQ(buffer, "<Window><Label text='x'/></Window>");

  // A buffer one byte short is refused rather than overrun.
  std::string shortBuffer(static_cast<size_t>(size) - 1, '#');
  EXPECT_NE(ExtractArchiveEntry(archive.get(), index, &shortBuffer[0], shortBuffer.size()), kArchiveOk);
  EXPECT_EQ(shortBuffer, std::string(shortBuffer.size(), '#'));
  EXPECT_NE(ExtractArchiveEntry(archive.get(), 99999, &buffer[0], buffer.size()), kArchiveOk);
  EXPECT_NE(ExtractArchiveEntry(nullptr, index, &buffer[0], buffer.size()), kArchiveOk);
}

TEST(SkinArchive, MemoryAndFileGiveTheSameTable) {
  const std::string bytes = TestSupport::ReadBytes(FixtureArchive());
  ASSERT_FALSE(bytes.empty());
  ScopedArchive fromFile(OpenArchiveFile(FixtureArchive()));
  ScopedArchive fromMemory(OpenArchiveMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(fromFile);
  ASSERT_TRUE(fromMemory);
  ASSERT_EQ(fromFile->entries.size(), fromMemory->entries.size());
  for (size_t i = 0; i < fromFile->entries.size(); ++i) {
    EXPECT_EQ(fromFile->entries[i].name, fromMemory->entries[i].name);
    EXPECT_EQ(fromFile->entries[i].index, fromMemory->entries[i].index);
    EXPECT_EQ(fromFile->entries[i].data, fromMemory->entries[i].data);
  }
}

TEST(SkinArchive, WhatIsNotA7zArchiveOpensAsNothing) {
  TestSupport::TempDir dir(L"skinarc");
  const std::wstring text = dir / L"not-an-archive.7z";
  ASSERT_TRUE(TestSupport::WriteBytes(text, "this is not a 7z archive at all"));
  // A file that opens but is no archive is reported like a missing one, so
  // the markup loader says "Error opening zip file" instead of claiming
  // that a file is not in it.
  EXPECT_EQ(OpenArchiveFile(text), nullptr);
  EXPECT_EQ(OpenArchiveFile(dir / L"missing.7z"), nullptr);
  const char garbage[] = "7z\xBC\xAF\x27\x1C garbage";
  EXPECT_EQ(OpenArchiveMemory(garbage, sizeof garbage), nullptr);
  EXPECT_EQ(OpenArchiveMemory(garbage, 0), nullptr);
  EXPECT_EQ(OpenArchiveMemory(nullptr, 10), nullptr);
}

TEST(SkinArchive, OpensAPathOutsideTheAnsiCodePage) {
  TestSupport::TempDir dir(L"skinarc");
  const std::wstring folder = dir / L"\u76ae\u80a4\u0416";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring copy = folder + L"\\skin.7z";
  ASSERT_TRUE(::CopyFileW(FixtureArchive().c_str(), copy.c_str(), FALSE));
  ScopedArchive archive(OpenArchiveFile(copy));
  ASSERT_TRUE(archive);
  EXPECT_NE(Entry(*archive, L"mainWnd.xml"), nullptr);
}

TEST(SkinArchive, AFailingEntryEndsTheTableAndKeepsTheEntriesBeforeIt) {
  // One block per file: damage in the middle of the packed data breaks one
  // block, and the table ends before its entry.
  std::string bytes = TestSupport::ReadBytes(TestSupport::BinPath(L"skin_nonsolid.7z"));
  ASSERT_GT(bytes.size(), 32u);
  ScopedArchive intact(OpenArchiveMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(intact);
  uint64_t packed = 0;
  std::memcpy(&packed, bytes.data() + 12, 8);  // start header: offset of the header after the packed data
  ASSERT_GT(packed, 100u);
  bytes[32 + packed * 6 / 10] ^= 0x55;
  ScopedArchive damaged(OpenArchiveMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(damaged);
  EXPECT_GT(damaged->entries.size(), 0u);
  EXPECT_LT(damaged->entries.size(), intact->entries.size());
  for (size_t i = 0; i < damaged->entries.size(); ++i) {
    EXPECT_EQ(damaged->entries[i].name, intact->entries[i].name);
    EXPECT_EQ(damaged->entries[i].data, intact->entries[i].data);
  }
}

// ---- resource settings ----

TEST(ResourceSettings, TheResourcePathEndsInOneSeparator) {
  struct Case {
    const wchar_t* given;
    const wchar_t* stored;
  } cases[] = {
      {L"C:\\skin", L"C:\\skin\\"}, {L"C:\\skin\\", L"C:\\skin\\"}, {L"C:/skin/", L"C:/skin/"},
      {L"", L""},                   {L"skin", L"skin\\"},
  };
  for (const auto& c : cases) {
    CWindowManagerUI::SetResourcePath(c.given);
    EXPECT_EQ(CWindowManagerUI::GetResourcePath(), c.stored) << TestSupport::Utf8(c.given);
  }
}

TEST(ResourceSettings, TheInstancePathIsTheModuleFolder) {
  EXPECT_EQ(CWindowManagerUI::GetInstancePath(), L"");
  EXPECT_EQ(CWindowManagerUI::GetResourceInstance(), nullptr);
  CWindowManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  EXPECT_EQ(CWindowManagerUI::GetInstancePath(), TestSupport::BinDir());
  EXPECT_EQ(CWindowManagerUI::GetResourceInstance(), ::GetModuleHandleW(nullptr));
}

TEST(ResourceSettings, TheFirstArchiveFromMemoryStays) {
  CWindowManagerUI::UseSevenZipArchives(true);
  const std::string first = TestSupport::ReadBytes(FixtureArchive());
  const std::string second = TestSupport::ReadBytes(SkinTest::LimitsArchive());
  CWindowManagerUI::SetResourceArchive(first.data(), first.size());
  EXPECT_EQ(CWindowManagerUI::GetResourceArchiveName(), L"membuffer");
  EXPECT_TRUE(CWindowManagerUI::IsResourceArchiveCached());
  SkinArchive* installed = CWindowManagerUI::GetResourceArchive();
  ASSERT_NE(installed, nullptr);

  CWindowManagerUI::SetResourceArchive(second.data(), second.size());
  EXPECT_EQ(CWindowManagerUI::GetResourceArchive(), installed);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadSkinFile(L"MainWnd.xml", kMarkupSizeLimit, &bytes), SkinFileResult::Ok);
  EXPECT_EQ(ReadSkinFile(L"limit_ok.xml", kMarkupSizeLimit, &bytes), SkinFileResult::NotInArchive);
}

TEST(ResourceSettings, AnArchiveFileIsCachedOrOpenedForEachLookup) {
  CWindowManagerUI::UseSevenZipArchives(true);
  CWindowManagerUI::SetResourcePath(TestSupport::BinDir());
  CWindowManagerUI::SetResourceArchive(L"skin_fixture.7z", true);
  SkinArchive* cached = CWindowManagerUI::GetResourceArchive();
  ASSERT_NE(cached, nullptr);
  CWindowManagerUI::SetResourceArchive(L"skin_fixture.7z", true);  // the same: nothing happens
  EXPECT_EQ(CWindowManagerUI::GetResourceArchive(), cached);

  CWindowManagerUI::SetResourceArchive(L"skin_fixture.7z", false);
  EXPECT_EQ(CWindowManagerUI::GetResourceArchive(), nullptr);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadSkinFile(L"res\\mainWnd\\bg1.png", UINT64_MAX, &bytes), SkinFileResult::Ok);
  EXPECT_FALSE(bytes.empty());
}

TEST(ResourceSettings, WithoutTheSevenZipReaderNoArchiveIsRead) {
  CWindowManagerUI::SetResourcePath(TestSupport::BinDir());
  CWindowManagerUI::SetResourceArchive(L"skin_fixture.7z", true);
  EXPECT_EQ(CWindowManagerUI::GetResourceArchive(), nullptr);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadSkinFile(L"mainWnd.xml", kMarkupSizeLimit, &bytes), SkinFileResult::ErrorOpeningArchive);
}

// ---- markup file loading ----

struct LoadCase {
  const wchar_t* name;
  const wchar_t* message;  // "" for success
};

void ExpectLoads(const std::vector<LoadCase>& cases) {
  for (const auto& c : cases) {
    CMarkupDocument document;
    const bool loaded = document.LoadFromFile(c.name);
    EXPECT_EQ(loaded, c.message[0] == 0) << TestSupport::Utf8(c.name);
    EXPECT_STREQ(document.GetLastErrorMessage(), c.message) << TestSupport::Utf8(c.name);
    EXPECT_STREQ(document.GetLastErrorLocation(), L"") << TestSupport::Utf8(c.name);
    EXPECT_EQ(document.GetRoot().IsValid(), loaded) << TestSupport::Utf8(c.name);
  }
}

TEST(MarkupFileLoading, PlainFilesUnderTheResourcePath) {
  TestSupport::TempDir dir(L"skinmarkup");
  const std::string head = "<Window>", tail = "</Window>";
  auto padded = [&](size_t size) { return head + std::string(size - head.size() - tail.size(), ' ') + tail; };
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"ok.xml", "<Window size=\"1,2\"/>"));
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"empty.xml", ""));
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"limit.xml", padded(4194304)));
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"over.xml", padded(4194305)));
  CWindowManagerUI::SetResourcePath(dir.path());
  ExpectLoads({{L"ok.xml", L""},
               {L"limit.xml", L""},
               {L"over.xml", L"File too large"},
               {L"empty.xml", L"File is empty"},
               {L"missing.xml", L"Error opening file"}});
}

TEST(MarkupFileLoading, EntriesOfTheArchive) {
  SkinTest::UseFixtureSkin();
  ExpectLoads({{L"MainWnd.xml", L""},
               {L"mainWnd.xml", L""},
               {L"empty.xml", L"File is empty"},
               {L"missing.xml", L"Could not find ziped file"}});
  CMarkupDocument document;
  EXPECT_FALSE(document.LoadFromFile(L"broken.xml"));
  EXPECT_STREQ(document.GetLastErrorMessage(), L"Expected attribute value");
}

TEST(MarkupFileLoading, TheSizeLimitInAnArchive) {
  CWindowManagerUI::UseSevenZipArchives(true);
  CWindowManagerUI::SetResourcePath(TestSupport::BinDir());
  CWindowManagerUI::SetResourceArchive(L"skin_limits.7z", true);
  ExpectLoads({{L"limit_ok.xml", L""}, {L"limit_over.xml", L"File too large"}});
}

TEST(MarkupFileLoading, AnArchiveThatCannotBeOpened) {
  CWindowManagerUI::UseSevenZipArchives(true);
  CWindowManagerUI::SetResourcePath(TestSupport::BinDir());
  CWindowManagerUI::SetResourceArchive(L"no_such_skin.7z", false);
  ExpectLoads({{L"mainWnd.xml", L"Error opening zip file"}});
  CWindowManagerUI::SetResourceArchive(L"no_such_skin.7z", true);
  ExpectLoads({{L"mainWnd.xml", L"Error opening zip file"}});
}

// ---- image bytes ----

TEST(ImageLoading, AnImageMissingFromTheArchiveFallsBackToItsPathSilently) {
  SkinTest::UseFixtureSkin();
  EXPECT_NE(CSkinRenderer::LoadImage(L"res\\mainWnd\\bg1.png", L"", 0), nullptr);
  // The disabled-state image the skin names is not in the archive: the
  // direct path is tried and fails too.
  EXPECT_EQ(CSkinRenderer::LoadImage(L"res\\common\\closebtn4.png", L"", 0), nullptr);

  // A full path outside the archive is read directly.
  TestSupport::TempDir dir(L"skinimg");
  const std::wstring path = dir / L"outside.png";
  ASSERT_TRUE(TestSupport::WriteBytes(path, FixtureFile(L"res\\mainWnd\\bg1.png")));
  auto image = CSkinRenderer::LoadImage(path, L"", 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 8);
  EXPECT_EQ(image->height, 4);
  // Empty entries and undecodable bytes give no image.
  EXPECT_EQ(CSkinRenderer::LoadImage(L"empty.xml", L"", 0), nullptr);
  EXPECT_EQ(CSkinRenderer::LoadImage(L"broken.xml", L"", 0), nullptr);
}

}  // namespace
