// Stand-in for the console's ASIO driver DLLs (ztml_asiodriver.dll,
// ztmlaux_asiodriver.dll, ztmlins_asiodriver.dll and their 64-bit builds).
// One source, built per driver and bitness with MIXO_ASIO_CLSID,
// MIXO_ASIO_NAME and MIXO_ASIO_DESCRIPTION.
//
// Self-registration is what ASIO hosts rely on: the in-process COM server
// under HKLM\SOFTWARE\Classes\CLSID\{clsid} (InprocServer32 = this DLL's
// path, ThreadingModel "Both"), and the driver entry HKLM\SOFTWARE\ASIO\<name>
// with "CLSID" and "Description", where hosts list their drivers. A 32-bit
// DLL writes them in the 32-bit registry view and a 64-bit DLL in the
// 64-bit one, simply by the bitness of the process that loads it.
#include <string>

#include "standin_common.h"

#include <olectl.h>  // after windows.h

#if !defined(MIXO_ASIO_CLSID) || !defined(MIXO_ASIO_NAME) || !defined(MIXO_ASIO_DESCRIPTION)
#error "build with MIXO_ASIO_CLSID, MIXO_ASIO_NAME and MIXO_ASIO_DESCRIPTION"
#endif

namespace {

HMODULE g_module = nullptr;

std::string ClassKey() { return std::string("SOFTWARE\\Classes\\CLSID\\") + MIXO_ASIO_CLSID; }
std::string AsioKey() { return std::string("SOFTWARE\\ASIO\\") + MIXO_ASIO_NAME; }

std::string ModulePath() {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
    return (n == 0 || n >= sizeof path) ? std::string() : std::string(path, n);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
    std::string path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    std::string inproc = ClassKey() + "\\InprocServer32";
    int ok = 1;
    ok &= WriteString(HKEY_LOCAL_MACHINE, ClassKey(), nullptr, MIXO_ASIO_DESCRIPTION);
    ok &= WriteString(HKEY_LOCAL_MACHINE, inproc, nullptr, path);
    ok &= WriteString(HKEY_LOCAL_MACHINE, inproc, "ThreadingModel", "Both");
    ok &= WriteString(HKEY_LOCAL_MACHINE, AsioKey(), "CLSID", MIXO_ASIO_CLSID);
    ok &= WriteString(HKEY_LOCAL_MACHINE, AsioKey(), "Description", MIXO_ASIO_DESCRIPTION);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
    int ok = DeleteKeyTree(HKEY_LOCAL_MACHINE, ClassKey());
    ok &= DeleteKeyTree(HKEY_LOCAL_MACHINE, AsioKey());
    return ok ? S_OK : SELFREG_E_CLASS;
}

// The COM entry points a host calls after finding the driver. The stand-in
// carries no audio engine, so it offers no class object.
extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** object) {
    if (object != nullptr) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
