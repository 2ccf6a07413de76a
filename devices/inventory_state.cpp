// The inventory's one module state, below the passes that fill it and the
// readers that look into it.
#include "devices/inventory_state.h"

#include "platform/audio.h"

InventoryState& Inventory() {
    static InventoryState state;
    return state;
}

void SetAnsiName(DeviceRecord* record) {
    if (record->display_name[0] == u'\0') {
        record->ansi_name[0] = '\0';
        return;
    }
    plat::WideToAnsi(record->display_name, record->ansi_name, sizeof record->ansi_name);
    record->ansi_name[sizeof record->ansi_name - 1] = '\0';
}
