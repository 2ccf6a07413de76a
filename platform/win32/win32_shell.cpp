#include <windows.h>

#include <type_traits>

#include "platform/shell.h"
#include "platform/win32/win32_system_dll.h"

namespace plat {

namespace {

// The ANSI and the UTF-16 forms of the two shell calls: the caller's
// character C (char or char16_t), the one Windows writes, and the exports.
template <typename C>
struct ShellForm {
    static constexpr bool kWide = std::is_same_v<C, char16_t>;
    using Text = std::conditional_t<kWide, wchar_t, char>;
    using SpecialFolderPathFn = BOOL(WINAPI*)(HWND, Text*, int, BOOL);
    using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, Text*);
    static constexpr const char* kSpecialFolderPath = kWide ? "SHGetSpecialFolderPathW" : "SHGetSpecialFolderPathA";
    static constexpr const char* kFolderPath = kWide ? "SHGetFolderPathW" : "SHGetFolderPathA";
};

// Both calls write up to MAX_PATH characters: they get a buffer of that
// size here, and the caller's buffer the path only when it fits whole.
template <typename C, typename W>
bool CopyWhole(const W (&path)[MAX_PATH], C* buffer, std::uint32_t units) {
    std::size_t length = 0;
    while (length < MAX_PATH - 1 && path[length] != W{0}) ++length;
    if (length >= units) return false;
    for (std::size_t i = 0; i < length; ++i) buffer[i] = static_cast<C>(path[i]);
    buffer[length] = C{0};
    return true;
}

// Calls `call` with the export `name` of the system DLL `dll`, typed Fn,
// and lets the DLL go: 0 when the DLL or the export is missing, else 1.
template <typename Fn, typename Call>
int WithSystemExport(const char* dll, const char* name, Call call) {
    HMODULE module = LoadSystemDll(dll);
    if (module == nullptr) return 0;
    auto function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (function != nullptr) call(function);
    FreeLibrary(module);
    return function != nullptr;
}

}  // namespace

template <typename C>
int ShellSpecialFolderPath(int csidl, int create, C* buffer, std::uint32_t units, int* result) {
    using Form = ShellForm<C>;
    if (units == 0) return 0;
    buffer[0] = C{0};
    return WithSystemExport<typename Form::SpecialFolderPathFn>(
        "SHELL32.DLL", Form::kSpecialFolderPath, [&](auto function) {
            typename Form::Text path[MAX_PATH] = {};
            *result = function(nullptr, path, csidl, create);
            if (*result && !CopyWhole(path, buffer, units)) *result = FALSE;
        });
}

template <typename C>
int ShellFolderPath(int csidl, C* buffer, std::uint32_t units, std::int32_t* hresult) {
    using Form = ShellForm<C>;
    if (units == 0) return 0;
    buffer[0] = C{0};
    return WithSystemExport<typename Form::FolderPathFn>("SHFOLDER.DLL", Form::kFolderPath, [&](auto function) {
        typename Form::Text path[MAX_PATH] = {};
        *hresult = function(nullptr, csidl, nullptr, 0, path);
        if (*hresult == S_OK && !CopyWhole(path, buffer, units)) *hresult = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    });
}

template int ShellSpecialFolderPath(int, int, char*, std::uint32_t, int*);
template int ShellSpecialFolderPath(int, int, char16_t*, std::uint32_t, int*);
template int ShellFolderPath(int, char*, std::uint32_t, std::int32_t*);
template int ShellFolderPath(int, char16_t*, std::uint32_t, std::int32_t*);

}  // namespace plat
