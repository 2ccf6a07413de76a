// Paths in the system's ANSI code page, read by characters: in the
// Japanese, Chinese and Korean code pages a character can take two bytes,
// and its second byte can be '\\', '|' or a letter. The code page's lead
// bytes are asked of the system the first time a byte above 0x7F comes, so
// ASCII text costs no asking. Where the system cannot tell, every byte
// counts as a character of its own and CharsUnknown says so: checks then
// refuse.
#pragma once
#include <cstddef>

struct AnsiChars {
    int asked = 0;
    int known = 0;
    unsigned char lead[256] = {};
};

// The bytes the character at `p` takes: 0 at the end, 2 for a lead byte
// with a byte after it, else 1.
std::size_t CharBytes(AnsiChars* chars, const char* p);

// A byte above 0x7F came and the system could not tell its code page.
int CharsUnknown(const AnsiChars& chars);

// The text holds one of the (ASCII) characters of `set` as a character of
// its own, not as the second byte of another.
int HasCharOf(AnsiChars* chars, const char* text, const char* set);

// The last backslash of the text that is a character of its own; null
// when there is none.
const char* LastBackslash(const char* text);

// The text after LastBackslash; the whole text when there is none.
const char* LastComponent(const char* path);

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
int IsDeviceName(const char* component, std::size_t length);

// JoinPath (base/text.h) by characters: a folder whose last character ends
// in the byte 0x5C still gets its backslash.
int JoinPathByChars(char* dst, std::size_t size, const char* folder, const char* name);

// Cuts the text at its last backslash character (the backslash removed);
// a text without one stays as it is.
void CutAtLastBackslash(char* text);
