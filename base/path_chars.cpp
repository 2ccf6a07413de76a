#include "base/path_chars.h"

#include <cstring>

#include "base/text.h"
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

int CharsUnknown(const AnsiChars& chars) { return chars.asked && !chars.known; }

int HasCharOf(AnsiChars* chars, const char* text, const char* set) {
    for (std::size_t n; (n = CharBytes(chars, text)) != 0; text += n)
        if (n == 1 && std::strchr(set, *text) != nullptr) return 1;
    return 0;
}

const char* LastBackslash(const char* text) {
    AnsiChars chars;
    const char* last = nullptr;
    for (std::size_t n; (n = CharBytes(&chars, text)) != 0; text += n)
        if (n == 1 && *text == '\\') last = text;
    return last;
}

const char* LastComponent(const char* path) {
    const char* cut = LastBackslash(path);
    return cut != nullptr ? cut + 1 : path;
}

namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The device name's digit: 0-9, or the superscripts Windows also takes.
bool IsDeviceDigit(char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte >= '0' && byte <= '9') || byte == 0xB9 || byte == 0xB2 || byte == 0xB3;
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

int IsDeviceName(const char* component, std::size_t length) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "GLOBALROOT"};
    std::size_t stem = 0;
    while (stem < length && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    // Read by the device's ASCII characters: no code page to ask, and a
    // two-byte character's first byte matches no letter.
    AnsiChars ascii;
    for (const char* device : kDevices)
        if (std::strlen(device) == stem && SameLetters(&ascii, device, component, stem)) return 1;
    if (stem == 4 && (SameLetters(&ascii, "COM", component, 3) || SameLetters(&ascii, "LPT", component, 3)))
        return IsDeviceDigit(component[3]) ? 1 : 0;
    return 0;
}

int JoinPathByChars(char* dst, std::size_t size, const char* folder, const char* name) {
    int fitted = CopyText(dst, size, folder);
    std::size_t length = std::strlen(dst);
    if (length > 0 && LastBackslash(dst) != dst + length - 1) fitted &= AppendText(dst, size, "\\");
    fitted &= AppendText(dst, size, name);
    return fitted;
}

void CutAtLastBackslash(char* text) {
    const char* last = LastBackslash(text);
    if (last != nullptr) text[last - text] = '\0';
}
