// Placeholder so the shell links while the inventory is written; replaced
// by the real module.
#include "devices/inventory.h"

namespace {
DeviceList capture_list;
DeviceList render_list;
}  // namespace

int InventoryStart() { return 0; }
int InventoryEnd() { return 0; }
DeviceList* CaptureDeviceList() { return &capture_list; }
DeviceList* RenderDeviceList() { return &render_list; }
std::uint32_t ListCount(const DeviceList* list) { return list->storage ? list->count : 0; }
DeviceRecord* ListElement(DeviceList* list, std::uint32_t index) {
    if (!list->storage || index < 1 || index > list->count) return nullptr;
    list->cursor = index;
    return reinterpret_cast<DeviceRecord*>(list->storage + (index - 1) * list->element_size);
}
