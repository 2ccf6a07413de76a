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

int JoinPathByChars(char* dst, std::size_t size, const char* folder, const char* name) {
    int fitted = CopyText(dst, size, folder);
    std::size_t length = std::strlen(dst);
    if (length > 0 && LastBackslash(dst) != dst + length - 1) fitted &= AppendText(dst, size, "\\");
    fitted &= AppendText(dst, size, name);
    return fitted;
}

void CutAtLastBackslashByChars(char* text) {
    const char* last = LastBackslash(text);
    if (last != nullptr) text[last - text] = '\0';
}
