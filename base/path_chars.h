// Paths read by characters, in the system's ANSI code page or in UTF-16.
// In the Japanese, Chinese and Korean code pages a character can take two
// bytes, and its second byte can be '\\', '|' or a letter. The code page's
// lead bytes are asked of the system the first time a byte above 0x7F
// comes, so ASCII text costs no asking. Where the system cannot tell, every
// byte counts as a character of its own and CharsUnknown says so: checks
// then refuse. In UTF-16 every unit stands for itself (the halves of a
// surrogate pair are no ASCII character), so nothing is asked.
// Each helper is one piece of logic over the character type: the product's
// own paths are ANSI, the folders a user names UTF-16.
#pragma once
#include <cstddef>

struct AnsiChars {
    int asked = 0;
    int known = 0;
    unsigned char lead[256] = {};
};
struct WideChars {};

// The reader of the character type's texts.
template <typename C>
struct CharsFor;
template <>
struct CharsFor<char> {
    using type = AnsiChars;
};
template <>
struct CharsFor<char16_t> {
    using type = WideChars;
};
template <typename C>
using CharsOf = typename CharsFor<C>::type;

// The bytes the character at `p` takes: 0 at the end, 2 for a lead byte
// with a byte after it, else 1.
std::size_t CharBytes(AnsiChars* chars, const char* p);
// In UTF-16: 0 at the end, else 1 (a unit).
std::size_t CharBytes(WideChars* chars, const char16_t* p);

// A byte above 0x7F came and the system could not tell its code page.
int CharsUnknown(const AnsiChars& chars);
int CharsUnknown(const WideChars& chars);

// The text holds one of the (ASCII) characters of `set` as a character of
// its own, not as the second byte of another.
template <typename C>
int HasCharOf(CharsOf<C>* chars, const C* text, const char* set);

// The last backslash of the text that is a character of its own; null
// when there is none.
template <typename C>
const C* LastBackslash(const C* text);

// The text after LastBackslash; the whole text when there is none.
template <typename C>
const C* LastComponent(const C* path);

// The first `length` bytes of a and b are the same characters: ASCII
// letters in either case, a two-byte character byte for byte (its second
// byte may look like a letter). `length` must end at a character of a.
// The one letter-case rule of the program's names and paths.
int SameLetters(AnsiChars* chars, const char* a, const char* b, std::size_t length);

// The whole texts are the same by SameLetters.
int SameText(const char* a, const char* b);

// A path component of `length` bytes that Windows takes as a device
// wherever it stands, or "GLOBALROOT": its name before the first dot, with
// the blanks before that dot dropped, is CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, GLOBALROOT, or COM or LPT with a digit 0-9 or a superscript
// 1-3 (bytes B9, B2, B3 of the Western code page), in any letter case and
// whatever extension follows.
// In UTF-16 the superscripts are the same numbers (U+00B9, U+00B2, U+00B3).
template <typename C>
int IsDeviceName(const C* component, std::size_t length);

// JoinPath (base/text.h) by characters: a folder whose last character ends
// in the byte 0x5C still gets its backslash.
template <typename C>
int JoinPathByChars(C* dst, std::size_t size, const C* folder, const C* name);

// Cuts the text at its last backslash character (the backslash removed);
// a text without one stays as it is.
template <typename C>
void CutAtLastBackslash(C* text);
