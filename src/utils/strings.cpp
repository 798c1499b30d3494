#include "utils/strings.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <vector>

#include "utils/scoped.h"

namespace Utils {

std::wstring ToWide(const std::string& text, UINT codePage) {
  const int units = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(units), L'\0');
  if (::MultiByteToWideChar(codePage, 0, text.c_str(), -1, result.data(), units) <= 0) return std::wstring();
  result.resize(wcslen(result.c_str()));
  return result;
}

std::string ToNarrow(const std::wstring& text, UINT codePage) {
  const int bytes = ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string result(static_cast<size_t>(bytes), '\0');
  if (::WideCharToMultiByte(codePage, 0, text.c_str(), -1, result.data(), bytes, nullptr, nullptr) <= 0)
    return std::string();
  result.resize(strlen(result.c_str()));
  return result;
}

std::wstring UrlEncode(const std::wstring& url) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string bytes = ToNarrow(url, CP_UTF8);
  std::string encoded;
  encoded.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    if (c >= 0x21 && c <= 0x7E) {
      encoded += static_cast<char>(c);
    } else if (c == 0x20) {
      encoded += '+';
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return ToWide(encoded, CP_UTF8);
}

Md5::Md5() { Reset(); }

Md5::~Md5() {
  if (hash_) ::BCryptDestroyHash(hash_);
  if (algorithm_) ::BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Md5::Reset() {
  if (hash_) ::BCryptDestroyHash(hash_);
  hash_ = nullptr;
  failed_ = false;
  if (!algorithm_ && !BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
    algorithm_ = nullptr;
    failed_ = true;
    return;
  }
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0))) {
    hash_ = nullptr;
    failed_ = true;
  }
}

bool Md5::Update(const void* data, size_t size) {
  auto* bytes = static_cast<const unsigned char*>(data);
  while (!failed_ && size > 0) {
    const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
    if (!BCRYPT_SUCCESS(::BCryptHashData(hash_, const_cast<unsigned char*>(bytes), piece, 0))) failed_ = true;
    bytes += piece;
    size -= piece;
  }
  return !failed_;
}

bool Md5::UpdateFromFile(const std::string& path) {
  ScopedFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  // Large unbuffered reads keep the per-call cost of the provider out of the way.
  constexpr size_t kChunk = 1 << 20;
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunk]);
  if (!buffer) return false;
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  for (;;) {
    const size_t got = std::fread(buffer.get(), 1, kChunk, file.get());
    if (got == 0) break;
    if (!Update(buffer.get(), got)) return false;
  }
  return !std::ferror(file.get());
}

std::string Md5::FinishHex() {
  unsigned char digest[16];
  const bool ok = !failed_ && BCRYPT_SUCCESS(::BCryptFinishHash(hash_, digest, sizeof digest, 0));
  Reset();
  if (!ok) return std::string();
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 0x0F];
  }
  return hex;
}

std::string FileMd5Hex(const std::string& path) {
  if (path.empty()) return std::string();
  Md5 md5;
  if (!md5.UpdateFromFile(path)) return std::string();
  return md5.FinishHex();
}

std::string Md5FromUrl(const std::string& url) {
  if (url.empty()) return std::string();
  const size_t last = url.rfind('/');
  if (last == std::string::npos || last == 0) return std::string();
  const size_t previous = url.rfind('/', last - 1);
  if (previous == std::string::npos) return std::string();
  return url.substr(previous + 1, last - previous - 1);
}

std::wstring Trim(const std::wstring& text) {
  size_t begin = 0;
  while (begin < text.size() && std::iswspace(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& search,
                        const std::wstring& replacement) {
  std::wstring result(text);
  if (search.empty()) return result;
  if (replacement.find(search) != std::wstring::npos) {
    // Searching again from the start would never end; replace in one pass.
    for (size_t at = result.find(search); at != std::wstring::npos;
         at = result.find(search, at + replacement.size()))
      result.replace(at, search.size(), replacement);
    return result;
  }
  for (size_t at = result.find(search); at != std::wstring::npos; at = result.find(search))
    result.replace(at, search.size(), replacement);
  return result;
}

namespace {
bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

bool CreateDirectoryRecursive(const std::wstring& path) {
  if (path.size() > MAX_PATH) return false;
  for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    const std::wstring prefix = path.substr(0, at + 1);
    if (!PathExists(prefix) && !::CreateDirectoryW(prefix.c_str(), nullptr)) return false;
  }
  const size_t lastSlash = path.rfind(L'\\');
  const bool textAfterLastSlash = lastSlash == std::wstring::npos ? !path.empty() : lastSlash + 1 < path.size();
  if (textAfterLastSlash && !PathExists(path) && !::CreateDirectoryW(path.c_str(), nullptr)) return false;
  return true;
}

}  // namespace Utils
