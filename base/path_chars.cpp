#include "base/path_chars.h"

#include <cstring>
#include <type_traits>

#include "base/text.h"
#include "base/wide_text.h"
#include "platform/system.h"

std::size_t CharBytes(AnsiChars* chars, const char* p) {
    auto byte = static_cast<unsigned char>(*p);
    if (byte == 0) return 0;
    if (byte < 0x80) return 1;
    if (!chars->asked) {
        chars->asked = 1;
        plat::AnsiLeadBytes page;
        chars->known = plat::AnsiCodePageLeadBytes(&page);
        if (chars->known) std::memcpy(chars->lead, page.lead, sizeof chars->lead);
    }
    return chars->lead[byte] && p[1] != '\0' ? 2 : 1;
}

std::size_t CharBytes(WideChars* /*chars*/, const char16_t* p) { return *p == u'\0' ? 0 : 1; }

int CharsUnknown(const AnsiChars& chars) { return chars.asked && !chars.known; }

int CharsUnknown(const WideChars& /*chars*/) { return 0; }

namespace {

// The ASCII character `c` stands for, or 0 for any other.
char AsciiOf(char c) { return c; }
char AsciiOf(char16_t c) { return c < 0x80 ? static_cast<char>(c) : '\x7F'; }

}  // namespace

template <typename C>
int HasCharOf(CharsOf<C>* chars, const C* text, const char* set) {
    for (std::size_t n; (n = CharBytes(chars, text)) != 0; text += n)
        if (n == 1 && AsciiOf(*text) != '\0' && std::strchr(set, AsciiOf(*text)) != nullptr) return 1;
    return 0;
}

template <typename C>
const C* LastBackslash(const C* text) {
    CharsOf<C> chars;
    const C* last = nullptr;
    for (std::size_t n; (n = CharBytes(&chars, text)) != 0; text += n)
        if (n == 1 && *text == '\\') last = text;
    return last;
}

template <typename C>
const C* LastComponent(const C* path) {
    const C* cut = LastBackslash(path);
    return cut != nullptr ? cut + 1 : path;
}

namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The device name's digit: 0-9, or the superscripts Windows also takes.
template <typename C>
bool IsDeviceDigit(C c) {
    auto unit = static_cast<std::make_unsigned_t<C>>(c);
    return (unit >= '0' && unit <= '9') || unit == 0xB9 || unit == 0xB2 || unit == 0xB3;
}

// The device's ASCII name is the component's first `length` characters,
// in either letter case.
template <typename C>
bool IsAsciiName(const char* ascii, const C* component, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (ascii[i] == '\0' || FoldAscii(ascii[i]) != FoldAscii(AsciiOf(component[i]))) return false;
    return true;
}

}  // namespace

int SameLetters(AnsiChars* chars, const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0, n; i < length; i += n) {
        n = CharBytes(chars, a + i);
        if (n == 0 || i + n > length) return 0;
        if (n == 2 ? a[i] != b[i] || a[i + 1] != b[i + 1] : FoldAscii(a[i]) != FoldAscii(b[i])) return 0;
    }
    return 1;
}

int SameText(const char* a, const char* b) {
    std::size_t length = std::strlen(a);
    AnsiChars chars;
    return length == std::strlen(b) && SameLetters(&chars, a, b, length);
}

template <typename C>
int IsDeviceName(const C* component, std::size_t length) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "GLOBALROOT"};
    std::size_t stem = 0;
    while (stem < length && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    // Read by the device's ASCII characters: no code page to ask, and a
    // two-byte character's first byte matches no letter.
    for (const char* device : kDevices)
        if (std::strlen(device) == stem && IsAsciiName(device, component, stem)) return 1;
    if (stem == 4 && (IsAsciiName("COM", component, 3) || IsAsciiName("LPT", component, 3)))
        return IsDeviceDigit(component[3]) ? 1 : 0;
    return 0;
}

template <typename C>
int JoinPathByChars(C* dst, std::size_t size, const C* folder, const C* name) {
    int fitted = CopyText(dst, size, folder);
    std::size_t length = TextLength(dst);
    if (length > 0 && LastBackslash<C>(dst) != dst + length - 1) fitted &= AppendAscii(dst, size, "\\");
    fitted &= AppendText(dst, size, name);
    return fitted;
}

template <typename C>
void CutAtLastBackslash(C* text) {
    const C* last = LastBackslash<C>(text);
    if (last != nullptr) text[last - text] = '\0';
}

// The two forms the program uses: ANSI for its own paths, UTF-16 for the
// folders a user names.
#define MIXO_PATH_CHARS_FORMS(C)                                                   \
    template int HasCharOf<C>(CharsOf<C>*, const C*, const char*);                 \
    template const C* LastBackslash<C>(const C*);                                  \
    template const C* LastComponent<C>(const C*);                                  \
    template int IsDeviceName<C>(const C*, std::size_t);                           \
    template int JoinPathByChars<C>(C*, std::size_t, const C*, const C*);          \
    template void CutAtLastBackslash<C>(C*);
MIXO_PATH_CHARS_FORMS(char)
MIXO_PATH_CHARS_FORMS(char16_t)
#undef MIXO_PATH_CHARS_FORMS
