// The program's own resources.
#pragma once
#include "platform/types.h"

namespace plat {

constexpr int kResourceTypeRcData = 10;

enum ResourceStatus {
    kResourceOk = 0,
    kResourceMissing = 1,      // FindResourceA gave nothing
    kResourceNotLoadable = 2,  // found, but LoadResource or LockResource failed
};

// A loaded resource: its bytes stay valid until ResourceClose.
struct ResourceView {
    const std::uint8_t* bytes;
    std::uint32_t size;
    Handle token;  // what ResourceClose needs to release it
};

// Finds, loads and locks resource (type, id) of module `instance`
// (FindResourceA, LoadResource, LockResource, SizeofResource).
ResourceStatus ResourceOpen(Handle instance, int type, int id, ResourceView* view);
// FreeResource and forget the view.
void ResourceClose(ResourceView* view);

}  // namespace plat
