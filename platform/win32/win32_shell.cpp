#include <windows.h>

#include <cstring>

#include "platform/shell.h"
#include "platform/win32/win32_system_dll.h"

namespace plat {

namespace {
using SpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using SpecialFolderPathWFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
using FolderPathWFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// Both calls write up to MAX_PATH bytes: they get a buffer of that size
// here, and the caller's buffer the path only when it fits whole.
bool CopyWhole(const char (&path)[MAX_PATH], char* buffer, std::uint32_t size) {
    std::size_t length = strnlen(path, MAX_PATH - 1);
    if (length >= size) return false;
    std::memcpy(buffer, path, length);
    buffer[length] = '\0';
    return true;
}
bool CopyWhole(const wchar_t (&path)[MAX_PATH], char16_t* buffer, std::uint32_t units) {
    std::size_t length = 0;
    while (length < MAX_PATH - 1 && path[length] != L'\0') ++length;
    if (length >= units) return false;
    for (std::size_t i = 0; i < length; ++i) buffer[i] = static_cast<char16_t>(path[i]);
    buffer[length] = u'\0';
    return true;
}
}  // namespace

int ShellSpecialFolderPath(int csidl, int create, char* buffer, std::uint32_t size, int* result) {
    if (size == 0) return 0;
    buffer[0] = '\0';
    HMODULE shell32 = LoadSystemDll("SHELL32.DLL");
    if (shell32 == nullptr) return 0;
    auto function = reinterpret_cast<SpecialFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "SHGetSpecialFolderPathA")));
    int available = function != nullptr;
    if (available) {
        char path[MAX_PATH] = {};
        *result = function(nullptr, path, csidl, create);
        if (*result && !CopyWhole(path, buffer, size)) *result = FALSE;
    }
    FreeLibrary(shell32);
    return available;
}

int ShellFolderPath(int csidl, char* buffer, std::uint32_t size, std::int32_t* hresult) {
    if (size == 0) return 0;
    buffer[0] = '\0';
    HMODULE shfolder = LoadSystemDll("SHFOLDER.DLL");
    if (shfolder == nullptr) return 0;
    auto function =
        reinterpret_cast<FolderPathFn>(reinterpret_cast<void*>(GetProcAddress(shfolder, "SHGetFolderPathA")));
    int available = function != nullptr;
    if (available) {
        char path[MAX_PATH] = {};
        *hresult = function(nullptr, csidl, nullptr, 0, path);
        if (*hresult == S_OK && !CopyWhole(path, buffer, size))
            *hresult = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    FreeLibrary(shfolder);
    return available;
}

int ShellSpecialFolderPath(int csidl, int create, char16_t* buffer, std::uint32_t units, int* result) {
    if (units == 0) return 0;
    buffer[0] = u'\0';
    HMODULE shell32 = LoadSystemDll("SHELL32.DLL");
    if (shell32 == nullptr) return 0;
    auto function = reinterpret_cast<SpecialFolderPathWFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "SHGetSpecialFolderPathW")));
    int available = function != nullptr;
    if (available) {
        wchar_t path[MAX_PATH] = {};
        *result = function(nullptr, path, csidl, create);
        if (*result && !CopyWhole(path, buffer, units)) *result = FALSE;
    }
    FreeLibrary(shell32);
    return available;
}

int ShellFolderPath(int csidl, char16_t* buffer, std::uint32_t units, std::int32_t* hresult) {
    if (units == 0) return 0;
    buffer[0] = u'\0';
    HMODULE shfolder = LoadSystemDll("SHFOLDER.DLL");
    if (shfolder == nullptr) return 0;
    auto function =
        reinterpret_cast<FolderPathWFn>(reinterpret_cast<void*>(GetProcAddress(shfolder, "SHGetFolderPathW")));
    int available = function != nullptr;
    if (available) {
        wchar_t path[MAX_PATH] = {};
        *hresult = function(nullptr, csidl, nullptr, 0, path);
        if (*hresult == S_OK && !CopyWhole(path, buffer, units))
            *hresult = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    FreeLibrary(shfolder);
    return available;
}

}  // namespace plat
