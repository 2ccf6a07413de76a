#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int CopyText(char* dst, std::size_t size, const char* src) {
    if (size == 0) return 0;
    dst[0] = '\0';
    return AppendText(dst, size, src);
}

int AppendText(char* dst, std::size_t size, const char* src) {
    if (size == 0) return 0;
    std::size_t used = strnlen(dst, size);
    if (used >= size) {  // not terminated: terminate it, count as cut
        dst[size - 1] = '\0';
        return 0;
    }
    if (src == nullptr) return 1;
    std::size_t add = std::strlen(src);
    std::size_t room = size - 1 - used;
    std::size_t n = add < room ? add : room;
    std::memcpy(dst + used, src, n);
    dst[used + n] = '\0';
    return n == add;
}

int AppendBackslash(char* dst, std::size_t size) {
    std::size_t len = strnlen(dst, size);
    if (len == 0 || dst[len - 1] == '\\') return 1;
    return AppendText(dst, size, "\\");
}

int JoinPath(char* dst, std::size_t size, const char* folder, const char* name) {
    int fitted = CopyText(dst, size, folder);
    fitted &= AppendBackslash(dst, size);
    fitted &= AppendText(dst, size, name);
    return fitted;
}

int FormatText(char* dst, std::size_t size, const char* format, ...) {
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(n) < size;
}

int CopyTextBounded(char* dst, std::size_t size, const char* src, std::size_t src_size) {
    if (size == 0) return 0;
    std::size_t n = 0;
    while (n < src_size && n + 1 < size && src[n] != '\0') {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = '\0';
    return n == src_size || src[n] == '\0';
}
