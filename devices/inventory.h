// The audio device inventory: built once at start-up, read by the probe.
#pragma once
#include "devices/device_list.h"

// Builds both device lists. Always gives 0.
int InventoryStart();
// Ends COM for the module and frees both lists. Always gives 0.
int InventoryEnd();

DeviceList* CaptureDeviceList();
DeviceList* RenderDeviceList();
