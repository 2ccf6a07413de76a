// Bounded text helpers for the fixed-size 8-bit buffers: they never write
// past `size` bytes and always leave a terminated text (when size > 0).
#pragma once
#include <cstddef>

// Copies src into dst. Gives 1 when all of it fitted, 0 when it was cut.
int CopyText(char* dst, std::size_t size, const char* src);

// Appends src to the text in dst. Gives 1 when it fitted, 0 when cut.
int AppendText(char* dst, std::size_t size, const char* src);

// dst := folder, a backslash unless folder already ends in one (or is
// empty), then name. Gives 1 when it fitted, 0 when cut.
int JoinPath(char* dst, std::size_t size, const char* folder, const char* name);

// Appends a backslash unless the text is empty or already ends in one.
int AppendBackslash(char* dst, std::size_t size);

// snprintf into the buffer. Gives 1 when it fitted, 0 when cut.
int FormatText(char* dst, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Copies src into dst like CopyText, but reads at most src_size bytes of
// src: for a buffer another thread may be rewriting, or one that may lack
// its terminator. Gives 1 when all of src fitted, 0 when it was cut.
int CopyTextBounded(char* dst, std::size_t size, const char* src, std::size_t src_size);
