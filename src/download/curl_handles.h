// Owners for libcurl's easy handles and header lists, and the settings every
// transfer of the download engine shares.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "utils/scoped.h"

namespace Download {

struct CurlTraits {
  static CURL* Invalid() { return nullptr; }
  static bool IsValid(CURL* h) { return h != nullptr; }
  static void Close(CURL* h) { curl_easy_cleanup(h); }
};
using ScopedCurl = Utils::ScopedObject<CURL*, CurlTraits>;

struct CurlListTraits {
  static curl_slist* Invalid() { return nullptr; }
  static bool IsValid(curl_slist* l) { return l != nullptr; }
  static void Close(curl_slist* l) { curl_slist_free_all(l); }
};
using ScopedCurlList = Utils::ScopedObject<curl_slist*, CurlListTraits>;

// libcurl's receive buffer for downloads: larger than its default, so a fast
// link costs far fewer socket reads (each a system call, dear under Wine).
constexpr long kReceiveBuffer = 128 * 1024;

// A write function that takes and drops everything (probing requests).
size_t DiscardBody(char* data, size_t size, size_t count, void* user);

// Applies the configured CA file (see SetCaInfoFile); returns the option's
// result (CURLE_OK when none is configured).
CURLcode ApplyTlsSettings(CURL* curl);

// libcurl's text for a result (or for one of the clients' own negative
// codes), widened with the ANSI code page for the trace.
std::wstring ErrorText(int result);

// Size of a file by its narrow (ANSI) path; -1 when it cannot be read.
int64_t FileSize(const std::string& narrowPath);

}  // namespace Download
