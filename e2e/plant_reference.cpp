// A small hardened program that makes the same kinds of calls as the setup
// program: the DLL search set to the system folder first, system DLLs
// loaded by their full path, COM (the endpoint enumerator, the shell link),
// the shell's folder lookups, SetupAPI, the registry, a window with GDI
// drawing. Whatever planted DLL it still loads, Wine loads by itself: the
// planting suite names those marks as Wine's, apart from the setup
// program's own.
#include <windows.h>
#include <objbase.h>
#include <setupapi.h>
#include <shlobj.h>

#include "platform/win32/win32_system_dll.h"

namespace {

const CLSID kClsidMmDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kIidMmDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const CLSID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

void Harden() {
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    auto set_default = reinterpret_cast<SetDefaultFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (set_default != nullptr) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
}

void SystemDlls() {
    const char* names[] = {"User32.dll", "SHELL32.DLL", "SHFOLDER.DLL", "WINMM.DLL", "OLEACC.DLL"};
    for (const char* name : names) {
        HMODULE module = plat::LoadSystemDll(name);
        if (module == nullptr) continue;
        using CountFn = UINT(WINAPI*)();
        auto count = reinterpret_cast<CountFn>(reinterpret_cast<void*>(GetProcAddress(module, "waveInGetNumDevs")));
        if (count != nullptr) count();
    }
    char folder[MAX_PATH];
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE);
}

void Com() {
    IUnknown* object = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidMmDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   kIidMmDeviceEnumerator, reinterpret_cast<void**>(&object))))
        object->Release();
    object = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                   reinterpret_cast<void**>(&object))))
        object->Release();
}

void DevicesAndRegistry() {
    HDEVINFO set = SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        TextOutA(dc, 10, 10, "reference", 9);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_TIMER) DestroyWindow(window);
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wparam, lparam);
}

void Window(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.lpszClassName = "PlantReference";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "PlantReference", "Plant reference", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetTimer(window, 1, 500, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    Harden();
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "PlantReferenceMutex");
    CoInitialize(nullptr);
    SystemDlls();
    Com();
    DevicesAndRegistry();
    Window(instance);
    CoUninitialize();
    if (mutex != nullptr) CloseHandle(mutex);
    return 0;
}
