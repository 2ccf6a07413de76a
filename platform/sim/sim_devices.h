// Simulated device interface classes and device control.
// Filled in with the service that needs it.
#pragma once

struct SimDevices {};
