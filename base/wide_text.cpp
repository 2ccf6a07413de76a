#include "base/wide_text.h"

#include <cstring>

#include "base/text.h"

std::size_t WideLength(const char16_t* text) {
    std::size_t n = 0;
    if (text != nullptr)
        while (text[n] != u'\0') ++n;
    return n;
}

int CopyWide(char16_t* dst, std::size_t units, const char16_t* src, std::size_t count) {
    if (units == 0) return 0;
    std::size_t n = 0;
    if (src != nullptr)
        while (n < units - 1 && n < count && src[n] != u'\0') {
            dst[n] = src[n];
            ++n;
        }
    dst[n] = u'\0';
    return src == nullptr || n == count || src[n] == u'\0';
}

int AppendWide(char16_t* dst, std::size_t units, const char16_t* src) {
    if (units == 0) return 0;
    std::size_t used = 0;
    while (used < units && dst[used] != u'\0') ++used;
    if (used == units) {  // not terminated: terminate it, count as cut
        dst[units - 1] = u'\0';
        return 0;
    }
    return CopyWide(dst + used, units - used, src);
}

int AppendWideNumber(char16_t* dst, std::size_t units, int number) {
    char16_t digits[16];
    std::size_t n = 0;
    // Work on the magnitude as unsigned so that INT_MIN is no overflow.
    unsigned magnitude = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char16_t text[17];
    std::size_t length = 0;
    if (number < 0) text[length++] = u'-';
    while (n > 0) text[length++] = digits[--n];
    text[length] = 0;
    return AppendWide(dst, units, text);
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

int CopyText(char16_t* dst, std::size_t units, const char16_t* src) { return CopyWide(dst, units, src); }

int AppendText(char16_t* dst, std::size_t units, const char16_t* src) { return AppendWide(dst, units, src); }

int AppendAscii(char* dst, std::size_t size, const char* ascii) { return AppendText(dst, size, ascii); }

int AppendAscii(char16_t* dst, std::size_t units, const char* ascii) {
    char16_t wide[300];
    std::size_t n = 0;
    for (; ascii[n] != '\0'; ++n) {
        if (n + 1 == sizeof wide / sizeof wide[0]) return 0;
        wide[n] = static_cast<unsigned char>(ascii[n]);
    }
    wide[n] = u'\0';
    return AppendWide(dst, units, wide);
}

std::size_t TextLength(const char* text) { return std::strlen(text); }

std::size_t TextLength(const char16_t* text) { return WideLength(text); }
