#include <windows.h>
#include <objbase.h>

#include "platform/modules.h"

namespace plat {

namespace {
using EntryFn = HRESULT(STDAPICALLTYPE*)();
}  // namespace

Handle ModuleLoad(const char* path, std::uint32_t flags) {
    HMODULE module = LoadLibraryExA(path, nullptr, flags);
    return module != nullptr ? module : kInvalidHandle;
}

int ModuleCallEntry(Handle module, const char* name, std::int32_t* hresult) {
    auto entry = reinterpret_cast<EntryFn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)));
    if (entry == nullptr) return 0;
    *hresult = entry();
    return 1;
}

void ModuleFree(Handle module) { FreeLibrary(static_cast<HMODULE>(module)); }

void ModuleCoFree(Handle module) { CoFreeLibrary(static_cast<HINSTANCE>(module)); }

}  // namespace plat
