// Version sources, WOW64, the named mutex, threads, the program's module and
// User32 over Kernel32 and Ntdll.
#include <windows.h>

#include <new>

#include "platform/system.h"
#include "platform/win32/win32_system_dll.h"

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// What the thread's stdcall entry needs to call the portable one.
struct ThreadStart {
    plat::ThreadEntry entry;
    void* parameter;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    return start.entry(start.parameter);
}

}  // namespace

namespace plat {

int VersionRead(std::uint32_t size_field, OsVersion* version) {
    OSVERSIONINFOEXA info = {};
    if (size_field > sizeof info) return 0;
    info.dwOSVersionInfoSize = size_field;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
#pragma GCC diagnostic pop
    if (!ok) return 0;
    version->major = info.dwMajorVersion;
    version->minor = info.dwMinorVersion;
    version->build = info.dwBuildNumber;
    version->platform_id = info.dwPlatformId;
    version->product_type = size_field >= sizeof info ? info.wProductType : 0;
    return 1;
}

int RtlVersionRead(OsVersion* version, std::int32_t* status) {
    auto function = LoadedExport<RtlGetVersionFn>("Ntdll.dll", "RtlGetVersion");
    if (function == nullptr) return 0;
    RTL_OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = 276;  // the RTL_OSVERSIONINFOW form
    *status = function(&info);
    if (*status == 0) {
        version->major = info.dwMajorVersion;
        version->minor = info.dwMinorVersion;
        version->build = info.dwBuildNumber;
        version->platform_id = info.dwPlatformId;
        version->product_type = 0;
    }
    return 1;
}

int Wow64Query(int* is_wow64) {
    auto function = LoadedExport<IsWow64ProcessFn>("Kernel32.dll", "IsWow64Process");
    if (function == nullptr) return 0;
    BOOL flag = FALSE;
    if (!function(GetCurrentProcess(), &flag)) return 0;
    *is_wow64 = flag ? 1 : 0;
    return 1;
}

Handle MutexCreate(const char* name, int initial_owner, std::uint32_t* last_error) {
    HANDLE mutex = CreateMutexA(nullptr, initial_owner ? TRUE : FALSE, name);
    *last_error = GetLastError();
    return mutex != nullptr ? mutex : kInvalidHandle;
}

std::uint32_t MutexWait(Handle mutex, std::uint32_t milliseconds) { return WaitForSingleObject(mutex, milliseconds); }

int MutexRelease(Handle mutex) { return ReleaseMutex(mutex) ? 1 : 0; }

void MutexClose(Handle mutex) {
    if (mutex != nullptr && mutex != kInvalidHandle) CloseHandle(mutex);
}

Handle ThreadCreate(ThreadEntry entry, void* parameter, std::uint32_t* thread_id) {
    auto* start = new (std::nothrow) ThreadStart{entry, parameter};
    if (start == nullptr) return kInvalidHandle;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadMain, start, 0, &id);
    if (thread == nullptr) {
        delete start;
        return kInvalidHandle;
    }
    if (thread_id != nullptr) *thread_id = id;
    return thread;
}

std::uint32_t ThreadWait(Handle thread, std::uint32_t milliseconds) {
    return WaitForSingleObject(thread, milliseconds);
}

void ThreadClose(Handle thread) {
    if (thread != nullptr && thread != kInvalidHandle) CloseHandle(thread);
}

int ThreadLowerPriority() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL) ? 1 : 0; }

std::uint32_t ModuleFileName(Handle instance, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    DWORD length = GetModuleFileNameA(static_cast<HMODULE>(instance), buffer, size);
    if (length >= size) length = size - 1;  // cut: XP leaves it unterminated
    buffer[length] = '\0';
    return length;
}

Handle User32Open() {
    HMODULE module = LoadSystemDll("User32.dll");
    return module != nullptr ? module : kInvalidHandle;
}

void User32Close(Handle module) {
    if (module != nullptr && module != kInvalidHandle) FreeLibrary(static_cast<HMODULE>(module));
}

Handle User32WindowTextReader(Handle module) {
    if (module == nullptr || module == kInvalidHandle) return nullptr;
    return reinterpret_cast<Handle>(GetProcAddress(static_cast<HMODULE>(module), "InternalGetWindowText"));
}

}  // namespace plat
