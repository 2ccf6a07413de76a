#include "devices/wide_text.h"

std::size_t WideLength(const char16_t* text) {
    std::size_t n = 0;
    while (text[n] != u'\0') ++n;
    return n;
}

void CopyWide(char16_t* dst, std::size_t units, const char16_t* src, std::size_t count) {
    if (units == 0) return;
    std::size_t n = 0;
    if (src != nullptr)
        while (n < units - 1 && n < count && src[n] != u'\0') {
            dst[n] = src[n];
            ++n;
        }
    dst[n] = u'\0';
}

void AppendWide(char16_t* dst, std::size_t units, const char16_t* src) {
    if (units == 0) return;
    std::size_t used = 0;
    while (used < units && dst[used] != u'\0') ++used;
    if (used == units) {
        dst[units - 1] = u'\0';
        return;
    }
    CopyWide(dst + used, units - used, src);
}

int WideBeginsWith(const char16_t* text, const char16_t* prefix) {
    for (std::size_t i = 0; prefix[i] != u'\0'; ++i)
        if (text[i] != prefix[i]) return 0;  // includes text ending first
    return 1;
}

const char16_t* WideFindLast(const char16_t* text, char16_t unit) {
    const char16_t* found = nullptr;
    for (; *text != u'\0'; ++text)
        if (*text == unit) found = text;
    return found;
}

const char16_t* WideFindFirst(const char16_t* text, char16_t unit) {
    for (; *text != u'\0'; ++text)
        if (*text == unit) return text;
    return nullptr;
}
