// Attribute values: how the skins write numbers, lists of numbers, colours
// and booleans in attribute values, read the same way by the controls, the
// window attributes and the image descriptions.
#pragma once

#include <windows.h>

#include <string>

namespace SkinUI {

// A decimal integer; malformed text reads as 0, or as far as the digits go.
int ParseInt(const wchar_t* text);

// Up to `count` decimal integers, each followed by one separator character
// of any kind. Numbers missing at the end stay 0. Returns how many numbers
// had text to read from.
int ParseIntList(const wchar_t* text, int* values, int count);
RECT ParseRect(const wchar_t* text);   // "l,t,r,b"
SIZE ParseSize(const wchar_t* text);   // "cx,cy"

// Hexadecimal 0xAARRGGBB with an optional leading "#".
DWORD ParseColor(const wchar_t* text);

// True only for the exact text "true".
bool ParseBool(const wchar_t* text);

}  // namespace SkinUI
