// StatusCallback: the one way background work reports to its owner. Worker
// threads (downloaders, the package and uninstaller runners) call it with a
// numeric code, a value and a text; each code family documents its value and
// text. The callable runs on the reporting thread, so a receiver that touches
// the window must hand the report over to the UI thread itself.
#pragma once

#include <functional>

using StatusCallback = std::function<void(int code, double value, const wchar_t* text)>;
