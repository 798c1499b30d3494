// In-place parser of the skin markup.
#include "skinui/markup.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "skinui/skin_archive.h"

namespace SkinUI {

namespace {

bool IsSpace(wchar_t ch) { return ch != 0 && ch <= L' '; }

void SkipWhitespace(wchar_t*& p) {
  while (IsSpace(*p)) ++p;
}

void SkipWhitespace(const wchar_t*& p, const wchar_t* end) {
  while (p < end && IsSpace(*p)) ++p;
}

bool IsNameChar(wchar_t ch) { return ch == L'_' || ch == L':' || std::iswalnum(ch); }

void SkipName(wchar_t*& p) {
  while (*p != 0 && IsNameChar(*p)) ++p;
}

// Decodes one entity after an ampersand; an unknown one leaves the
// ampersand as written.
void DecodeEntity(wchar_t*& p, wchar_t*& dest) {
  static const struct {
    const wchar_t* name;
    size_t length;
    wchar_t ch;
  } kEntities[] = {
      {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
  };
  for (const auto& entity : kEntities) {
    if (std::wcsncmp(p, entity.name, entity.length) == 0) {
      *dest++ = entity.ch;
      p += entity.length;
      return;
    }
  }
  *dest++ = L'&';
}

}  // namespace

// ---- CMarkupElement ----

const wchar_t* CMarkupElement::GetName() const {
  if (document_ == nullptr) return nullptr;
  return document_->text_.get() + document_->elements_[index_].start;
}

CMarkupElement CMarkupElement::GetChild() const {
  if (document_ == nullptr) return CMarkupElement();
  const uint32_t child = document_->elements_[index_].child;
  return child == 0 ? CMarkupElement() : CMarkupElement(document_, child);
}

CMarkupElement CMarkupElement::GetSibling() const {
  if (document_ == nullptr) return CMarkupElement();
  const uint32_t next = document_->elements_[index_].next;
  return next == 0 ? CMarkupElement() : CMarkupElement(document_, next);
}

CMarkupElement CMarkupElement::GetParent() const {
  if (document_ == nullptr) return CMarkupElement();
  const uint32_t parent = document_->elements_[index_].parent;
  return parent == 0 ? CMarkupElement() : CMarkupElement(document_, parent);
}

bool CMarkupElement::HasChildren() const {
  return document_ != nullptr && document_->elements_[index_].child != 0;
}

int CMarkupElement::GetAttributeCount() const {
  if (document_ == nullptr) return 0;
  MapAttributes();
  return attributeCount_;
}

const wchar_t* CMarkupElement::GetAttributeName(int index) const {
  if (document_ == nullptr) return nullptr;
  MapAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return document_->text_.get() + attributes_[index].name;
}

const wchar_t* CMarkupElement::GetAttributeValue(int index) const {
  if (document_ == nullptr) return nullptr;
  MapAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return document_->text_.get() + attributes_[index].value;
}

const wchar_t* CMarkupElement::GetAttributeValue(const wchar_t* name) const {
  if (document_ == nullptr || name == nullptr) return nullptr;
  MapAttributes();
  const wchar_t* text = document_->text_.get();
  for (int i = 0; i < attributeCount_; ++i) {
    if (std::wcscmp(text + attributes_[i].name, name) == 0) return text + attributes_[i].value;
  }
  return nullptr;
}

bool CMarkupElement::GetAttributeValue(const wchar_t* name, wchar_t* buffer, size_t bufferSize) const {
  const wchar_t* value = GetAttributeValue(name);
  if (value == nullptr) return false;
  if (buffer != nullptr && bufferSize > 0) {
    const size_t count = std::min(std::wcslen(value), bufferSize - 1);
    std::wmemcpy(buffer, value, count);
    buffer[count] = 0;
  }
  return true;
}

void CMarkupElement::MapAttributes() const {
  if (mapped_) return;
  mapped_ = true;
  attributeCount_ = 0;
  const wchar_t* text = document_->text_.get();
  const auto& element = document_->elements_[index_];
  const wchar_t* end = text + element.data;
  const wchar_t* p = text + element.start;
  p += std::wcslen(p) + 1;  // the name and its terminator
  // Every step stays before the element's data: the text after it belongs
  // to the element's content, not to its start tag.
  while (p < end && attributeCount_ < kMaxAttributes) {
    SkipWhitespace(p, end);
    if (p >= end) break;
    const wchar_t* name = p;
    p += std::wcslen(p) + 1;
    SkipWhitespace(p, end);
    if (p >= end || *p != L'"') break;
    ++p;
    attributes_[attributeCount_].name = static_cast<uint32_t>(name - text);
    attributes_[attributeCount_].value = static_cast<uint32_t>(p - text);
    ++attributeCount_;
    p += std::wcslen(p) + 1;  // the value and its terminator
  }
}

// ---- CMarkupDocument ----

CMarkupDocument::CMarkupDocument(const wchar_t* text) {
  if (text != nullptr) Load(text);
}

void CMarkupDocument::Release() {
  text_.reset();
  textLength_ = 0;
  elements_.clear();
  elements_.shrink_to_fit();
}

void CMarkupDocument::ClearErrors() {
  errorMessage_[0] = 0;
  errorLocation_[0] = 0;
}

CMarkupElement CMarkupDocument::GetRoot() const {
  if (elements_.size() < 2) return CMarkupElement();
  return CMarkupElement(this, 1);
}

bool CMarkupDocument::Load(const wchar_t* text) {
  Release();
  ClearErrors();
  if (text == nullptr) text = L"";
  const size_t length = std::wcslen(text);
  text_.reset(new wchar_t[length + 1]);
  std::wmemcpy(text_.get(), text, length + 1);
  textLength_ = length;
  if (!Parse()) {
    Release();
    return false;
  }
  return true;
}

bool CMarkupDocument::LoadFromMemory(const void* bytes, size_t length, int encoding) {
  Release();
  ClearErrors();
  const auto* data = static_cast<const uint8_t*>(bytes);
  if (data == nullptr) length = 0;
  std::unique_ptr<wchar_t[]> text;
  size_t count = 0;
  if (encoding == kEncodingUtf16) {
    // A byte-order mark is required; big-endian pairs are swapped.
    const bool big = length >= 2 && data[0] == 0xFE && data[1] == 0xFF;
    const bool little = length >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (!big && !little) {
      Fail(L"Missing byte order mark", nullptr);
      return false;
    }
    count = (length - 2) / 2;
    text.reset(new wchar_t[count + 1]);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t a = data[2 + 2 * i];
      const uint8_t b = data[3 + 2 * i];
      text[i] = static_cast<wchar_t>(big ? (a << 8 | b) : (b << 8 | a));
    }
  } else {
    UINT codePage = CP_UTF8;
    if (encoding == kEncodingAnsi) {
      codePage = CP_ACP;
    } else if (length > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
      data += 3;
      length -= 3;
    }
    if (length > 0x7FFFFFFF) {
      Fail(L"File too large", nullptr);
      return false;
    }
    const int needed = length == 0 ? 0
                                   : ::MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(data),
                                                           static_cast<int>(length), nullptr, 0);
    count = static_cast<size_t>(needed);
    text.reset(new wchar_t[count + 1]);
    if (needed > 0) {
      ::MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(data), static_cast<int>(length), text.get(),
                            needed);
    }
  }
  text[count] = 0;
  text_ = std::move(text);
  textLength_ = count;
  if (!Parse()) {
    Release();
    return false;
  }
  return true;
}

bool CMarkupDocument::LoadFromFile(const std::wstring& name, int encoding) {
  Release();
  ClearErrors();
  std::vector<uint8_t> bytes;
  const SkinFileResult result = ReadSkinFile(name, kMarkupSizeLimit, &bytes);
  if (result != SkinFileResult::Ok) {
    Fail(SkinFileMessage(result), nullptr);
    return false;
  }
  return LoadFromMemory(bytes.data(), bytes.size(), encoding);
}

bool CMarkupDocument::Fail(const wchar_t* message, const wchar_t* location) {
  std::wcsncpy(errorMessage_, message, 99);
  errorMessage_[99] = 0;
  errorLocation_[0] = 0;
  if (location != nullptr) {
    size_t i = 0;
    for (; i < 49 && location[i] != 0; ++i) errorLocation_[i] = location[i];
    errorLocation_[i] = 0;
  }
  return false;
}

uint32_t CMarkupDocument::AppendElement(const wchar_t* start, uint32_t parent) {
  if (elements_.size() == elements_.capacity()) {
    const size_t capacity = elements_.capacity();
    elements_.reserve(capacity + capacity / 2 + 500);
  }
  elements_.push_back(Element{Offset(start), 0, 0, parent, 0});
  return static_cast<uint32_t>(elements_.size() - 1);
}

bool CMarkupDocument::Parse() {
  elements_.clear();
  AppendElement(text_.get(), 0);  // the document itself
  ClearErrors();
  wchar_t* p = text_.get();
  return ParseElements(p, 0, 0);
}

bool CMarkupDocument::ParseElements(wchar_t*& p, uint32_t parent, int depth) {
  // Each level of nesting is one level of recursion: a bound keeps garbage
  // input from exhausting the stack.
  if (depth > kMaxDepth) return Fail(L"Elements nested too deeply", p);
  uint32_t previous = 0;
  for (;;) {
    SkipWhitespace(p);
    // A document may end inside its root element.
    if (*p == 0 && parent <= 1) return true;
    if (*p != L'<') return Fail(L"Expected start tag", p);
    if (p[1] == L'/') return true;  // the parent's end tag
    *p++ = 0;
    SkipWhitespace(p);
    if (*p == L'!' || *p == L'?') {
      // Comments end at the first "->", processing instructions at "?>";
      // an unterminated one runs to the end of the text.
      const wchar_t close = *p == L'!' ? L'-' : L'?';
      while (*p != 0 && !(p[0] == close && p[1] == L'>')) ++p;
      if (*p != 0) p += 2;
      SkipWhitespace(p);
      continue;
    }

    const uint32_t index = AppendElement(p, parent);
    if (previous != 0) {
      elements_[previous].next = index;
    } else if (parent != 0) {
      elements_[parent].child = index;
    }
    previous = index;

    wchar_t* name = p;
    SkipName(p);
    wchar_t* nameEnd = p;
    if (*p == 0) return Fail(L"Error parsing element name", p);
    if (!ParseAttributes(p)) return false;
    SkipWhitespace(p);
    if (p[0] == L'/' && p[1] == L'>') {
      elements_[index].data = Offset(p);
      *p = 0;
      p += 2;
    } else {
      if (*p != L'>') return Fail(L"Expected start-tag closing", p);
      ++p;
      elements_[index].data = Offset(p);
      wchar_t* dest = p;
      ParseCharacterData(p, dest, L'<');
      if (*p == 0 && parent <= 1) {
        // The document ends inside this element: its name still needs its
        // terminator, or it would run on into the text.
        *dest = 0;
        *nameEnd = 0;
        return true;
      }
      if (*p != L'<') return Fail(L"Expected end-tag start", p);
      if (p[1] != L'/') {
        if (!ParseElements(p, index, depth + 1)) return false;
      }
      if (p[0] == L'<' && p[1] == L'/') {
        *dest = 0;
        *p = L' ';
        p += 2;
        SkipWhitespace(p);
        const size_t nameLength = static_cast<size_t>(nameEnd - name);
        if (std::wcsncmp(p, name, nameLength) != 0) return Fail(L"Unmatched closing tag", p);
        p += nameLength;
        SkipWhitespace(p);
        if (*p != L'>') return Fail(L"Unmatched closing tag", p);
        ++p;
      }
    }
    *nameEnd = 0;
    SkipWhitespace(p);
  }
}

bool CMarkupDocument::ParseAttributes(wchar_t*& p) {
  if (*p == L'>' || *p == L'/') return true;
  *p++ = 0;  // ends the element name
  SkipWhitespace(p);
  while (*p != 0 && *p != L'>' && *p != L'/') {
    SkipName(p);
    wchar_t* nameEnd = p;
    SkipWhitespace(p);
    if (*p != L'=') return Fail(L"Error while parsing attributes", p);
    *p++ = L' ';
    *nameEnd = 0;
    SkipWhitespace(p);
    if (*p != L'"') return Fail(L"Expected attribute value", p);
    ++p;
    wchar_t* dest = p;
    ParseCharacterData(p, dest, L'"');
    if (*p == 0) return Fail(L"Error while parsing attribute string", p);
    *dest = 0;
    if (dest != p) *p = L' ';
    ++p;
    SkipWhitespace(p);
  }
  return true;
}

void CMarkupDocument::ParseCharacterData(wchar_t*& p, wchar_t*& dest, wchar_t end) {
  while (*p != 0 && *p != end) {
    if (*p == L'&') {
      while (*p == L'&') {
        ++p;
        DecodeEntity(p, dest);
      }
      if (*p == end) break;
      continue;
    }
    *dest++ = *p++;
  }
  // Spaces between the unescaped text and the read position keep the text
  // well formed for the terminators written later.
  for (wchar_t* fill = dest + 1; fill < p; ++fill) *fill = L' ';
}

}  // namespace SkinUI
