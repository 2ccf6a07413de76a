// The program's own resources.
//
// Conventions: opening a resource gives a ResourceStatus that tells a
// missing resource from one that was found but could not be loaded; on any
// status but kResourceOk the view is empty (null bytes, size 0) and needs
// no closing. A view that opened is released with ResourceClose, which also
// empties it. Resources are found by type and integer id alone; their
// language is not looked at.
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
