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
