#include <windows.h>

#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/files.h"
#include "platform/win32/win32_open.h"

namespace {

// NtQueryVirtualMemory, whose MemoryMappedFilenameInformation (2) gives
// the NT path ("\Device\HarddiskVolume3\...") of the file the loader
// mapped at an address: a UNICODE_STRING followed by its characters.
using QueryVirtualMemoryCall = LONG(WINAPI*)(HANDLE, PVOID, int, PVOID, SIZE_T, SIZE_T*);
struct CountedText {
    USHORT length;  // bytes
    USHORT maximum_length;
    wchar_t* buffer;
};
constexpr int kMemoryMappedFilenameInformation = 2;

// The Win32 form of the NT path of the image mapped at `base`, into a
// buffer of `units`: "\\?\GLOBALROOT\Device\..." (or "\\?\C:\..." for a
// "\??\C:\..." name). 0 when it cannot be had.
bool MappedImagePath(HMODULE base, wchar_t* out, std::size_t units) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll == nullptr ? nullptr
                                  : reinterpret_cast<QueryVirtualMemoryCall>(
                                        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryVirtualMemory")));
    if (query == nullptr || base == nullptr) return false;
    constexpr SIZE_T kBytes = sizeof(CountedText) + 65536;
    std::unique_ptr<char[]> answer(new (std::nothrow) char[kBytes]);
    if (!answer) return false;
    SIZE_T written = 0;
    if (query(GetCurrentProcess(), base, kMemoryMappedFilenameInformation, answer.get(), kBytes, &written) < 0)
        return false;
    CountedText name;
    std::memcpy(&name, answer.get(), sizeof name);
    std::size_t count = name.length / sizeof(wchar_t);
    if (name.buffer == nullptr || count == 0) return false;
    const wchar_t* text = name.buffer;
    const wchar_t* prefix = L"\\\\?\\GLOBALROOT";
    if (count >= 4 && std::wmemcmp(text, L"\\??\\", 4) == 0) {
        prefix = L"\\\\?\\";
        text += 4;
        count -= 4;
    }
    std::size_t prefix_units = std::wcslen(prefix);
    if (prefix_units + count + 1 > units) return false;
    std::wmemcpy(out, prefix, prefix_units);
    std::wmemcpy(out + prefix_units, text, count);
    out[prefix_units + count] = L'\0';
    return true;
}

// Whether the held file is the very file the loader mapped at `base`: the
// same volume and file id as the file the mapping names. A rename keeps a
// file's id, so a file swapped in under the program's name has another.
bool IsMappedImage(HANDLE hold, HMODULE base) {
    constexpr std::size_t kUnits = 32768 + 32;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[kUnits]);
    if (!path || !MappedImagePath(base, path.get(), kUnits)) return false;
    HANDLE image = CreateFileW(path.get(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (image == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION held = {};
    BY_HANDLE_FILE_INFORMATION mapped = {};
    bool same = GetFileInformationByHandle(hold, &held) && GetFileInformationByHandle(image, &mapped) &&
                held.dwVolumeSerialNumber == mapped.dwVolumeSerialNumber &&
                held.nFileIndexHigh == mapped.nFileIndexHigh && held.nFileIndexLow == mapped.nFileIndexLow;
    CloseHandle(image);
    return same;
}

}  // namespace

namespace plat {

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
