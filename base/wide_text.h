// Bounded helpers for the fixed-size UTF-16 buffers (device records,
// endpoint names): like those of base/text.h they never write past
// `units` units and always leave a terminated text (when units > 0).
// The copying ones give 1 when all of it fitted, 0 when it was cut.
#pragma once
#include <cstddef>

// Length in units, not counting the terminator; 0 for null.
std::size_t WideLength(const char16_t* text);

// Copies at most `count` units of src (fewer when src ends first).
int CopyWide(char16_t* dst, std::size_t units, const char16_t* src, std::size_t count = ~std::size_t(0));

// Appends src to the text in dst, cut to fit.
int AppendWide(char16_t* dst, std::size_t units, const char16_t* src);

// Appends a signed number in decimal (the wide "%i" form).
int AppendWideNumber(char16_t* dst, std::size_t units, int number);

// 1 when `text` begins with all of `prefix` (an empty prefix begins
// everything), comparing units exactly.
int WideBeginsWith(const char16_t* text, const char16_t* prefix);

// The last occurrence of the unit in text, or null.
const char16_t* WideFindLast(const char16_t* text, char16_t unit);
// The first occurrence of the unit in text, or null.
const char16_t* WideFindFirst(const char16_t* text, char16_t unit);

// The text helpers under the names of base/text.h, so that path logic
// written once over the character type (char or char16_t) serves both.
int CopyText(char16_t* dst, std::size_t units, const char16_t* src);
int AppendText(char16_t* dst, std::size_t units, const char16_t* src);
// Appends an ASCII text (the program's own names) to either kind of text.
int AppendAscii(char* dst, std::size_t size, const char* ascii);
int AppendAscii(char16_t* dst, std::size_t units, const char* ascii);
std::size_t TextLength(const char* text);
std::size_t TextLength(const char16_t* text);
