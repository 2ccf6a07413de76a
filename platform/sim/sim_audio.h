// Simulated wave devices, audio endpoints, the COM start result.
// Filled in with the service that needs it.
#pragma once

struct SimAudio {};
