// Markup: the skin files' small XML subset. CMarkupDocument parses a whole
// file in place into a flat element table; CMarkupElement is a light view of
// one element with a lazily built attribute map. Elements with attributes
// and text, double-quoted values, the five predefined entities; comments and
// processing instructions are skipped; no namespaces, CDATA or numeric
// character references.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

class CMarkupDocument;

// Encodings of LoadFromMemory / LoadFromFile.
enum MarkupEncoding { kEncodingUtf8 = 0, kEncodingUtf16 = 1, kEncodingAnsi = 2 };

class CMarkupElement {
 public:
  static constexpr int kMaxAttributes = 64;

  CMarkupElement() = default;
  CMarkupElement(const CMarkupDocument* document, uint32_t index) : document_(document), index_(index) {}

  bool IsValid() const { return document_ != nullptr; }
  const wchar_t* GetName() const;
  CMarkupElement GetChild() const;
  CMarkupElement GetSibling() const;
  CMarkupElement GetParent() const;
  bool HasChildren() const;
  bool HasAttributes() const { return GetAttributeCount() > 0; }
  int GetAttributeCount() const;
  // By position in document order; "" outside the range, null for an invalid view.
  const wchar_t* GetAttributeName(int index) const;
  const wchar_t* GetAttributeValue(int index) const;
  // By name, letter case significant. Copies the value into `buffer`,
  // always terminated (at most size - 1 characters). False when absent.
  bool GetAttributeValue(const wchar_t* name, wchar_t* buffer, size_t bufferSize) const;
  // The value by name, or null when absent.
  const wchar_t* GetAttributeValue(const wchar_t* name) const;

 private:
  struct Attribute {
    uint32_t name;
    uint32_t value;
  };
  void MapAttributes() const;

  const CMarkupDocument* document_ = nullptr;
  uint32_t index_ = 0;
  mutable bool mapped_ = false;
  mutable int attributeCount_ = 0;
  mutable Attribute attributes_[kMaxAttributes] = {};
};

class CMarkupDocument {
 public:
  // Deepest element nesting accepted.
  static constexpr int kMaxDepth = 256;

  CMarkupDocument() = default;
  explicit CMarkupDocument(const wchar_t* text);
  ~CMarkupDocument() = default;
  CMarkupDocument(const CMarkupDocument&) = delete;
  CMarkupDocument& operator=(const CMarkupDocument&) = delete;

  // Parses a copy of the string. False on a parse failure (the content is
  // released; the error texts stay).
  bool Load(const wchar_t* text);
  bool LoadFromMemory(const void* bytes, size_t length, int encoding = kEncodingUtf8);
  // Reads the skin file through the skin-file lookup (4 MiB at most).
  bool LoadFromFile(const std::wstring& name, int encoding = kEncodingUtf8);
  void Release();

  bool IsValid() const { return text_ != nullptr; }
  // Element 1, or an invalid view when there is no element.
  CMarkupElement GetRoot() const;
  // Number of parsed elements (the document placeholder not counted).
  int GetElementCount() const { return elements_.empty() ? 0 : static_cast<int>(elements_.size()) - 1; }

  const wchar_t* GetLastErrorMessage() const { return errorMessage_; }
  const wchar_t* GetLastErrorLocation() const { return errorLocation_; }

 private:
  friend class CMarkupElement;
  struct Element {
    uint32_t start;
    uint32_t child;
    uint32_t next;
    uint32_t parent;
    uint32_t data;
  };

  bool Parse();
  bool ParseElements(wchar_t*& p, uint32_t parent, int depth);
  bool ParseAttributes(wchar_t*& p);
  void ParseCharacterData(wchar_t*& p, wchar_t*& dest, wchar_t end);
  uint32_t AppendElement(const wchar_t* start, uint32_t parent);
  bool Fail(const wchar_t* message, const wchar_t* location);
  uint32_t Offset(const wchar_t* p) const { return static_cast<uint32_t>(p - text_.get()); }
  void ClearErrors();

  std::unique_ptr<wchar_t[]> text_;
  size_t textLength_ = 0;
  std::vector<Element> elements_;
  bool preserveWhitespace_ = true;
  wchar_t errorMessage_[100] = {};
  wchar_t errorLocation_[50] = {};
};

}  // namespace SkinUI
