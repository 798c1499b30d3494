// Text, URL and digest helpers: conversions between UTF-16 and narrow code
// pages, URL percent-encoding, the MD5 of a file and the digest carried in a
// package URL, trimming, replacing, and creating directory chains. All are
// stateless and thread-safe; failures give empty strings or false.
#pragma once

#include <windows.h>

#include <string>

namespace Utils {

// Code-page conversions (CP_ACP for paths and trace text, CP_UTF8 for URLs).
std::wstring ToWide(const std::string& text, UINT codePage);
std::string ToNarrow(const std::wstring& text, UINT codePage);

// Printable ASCII except blank stays, blank becomes "+", every other UTF-8
// byte becomes "%XX". Reserved characters and existing escapes pass through.
std::wstring UrlEncode(const std::wstring& url);

// MD5 of a file as 32 lower-case hex characters; empty when the path is empty
// or the file cannot be read. Uses the system's hash provider (CNG).
std::string FileMd5Hex(const std::string& path);

// An MD5 computed piece by piece (the system's hash provider), for data that
// is hashed while it is written. Not thread-safe; one owner at a time.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  bool Update(const void* data, size_t size);
  // Hashes the whole file (read in large pieces); false when it cannot be read.
  bool UpdateFromFile(const std::string& path);
  // The digest as 32 lower-case hex characters, then starts over. Empty
  // when the provider failed at any point.
  std::string FinishHex();
  void Reset();

 private:
  void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
  void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
  bool failed_ = false;
};

// The last directory component of a URL ("http://h/x/<md5>/file.exe" gives
// "<md5>"); empty when the URL has fewer than two slashes.
std::string Md5FromUrl(const std::string& url);

// Removes leading and trailing characters for which iswspace is true.
std::wstring Trim(const std::wstring& text);

// Replaces every occurrence of `search`, searching from the start after each
// replacement. A replacement that contains `search` is applied in one
// left-to-right pass instead, since searching again would never end.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& search,
                        const std::wstring& replacement);

// Creates every missing directory of a backslash-separated path. False when
// the path is longer than 260 characters or a directory cannot be created.
bool CreateDirectoryRecursive(const std::wstring& path);

}  // namespace Utils
