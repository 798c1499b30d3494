// StatusCallback: how the download, install and uninstall stages report.
// Each call carries a numeric code, a value and a text whose meanings the
// reporting component defines; it is made on the reporter's own thread.
#pragma once

#include <functional>

using StatusCallback = std::function<void(int code, double value, const wchar_t* text)>;
