// The markup parser: the document it builds, its encodings, entities,
// whitespace, and its eight failures with their locations.
#include <gtest/gtest.h>

#include <string>

#include "skinui/markup.h"
#include "support/test_support.h"

using namespace SkinUI;

namespace {

std::vector<std::wstring> ChildNames(const CMarkupElement& element) {
  std::vector<std::wstring> names;
  for (CMarkupElement child = element.GetChild(); child.IsValid(); child = child.GetSibling()) {
    names.push_back(child.GetName());
  }
  return names;
}

std::wstring Value(const CMarkupElement& element, const wchar_t* name) {
  const wchar_t* value = element.GetAttributeValue(name);
  return value == nullptr ? L"<none>" : value;
}

TEST(Markup, DeclarationAndCommentsAreSkippedWhereverTheyStand) {
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(
      L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- before -->\r\n"
      L"<Window size=\"480,100\"><!-- inside --><A/><!-- between -->\n<B x=\"2\"></B>"
      L"</Window>\n<!-- after -->\n"))
      << TestSupport::Utf8(document.GetLastErrorMessage());
  CMarkupElement root = document.GetRoot();
  ASSERT_TRUE(root.IsValid());
  EXPECT_STREQ(root.GetName(), L"Window");
  EXPECT_EQ(Value(root, L"size"), L"480,100");
  EXPECT_EQ(ChildNames(root), (std::vector<std::wstring>{L"A", L"B"}));
  EXPECT_EQ(Value(root.GetChild().GetSibling(), L"x"), L"2");
  EXPECT_FALSE(root.GetSibling().IsValid());
  EXPECT_EQ(document.GetElementCount(), 3);

  // A comment ends at the first "->", a processing instruction at "?>".
  ASSERT_TRUE(document.Load(L"<R><!-- a -><X/><? b ?><Y/></R>"));
  EXPECT_EQ(ChildNames(document.GetRoot()), (std::vector<std::wstring>{L"X", L"Y"}));
}

TEST(Markup, ADeclarationAloneIsADocumentWithoutRoot) {
  CMarkupDocument document;
  EXPECT_TRUE(document.Load(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n  \r\n"));
  EXPECT_FALSE(document.GetRoot().IsValid());
  EXPECT_EQ(document.GetRoot().GetName(), nullptr);
  EXPECT_EQ(document.GetElementCount(), 0);
  EXPECT_TRUE(document.Load(L""));
  EXPECT_FALSE(document.GetRoot().IsValid());
}

TEST(Markup, TheAttributeMapKeepsTheFirst64) {
  std::wstring text = L"<Control";
  for (int i = 0; i < 65; ++i) text += L" a" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(text.c_str()));
  CMarkupElement root = document.GetRoot();
  EXPECT_EQ(root.GetAttributeCount(), 64);
  EXPECT_STREQ(root.GetAttributeName(63), L"a63");
  EXPECT_STREQ(root.GetAttributeValue(63), L"v63");
  EXPECT_STREQ(root.GetAttributeName(64), L"");
  EXPECT_EQ(Value(root, L"a64"), L"<none>");
  EXPECT_EQ(Value(root, L"a0"), L"v0");
}

TEST(Markup, EmptyElementsWithOrWithoutASpaceBeforeTheSlash) {
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(L"<R><a/><b /><c x=\"1\"/><d x=\"2\" /><e></e></R>"));
  CMarkupElement root = document.GetRoot();
  EXPECT_EQ(ChildNames(root), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e"}));
  for (CMarkupElement child = root.GetChild(); child.IsValid(); child = child.GetSibling()) {
    EXPECT_FALSE(child.HasChildren()) << TestSupport::Utf8(child.GetName());
  }
  EXPECT_FALSE(root.GetChild().HasAttributes());
  EXPECT_EQ(Value(root.GetChild().GetSibling().GetSibling(), L"x"), L"1");
  EXPECT_EQ(Value(root.GetChild().GetSibling().GetSibling().GetSibling(), L"x"), L"2");
}

TEST(Markup, EntitiesAndWhitespaceInValues) {
  struct Case {
    const wchar_t* written;
    const wchar_t* read;
  } cases[] = {
      {L"&amp;&lt;&gt;&quot;&apos;", L"&<>\"'"},
      {L"&copy; 2024", L"&copy; 2024"},
      {L"a &amp b", L"a &amp b"},
      {L"&&amp;", L"&&"},
      {L"x&amp;", L"x&"},
      {L"trailing &", L"trailing &"},
      {L"line one\nline two", L"line one\nline two"},
      {L"several   spaces", L"several   spaces"},
      {L"  edges  ", L"  edges  "},
      {L"", L""},
      {L"\u5b89\u88c5 Transvera", L"\u5b89\u88c5 Transvera"},
  };
  for (const auto& c : cases) {
    const std::wstring text = std::wstring(L"<L text=\"") + c.written + L"\" next=\"after\"/>";
    CMarkupDocument document;
    ASSERT_TRUE(document.Load(text.c_str())) << TestSupport::Utf8(c.written);
    EXPECT_EQ(Value(document.GetRoot(), L"text"), c.read) << TestSupport::Utf8(c.written);
    EXPECT_EQ(Value(document.GetRoot(), L"next"), L"after") << TestSupport::Utf8(c.written);
  }
}

TEST(Markup, AttributeNamesMatchWithCase) {
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(L"<Control width=\"10\" Width=\"20\"/>"));
  EXPECT_EQ(Value(document.GetRoot(), L"width"), L"10");
  EXPECT_EQ(Value(document.GetRoot(), L"Width"), L"20");
  EXPECT_EQ(Value(document.GetRoot(), L"WIDTH"), L"<none>");
}

TEST(Markup, TheNamedValueCopyIsAlwaysTerminated) {
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(L"<Control text=\"abcdef\"/>"));
  wchar_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  EXPECT_TRUE(document.GetRoot().GetAttributeValue(L"text", buffer, 4));
  EXPECT_STREQ(buffer, L"abc");
  EXPECT_EQ(buffer[4], L'#');
  EXPECT_TRUE(document.GetRoot().GetAttributeValue(L"text", buffer, 8));
  EXPECT_STREQ(buffer, L"abcdef");
  EXPECT_FALSE(document.GetRoot().GetAttributeValue(L"missing", buffer, 8));
  EXPECT_FALSE(CMarkupElement().GetAttributeValue(L"text", buffer, 8));
  EXPECT_EQ(CMarkupElement().GetAttributeName(0), nullptr);
  EXPECT_EQ(CMarkupElement().GetAttributeValue(0), nullptr);
}

TEST(Markup, TheEightFailuresWithTheirLocations) {
  struct Case {
    const wchar_t* text;
    const wchar_t* message;
    const wchar_t* location;
  } cases[] = {
      {L"hello", L"Expected start tag", L"hello"},
      {L"<r><a><b/>", L"Expected start tag", L""},
      {L"<Window", L"Error parsing element name", L""},
      {L"<a/x>", L"Expected start-tag closing", L"/x>"},
      {L"<r><a><b>text", L"Expected end-tag start", L""},
      {L"<a><b></c></a>", L"Unmatched closing tag", L"c></a>"},
      {L"<a><b></b ></a x>", L"Unmatched closing tag", L"x>"},
      {L"<Window a \"1\"/>", L"Error while parsing attributes", L"\"1\"/>"},
      {L"<Window a='1'/>", L"Expected attribute value", L"'1'/>"},
      {L"<Window a=", L"Expected attribute value", L""},
      {L"<Window a=\"unterminated", L"Error while parsing attribute string", L""},
  };
  for (const auto& c : cases) {
    CMarkupDocument document;
    EXPECT_FALSE(document.Load(c.text)) << TestSupport::Utf8(c.text);
    EXPECT_STREQ(document.GetLastErrorMessage(), c.message) << TestSupport::Utf8(c.text);
    EXPECT_STREQ(document.GetLastErrorLocation(), c.location) << TestSupport::Utf8(c.text);
    EXPECT_FALSE(document.GetRoot().IsValid());
  }
}

TEST(Markup, TheLocationIsCutTo49Characters) {
  const std::wstring tail(100, L'x');
  const std::wstring text = L"<Window a='" + tail + L"'/>";
  CMarkupDocument document;
  EXPECT_FALSE(document.Load(text.c_str()));
  EXPECT_EQ(std::wstring(document.GetLastErrorLocation()), L"'" + tail.substr(0, 48));
}

TEST(Markup, ADocumentMayEndInsideItsRoot) {
  for (const wchar_t* text : {L"<Window><A/>", L"<Window>text", L"<Window a=\"1\">text &amp; more", L"<Window><A>"}) {
    CMarkupDocument document;
    EXPECT_TRUE(document.Load(text)) << TestSupport::Utf8(text);
    EXPECT_STREQ(document.GetRoot().GetName(), L"Window");
  }
  CMarkupDocument document;
  ASSERT_TRUE(document.Load(L"<Window><A>"));
  EXPECT_STREQ(document.GetRoot().GetChild().GetName(), L"A");
  ASSERT_TRUE(document.Load(L"<Window a=\"1\">text"));
  EXPECT_EQ(document.GetRoot().GetAttributeCount(), 1);
}

TEST(Markup, NestingIsBounded) {
  auto nested = [](int depth) {
    std::wstring text;
    for (int i = 0; i < depth; ++i) text += L"<a>";
    for (int i = 0; i < depth; ++i) text += L"</a>";
    return text;
  };
  CMarkupDocument document;
  EXPECT_TRUE(document.Load(nested(200).c_str()));
  EXPECT_EQ(document.GetElementCount(), 200);
  EXPECT_FALSE(document.Load(nested(100000).c_str()));
  EXPECT_STREQ(document.GetLastErrorMessage(), L"Elements nested too deeply");
}

TEST(Markup, Utf8WithOrWithoutTheMarkGivesTheSameDocument) {
  const std::string body = "<Window title=\"\xe5\xae\x89\xe8\xa3\x85\"><Label text=\"caf\xc3\xa9\"/></Window>";
  for (const std::string& bytes : {body, std::string("\xef\xbb\xbf") + body}) {
    CMarkupDocument document;
    ASSERT_TRUE(document.LoadFromMemory(bytes.data(), bytes.size(), kEncodingUtf8));
    EXPECT_STREQ(document.GetRoot().GetName(), L"Window");
    EXPECT_EQ(Value(document.GetRoot(), L"title"), L"\u5b89\u88c5");
    EXPECT_EQ(Value(document.GetRoot().GetChild(), L"text"), L"caf\u00e9");
  }
}

TEST(Markup, Utf16NeedsItsByteOrderMark) {
  const std::wstring body = L"<Window title=\"\u5b89\u88c5\"/>";
  std::string little = "\xff\xfe", big = "\xfe\xff", bare;
  for (wchar_t ch : body) {
    little += static_cast<char>(ch & 0xFF);
    little += static_cast<char>(ch >> 8);
    big += static_cast<char>(ch >> 8);
    big += static_cast<char>(ch & 0xFF);
    bare += static_cast<char>(ch & 0xFF);
    bare += static_cast<char>(ch >> 8);
  }
  for (const std::string& bytes : {little, big}) {
    CMarkupDocument document;
    ASSERT_TRUE(document.LoadFromMemory(bytes.data(), bytes.size(), kEncodingUtf16));
    EXPECT_EQ(Value(document.GetRoot(), L"title"), L"\u5b89\u88c5");
  }
  CMarkupDocument document;
  EXPECT_FALSE(document.LoadFromMemory(bare.data(), bare.size(), kEncodingUtf16));
  EXPECT_FALSE(document.GetRoot().IsValid());
  EXPECT_FALSE(document.LoadFromMemory("\xff", 1, kEncodingUtf16));
}

TEST(Markup, AnsiUsesTheSystemCodePage) {
  const std::string bytes = "<Label text=\"caf\xe9 \x80\"/>";
  wchar_t expected[32] = {};
  ::MultiByteToWideChar(CP_ACP, 0, "caf\xe9 \x80", -1, expected, 32);
  CMarkupDocument document;
  ASSERT_TRUE(document.LoadFromMemory(bytes.data(), bytes.size(), kEncodingAnsi));
  EXPECT_EQ(Value(document.GetRoot(), L"text"), expected);
}

TEST(Markup, AFailedLoadReleasesThePreviousDocument) {
  CMarkupDocument document(L"<Window/>");
  ASSERT_TRUE(document.GetRoot().IsValid());
  EXPECT_FALSE(document.Load(L"<Window"));
  EXPECT_FALSE(document.GetRoot().IsValid());
  EXPECT_FALSE(document.IsValid());
  EXPECT_TRUE(document.Load(L"<Other/>"));
  EXPECT_STREQ(document.GetLastErrorMessage(), L"");
  EXPECT_STREQ(document.GetRoot().GetName(), L"Other");
}

}  // namespace
