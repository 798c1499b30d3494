// Bad input never crashes: seeded, bounded mutation runs over the markup
// parser, the archive reader and the image description parser. Each case
// only has to end in a success or a reported failure.
#include <gtest/gtest.h>

#include <random>

#include "skin_test_support.h"
#include "skinui/markup.h"
#include "skinui/renderer.h"
#include "skinui/skin_archive.h"

using namespace SkinUI;

namespace {

using Random = std::mt19937;

int Pick(Random& random, int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

// One mutation: flip, insert, delete, duplicate or truncate.
std::string Mutate(std::string text, Random& random, const std::string& alphabet) {
  if (text.empty()) text = "<";
  const int kind = Pick(random, 5);
  const size_t at = static_cast<size_t>(Pick(random, static_cast<int>(text.size())));
  switch (kind) {
    case 0:
      text[at] = static_cast<char>(text[at] ^ (1 << Pick(random, 8)));
      break;
    case 1:
      text.insert(at, 1, alphabet[static_cast<size_t>(Pick(random, static_cast<int>(alphabet.size())))]);
      break;
    case 2:
      text.erase(at, static_cast<size_t>(Pick(random, 16)));
      break;
    case 3:
      text.insert(at, text.substr(at, static_cast<size_t>(Pick(random, 32))));
      break;
    default:
      text.resize(at);
      break;
  }
  return text;
}

// Reads everything a builder would read from a parsed document.
int Walk(const CMarkupElement& element, int depth = 0) {
  int count = 0;
  for (CMarkupElement e = element; e.IsValid(); e = e.GetSibling()) {
    ++count;
    EXPECT_NE(e.GetName(), nullptr);
    for (int i = 0; i < e.GetAttributeCount(); ++i) {
      EXPECT_NE(e.GetAttributeName(i), nullptr);
      EXPECT_NE(e.GetAttributeValue(i), nullptr);
      wchar_t buffer[8];
      e.GetAttributeValue(e.GetAttributeName(i), buffer, 8);
    }
    if (depth < 300) count += Walk(e.GetChild(), depth + 1);
  }
  return count;
}

TEST(Mutation, TheMarkupParserAlwaysEndsInAResultOrAMessage) {
  const std::string seeds[] = {
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- skin -->\n<Window size=\"480,100\" caption=\"0,0,0,35\">"
      "<Font id=\"0\" name=\"\xe5\xbe\xae\xe8\xbd\xaf\xe9\x9b\x85\xe9\xbb\x91\" size=\"12\"/>"
      "<VerticalLayout><Label text=\"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos; &copy;\"/>"
      "<Button name=\"closebtn\" normalimage=\"file='res\\common\\closebtn1.png' dest='0,2,15,16' \"></Button>"
      "</VerticalLayout></Window>",
      "<a><b c=\"1\"/><d e=\"2\" f=\"3\">text</d></a>",
      "\xef\xbb\xbf<R x=\"line\none\"  y=\"  \"/>",
  };
  const std::string alphabet = "<>/=\"'&!?-; \n\tamp;lt;gt;ab\xc3\xa9\xff";
  Random random(20240611);
  int parsed = 0, failed = 0;
  for (int i = 0; i < 6000; ++i) {
    std::string text = seeds[static_cast<size_t>(i) % 3];
    const int rounds = 1 + Pick(random, 6);
    for (int r = 0; r < rounds; ++r) text = Mutate(text, random, alphabet);
    CMarkupDocument document;
    const int encoding = i % 10 == 0 ? kEncodingUtf16 : (i % 10 == 1 ? kEncodingAnsi : kEncodingUtf8);
    if (document.LoadFromMemory(text.data(), text.size(), encoding)) {
      ++parsed;
      EXPECT_STREQ(document.GetLastErrorMessage(), L"");
      EXPECT_EQ(Walk(document.GetRoot()), document.GetElementCount()) << text;
    } else {
      ++failed;
      EXPECT_NE(document.GetLastErrorMessage()[0], 0) << text;
      EXPECT_FALSE(document.GetRoot().IsValid());
    }
  }
  // Both outcomes were reached: the run really exercised the parser.
  EXPECT_GT(parsed, 100);
  EXPECT_GT(failed, 100);
}

TEST(Mutation, TruncatedAndDamagedArchivesOpenAsNothingOrAsAShorterTable) {
  for (const std::wstring& file : {SkinTest::FixtureArchive(), TestSupport::BinPath(L"skin_nonsolid.7z")}) {
    const std::string bytes = TestSupport::ReadBytes(file);
    ASSERT_GT(bytes.size(), 100u);
    ScopedArchive intact(OpenArchiveMemory(bytes.data(), bytes.size()));
    ASSERT_TRUE(intact);
    Random random(7);
    int opened = 0, refused = 0;
    for (int i = 0; i < 600; ++i) {
      std::string damaged = bytes;
      if (i % 3 == 0) {
        damaged.resize(static_cast<size_t>(Pick(random, static_cast<int>(bytes.size()))));
      } else {
        for (int flips = 1 + Pick(random, 3); flips > 0; --flips) {
          const size_t at = static_cast<size_t>(Pick(random, static_cast<int>(damaged.size())));
          damaged[at] = static_cast<char>(damaged[at] ^ (1 << Pick(random, 8)));
        }
      }
      ScopedArchive archive(OpenArchiveMemory(damaged.data(), damaged.size()));
      if (!archive) {
        ++refused;
        continue;
      }
      ++opened;
      EXPECT_LE(archive->entries.size(), intact->entries.size());
      for (const auto& entry : archive->entries) {
        EXPECT_EQ(entry.size, entry.data.size());
        EXPECT_EQ(entry.nameLength, entry.name.size() + 1);
        uint32_t index = 0;
        uint64_t size = 0;
        if (FindArchiveEntry(archive.get(), entry.name.c_str(), &index, &size) == kArchiveOk) {
          std::vector<uint8_t> buffer(static_cast<size_t>(size));
          EXPECT_EQ(ExtractArchiveEntry(archive.get(), index, buffer.data(), buffer.size()), kArchiveOk);
        }
      }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(opened, 0);
  }
}

TEST(Mutation, ImageDescriptionsParseAndDrawWhateverTheyHold) {
  SkinTest::UseFixtureSkin();
  CWindowManagerUI manager;
  const std::string seeds[] = {
      "file='res\\nine.png' corner='2,2,2,2' mask='#FF0000' fade='255' hole='false' xtiled='true' ytiled='true'",
      "file='res\\tile.png' dest='0,2,15,16' source='1,0,3,2' ",
      "color='#80FF0000' fade='128'",
      "res\\mainWnd\\bg1.png",
  };
  const std::string alphabet = "='\" ,-#0123456789abcdef";
  Random random(99);
  SkinTest::Dib32 dib(40, 40);
  const RECT item = {5, 5, 35, 35};
  const RECT paint = {0, 0, 40, 40};
  int drawn = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string text = seeds[static_cast<size_t>(i) % 4];
    for (int r = 1 + Pick(random, 4); r > 0; --r) text = Mutate(text, random, alphabet);
    ImageDrawInfo info;
    info.Reset(TestSupport::FromUtf8(text));
    if (CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, paint, info)) ++drawn;
    EXPECT_TRUE(info.parsed || info.description.empty());
  }
  EXPECT_GT(drawn, 100);

  // Any geometry at all reaches the nine-slice drawing without harm.
  const ImageInfo* image = manager.GetOrLoadImage(L"res\\nine.png");
  ASSERT_NE(image, nullptr);
  std::uniform_int_distribution<int> value(-20, 60);
  for (int i = 0; i < 2000; ++i) {
    const RECT dest = {value(random), value(random), value(random), value(random)};
    const RECT source = {value(random) / 4, value(random) / 4, value(random) / 4, value(random) / 4};
    const RECT corners = {value(random) / 4, value(random) / 4, value(random) / 4, value(random) / 4};
    CSkinRenderer::DrawImage(dib.dc(), image->bitmap.get(), dest, paint, source, corners, i % 2 == 0,
                             static_cast<BYTE>(Pick(random, 256)), i % 3 == 0, i % 5 == 0, i % 7 == 0);
  }
}

}  // namespace
