// Bounded helpers for the fixed-size UTF-16 fields of the device records:
// they never write past `units` units and always leave a terminated text
// (when units > 0).
#pragma once
#include <cstddef>

// Length in units, not counting the terminator.
std::size_t WideLength(const char16_t* text);

// Copies at most `count` units of src (fewer when src ends first).
void CopyWide(char16_t* dst, std::size_t units, const char16_t* src, std::size_t count = ~std::size_t(0));

// Appends src to the text in dst, cut to fit.
void AppendWide(char16_t* dst, std::size_t units, const char16_t* src);

// 1 when `text` begins with all of `prefix` (an empty prefix begins
// everything), comparing units exactly.
int WideBeginsWith(const char16_t* text, const char16_t* prefix);

// The last occurrence of the unit in text, or null.
const char16_t* WideFindLast(const char16_t* text, char16_t unit);
// The first occurrence of the unit in text, or null.
const char16_t* WideFindFirst(const char16_t* text, char16_t unit);
