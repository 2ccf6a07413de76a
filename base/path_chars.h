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

// JoinPath and CutAtLastBackslash (base/text.h), by characters: a folder
// whose last character ends in the byte 0x5C still gets its backslash.
int JoinPathByChars(char* dst, std::size_t size, const char* folder, const char* name);
void CutAtLastBackslashByChars(char* text);
