#include <windows.h>

#include <memory>

#include "platform/files.h"
#include "platform/win32/win32_open.h"

namespace plat {

int FileCopy(const char* from, const char* to, int fail_if_exists) {
    return CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) ? 1 : 0;
}

int FileSetAttributes(const char* path, std::uint32_t attributes) {
    return SetFileAttributesA(path, attributes) ? 1 : 0;
}

Handle FileOpenForRead(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | kOpenIdentifyOnly, nullptr);
}

Handle FileHoldOwnImage(Handle instance) {
    // The longest path Windows has; the ANSI name could be a best fit.
    constexpr DWORD kUnits = 32768;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[kUnits]);
    if (!path) return kInvalidHandle;
    DWORD length = GetModuleFileNameW(static_cast<HMODULE>(instance), path.get(), kUnits);
    if (length == 0 || length >= kUnits) return kInvalidHandle;
    return CreateFileW(path.get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | kOpenIdentifyOnly, nullptr);
}

int FileCopyFromHandle(Handle from, const char* to) {
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return 0;
    HANDLE target =
        CreateFileA(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | kOpenIdentifyOnly, nullptr);
    if (target == INVALID_HANDLE_VALUE) return 0;
    constexpr DWORD kChunk = 64 * 1024;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kChunk]);
    bool ok = buffer != nullptr;
    while (ok) {
        DWORD read = 0;
        if (!ReadFile(from, buffer.get(), kChunk, &read, nullptr)) ok = false;
        if (!ok || read == 0) break;
        DWORD written = 0;
        ok = WriteFile(target, buffer.get(), read, &written, nullptr) && written == read;
    }
    CloseHandle(target);
    if (!ok) DeleteFileA(to);
    return ok ? 1 : 0;
}

}  // namespace plat
