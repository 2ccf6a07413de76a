#include <windows.h>

#include "platform/shell.h"

namespace plat {

namespace {
using SpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
}  // namespace

int ShellSpecialFolderPath(int csidl, int create, char* buffer, int* result) {
    HMODULE shell32 = LoadLibraryA("SHELL32.DLL");
    if (shell32 == nullptr) return 0;
    auto function = reinterpret_cast<SpecialFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "SHGetSpecialFolderPathA")));
    int available = function != nullptr;
    if (available) *result = function(nullptr, buffer, csidl, create);
    FreeLibrary(shell32);
    return available;
}

int ShellFolderPath(int csidl, char* buffer, std::int32_t* hresult) {
    HMODULE shfolder = LoadLibraryA("SHFOLDER.DLL");
    if (shfolder == nullptr) return 0;
    auto function =
        reinterpret_cast<FolderPathFn>(reinterpret_cast<void*>(GetProcAddress(shfolder, "SHGetFolderPathA")));
    int available = function != nullptr;
    if (available) *hresult = function(nullptr, csidl, nullptr, 0, buffer);
    FreeLibrary(shfolder);
    return available;
}

}  // namespace plat
