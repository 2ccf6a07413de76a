#include <windows.h>

#include <memory>

#include "platform/files.h"
#include "platform/win32/win32_open.h"

namespace {

// NtAreMappedFilesTheSame of ntdll (there since Windows 2000): 0
// (STATUS_SUCCESS) when the image view at the first address and the view
// at the second map the same file. The memory manager decides it by the
// file itself (the section pointers every open of it shares, whatever
// name or hard link it was opened by), not by a name or a file id.
using SameMappedFilesCall = LONG(WINAPI*)(PVOID, PVOID);

// Whether the held file is the very file the loader mapped at `base`: a
// view of the held handle itself is put beside the image, so the check
// sees the object the copy reads, and nothing is opened by name again. A
// rename keeps the file, so a file swapped in under the program's name
// (or hard-linked to where the image was) is another.
bool IsMappedImage(HANDLE hold, HMODULE base) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto same = ntdll == nullptr ? nullptr
                                 : reinterpret_cast<SameMappedFilesCall>(
                                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtAreMappedFilesTheSame")));
    if (same == nullptr || base == nullptr) return false;
    HANDLE mapping = CreateFileMappingW(hold, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);  // its first page is enough
    bool matched = view != nullptr && same(base, view) == 0;
    if (view != nullptr) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return matched;
}

}  // namespace

namespace plat {

int FileNamesSame(const char16_t* a, std::size_t a_length, const char16_t* b, std::size_t b_length) {
    if (a_length > kNameCompareUnits || b_length > kNameCompareUnits) return -1;
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a), static_cast<int>(a_length),
                                reinterpret_cast<const wchar_t*>(b), static_cast<int>(b_length),
                                TRUE) == CSTR_EQUAL
               ? 1
               : 0;
}

int FileNamesSame(const char* a, std::size_t a_length, const char* b, std::size_t b_length) {
    constexpr int kUnits = MAX_PATH;
    wchar_t wide_a[kUnits];
    wchar_t wide_b[kUnits];
    if (a_length > kUnits || b_length > kUnits) return -1;
    // CreateFileA reads a name by the ANSI code page; a byte sequence that
    // is no character of it cannot be told apart from another one.
    int units_a = a_length == 0 ? 0
                                : MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, a, static_cast<int>(a_length),
                                                      wide_a, kUnits);
    int units_b = b_length == 0 ? 0
                                : MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, b, static_cast<int>(b_length),
                                                      wide_b, kUnits);
    if ((a_length > 0 && units_a == 0) || (b_length > 0 && units_b == 0)) return -1;
    return CompareStringOrdinal(wide_a, units_a, wide_b, units_b, TRUE) == CSTR_EQUAL ? 1 : 0;
}

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
    HANDLE hold = CreateFileW(path.get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | kOpenIdentifyOnly, nullptr);
    if (hold == INVALID_HANDLE_VALUE) return kInvalidHandle;
    // The name is only where the program was: someone may have renamed the
    // running file and put another in its place before the hold.
    HMODULE base = instance != nullptr ? static_cast<HMODULE>(instance) : GetModuleHandleW(nullptr);
    if (!IsMappedImage(hold, base)) {
        CloseHandle(hold);
        return kInvalidHandle;
    }
    return hold;
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
