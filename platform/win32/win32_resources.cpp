#include <windows.h>

#include "platform/resources.h"

namespace plat {

ResourceStatus ResourceOpen(Handle instance, int type, int id, ResourceView* view) {
    *view = ResourceView{nullptr, 0, nullptr};
    HMODULE module = static_cast<HMODULE>(instance);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (found == nullptr) return kResourceMissing;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return kResourceNotLoadable;
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr) {
        FreeResource(loaded);
        return kResourceNotLoadable;
    }
    view->bytes = static_cast<const std::uint8_t*>(bytes);
    view->size = SizeofResource(module, found);
    view->token = loaded;
    return kResourceOk;
}

void ResourceClose(ResourceView* view) {
    if (view->token != nullptr) FreeResource(view->token);
    *view = ResourceView{nullptr, 0, nullptr};
}

}  // namespace plat
